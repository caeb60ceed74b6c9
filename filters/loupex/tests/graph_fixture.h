// Shared pieces of the pointer filters' graph tests: picture and pointer
// media types, a renderer that keeps what it received, and a graph.
#pragma once
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "filters/loupex/tests/queue_source.h"
#include "filters/pointer/pointer_info.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/guids.h"
#include "platform/media/media_type.h"
#include "platform/media/records.h"

// Packed RGB24 bottom-up picture type (rows padded to 32 bits, as bitmaps are).
inline MediaType rgbType(int32_t width, int32_t height) {
  VideoInfoHeader vih;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = 24;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  vih.source = {0, 0, width, height < 0 ? -height : height};
  MediaType mt(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setSampleSize(vih.bmi.sizeImage);
  mt.setFixedSizeSamples(true);
  return mt;
}

inline MediaType pointerType() {
  MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(pointing::kPointerInfoSize);
  return mt;
}

// A picture whose every byte differs from its neighbours'.
inline std::vector<uint8_t> patternPicture(int32_t width, int32_t height, uint32_t seed = 1) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * height * 3);
  uint32_t x = seed * 2654435761u + 12345u;
  for (auto& b : p) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return p;
}

inline std::vector<uint8_t> recordBytes(float x, float y, uint8_t valid = 1, uint16_t flags = 0x0080,
                                        int32_t shape = 0) {
  pointing::POINTER_INFO info;
  info.valid = valid;
  info.changeFlags = flags;
  info.shape = shape;
  info.positionX = x;
  info.positionY = y;
  auto bytes = pointing::pointerInfoBytes(info);
  return {bytes.begin(), bytes.end()};
}

// What the renderer received, frame by frame.
struct Frames {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<int64_t> mediaStarts;
  std::vector<bool> discontinuities;

  static void record(void* ctx, IMediaSample* s) {
    auto* self = static_cast<Frames*>(ctx);
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    const LONG n = s->GetActualDataLength();
    int64_t ms = -1, me = -1;
    s->GetMediaTime(&ms, &me);
    std::lock_guard<std::mutex> g(self->lock);
    self->frames.emplace_back(p, p + n);
    self->mediaStarts.push_back(ms);
    self->discontinuities.push_back(s->IsDiscontinuity() == S_OK);
    self->changed.notify_all();
  }
  bool waitFor(size_t n) {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::seconds(10), [&] { return frames.size() >= n; });
  }
  std::vector<uint8_t> at(size_t i) {
    std::lock_guard<std::mutex> g(lock);
    return i < frames.size() ? frames[i] : std::vector<uint8_t>{};
  }
  size_t count() {
    std::lock_guard<std::mutex> g(lock);
    return frames.size();
  }
};

class FilterGraphTest : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  void SetUp() override { ASSERT_TRUE(graph = newGraph()); }
  void TearDown() override {
    if (graph) graph.as<IMediaControl>()->Stop();
  }
  ComPtr<IBaseFilter> add(REFCLSID clsid, const char16_t* name) { return addNew(graph.get(), clsid, name); }
  ComPtr<IBaseFilter> addSource(const MediaType& mt, const char16_t* name, LONG bufferSize = 0) {
    ComPtr<IBaseFilter> f = add(CLSID_TestQueueSource, name);
    if (f) {
      EXPECT_EQ(f.as<ITestQueueSource>()->SetType(mt.ptr(), bufferSize), S_OK);
    }
    return f;
  }
  ComPtr<IBaseFilter> addRenderer(Frames& frames, const char16_t* name = u"Renderer") {
    ComPtr<IBaseFilter> f = add(CLSID_NullRenderer, name);
    if (f) {
      auto c = f.as<INullRendererControl>();
      c->SetSyncToClock(FALSE);
      c->SetCallback(&Frames::record, &frames);
    }
    return f;
  }
  HRESULT connectPins(IBaseFilter* from, const char16_t* outName, IBaseFilter* to, const char16_t* inName) {
    ComPtr<IPin> o, i;
    if (FAILED(from->FindPin(outName, o.put())) || FAILED(to->FindPin(inName, i.put()))) return E_INVALIDARG;
    return graph->ConnectDirect(o.get(), i.get(), nullptr);
  }
  HRESULT run() { return graph.as<IMediaControl>()->Run(); }
  HRESULT stop() { return graph.as<IMediaControl>()->Stop(); }
  static void queue(IBaseFilter* source, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(ComPtr<IBaseFilter>(source).as<ITestQueueSource>()->Queue(bytes.data(),
                                                                        static_cast<LONG>(bytes.size())),
              S_OK);
  }
  // Queues a sample and waits until the filter downstream has taken it.
  static void send(IBaseFilter* source, const std::vector<uint8_t>& bytes) {
    auto q = ComPtr<IBaseFilter>(source).as<ITestQueueSource>();
    uint64_t before = 0;
    q->GetDelivered(&before);
    ASSERT_EQ(q->Queue(bytes.data(), static_cast<LONG>(bytes.size())), S_OK);
    // The delivery is counted when the source asks for its next sample.
    ASSERT_EQ(q->WaitDelivered(before + 1, 10000), S_OK);
  }
};
