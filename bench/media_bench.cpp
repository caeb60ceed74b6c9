// Per-frame cost of the media framework: a 720x480 RGB24 source through an
// in-place transform and an Infinite Pin Tee into two null renderers, and
// the same chain without the tee. Reports frames per second, time per frame
// and allocations per frame in steady state (operator new is counted). The
// framework's time without the copies the tee must make is measured on the
// same graph with 8x8 frames.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/media/guids.h"
#include "platform/media/tests/test_filters.h"

static std::atomic<uint64_t> g_allocations{0};

void* operator new(size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) {
  return operator new(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 720, kHeight = 480;
constexpr uint64_t kWarmup = 200, kFrames = 3000;

struct Window {
  std::mutex lock;
  std::condition_variable done;
  std::atomic<uint64_t> count{0};
  Clock::time_point t0, t1;
  uint64_t a0 = 0, a1 = 0;
  bool finished = false;
  static void onSample(void* ctx, IMediaSample*) {
    auto* w = static_cast<Window*>(ctx);
    uint64_t n = w->count.fetch_add(1) + 1;
    if (n == kWarmup) {
      w->a0 = g_allocations.load();
      w->t0 = Clock::now();
    } else if (n == kWarmup + kFrames) {
      w->t1 = Clock::now();
      w->a1 = g_allocations.load();
      std::lock_guard<std::mutex> g(w->lock);
      w->finished = true;
      w->done.notify_all();
    }
  }
};

ComPtr<IPin> pinOf(IBaseFilter* f, PIN_DIRECTION dir, int index) {
  ComPtr<IEnumPins> e;
  f->EnumPins(e.put());
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == dir && index-- == 0) return p;
  }
  return {};
}

ComPtr<IBaseFilter> make(IGraphBuilder* g, REFCLSID clsid, const char16_t* name) {
  ComPtr<IBaseFilter> f;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.putVoid()))) {
    std::fprintf(stderr, "media_bench: cannot create %s (is the build's class registry there?)\n",
                 guidToString(clsid).c_str());
    std::exit(1);
  }
  g->AddFilter(f.get(), name);
  return f;
}

bool link(IGraphBuilder* g, IBaseFilter* a, int out, IBaseFilter* b, int in) {
  return g->ConnectDirect(pinOf(a, PINDIR_OUTPUT, out).get(), pinOf(b, PINDIR_INPUT, in).get(), nullptr) ==
         S_OK;
}

struct Result {
  double fps, usPerFrame, allocsPerFrame;
};

Result runChain(bool withTee, int width, int height) {
  ComPtr<IGraphBuilder> graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              graph.putVoid()))) {
    std::fprintf(stderr, "media_bench: no filter graph\n");
    std::exit(1);
  }
  graph.as<IMediaFilter>()->SetSyncSource(nullptr);  // as fast as the filters go
  auto source = make(graph.get(), CLSID_TestSource, u"Source");
  source.as<ITestSource>()->SetFormat(width, height, 24);
  source.as<ITestSource>()->SetBufferCount(4);
  auto inplace = make(graph.get(), CLSID_TestInPlace, u"InPlace");
  auto r1 = make(graph.get(), CLSID_NullRenderer, u"Renderer 1");
  bool ok = link(graph.get(), source.get(), 0, inplace.get(), 0);
  ComPtr<IBaseFilter> tee, r2;
  if (withTee) {
    tee = make(graph.get(), CLSID_InfTee, u"Tee");
    r2 = make(graph.get(), CLSID_NullRenderer, u"Renderer 2");
    ok = ok && link(graph.get(), inplace.get(), 0, tee.get(), 0) &&
         link(graph.get(), tee.get(), 0, r1.get(), 0) && link(graph.get(), tee.get(), 1, r2.get(), 0);
  } else {
    ok = ok && link(graph.get(), inplace.get(), 0, r1.get(), 0);
  }
  if (!ok) {
    std::fprintf(stderr, "media_bench: connection failed\n");
    std::exit(1);
  }
  Window w;
  r1.as<INullRendererControl>()->SetCallback(&Window::onSample, &w);
  graph.as<IMediaControl>()->Run();
  {
    std::unique_lock<std::mutex> g(w.lock);
    w.done.wait(g, [&] { return w.finished; });
  }
  graph.as<IMediaControl>()->Stop();
  double seconds = std::chrono::duration<double>(w.t1 - w.t0).count();
  return {kFrames / seconds, seconds * 1e6 / kFrames, double(w.a1 - w.a0) / kFrames};
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  Result plain = runChain(false, kWidth, kHeight);
  Result tee = runChain(true, kWidth, kHeight);
  // The same graph with 8x8 frames: the tee's copies cost next to nothing,
  // so what is left is the framework's own time per frame.
  Result small = runChain(true, 8, 8);
  std::printf("media_bench: RGB24, %llu frames measured after %llu warm-up frames\n",
              static_cast<unsigned long long>(kFrames), static_cast<unsigned long long>(kWarmup));
  std::printf(
      "  720x480 source -> in-place -> null renderer:             %9.0f frames/s %8.2f us/frame %.3f "
      "allocs/frame\n",
      plain.fps, plain.usPerFrame, plain.allocsPerFrame);
  std::printf(
      "  720x480 source -> in-place -> inf tee -> 2 null renderers: %7.0f frames/s %8.2f us/frame %.3f "
      "allocs/frame\n",
      tee.fps, tee.usPerFrame, tee.allocsPerFrame);
  std::printf(
      "  8x8     source -> in-place -> inf tee -> 2 null renderers: %7.0f frames/s %8.2f us/frame %.3f "
      "allocs/frame\n",
      small.fps, small.usPerFrame, small.allocsPerFrame);
  std::printf("  framework time per frame, tee copies excluded: %.2f us (goal < 20 us)\n", small.usPerFrame);
  bool goal = small.usPerFrame < 20.0 && plain.usPerFrame < 20.0 && tee.allocsPerFrame == 0 &&
              plain.allocsPerFrame == 0 && small.allocsPerFrame == 0;
  std::printf("  goal %s\n", goal ? "met" : "NOT met");
  CoUninitialize();
  return 0;
}
