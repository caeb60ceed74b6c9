// Rebuild cost of a sender-shaped graph: stop, dismantle with
// removeAllFilters, rebuild and start again, 100 times; the median and the
// 99th percentile of the wall-clock time per rebuild. Receivers rebuild on
// every status change, so this is on the user's path. Goal: median under
// 50 ms.
//
// The graph: test-pattern camera, format transform (CIF), Infinite Pin Tee,
// video renderer (off-screen), and on the tee's second output the MPEG-4 V2
// encoder and the multicast server filter. The server opens a socket, so
// it is used only inside the network lab:
//   tools/netlab/netlab -- build/bin/rebuild_bench
// elsewhere the encoder feeds a Null Renderer instead.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "gravet/tests/sender_graph.h"
#include "netlab.h"
#include "platform/com/runtime.h"

namespace {

// A class registry of the benchmark's own, holding the modules it needs.
bool makeRegistry(std::string& dir) {
  char path[] = "/tmp/rebuild_bench_XXXXXX";
  if (!mkdtemp(path)) return false;
  dir = path;
  setenv("POINTSHARE_CLASS_REGISTRY", (dir + "/class_registry.txt").c_str(), 1);
  const char* modules[] = {
      PLATFORM_FILTERS_MODULE, PLATFORM_CAPTURE_MODULE, OUTSIDE_FILTERS_MODULE,
#ifdef PLATFORM_CODECS_MODULE
      PLATFORM_CODECS_MODULE,
#endif
#ifdef OSTREL_MODULE
      OSTREL_MODULE,
#endif
  };
  for (const char* m : modules)
    if (FAILED(registerServerModule(m))) {
      std::fprintf(stderr, "cannot register %s\n", m);
      return false;
    }
  return true;
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  size_t i = size_t(p * double(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main() {
  std::string dir;
  if (!makeRegistry(dir)) return 1;
#ifdef PLATFORM_CODECS_MODULE
  const bool withEncoder = true;
#else
  const bool withEncoder = false;
#endif
  const bool withServer = netlab::insideLab();
  CoInitialize(nullptr);
  int rc = 0;
  {
    mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph(withEncoder, withServer);
    if (!m->initialize() || !m->buildGraph() || !m->start()) {
      std::fprintf(stderr, "the sender-shaped graph cannot be built here\n");
      m->shutdown();
      CoUninitialize();
      return 1;
    }
    std::printf("graph: %u filters (camera, format transform, tee, renderer%s%s)\n", m->getNumFilters(),
                withEncoder ? ", MPEG-4 V2 encoder" : "",
                !withEncoder ? ""
                             : (m->server->isDerivedFrom(rsNullRenderFilter::getStaticClassType())
                                    ? ", null renderer"
                                    : ", multicast server"));
    std::vector<double> ms;
    uint64_t lastFrames = 0;
    int stalled = 0;
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));  // let it run between rebuilds
      const auto t0 = std::chrono::steady_clock::now();
      bool ok = m->stop();
      ok = m->destroyGraph() && ok;
      ok = m->buildGraph() && ok;
      ok = m->start() && ok;
      const auto t1 = std::chrono::steady_clock::now();
      if (!ok) {
        std::fprintf(stderr, "rebuild %d failed\n", i);
        rc = 1;
        break;
      }
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      std::this_thread::sleep_for(std::chrono::milliseconds(70));
      const uint64_t frames = m->renderedFrames();
      if (frames == 0 || frames == lastFrames) ++stalled;
      lastFrames = frames;
    }
    m->stop();
    m->destroyGraph();
    m->shutdown();
    if (!ms.empty()) {
      std::printf(
          "rebuilds: %zu  median %.2f ms  p99 %.2f ms  min %.2f ms  max %.2f ms  (goal: median < 50 ms)\n",
          ms.size(), percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 0.0), percentile(ms, 1.0));
      std::printf("rebuilds after which no picture reached the renderer within 70 ms: %d\n", stalled);
    }
  }
  CoUninitialize();
  std::remove((dir + "/class_registry.txt").c_str());
  std::remove((dir + "/class_registry.txt.lock").c_str());
  rmdir(dir.c_str());
  return rc;
}
