// Real graphs of real plug-in filters: a synthetic source through the
// Infinite Pin Tee into two renderers (run, stop, run again), the Smart
// Tee's preview that drops rather than blocks, an in-place transform, the
// failures the graph must report, the device enumerator and filter mapper,
// and the graph descriptions.
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/sample_recorder.h"
#include "platform/media/device_enum.h"
#include "platform/media/graph_registry.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"
#include "platform/media/tests/test_filters.h"

namespace {

// The first `frames` samples are the source's frames in order, timed at `interval`.
void expectInOrder(const std::vector<RecordedSample>& seen, size_t frames, REFERENCE_TIME interval) {
  ASSERT_GE(seen.size(), frames);
  for (size_t i = 0; i < frames; ++i)
    EXPECT_EQ(std::tuple(seen[i].frameNumber(), seen[i].mediaStart, seen[i].start),
              std::tuple(uint64_t(i), int64_t(i), REFERENCE_TIME(i) * interval));
}

class Graph : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  void SetUp() override { ASSERT_TRUE(graph = newGraph()); }
  ComPtr<IBaseFilter> add(REFCLSID clsid, const char16_t* name) { return addNew(graph.get(), clsid, name); }
  OAFilterState state() { return stateOf(graph.get()); }
};

TEST_F(Graph, SourceThroughInfiniteTeeToTwoRenderersRunsStopsAndRunsAgain) {
  auto source = add(CLSID_TestSource, u"Source");
  auto tee = add(CLSID_InfTee, u"Tee");
  auto r1 = add(CLSID_NullRenderer, u"Renderer 1");
  auto r2 = add(CLSID_NullRenderer, u"Renderer 2");
  const REFERENCE_TIME interval = 20000;  // 2 ms
  const ULONG frames = 25;
  auto src = source.as<ITestSource>();
  src->SetFrameCount(frames);
  src->SetFrameInterval(interval);

  EXPECT_EQ(pinCount(tee.get(), PINDIR_OUTPUT), 1);
  // An output cannot connect before the input has a type.
  EXPECT_TRUE(FAILED(connect(graph.get(), tee.get(), 0, r1.get(), 0)));
  ASSERT_EQ(connect(graph.get(), source.get(), 0, tee.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 0, r1.get(), 0), S_OK);
  EXPECT_EQ(pinCount(tee.get(), PINDIR_OUTPUT), 2);  // a new free output appeared
  ASSERT_EQ(connect(graph.get(), tee.get(), 1, r2.get(), 0), S_OK);
  EXPECT_EQ(pinCount(tee.get(), PINDIR_OUTPUT), 3);

  // Both renderers got the source's type.
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(pinOf(r2.get(), PINDIR_INPUT, 0)->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(mt.formattype, FORMAT_VideoInfo);
  FreeMediaType(mt);

  SampleRecorder seen1, seen2;
  seen1.attachTo(r1.get());
  seen2.attachTo(r2.get());
  auto control = graph.as<IMediaControl>();
  for (int run = 0; run < 2; ++run) {
    seen1.clear();
    seen2.clear();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(state(), State_Running);
    ASSERT_TRUE(seen1.waitFor(frames));
    ASSERT_TRUE(seen2.waitFor(frames));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(state(), State_Stopped);
    expectInOrder(seen1.samples(), frames, interval);
    expectInOrder(seen2.samples(), frames, interval);
    EXPECT_EQ(seen1.count(), frames);
  }

  // Disconnecting one output leaves exactly one free output.
  ASSERT_EQ(graph->Disconnect(pinOf(r2.get(), PINDIR_INPUT, 0).get()), S_OK);
  ASSERT_EQ(graph->Disconnect(pinOf(tee.get(), PINDIR_OUTPUT, 1).get()), S_OK);
  EXPECT_EQ(pinCount(tee.get(), PINDIR_OUTPUT), 2);
  uint64_t n = 0;
  r1.as<INullRendererControl>()->GetSampleCount(&n);
  EXPECT_EQ(n, 2u * frames);
}

TEST_F(Graph, TransformsInPlaceAndIntoTheirOwnBuffers) {
  // Two chains in one graph: untimed frames through an in-place transform
  // (each changed exactly once, in place), timed frames through a copying
  // transform (written into its own buffers).
  auto source = add(CLSID_TestSource, u"Source");
  auto inplace = add(CLSID_TestInPlace, u"InPlace");
  auto r1 = add(CLSID_NullRenderer, u"Renderer");
  auto timed = add(CLSID_TestSource, u"Timed");
  auto copy = add(CLSID_TestCopy, u"Copy");
  auto r2 = add(CLSID_NullRenderer, u"Renderer 2");
  const REFERENCE_TIME interval = 10000;
  source.as<ITestSource>()->SetFrameCount(10);
  timed.as<ITestSource>()->SetFrameCount(12);
  timed.as<ITestSource>()->SetFrameInterval(interval);
  ASSERT_EQ(chain(graph.get(), {source.get(), inplace.get(), r1.get()}), S_OK);
  // The output cannot connect before the input.
  EXPECT_TRUE(FAILED(connect(graph.get(), copy.get(), 0, r2.get(), 0)));
  // Buffer negotiation as capture pins offer it: suggest, connect, read back.
  auto negotiation = pinOf(timed.get(), PINDIR_OUTPUT, 0).as<IAMBufferNegotiation>();
  ASSERT_TRUE(negotiation);
  ALLOCATOR_PROPERTIES suggested{5, 0, 0, 0}, agreed{};
  EXPECT_EQ(negotiation->GetAllocatorProperties(&agreed), VFW_E_NO_ALLOCATOR);
  ASSERT_EQ(negotiation->SuggestAllocatorProperties(&suggested), S_OK);
  ASSERT_EQ(connect(graph.get(), timed.get(), 0, copy.get(), 0), S_OK);
  ASSERT_EQ(negotiation->GetAllocatorProperties(&agreed), S_OK);
  EXPECT_EQ(std::pair(agreed.cBuffers, agreed.cbBuffer), std::pair(5, 64 * 48 * 3));
  EXPECT_EQ(negotiation->SuggestAllocatorProperties(&suggested), VFW_E_ALREADY_CONNECTED);
  ASSERT_EQ(connect(graph.get(), copy.get(), 0, r2.get(), 0), S_OK);
  EXPECT_FALSE(pinOf(copy.get(), PINDIR_OUTPUT, 0).as<IAMBufferNegotiation>());  // not a capture pin
  SampleRecorder seen1, seen2;
  seen1.attachTo(r1.get());
  seen2.attachTo(r2.get());
  ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
  ASSERT_TRUE(seen1.waitFor(10));
  ASSERT_TRUE(seen2.waitFor(12));
  ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);
  uint64_t transformed = 0;
  inplace.as<ITestInPlace>()->GetSamplesSeen(&transformed);
  EXPECT_EQ(transformed, 10u);
  const std::vector<RecordedSample> untimed = seen1.samples(), copied = seen2.samples();
  expectInOrder(copied, 12, interval);
  for (size_t i = 0; i < 10; ++i)  // changed once, untimed
    EXPECT_EQ(std::tuple(untimed[i].frameNumber(), untimed[i].data[8], untimed[i].start),
              std::tuple(i, 1, -1));
  for (const RecordedSample& s : copied) EXPECT_EQ(s.data[8], 7);
}

// A preview renderer that holds its first sample until released.
struct Blocker {
  std::mutex lock;
  std::condition_variable cv;
  bool release = false;
  int entered = 0;
  static void hold(void* ctx, IMediaSample*) {
    auto* self = static_cast<Blocker*>(ctx);
    std::unique_lock<std::mutex> g(self->lock);
    ++self->entered;
    self->cv.notify_all();
    self->cv.wait(g, [&] { return self->release; });
  }
};

TEST_F(Graph, SmartTeePreviewDropsRatherThanBlocks) {
  auto source = add(CLSID_TestSource, u"Source");
  auto tee = add(CLSID_SmartTee, u"SmartTee");
  auto capture = add(CLSID_NullRenderer, u"Capture");
  auto preview = add(CLSID_NullRenderer, u"Preview");
  ASSERT_EQ(connect(graph.get(), source.get(), 0, tee.get(), 0), S_OK);
  ASSERT_EQ(pinCount(tee.get(), PINDIR_OUTPUT), 2);
  PIN_INFO info{};
  pinOf(tee.get(), PINDIR_OUTPUT, 0)->QueryPinInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"Capture");
  info.pFilter->Release();
  ASSERT_EQ(connect(graph.get(), tee.get(), 0, capture.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 1, preview.get(), 0), S_OK);

  Blocker blocker;
  preview.as<INullRendererControl>()->SetCallback(&Blocker::hold, &blocker);
  SampleRecorder seen;
  seen.attachTo(capture.get());
  auto control = graph.as<IMediaControl>();
  ASSERT_EQ(control->Run(), S_OK);
  {
    std::unique_lock<std::mutex> g(blocker.lock);
    ASSERT_TRUE(blocker.cv.wait_for(g, std::chrono::seconds(10), [&] { return blocker.entered > 0; }));
  }
  // The capture stream keeps flowing while the preview is stuck.
  ASSERT_TRUE(seen.waitFor(seen.count() + 200));
  uint64_t previewCount = 0;
  preview.as<INullRendererControl>()->GetSampleCount(&previewCount);
  EXPECT_LE(previewCount, 1u);
  {
    std::lock_guard<std::mutex> g(blocker.lock);
    EXPECT_EQ(blocker.entered, 1);
    blocker.release = true;
  }
  blocker.cv.notify_all();
  ASSERT_EQ(control->Stop(), S_OK);
  const std::vector<RecordedSample> captured = seen.samples();
  for (size_t i = 1; i < captured.size(); ++i)
    ASSERT_EQ(captured[i].frameNumber(), captured[i - 1].frameNumber() + 1);
}

TEST_F(Graph, BadRequestsFailWithoutHarm) {
  auto source = add(CLSID_TestSource, u"Source");
  auto r1 = add(CLSID_NullRenderer, u"Renderer");
  auto r2 = createFilter(CLSID_NullRenderer);
  EXPECT_EQ(graph->AddFilter(r2.get(), u"Renderer"), VFW_S_DUPLICATE_NAME);  // the name is made unique
  EXPECT_EQ(graph->AddFilter(r2.get(), u"Again"), VFW_E_DUPLICATE_NAME);
  FILTER_INFO fi{};
  r2->QueryFilterInfo(&fi);
  EXPECT_NE(std::u16string(fi.achName), u"Renderer");
  if (fi.pGraph) fi.pGraph->Release();
  auto control = graph.as<IMediaControl>();

  EXPECT_EQ(control->Stop(), VFW_E_WRONG_STATE);  // never ran
  EXPECT_EQ(state(), State_Stopped);

  ComPtr<IPin> in1 = pinOf(r1.get(), PINDIR_INPUT, 0), in2 = pinOf(r2.get(), PINDIR_INPUT, 0);
  ComPtr<IPin> out = pinOf(source.get(), PINDIR_OUTPUT, 0);
  EXPECT_EQ(graph->ConnectDirect(in1.get(), in2.get(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(graph->ConnectDirect(in1.get(), out.get(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(in1->Connect(in2.get(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(graph->ConnectDirect(nullptr, in1.get(), nullptr), E_POINTER);

  // A type the source does not offer.
  MediaType audio(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx);
  EXPECT_TRUE(FAILED(graph->ConnectDirect(out.get(), in1.get(), audio.ptr())));
  EXPECT_FALSE(out.as<IPin>()->ConnectedTo(ComPtr<IPin>().put()) == S_OK);

  ASSERT_EQ(graph->ConnectDirect(out.get(), in1.get(), nullptr), S_OK);
  EXPECT_EQ(graph->ConnectDirect(out.get(), in2.get(), nullptr), VFW_E_ALREADY_CONNECTED);

  // A filter outside the graph.
  ComPtr<IBaseFilter> stranger = createFilter(CLSID_NullRenderer);
  EXPECT_EQ(graph->ConnectDirect(out.get(), pinOf(stranger.get(), PINDIR_INPUT, 0).get(), nullptr),
            VFW_E_NOT_IN_GRAPH);
  EXPECT_EQ(graph->RemoveFilter(stranger.get()), VFW_E_NOT_FOUND);

  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_EQ(graph->RemoveFilter(r1.get()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(graph->ConnectDirect(out.get(), in2.get(), nullptr), VFW_E_NOT_STOPPED);
  EXPECT_EQ(graph->Disconnect(in1.get()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(control->Run(), S_OK);  // already running
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(control->Stop(), VFW_E_WRONG_STATE);

  // Removing a connected filter disconnects both ends.
  ASSERT_EQ(graph->RemoveFilter(r1.get()), S_OK);
  ComPtr<IPin> peer;
  EXPECT_EQ(out->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(in1->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
  ComPtr<IEnumFilters> e;
  graph->EnumFilters(e.put());
  ULONG count = 0;
  ComPtr<IBaseFilter> f;
  while (e->Next(1, f.put(), nullptr) == S_OK) ++count;
  EXPECT_EQ(count, 2u);
}

TEST_F(Graph, StopWakesSamplesWaitingForTheirTimeAndRepeatedRunsAreClean) {
  auto source = add(CLSID_TestSource, u"Source");
  auto smart = add(CLSID_SmartTee, u"SmartTee");
  auto tee = add(CLSID_InfTee, u"Tee");
  auto r1 = add(CLSID_NullRenderer, u"Renderer 1");
  auto r2 = add(CLSID_NullRenderer, u"Renderer 2");
  auto r3 = add(CLSID_NullRenderer, u"Preview");
  ASSERT_EQ(connect(graph.get(), source.get(), 0, smart.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), smart.get(), 0, tee.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), smart.get(), 1, r3.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 0, r1.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 1, r2.get(), 0), S_OK);
  auto control = graph.as<IMediaControl>();
  auto src = source.as<ITestSource>();

  // Frames one second apart: the second frame waits in the renderer when we stop.
  src->SetFrameInterval(10000000);
  ASSERT_EQ(control->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));

  // Untimed frames, many short runs: every stop joins every thread cleanly.
  src->SetFrameInterval(0);
  uint64_t last = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(control->Stop(), S_OK);
    uint64_t n = 0;
    r1.as<INullRendererControl>()->GetSampleCount(&n);
    EXPECT_GE(n, last);
    last = n;
  }
  EXPECT_GT(last, 0u);
}

TEST_F(Graph, VideoWindowWithoutRendererFails) {
  auto vw = graph.as<IVideoWindow>();
  ASSERT_TRUE(vw);
  LONG w = 1;
  EXPECT_EQ(vw->get_Width(&w), E_NOINTERFACE);
  add(CLSID_VideoRenderer, u"VideoRender");
  EXPECT_EQ(vw->put_Width(320), S_OK);
  EXPECT_EQ(vw->get_Width(&w), S_OK);
  EXPECT_EQ(w, 320);
  LONG visible = 0;
  vw->put_Visible(OATRUE);
  vw->get_Visible(&visible);
  EXPECT_EQ(visible, OATRUE);
}

TEST_F(Graph, DescriptionsAsTextAndGraphviz) {
  auto source = add(CLSID_TestSource, u"VideoClient(Main)");
  auto renderer = add(CLSID_NullRenderer, u"VideoRender");
  ASSERT_EQ(connect(graph.get(), source.get(), 0, renderer.get(), 0), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(registerGraph(graph.get(), "FilterGraph test", &cookie), S_OK);
  std::string text = describeRegisteredGraphs(false);
  EXPECT_NE(text.find("graph \"FilterGraph test\""), std::string::npos) << text;
  EXPECT_NE(text.find("filter \"VideoClient(Main)\" (stopped)"), std::string::npos) << text;
  EXPECT_NE(text.find("out \"Out\" -> \"VideoRender\".\"In\" [Video RGB24 64x48 24bit]"), std::string::npos)
      << text;
  std::string dot = describeRegisteredGraphs(true);
  EXPECT_NE(dot.find("digraph \"FilterGraph test\""), std::string::npos) << dot;
  EXPECT_NE(dot.find("f0 -> f1"), std::string::npos) << dot;
  EXPECT_EQ(revokeGraph(cookie), S_OK);
  EXPECT_EQ(revokeGraph(cookie), E_INVALIDARG);
  EXPECT_TRUE(describeRegisteredGraphs(false).empty());
}

TEST(Devices, EnumeratorAndMapper) {
  // A registry of the test's own holding only these modules, so that the
  // enumerator and the mapper see exactly the test's devices and filters.
  PrivateRegistry registry;
  const std::string lib = std::string(std::getenv("PROJECT_BINARY_DIR") ? std::getenv("PROJECT_BINARY_DIR") : ".") + "/lib/";
  for (const char* m : {"media_test_plugin.so", "platform_filters.so"}) ASSERT_TRUE(registry.add((lib + m).c_str())) << m;
  ComSession com;
  registerDevice({CLSID_VideoInputDeviceCategory, CLSID_TestSource, "Test Camera 2", "/dev/fake0", 0});
  std::vector<Listed> video = listCategory(CLSID_VideoInputDeviceCategory);
  EXPECT_EQ(namesOf(video), (std::vector<std::string>{"Test Source", "Test Camera 2"}));
  for (const Listed& l : video) EXPECT_TRUE(l.bind()) << l.name;
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(video.at(0).moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
  char name[64];
  EXPECT_EQ(bag->Read("Nothing", name, sizeof name), E_INVALIDARG);
  unregisterDevice(CLSID_VideoInputDeviceCategory, CLSID_TestSource, "/dev/fake0");

  // Devices a module finds at run time. (Other modules of the build add
  // devices of their own to this category.)
  std::vector<Listed> audio = listCategory(CLSID_AudioInputDeviceCategory);
  std::erase_if(audio, [](const Listed& l) { return l.name.rfind("Test Device", 0) != 0; });
  ASSERT_EQ(namesOf(audio), (std::vector<std::string>{"Test Device A", "Test Device B"}));
  char path[64];
  audio[1].bind().as<ITestSource>()->GetDevicePath(path, sizeof path);
  EXPECT_STREQ(path, "/dev/test-b");

  ComPtr<ICreateDevEnum> devEnum;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                             devEnum.putVoid()),
            S_OK);
  ComPtr<IEnumMoniker> none;
  EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_AudioRendererCategory, none.put(), 0), S_FALSE);
  EXPECT_FALSE(none);

  std::vector<std::string> names = namesOf(listMatching(0x100001));
  ASSERT_FALSE(names.empty());
  auto at = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
  EXPECT_LT(at("Test In Place"), at("Test Copy"));                        // highest merit first
  EXPECT_LT(at("Test Copy"), static_cast<std::ptrdiff_t>(names.size()));
  EXPECT_EQ(std::count(names.begin(), names.end(), "Null Renderer"), 0);  // no output pin
  EXPECT_EQ(std::count(names.begin(), names.end(), "Test Source"), 0);    // no input pin
  // By input type: audio finds no video filter.
  const GUID audioPcm[2] = {MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
  EXPECT_TRUE(listMatching(0x300000, audioPcm, true).empty());
}

}  // namespace
