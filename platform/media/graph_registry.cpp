#include "platform/media/graph_registry.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

struct Registry {
  std::mutex lock;
  DWORD next = 1;
  std::map<DWORD, RegisteredGraph> graphs;
};

Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

std::string subtypeName(const GUID& g) {
  static const std::pair<GUID, const char*> names[] = {{MEDIASUBTYPE_RGB24, "RGB24"},
                                                       {MEDIASUBTYPE_RGB32, "RGB32"},
                                                       {MEDIASUBTYPE_RGB555, "RGB555"},
                                                       {MEDIASUBTYPE_RGB565, "RGB565"},
                                                       {MEDIASUBTYPE_RGB8, "RGB8"},
                                                       {MEDIASUBTYPE_PCM, "PCM"},
                                                       {MEDIASUBTYPE_MP3, "MP3"},
                                                       {MEDIASUBTYPE_MPEG1AudioPayload, "MPEG1"},
                                                       {MEDIASUBTYPE_PointerInfo, "PointerInfo"},
                                                       {GUID_NULL, "any"}};
  for (auto& [guid, name] : names)
    if (guid == g) return name;
  if (g.Data2 == 0 && g.Data3 == 0x0010 && g.Data4[0] == 0x80 && g.Data4[7] == 0x71) {
    char cc[5] = {char(g.Data1), char(g.Data1 >> 8), char(g.Data1 >> 16), char(g.Data1 >> 24), 0};
    bool printable = true;
    for (int i = 0; i < 4; ++i) printable = printable && cc[i] >= 32 && cc[i] < 127;
    if (printable) return cc;
  }
  return guidToString(g);
}

std::string stateName(FILTER_STATE s) {
  return s == State_Running ? "running" : s == State_Paused ? "paused" : "stopped";
}

std::string filterName(IBaseFilter* f) {
  FILTER_INFO info{};
  if (FAILED(f->QueryFilterInfo(&info))) return "?";
  if (info.pGraph) info.pGraph->Release();
  return utf16ToUtf8(info.achName);
}

std::string pinName(IPin* p) {
  PIN_INFO info{};
  if (FAILED(p->QueryPinInfo(&info))) return "?";
  if (info.pFilter) info.pFilter->Release();
  return utf16ToUtf8(info.achName);
}

std::string dotEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

template <typename Fn>
void forEachFilter(IFilterGraph* graph, Fn fn) {
  ComPtr<IEnumFilters> e;
  if (!graph || FAILED(graph->EnumFilters(e.put()))) return;
  ComPtr<IBaseFilter> f;
  while (e->Next(1, f.put(), nullptr) == S_OK) fn(f.get());
}

template <typename Fn>
void forEachPin(IBaseFilter* f, Fn fn) {
  ComPtr<IEnumPins> e;
  if (FAILED(f->EnumPins(e.put()))) return;
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) fn(p.get());
}

}  // namespace

HRESULT registerGraph(IUnknown* graph, const std::string& name, DWORD* cookie) {
  if (!graph || !cookie) return E_POINTER;
  Registry& r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  graph->AddRef();
  *cookie = r.next++;
  r.graphs[*cookie] = {name, graph};
  return S_OK;
}

HRESULT revokeGraph(DWORD cookie) {
  IUnknown* graph = nullptr;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.graphs.find(cookie);
    if (it == r.graphs.end()) return E_INVALIDARG;
    graph = it->second.graph;
    r.graphs.erase(it);
  }
  graph->Release();
  return S_OK;
}

std::vector<RegisteredGraph> registeredGraphs() {
  Registry& r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  std::vector<RegisteredGraph> out;
  for (auto& [cookie, entry] : r.graphs) {
    entry.graph->AddRef();
    out.push_back(entry);
  }
  return out;
}

std::string describeMediaType(const AM_MEDIA_TYPE& mt) {
  std::string major = mt.majortype == MEDIATYPE_Video    ? "Video"
                      : mt.majortype == MEDIATYPE_Audio  ? "Audio"
                      : mt.majortype == MEDIATYPE_Stream ? "Stream"
                                                         : guidToString(mt.majortype);
  std::string text = major + " " + subtypeName(mt.subtype);
  char buf[64];
  VideoInfoHeader vih;
  WaveFormatEx wfx;
  if (mt.formattype == FORMAT_VideoInfo && parseVideoInfo(mt.pbFormat, mt.pbFormat ? mt.cbFormat : 0, vih)) {
    std::snprintf(buf, sizeof buf, " %dx%d %ubit", vih.bmi.width, vih.bmi.height, vih.bmi.bitCount);
    text += buf;
  } else if (mt.formattype == FORMAT_WaveFormatEx &&
             parseWaveFormat(mt.pbFormat, mt.pbFormat ? mt.cbFormat : 0, wfx)) {
    std::snprintf(buf, sizeof buf, " %uHz %uch %ubit", wfx.samplesPerSec, wfx.channels, wfx.bitsPerSample);
    text += buf;
  }
  return text;
}

std::string describeGraphText(IFilterGraph* graph) {
  std::ostringstream out;
  forEachFilter(graph, [&](IBaseFilter* f) {
    FILTER_STATE s = State_Stopped;
    f->GetState(0, &s);
    CLSID clsid{};
    f->GetClassID(&clsid);
    out << "filter \"" << filterName(f) << "\" (" << stateName(s) << ") " << guidToString(clsid) << "\n";
    forEachPin(f, [&](IPin* p) {
      PIN_DIRECTION d = PINDIR_INPUT;
      p->QueryDirection(&d);
      out << "  " << (d == PINDIR_OUTPUT ? "out" : "in ") << " \"" << pinName(p) << "\"";
      ComPtr<IPin> peer;
      if (SUCCEEDED(p->ConnectedTo(peer.put())) && peer) {
        PIN_INFO info{};
        peer->QueryPinInfo(&info);
        out << (d == PINDIR_OUTPUT ? " -> \"" : " <- \"") << (info.pFilter ? filterName(info.pFilter) : "?")
            << "\".\"" << utf16ToUtf8(info.achName) << "\"";
        if (info.pFilter) info.pFilter->Release();
        AM_MEDIA_TYPE mt{};
        if (SUCCEEDED(p->ConnectionMediaType(&mt))) {
          out << " [" << describeMediaType(mt) << "]";
          FreeMediaType(mt);
        }
      } else {
        out << " (not connected)";
      }
      out << "\n";
    });
  });
  return out.str();
}

std::string describeGraphDot(IFilterGraph* graph, const std::string& title) {
  std::ostringstream out;
  out << "digraph \"" << dotEscape(title) << "\" {\n  rankdir=LR;\n  node [shape=box];\n";
  std::map<IBaseFilter*, int> ids;
  forEachFilter(graph, [&](IBaseFilter* f) {
    int id = static_cast<int>(ids.size());
    ids[f] = id;
    out << "  f" << id << " [label=\"" << dotEscape(filterName(f)) << "\"];\n";
  });
  forEachFilter(graph, [&](IBaseFilter* f) {
    forEachPin(f, [&](IPin* p) {
      PIN_DIRECTION d = PINDIR_INPUT;
      ComPtr<IPin> peer;
      if (FAILED(p->QueryDirection(&d)) || d != PINDIR_OUTPUT || FAILED(p->ConnectedTo(peer.put())) || !peer)
        return;
      PIN_INFO info{};
      peer->QueryPinInfo(&info);
      ComPtr<IBaseFilter> down = ComPtr<IBaseFilter>::adopt(info.pFilter);
      auto it = ids.find(down.get());
      if (it == ids.end()) return;
      AM_MEDIA_TYPE mt{};
      std::string type;
      if (SUCCEEDED(p->ConnectionMediaType(&mt))) {
        type = describeMediaType(mt);
        FreeMediaType(mt);
      }
      out << "  f" << ids[f] << " -> f" << it->second << " [label=\"" << dotEscape(pinName(p)) << " -> "
          << dotEscape(utf16ToUtf8(info.achName)) << "\\n"
          << dotEscape(type) << "\"];\n";
    });
  });
  out << "}\n";
  return out.str();
}

std::string describeRegisteredGraphs(bool dot) {
  std::string out;
  for (RegisteredGraph& g : registeredGraphs()) {
    ComPtr<IFilterGraph> fg;
    g.graph->QueryInterface(IID_IFilterGraph, fg.putVoid());
    if (dot)
      out += describeGraphDot(fg.get(), g.name);
    else
      out += "graph \"" + g.name + "\"\n" + describeGraphText(fg.get());
    g.graph->Release();
  }
  return out;
}
