// graphdump: prints the graphs registered in this process as text or as a
// Graphviz digraph. Graphs live in the process that built them, so a program
// that wants its graphs dumped calls describeRegisteredGraphs itself; this
// tool shows the output on a demonstration graph built from registered
// classes (a source, an Infinite Pin Tee and two renderers).
//   graphdump [--dot] [--source {CLSID}]
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/graph_registry.h"
#include "platform/media/guids.h"

namespace {

// The test plug-in's synthetic source, used when no other source is named.
constexpr CLSID kDefaultSource = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E01}");

ComPtr<IPin> pinOf(IBaseFilter* f, PIN_DIRECTION dir, int index) {
  ComPtr<IEnumPins> e;
  if (!f || FAILED(f->EnumPins(e.put()))) return {};
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == dir && index-- == 0) return p;
  }
  return {};
}

ComPtr<IBaseFilter> addFilter(IGraphBuilder* g, REFCLSID clsid, const char16_t* name) {
  ComPtr<IBaseFilter> f;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.putVoid()))) {
    std::fprintf(stderr, "graphdump: class %s cannot be created\n", guidToString(clsid).c_str());
    return {};
  }
  g->AddFilter(f.get(), name);
  return f;
}

void link(IGraphBuilder* g, IBaseFilter* a, int out, IBaseFilter* b, int in) {
  ComPtr<IPin> o = pinOf(a, PINDIR_OUTPUT, out), i = pinOf(b, PINDIR_INPUT, in);
  if (o && i) g->ConnectDirect(o.get(), i.get(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  bool dot = false;
  CLSID source = kDefaultSource;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--dot")) {
      dot = true;
    } else if (!std::strcmp(argv[i], "--source") && i + 1 < argc && guidFromString(argv[i + 1], source)) {
      ++i;
    } else {
      std::fprintf(stderr, "usage: graphdump [--dot] [--source {CLSID}]\n");
      return 2;
    }
  }
  CoInitialize(nullptr);
  int rc = 0;
  {
    ComPtr<IGraphBuilder> graph;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.putVoid()))) {
      std::fprintf(stderr, "graphdump: no filter graph\n");
      CoUninitialize();
      return 1;
    }
    auto src = addFilter(graph.get(), source, u"Source");
    auto tee = addFilter(graph.get(), CLSID_InfTee, u"Infinite Pin Tee");
    auto r1 = addFilter(graph.get(), CLSID_NullRenderer, u"Renderer 1");
    auto r2 = addFilter(graph.get(), CLSID_NullRenderer, u"Renderer 2");
    link(graph.get(), src.get(), 0, tee.get(), 0);
    link(graph.get(), tee.get(), 0, r1.get(), 0);
    link(graph.get(), tee.get(), 1, r2.get(), 0);
    char name[64];
    std::snprintf(name, sizeof name, "FilterGraph %08x pid %08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(graph.get())),
                  static_cast<unsigned>(getpid()));
    DWORD cookie = 0;
    registerGraph(graph.get(), name, &cookie);
    std::fputs(describeRegisteredGraphs(dot).c_str(), stdout);
    revokeGraph(cookie);
    if (!src || !tee || !r1 || !r2) rc = 1;
  }
  CoUninitialize();
  return rc;
}
