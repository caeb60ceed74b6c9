#include "platform/media/filter_graph.h"

#include <algorithm>
#include <functional>
#include <set>

#include "platform/com/com_ptr.h"
#include "platform/com/log.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/media/clock.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace {

class FilterEnumerator final : public IEnumFilters, public UnknownBase {
 public:
  explicit FilterEnumerator(std::vector<IBaseFilter*> filters, size_t pos = 0)
      : filters_(std::move(filters)), pos_(pos) {
    for (IBaseFilter* f : filters_) f->AddRef();
  }
  ~FilterEnumerator() override {
    for (IBaseFilter* f : filters_) f->Release();
  }
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IEnumFilters)
      return getInterface(static_cast<IEnumFilters*>(this), object);
    return E_NOINTERFACE;
  }
  HRESULT Next(ULONG count, IBaseFilter** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && pos_ < filters_.size()) {
      out[n] = filters_[pos_++];
      out[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    pos_ = std::min(filters_.size(), pos_ + count);
    return pos_ < filters_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFilters** e) override {
    if (!e) return E_POINTER;
    auto* c = new FilterEnumerator(filters_, pos_);
    c->AddRef();
    *e = c;
    return S_OK;
  }

 private:
  std::vector<IBaseFilter*> filters_;
  size_t pos_;
};

ComPtr<IBaseFilter> filterOfPin(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info))) return {};
  return ComPtr<IBaseFilter>::adopt(info.pFilter);
}

std::string nameOf(IBaseFilter* f) {
  FILTER_INFO info{};
  if (FAILED(f->QueryFilterInfo(&info))) return "?";
  if (info.pGraph) info.pGraph->Release();
  return utf16ToUtf8(info.achName);
}

void disconnectAllPins(IBaseFilter* f) {
  ComPtr<IEnumPins> e;
  if (FAILED(f->EnumPins(e.put()))) return;
  ComPtr<IPin> pin;
  while (e->Next(1, pin.put(), nullptr) == S_OK) {
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.put())) && peer) {
      peer->Disconnect();
      pin->Disconnect();
    }
  }
}

}  // namespace

FilterGraph::FilterGraph() = default;

FilterGraph::~FilterGraph() {
  if (state_ != State_Stopped) changeState(State_Stopped);
  for (Entry& e : filters_) disconnectAllPins(e.filter);
  for (Entry& e : filters_) {
    e.filter->JoinFilterGraph(nullptr, nullptr);
    e.filter->Release();
  }
  if (clock_) clock_->Release();
}

HRESULT FilterGraph::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return nonDelegatingQueryInterface(iid, object);
}

HRESULT FilterGraph::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder)
    return getInterface(static_cast<IGraphBuilder*>(this), object);
  if (iid == IID_IMediaControl) return getInterface(static_cast<IMediaControl*>(this), object);
  if (iid == IID_IMediaFilter || iid == IID_IPersist)
    return getInterface(static_cast<IMediaFilter*>(this), object);
  if (iid == IID_IVideoWindow) return getInterface(static_cast<IVideoWindow*>(this), object);
  return E_NOINTERFACE;
}

bool FilterGraph::contains(IBaseFilter* f) const {
  return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == f; });
}

bool FilterGraph::pinInGraph(IPin* pin) const {
  ComPtr<IBaseFilter> f = filterOfPin(pin);
  return f && contains(f.get());
}

std::u16string FilterGraph::uniqueName(const char16_t* name) const {
  std::u16string base = name && *name ? name : u"Filter";
  auto taken = [&](const std::u16string& n) {
    return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == n; });
  };
  if (!taken(base)) return base;
  for (int i = 1;; ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, " %04d", i);
    std::u16string candidate = base + utf8ToUtf16(suffix);
    if (!taken(candidate)) return candidate;
  }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, const char16_t* name) {
  if (!filter) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (contains(filter)) return VFW_E_DUPLICATE_NAME;
  if (state_ != State_Stopped) {
    platformLog(PlatformLogLevel::Warn, "graph: cannot add a filter while running");
    return VFW_E_NOT_STOPPED;
  }
  std::u16string unique = uniqueName(name);
  HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
  if (FAILED(hr)) return hr;
  filter->AddRef();
  filters_.push_back({filter, unique});
  if (clock_) filter->SetSyncSource(clock_);
  return (name && unique != name) ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  auto it =
      std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; });
  if (it == filters_.end()) return VFW_E_NOT_FOUND;
  if (state_ != State_Stopped) {
    platformLog(PlatformLogLevel::Warn, "graph: cannot remove filter \"%s\" while the graph runs",
                utf16ToUtf8(it->name.c_str()).c_str());
    return VFW_E_NOT_STOPPED;
  }
  disconnectAllPins(filter);
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, nullptr);
  filters_.erase(it);
  filter->Release();
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** e) {
  if (!e) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  std::vector<IBaseFilter*> list;
  for (Entry& en : filters_) list.push_back(en.filter);
  auto* en = new FilterEnumerator(std::move(list));
  en->AddRef();
  *e = en;
  return S_OK;
}

HRESULT FilterGraph::FindFilterByName(const char16_t* name, IBaseFilter** filter) {
  if (!name || !filter) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  *filter = nullptr;
  for (Entry& e : filters_)
    if (e.name == name) {
      e.filter->AddRef();
      *filter = e.filter;
      return S_OK;
    }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) {
  if (!out || !in) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ != State_Stopped) {
    platformLog(PlatformLogLevel::Warn, "graph: cannot connect pins while running");
    return VFW_E_NOT_STOPPED;
  }
  if (!pinInGraph(out) || !pinInGraph(in)) {
    platformLog(PlatformLogLevel::Warn, "graph: connection of a pin whose filter is not in the graph");
    return VFW_E_NOT_IN_GRAPH;
  }
  PIN_DIRECTION dOut, dIn;
  if (FAILED(out->QueryDirection(&dOut)) || FAILED(in->QueryDirection(&dIn))) return E_FAIL;
  if (dOut != PINDIR_OUTPUT || dIn != PINDIR_INPUT) {
    platformLog(PlatformLogLevel::Warn, "graph: connection needs an output pin and an input pin");
    return VFW_E_INVALID_DIRECTION;
  }
  HRESULT hr = out->Connect(in, mt);
  if (FAILED(hr)) {
    PIN_INFO a{}, b{};
    out->QueryPinInfo(&a);
    in->QueryPinInfo(&b);
    platformLog(PlatformLogLevel::Notice, "graph: \"%s\".\"%s\" -> \"%s\".\"%s\" failed (0x%08X)",
                a.pFilter ? nameOf(a.pFilter).c_str() : "?", utf16ToUtf8(a.achName).c_str(),
                b.pFilter ? nameOf(b.pFilter).c_str() : "?", utf16ToUtf8(b.achName).c_str(),
                static_cast<unsigned>(hr));
    if (a.pFilter) a.pFilter->Release();
    if (b.pFilter) b.pFilter->Release();
  }
  return hr;
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
  return ConnectDirect(out, in, nullptr);
}
HRESULT FilterGraph::Render(IPin*) {
  return E_NOTIMPL;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ != State_Stopped) {
    platformLog(PlatformLogLevel::Warn, "graph: cannot disconnect a pin while running");
    return VFW_E_NOT_STOPPED;
  }
  return pin->Disconnect();
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.put())) || !peer) return VFW_E_NOT_CONNECTED;
  PIN_DIRECTION d;
  pin->QueryDirection(&d);
  IPin* out = d == PINDIR_OUTPUT ? pin : peer.get();
  IPin* in = d == PINDIR_OUTPUT ? peer.get() : pin;
  out->Disconnect();
  in->Disconnect();
  return out->Connect(in, nullptr);
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  auto* clock = new SystemClock;
  clock->AddRef();
  HRESULT hr = SetSyncSource(clock);
  clock->Release();
  return hr;
}

std::vector<IBaseFilter*> FilterGraph::downstreamFirst() const {
  std::vector<IBaseFilter*> order;
  std::set<IBaseFilter*> seen;
  std::function<void(IBaseFilter*)> visit = [&](IBaseFilter* f) {
    if (!seen.insert(f).second) return;
    ComPtr<IEnumPins> e;
    if (SUCCEEDED(f->EnumPins(e.put()))) {
      ComPtr<IPin> pin;
      while (e->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == PINDIR_OUTPUT &&
            SUCCEEDED(pin->ConnectedTo(peer.put())) && peer)
          if (ComPtr<IBaseFilter> down = filterOfPin(peer.get()); down && contains(down.get()))
            visit(down.get());
      }
    }
    order.push_back(f);
  };
  for (const Entry& e : filters_) visit(e.filter);
  return order;
}

HRESULT FilterGraph::changeState(FILTER_STATE target) {
  std::vector<IBaseFilter*> order = downstreamFirst();
  if (target == State_Stopped) {
    HRESULT result = S_OK;
    for (IBaseFilter* f : order) {
      HRESULT hr = f->Stop();
      if (FAILED(hr)) {
        platformLog(PlatformLogLevel::Error, "graph: filter \"%s\" failed to stop (0x%08X)",
                    nameOf(f).c_str(), static_cast<unsigned>(hr));
        result = hr;
      }
    }
    state_ = State_Stopped;
    return result;
  }
  if (!clockChosen_ && !clock_) SetDefaultSyncSource();
  for (IBaseFilter* f : order) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) {
      platformLog(PlatformLogLevel::Error, "graph: filter \"%s\" failed to pause (0x%08X)", nameOf(f).c_str(),
                  static_cast<unsigned>(hr));
      for (IBaseFilter* g : order) g->Stop();
      state_ = State_Stopped;
      return hr;
    }
  }
  state_ = State_Paused;
  if (target == State_Paused) return S_OK;
  // Start a little in the future so that every filter sees the same start.
  REFERENCE_TIME start = 0;
  if (clock_ && SUCCEEDED(clock_->GetTime(&start))) start += 100000;  // 10 ms
  for (IBaseFilter* f : order) {
    HRESULT hr = f->Run(start);
    if (FAILED(hr)) {
      platformLog(PlatformLogLevel::Error, "graph: filter \"%s\" failed to run (0x%08X)", nameOf(f).c_str(),
                  static_cast<unsigned>(hr));
      for (IBaseFilter* g : order) g->Stop();
      state_ = State_Stopped;
      return hr;
    }
  }
  state_ = State_Running;
  everRan_ = true;
  return S_OK;
}

HRESULT FilterGraph::Run() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Running) return S_OK;
  return changeState(State_Running);
}

HRESULT FilterGraph::Pause() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Paused) return S_OK;
  if (state_ == State_Running) {
    for (IBaseFilter* f : downstreamFirst()) f->Pause();
    state_ = State_Paused;
    return S_OK;
  }
  return changeState(State_Paused);
}

HRESULT FilterGraph::Stop() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    platformLog(PlatformLogLevel::Notice, "graph: stop requested while already stopped%s",
                everRan_ ? "" : " (it never ran)");
    return VFW_E_WRONG_STATE;
  }
  return changeState(State_Stopped);
}

HRESULT FilterGraph::StopWhenReady() {
  return Stop();
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state) {
  if (!state) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  *state = state_;
  HRESULT result = S_OK;
  for (const Entry& e : filters_) {
    FILTER_STATE fs;
    HRESULT hr = e.filter->GetState(0, &fs);
    if (hr == VFW_S_CANT_CUE)
      result = VFW_S_CANT_CUE;
    else if (hr == VFW_S_STATE_INTERMEDIATE && result == S_OK)
      result = VFW_S_STATE_INTERMEDIATE;
  }
  return result;
}

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

HRESULT FilterGraph::Run(REFERENCE_TIME) {
  return Run();
}

HRESULT FilterGraph::GetState(DWORD ms, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  OAFilterState s;
  HRESULT hr = GetState(static_cast<LONG>(ms), &s);
  *state = static_cast<FILTER_STATE>(s);
  return hr;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  clockChosen_ = true;
  for (Entry& e : filters_) e.filter->SetSyncSource(clock);
  return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

IVideoWindow* FilterGraph::videoWindow() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  for (Entry& e : filters_) {
    IVideoWindow* w = nullptr;
    if (SUCCEEDED(e.filter->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&w))) && w) return w;
  }
  return nullptr;
}

#define FORWARD_VIDEO_WINDOW(call)                                     \
  ComPtr<IVideoWindow> w = ComPtr<IVideoWindow>::adopt(videoWindow()); \
  if (!w) return E_NOINTERFACE;                                        \
  return w->call

HRESULT FilterGraph::put_WindowStyle(LONG v) {
  FORWARD_VIDEO_WINDOW(put_WindowStyle(v));
}
HRESULT FilterGraph::get_WindowStyle(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_WindowStyle(v));
}
HRESULT FilterGraph::put_AutoShow(LONG v) {
  FORWARD_VIDEO_WINDOW(put_AutoShow(v));
}
HRESULT FilterGraph::get_AutoShow(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_AutoShow(v));
}
HRESULT FilterGraph::put_Visible(LONG v) {
  FORWARD_VIDEO_WINDOW(put_Visible(v));
}
HRESULT FilterGraph::get_Visible(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_Visible(v));
}
HRESULT FilterGraph::put_Left(LONG v) {
  FORWARD_VIDEO_WINDOW(put_Left(v));
}
HRESULT FilterGraph::get_Left(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_Left(v));
}
HRESULT FilterGraph::put_Width(LONG v) {
  FORWARD_VIDEO_WINDOW(put_Width(v));
}
HRESULT FilterGraph::get_Width(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_Width(v));
}
HRESULT FilterGraph::put_Top(LONG v) {
  FORWARD_VIDEO_WINDOW(put_Top(v));
}
HRESULT FilterGraph::get_Top(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_Top(v));
}
HRESULT FilterGraph::put_Height(LONG v) {
  FORWARD_VIDEO_WINDOW(put_Height(v));
}
HRESULT FilterGraph::get_Height(LONG* v) {
  FORWARD_VIDEO_WINDOW(get_Height(v));
}
HRESULT FilterGraph::put_Owner(OAHWND v) {
  FORWARD_VIDEO_WINDOW(put_Owner(v));
}
HRESULT FilterGraph::get_Owner(OAHWND* v) {
  FORWARD_VIDEO_WINDOW(get_Owner(v));
}
HRESULT FilterGraph::SetWindowPosition(LONG l, LONG t, LONG wd, LONG h) {
  FORWARD_VIDEO_WINDOW(SetWindowPosition(l, t, wd, h));
}
HRESULT FilterGraph::GetWindowPosition(LONG* l, LONG* t, LONG* wd, LONG* h) {
  FORWARD_VIDEO_WINDOW(GetWindowPosition(l, t, wd, h));
}
#undef FORWARD_VIDEO_WINDOW
