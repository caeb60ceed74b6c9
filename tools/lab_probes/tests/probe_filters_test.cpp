// The lab tests' own two filters in real graphs with the platform's filters:
// the frame probe reads the test-pattern camera's frame numbers from real
// pictures, and the circling pointer sends well-formed pointer records
// round the picture's centre.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "filters/pointer/pointer_info.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/guids.h"
#include "tools/lab_probes/circling_pointer.h"
#include "tools/lab_probes/frame_probe.h"

namespace {

struct Graph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  Graph() {
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.putVoid());
    if (graph) graph->QueryInterface(IID_IMediaControl, control.putVoid());
  }
  ~Graph() {
    if (control) control->Stop();
  }
};

// Waits (at most 20 s, so that a stuck graph fails instead of hanging) until done() holds.
template <typename F>
bool waitFor(F done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

struct Records {
  std::mutex lock;
  std::vector<std::vector<uint8_t>> bytes;
  static void record(void* self, IMediaSample* s) {
    auto* r = static_cast<Records*>(self);
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    std::lock_guard<std::mutex> g(r->lock);
    r->bytes.emplace_back(p, p + s->GetActualDataLength());
  }
  size_t size() {
    std::lock_guard<std::mutex> g(lock);
    return bytes.size();
  }
};

}  // namespace

TEST(FrameProbe, ReadsTheCameraFrameNumbersOfRgbPicturesOnly) {
  ComSession com;
  for (bool rgb : {true, false}) {
    Graph g;
    ASSERT_TRUE(g.control);
    ComPtr<IBaseFilter> camera = createFilter(CLSID_TestPatternCamera);
    ComPtr<FrameProbe> probe(new FrameProbe);
    ComPtr<IBaseFilter> sink = createFilter(CLSID_NullRenderer);
    ASSERT_TRUE(camera && sink);
    auto capture = camera.as<IVideoCaptureControl>();
    ASSERT_TRUE(capture);
    if (!rgb) {
      // The second format of the native size is YUY2: it passes unread.
      AM_MEDIA_TYPE yuy2{};
      ASSERT_EQ(capture->GetFormat(1, &yuy2), S_OK);
      EXPECT_EQ(yuy2.subtype, MEDIASUBTYPE_YUY2);
      EXPECT_EQ(capture->SetFormat(&yuy2), S_OK);
      FreeMediaType(yuy2);
    }
    sink.as<INullRendererControl>()->SetSyncToClock(FALSE);
    g.graph->AddFilter(camera.get(), u"Camera");
    g.graph->AddFilter(probe.get(), u"Probe");
    g.graph->AddFilter(sink.get(), u"Sink");
    ASSERT_EQ(connect(g.graph.get(), camera.get(), 0, probe.get(), 0), S_OK);
    ASSERT_EQ(connect(g.graph.get(), probe.get(), 0, sink.get(), 0), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    ASSERT_TRUE(waitFor([&] { return probe->counts().samples >= 20; }));
    g.control->Stop();

    const ProbeCounts counts = probe->counts();
    const auto readings = probe->readings();
    EXPECT_EQ(counts.width, rgb ? 640 : 0);
    EXPECT_EQ(counts.height, rgb ? 480 : 0);
    EXPECT_EQ(counts.rgb24, rgb);
    EXPECT_EQ(counts.unreadable, 0u);
    if (!rgb) {
      EXPECT_TRUE(readings.empty());
      continue;
    }
    ASSERT_EQ(readings.size(), counts.samples);
    // The camera numbers its frames from 0 at each start; a frame it had to
    // drop leaves a gap, never a step back.
    EXPECT_EQ(readings.front().frame, 0u);
    for (size_t i = 1; i < readings.size(); ++i) {
      EXPECT_GT(readings[i].frame, readings[i - 1].frame) << i;
      EXPECT_GE(readings[i].at, readings[i - 1].at);
    }
    uint64_t captured = 0, dropped = 0;
    capture->GetStatistics(&captured, &dropped);
    // No number beyond what the camera made was read.
    EXPECT_LT(readings.back().frame, captured) << "dropped " << dropped;
  }
}

TEST(CirclingPointer, SendsPointerRecordsRoundTheCentre) {
  ComSession com;
  Graph g;
  ASSERT_TRUE(g.control);
  ComPtr<CirclingPointer> source(new CirclingPointer);
  ComPtr<IBaseFilter> sink = createFilter(CLSID_NullRenderer);
  ASSERT_TRUE(sink);
  Records records;
  auto nr = sink.as<INullRendererControl>();
  nr->SetSyncToClock(FALSE);
  nr->SetCallback(Records::record, &records);
  g.graph->AddFilter(source.get(), u"Pointer");
  g.graph->AddFilter(sink.get(), u"Sink");
  ASSERT_EQ(connect(g.graph.get(), source.get(), 0, sink.get(), 0), S_OK);
  ASSERT_TRUE(SUCCEEDED(g.control->Run()));
  ASSERT_TRUE(waitFor([&] { return records.size() >= 6; }));
  g.control->Stop();
  EXPECT_GE(source->recordsSent(), records.size());

  std::lock_guard<std::mutex> guard(records.lock);
  pointing::POINTER_INFO previous{};
  for (size_t i = 0; i < records.bytes.size(); ++i) {
    ASSERT_EQ(records.bytes[i].size(), pointing::kPointerInfoSize);
    pointing::POINTER_INFO info;
    ASSERT_TRUE(pointing::readPointerInfo(records.bytes[i].data(), records.bytes[i].size(), info));
    EXPECT_EQ(info.valid, 1);
    EXPECT_TRUE(pointing::movesFocus(info)) << i;
    EXPECT_EQ(info.changeFlags, i == 0 ? 0x01FF : pointing::kChangeCursor | pointing::kChangePosition) << i;
    EXPECT_EQ(pointing::pointerCommand(info), "erase");
    const double r = std::hypot(info.positionX - 0.5, info.positionY - 0.5);
    EXPECT_NEAR(r, CirclingPointer::kRadius, 1e-4) << i;
    if (i > 0) {
      EXPECT_TRUE(info.positionX != previous.positionX || info.positionY != previous.positionY) << i;
    }
    previous = info;
  }
  // The first record is the start of the circle: right of the centre.
  pointing::POINTER_INFO first;
  ASSERT_TRUE(pointing::readPointerInfo(records.bytes[0].data(), records.bytes[0].size(), first));
  EXPECT_NEAR(first.positionX, 0.8, 1e-6);
  EXPECT_NEAR(first.positionY, 0.5, 1e-6);
}
