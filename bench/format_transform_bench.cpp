// Frames per second of the format transform filter converting a 720x480
// picture to CIF (RGB24 and YUY2 in, RGB24 out) in a real graph, next to
// libswscale called directly for the same conversion with the same flags in
// the same run. The source delivers its buffers without copying them, so
// that the figure is the filter's own cost. Speeds are frames per second of
// the calling thread's processor time. Goal: the filter at least
// 1/1.05 of the direct call's speed.
#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/tests/outside_test_plugin.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

// Seconds of processor time of the calling thread: the whole path of a
// frame (source, filter, renderer) runs on it, and the other work on this
// shared machine does not count against it.
double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double framesPerSecond(const std::function<void()>& frame) {
  int frames = 0;
  const double start = threadSeconds();
  double now = start;
  while (now - start < 0.3) {
    for (int i = 0; i < 10; ++i) frame();
    frames += 10;
    now = threadSeconds();
  }
  return frames / (now - start);
}

// The machine is shared: the candidates run in turns, several rounds, and
// each keeps its best slice.
std::vector<double> bestOf(const std::vector<std::function<void()>>& candidates, int rounds) {
  std::vector<double> best(candidates.size(), 0.0);
  for (const auto& c : candidates)
    for (int i = 0; i < 20; ++i) c();
  for (int r = 0; r < rounds; ++r)
    for (size_t i = 0; i < candidates.size(); ++i) best[i] = std::max(best[i], framesPerSecond(candidates[i]));
  return best;
}

IBaseFilter* create(REFCLSID clsid) {
  IBaseFilter* f = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&f))))
    return nullptr;
  return f;
}

IPin* pinOf(IBaseFilter* f, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> e;
  f->EnumPins(e.put());
  IPin* p = nullptr;
  while (e->Next(1, &p, nullptr) == S_OK) {
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == dir) return p;
    p->Release();
  }
  return nullptr;
}

struct Case {
  const char* name;
  const GUID* subtype;
  uint32_t compression;
  int bits;
  AVPixelFormat pixfmt;
  bool flip;  // top-down input: the bottom-up output is written upwards
};

}  // namespace

int main() {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  sched_setaffinity(0, sizeof one, &one);

  // A registry of the bench's own with the modules it needs.
  char dir[] = "/tmp/format_transform_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string registry = std::string(dir) + "/class_registry.txt";
  setenv("POINTSHARE_CLASS_REGISTRY", registry.c_str(), 1);
  if (FAILED(registerServerModule(OUTSIDE_FILTERS_MODULE)) || FAILED(registerServerModule(OUTSIDE_TEST_MODULE)) ||
      FAILED(registerServerModule(PLATFORM_FILTERS_MODULE))) {
    std::fprintf(stderr, "cannot register the modules\n");
    return 1;
  }
  CoInitialize(nullptr);

  const int inW = 720, inH = 480, outW = 352, outH = 288;
  const Case cases[] = {
      {"RGB24", &MEDIASUBTYPE_RGB24, BI_RGB, 24, AV_PIX_FMT_BGR24, false},
      {"YUY2", &MEDIASUBTYPE_YUY2, makeFourcc('Y', 'U', 'Y', '2'), 16, AV_PIX_FMT_YUYV422, true},
  };
  std::printf("%-8s %14s %14s %12s\n", "input", "filter fps", "swscale fps", "sws/filter");
  int status = 0;
  for (const Case& c : cases) {
    const int inStride = inW * c.bits / 8, outStride = outW * 3;
    std::vector<uint8_t> picture(size_t(inStride) * inH);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 7 + (i >> 11));
    // The direct call writes into a 64-byte aligned buffer, its best case.
    std::vector<uint8_t> outStore(size_t(outStride) * outH + 64);
    uint8_t* outData = outStore.data() + (64 - reinterpret_cast<uintptr_t>(outStore.data()) % 64) % 64;

    // The graph: push source -> format transform (CIF) -> null renderer.
    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.putVoid());
    ComPtr<IBaseFilter> source = ComPtr<IBaseFilter>::adopt(create(CLSID_PushSource));
    ComPtr<IBaseFilter> transform = ComPtr<IBaseFilter>::adopt(create(CLSID_FormatTransform));
    ComPtr<IBaseFilter> sink = ComPtr<IBaseFilter>::adopt(create(CLSID_NullRenderer));
    if (!graph || !source || !transform || !sink) {
      std::fprintf(stderr, "cannot create the filters\n");
      return 1;
    }
    VideoInfoHeader vih;
    vih.bmi.width = inW;
    vih.bmi.height = inH;
    vih.bmi.bitCount = uint16_t(c.bits);
    vih.bmi.compression = c.compression;
    vih.bmi.sizeImage = uint32_t(picture.size());
    MediaType mt(MEDIATYPE_Video, *c.subtype, FORMAT_VideoInfo);
    mt.setFormat(makeVideoInfoBlock(vih));
    mt.setSampleSize(vih.bmi.sizeImage);
    source.as<IPushSource>()->SetMediaType(mt.ptr());
    transform.as<IFormatTransformControl>()->SetOutputVideoFormat(outside::kCIF);
    sink.as<INullRendererControl>()->SetSyncToClock(FALSE);
    graph->AddFilter(source.get(), u"source");
    graph->AddFilter(transform.get(), u"transform");
    graph->AddFilter(sink.get(), u"sink");
    ComPtr<IPin> a = ComPtr<IPin>::adopt(pinOf(source.get(), PINDIR_OUTPUT));
    ComPtr<IPin> b = ComPtr<IPin>::adopt(pinOf(transform.get(), PINDIR_INPUT));
    ComPtr<IPin> cOut = ComPtr<IPin>::adopt(pinOf(transform.get(), PINDIR_OUTPUT));
    ComPtr<IPin> d = ComPtr<IPin>::adopt(pinOf(sink.get(), PINDIR_INPUT));
    if (graph->ConnectDirect(a.get(), b.get(), nullptr) != S_OK ||
        graph->ConnectDirect(cOut.get(), d.get(), nullptr) != S_OK || graph.as<IMediaControl>()->Run() != S_OK) {
      std::fprintf(stderr, "cannot build the graph for %s\n", c.name);
      return 1;
    }
    auto push = source.as<IPushSource>();
    // Fill every buffer of the source once; later pushes deliver them as they are.
    for (int i = 0; i < 4; ++i) push->Push(picture.data(), LONG(picture.size()), nullptr);

    SwsContext* ctx = sws_getContext(inW, inH, c.pixfmt, outW, outH, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr,
                                     nullptr);
    const uint8_t* src[4] = {picture.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {inStride, 0, 0, 0};
    uint8_t* dst[4] = {c.flip ? outData + size_t(outStride) * (outH - 1) : outData, nullptr, nullptr, nullptr};
    const int dstStride[4] = {c.flip ? -outStride : outStride, 0, 0, 0};

    std::vector<std::function<void()>> candidates = {
        [&] { push->Push(nullptr, LONG(picture.size()), nullptr); },
        [&] { sws_scale(ctx, src, srcStride, 0, inH, dst, dstStride); },
    };
    const std::vector<double> fps = bestOf(candidates, 10);
    sws_freeContext(ctx);
    graph.as<IMediaControl>()->Stop();
    uint64_t frames = 0;
    sink.as<INullRendererControl>()->GetSampleCount(&frames);
    double ratio = fps[0] > 0 ? fps[1] / fps[0] : 0.0;
    std::printf("%-8s %14.0f %14.0f %12.3f%s\n", c.name, fps[0], fps[1], ratio, ratio <= 1.05 ? "" : "  (above 1.05)");
    if (frames == 0) {
      std::fprintf(stderr, "no frame reached the renderer\n");
      status = 1;
    }
  }
  CoUninitialize();
  std::remove(registry.c_str());
  std::remove((registry + ".lock").c_str());
  rmdir(dir);
  return status;
}
