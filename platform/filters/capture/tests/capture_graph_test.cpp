// Capture sources in real graphs of real plug-in filters: the test-pattern
// camera through the Smart Tee into null renderers at several sizes and
// formats (frame numbers increase, pixels are exactly the pattern, time
// stamps follow the clock), both pins at once, stop/run cycles, pin
// categories, buffer negotiation, the analog-decoder interface, the
// property page, the device enumerator's list, and a device that fails to
// start or disappears mid-run while the rest of the graph keeps running.
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/com/log.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/capture/capture_filter.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "platform/filters/capture/test_pattern_image.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/log_capture.h"
#include "platform/media/tests/property_pages.h"
#include "platform/media/device_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/property_page.h"
#include "platform/media/results.h"

namespace {

constexpr REFERENCE_TIME kFastInterval = 100000;  // 100 frames per second

// What one renderer received.
struct Received {
  std::mutex lock;
  std::condition_variable changed;
  VideoFormat format;
  std::vector<uint32_t> numbers;
  std::vector<int64_t> mediaTimes;
  std::vector<REFERENCE_TIME> starts, stops;
  int unreadable = 0, wrongPixels = 0;
  bool checkPixels = true;

  static void record(void* ctx, IMediaSample* s) {
    auto* self = static_cast<Received*>(ctx);
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    LONG length = s->GetActualDataLength();
    REFERENCE_TIME st = -1, sp = -1;
    int64_t ms = -1, me = -1;
    s->GetTime(&st, &sp);
    s->GetMediaTime(&ms, &me);
    std::lock_guard<std::mutex> g(self->lock);
    const VideoFormat& f = self->format;
    uint32_t n = 0;
    bool ok = f.subtype == MEDIASUBTYPE_RGB24 ? test_pattern::readFrameNumberRgb24(p, f.width, f.height, &n)
              : f.subtype == MEDIASUBTYPE_YUY2
                  ? test_pattern::readFrameNumberYuy2(p, f.width, f.height, &n)
                  : test_pattern::readFrameNumberLuma(p, f.width, f.height, f.width, &n);
    if (!ok) {
      ++self->unreadable;
    } else if (self->checkPixels) {
      std::vector<uint8_t> want(pictureBytes(f));
      renderTestPattern(n, f, want.data(), want.size());
      if (length != static_cast<LONG>(want.size()) || std::memcmp(p, want.data(), want.size()) != 0)
        ++self->wrongPixels;
    }
    self->numbers.push_back(n);
    self->mediaTimes.push_back(ms);
    self->starts.push_back(st);
    self->stops.push_back(sp);
    self->changed.notify_all();
  }
  bool waitFor(size_t n) {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::seconds(20), [&] { return numbers.size() >= n; });
  }
  void clear() {
    std::lock_guard<std::mutex> g(lock);
    numbers.clear();
    mediaTimes.clear();
    starts.clear();
    stops.clear();
    unreadable = wrongPixels = 0;
  }
  // Numbers strictly increase; media time is the number; time stamps are
  // number × interval on the stream clock.
  void expectConsistent(REFERENCE_TIME interval) {
    std::lock_guard<std::mutex> g(lock);
    EXPECT_EQ(unreadable, 0);
    EXPECT_EQ(wrongPixels, 0);
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (i > 0) {
        EXPECT_GT(numbers[i], numbers[i - 1]);
      }
      EXPECT_EQ(mediaTimes[i], int64_t(numbers[i]));
      EXPECT_EQ(starts[i], REFERENCE_TIME(numbers[i]) * interval);
      EXPECT_EQ(stops[i], starts[i] + interval);
    }
  }
};

class CaptureGraph : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  void SetUp() override { ASSERT_TRUE(graph = newGraph()); }
  ComPtr<IBaseFilter> add(REFCLSID clsid, const char16_t* name) { return addNew(graph.get(), clsid, name); }
  ComPtr<IBaseFilter> renderer(const char16_t* name, Received* into) {
    auto r = add(CLSID_NullRenderer, name);
    auto c = r.as<INullRendererControl>();
    c->SetSyncToClock(FALSE);
    c->SetCallback(&Received::record, into);
    return r;
  }
  IMediaControl* control() {
    if (!control_) control_ = graph.as<IMediaControl>();
    return control_.get();
  }
  ComPtr<IMediaControl> control_;
};

TEST_F(CaptureGraph, TestPatternThroughSmartTeeAtSeveralSizesDeliversTheExactPattern) {
  const VideoFormat formats[] = {{128, 96, MEDIASUBTYPE_RGB24},  {352, 288, MEDIASUBTYPE_RGB24},
                                 {720, 480, MEDIASUBTYPE_I420},  {176, 144, MEDIASUBTYPE_YUY2},
                                 {360, 240, MEDIASUBTYPE_RGB24}, {640, 480, MEDIASUBTYPE_RGB24}};
  for (const VideoFormat& f : formats) {
    SCOPED_TRACE(describeVideoFormat(f));
    auto camera = add(CLSID_TestPatternCamera, u"Camera");
    auto tee = add(CLSID_SmartTee, u"SmartTee");
    Received capture, preview;
    capture.format = preview.format = f;
    auto r1 = renderer(u"Capture", &capture);
    auto r2 = renderer(u"Preview", &preview);
    auto cc = camera.as<IVideoCaptureControl>();
    ASSERT_TRUE(cc);
    cc->SetFrameInterval(kFastInterval);
    MediaType mt = videoFormatMediaType(f, kFastInterval);
    ASSERT_EQ(graph->ConnectDirect(pinOf(camera.get(), PINDIR_OUTPUT, 0).get(),
                                   pinOf(tee.get(), PINDIR_INPUT, 0).get(), mt.ptr()),
              S_OK);
    ASSERT_EQ(connect(graph.get(), tee.get(), 0, r1.get(), 0), S_OK);
    ASSERT_EQ(connect(graph.get(), tee.get(), 1, r2.get(), 0), S_OK);
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(capture.waitFor(12));
    ASSERT_TRUE(preview.waitFor(3));
    ASSERT_EQ(control()->Stop(), S_OK);
    capture.expectConsistent(kFastInterval);
    {
      std::lock_guard<std::mutex> g(preview.lock);
      EXPECT_EQ(preview.unreadable, 0);
      EXPECT_EQ(preview.wrongPixels, 0);
    }
    uint64_t captured = 0, dropped = 0;
    cc->GetStatistics(&captured, &dropped);
    EXPECT_GE(captured, 12u);
    for (auto* f2 : {camera.get(), tee.get(), r1.get(), r2.get()}) graph->RemoveFilter(f2);
  }
}

TEST_F(CaptureGraph, BothPinsInDifferentFormatsAndStopRunCycles) {
  auto camera = add(CLSID_TestPatternCamera, u"Camera");
  Received capture, preview;
  capture.format = {320, 240, MEDIASUBTYPE_RGB24};
  preview.format = {160, 120, MEDIASUBTYPE_I420};
  auto r1 = renderer(u"Capture", &capture);
  auto r2 = renderer(u"Preview", &preview);
  auto cc = camera.as<IVideoCaptureControl>();
  cc->SetFrameInterval(kFastInterval);
  MediaType m1 = videoFormatMediaType(capture.format, kFastInterval);
  MediaType m2 = videoFormatMediaType(preview.format, kFastInterval);
  ASSERT_EQ(graph->ConnectDirect(pinOf(camera.get(), PINDIR_OUTPUT, 0).get(),
                                 pinOf(r1.get(), PINDIR_INPUT, 0).get(), m1.ptr()),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinOf(camera.get(), PINDIR_OUTPUT, 1).get(),
                                 pinOf(r2.get(), PINDIR_INPUT, 0).get(), m2.ptr()),
            S_OK);
  for (int cycle = 0; cycle < 4; ++cycle) {
    SCOPED_TRACE(cycle);
    capture.clear();
    preview.clear();
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(capture.waitFor(8));
    ASSERT_TRUE(preview.waitFor(8));
    // A pause in the middle holds the stream; running again resumes it.
    if (cycle == 1) {
      ASSERT_EQ(control()->Pause(), S_OK);
      ASSERT_EQ(control()->Run(), S_OK);
      ASSERT_TRUE(capture.waitFor(16));
    }
    ASSERT_EQ(control()->Stop(), S_OK);
    capture.expectConsistent(kFastInterval);
    preview.expectConsistent(kFastInterval);
    // Each start counts from frame 0 again (a slow machine may drop the
    // first frames, but not half a second of them).
    std::lock_guard<std::mutex> g(capture.lock);
    EXPECT_LT(capture.numbers.front(), 50u);
  }
}

TEST_F(CaptureGraph, CaptureLogMarksTheFramesASlowCapturePinNeverTook) {
  // POINTSHARE_CAPTURE_LOG notes every grabbed frame with its time; a
  // renderer slower than the camera makes the capture pin skip frames,
  // which the log then notes with 0. What the renderer got is exactly the
  // frames whose last note has a time.
  const std::string path = ::testing::TempDir() + "capture_log_test.txt";
  std::remove(path.c_str());
  setenv("POINTSHARE_CAPTURE_LOG", path.c_str(), 1);
  auto camera = add(CLSID_TestPatternCamera, u"Camera");
  unsetenv("POINTSHARE_CAPTURE_LOG");
  struct Slow : Received {
    static void record(void* ctx, IMediaSample* s) {
      Received::record(ctx, s);
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  } slow;
  slow.format = {160, 120, MEDIASUBTYPE_RGB24};
  auto r = add(CLSID_NullRenderer, u"Slow");
  r.as<INullRendererControl>()->SetSyncToClock(FALSE);
  r.as<INullRendererControl>()->SetCallback(&Slow::record, &slow);
  camera.as<IVideoCaptureControl>()->SetFrameInterval(kFastInterval);
  MediaType mt = videoFormatMediaType(slow.format, kFastInterval);
  ASSERT_EQ(graph->ConnectDirect(pinOf(camera.get(), PINDIR_OUTPUT, 0).get(), pinOf(r.get(), PINDIR_INPUT, 0).get(),
                                 mt.ptr()),
            S_OK);
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(slow.waitFor(10));
  ASSERT_EQ(control()->Stop(), S_OK);
  graph->RemoveFilter(camera.get());
  camera.reset();  // closes the log
  std::map<uint64_t, long long> last;
  std::ifstream log(path);
  unsigned long long frame = 0;
  long long when = 0;
  while (log >> frame >> when) last[frame] = when;
  std::set<uint64_t> got;
  {
    std::lock_guard<std::mutex> g(slow.lock);
    got.insert(slow.numbers.begin(), slow.numbers.end());
  }
  size_t skipped = 0;
  for (const auto& [number, time] : last) {
    if (number > *got.rbegin()) continue;  // grabbed after the last one taken
    EXPECT_EQ(time != 0, got.count(number) == 1) << "frame " << number;
    skipped += time == 0;
  }
  EXPECT_GT(skipped, 0u);  // the renderer was slow enough to miss some
  std::remove(path.c_str());
}

TEST_F(CaptureGraph, PinCategoriesBufferNegotiationAnalogDecoderFormatsAndPage) {
  auto camera = add(CLSID_TestPatternCamera, u"Camera");
  ASSERT_EQ(pinCount(camera.get(), PINDIR_OUTPUT), 2);
  const GUID* want[] = {&PIN_CATEGORY_CAPTURE, &PIN_CATEGORY_PREVIEW};
  for (int i = 0; i < 2; ++i) {
    ComPtr<IPin> pin = pinOf(camera.get(), PINDIR_OUTPUT, i);
    EXPECT_EQ(pinCategory(pin.get()), *want[i]);
    auto ks = pin.as<IKsPropertySet>();
    ASSERT_TRUE(ks);
    GUID category{};
    DWORD returned = 0;
    EXPECT_TRUE(
        FAILED(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 4, &returned)));
    EXPECT_TRUE(FAILED(ks->Get(PIN_CATEGORY_CAPTURE, 0, nullptr, 0, &category, sizeof category, &returned)));
    EXPECT_TRUE(
        FAILED(ks->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category)));
  }
  // The analog-decoder interface marks the camera as analog.
  auto analog = camera.as<IAMAnalogVideoDecoder>();
  ASSERT_TRUE(analog);
  LONG tv = 0;
  EXPECT_EQ(analog->get_AvailableTVFormats(&tv), S_OK);
  EXPECT_NE(tv, 0);

  // Formats: the native 640x480 first, then every format code size, three
  // colour formats each.
  auto cc = camera.as<IVideoCaptureControl>();
  LONG count = 0;
  ASSERT_EQ(cc->GetFormatCount(&count), S_OK);
  EXPECT_EQ(count, 8 * 3);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(cc->GetFormat(0, &mt), S_OK);
  VideoFormat first;
  ASSERT_TRUE(videoFormatOf(mt, &first));
  EXPECT_EQ(first, (VideoFormat{640, 480, MEDIASUBTYPE_RGB24}));
  EXPECT_EQ(mt.lSampleSize, 640u * 480 * 3);
  FreeMediaType(mt);
  for (const PictureSize& s : kFormatCodeSizes) {
    bool found = false;
    for (LONG i = 0; i < count && !found; ++i) {
      AM_MEDIA_TYPE m{};
      cc->GetFormat(i, &m);
      VideoFormat f;
      found = videoFormatOf(m, &f) && f.width == s.width && f.height == s.height;
      FreeMediaType(m);
    }
    EXPECT_TRUE(found) << s.width << "x" << s.height;
  }
  EXPECT_EQ(cc->GetFormat(count, &mt), E_INVALIDARG);
  // A preferred format is offered first; a foreign one is refused.
  MediaType cif = videoFormatMediaType({352, 288, MEDIASUBTYPE_YUY2}, kFastInterval);
  EXPECT_EQ(cc->SetFormat(cif.ptr()), S_OK);
  MediaType odd = videoFormatMediaType({300, 200, MEDIASUBTYPE_RGB24}, kFastInterval);
  EXPECT_EQ(cc->SetFormat(odd.ptr()), VFW_E_TYPE_NOT_ACCEPTED);
  // Frame rate is clamped to 1..120 per second.
  auto interval = [&](REFERENCE_TIME set) {
    REFERENCE_TIME got = 0;
    if (set) cc->SetFrameInterval(set);
    cc->GetFrameInterval(&got);
    return got;
  };
  EXPECT_EQ(interval(1), 83333);
  EXPECT_EQ(interval(1000000000), 10000000);
  cc->SetFrameInterval(kFastInterval);

  // Buffer negotiation: suggested before connecting, agreed after.
  auto capturePin = pinOf(camera.get(), PINDIR_OUTPUT, 0);
  auto negotiation = capturePin.as<IAMBufferNegotiation>();
  ASSERT_TRUE(negotiation);
  ALLOCATOR_PROPERTIES got{};
  EXPECT_EQ(negotiation->GetAllocatorProperties(&got), VFW_E_NO_ALLOCATOR);
  ALLOCATOR_PROPERTIES suggest{6, 0, 16, 0};
  ASSERT_EQ(negotiation->SuggestAllocatorProperties(&suggest), S_OK);
  Received seen;
  seen.format = {352, 288, MEDIASUBTYPE_YUY2};  // the preferred format is the first offered
  auto r = renderer(u"Renderer", &seen);
  ASSERT_EQ(connect(graph.get(), camera.get(), 0, r.get(), 0), S_OK);
  ASSERT_EQ(negotiation->GetAllocatorProperties(&got), S_OK);
  EXPECT_EQ(std::tuple(got.cBuffers, got.cbBuffer, got.cbAlign), std::tuple(6, 352 * 288 * 2, 16));
  EXPECT_EQ(negotiation->SuggestAllocatorProperties(&suggest), VFW_E_ALREADY_CONNECTED);
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(seen.waitFor(5));
  ASSERT_EQ(control()->Stop(), S_OK);
  seen.expectConsistent(kFastInterval);

  // The property page shows the device, the format and the statistics,
  // and sets the frame rate.
  auto pages = openPropertyPages(camera.get(), {CLSID_CapturePropertyPage}, {"Capture"});
  ASSERT_EQ(pages.size(), 1u);
  IPropertyPage* page = pages[0].get();
  auto fieldValue = [&](LONG id) {
    const char* v = findPageField(page, id).value;
    return std::string(v ? v : "<missing>");
  };
  EXPECT_EQ(std::vector<std::string>({fieldValue(1), fieldValue(2), fieldValue(3)}),
            std::vector<std::string>({kTestPatternCameraName, "352x288 YUY2", "100.00"}));
  EXPECT_NE(fieldValue(4), "0");
  ASSERT_EQ(page->SetFieldValue(3, "25"), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(interval(0), 400000);
  page->SetObjects(0, nullptr);
}

TEST_F(CaptureGraph, VideoInputCategoryListsTheBuiltInDevicesInAStableOrder) {
  // Two listings (each also repeated after Reset) in the same order.
  std::vector<Listed> list = listCategory(CLSID_VideoInputDeviceCategory);
  std::vector<std::string> a = namesOf(list);
  EXPECT_EQ(namesOf(listCategory(CLSID_VideoInputDeviceCategory)), a);
  for (const Listed& l : list) EXPECT_TRUE(l.bind()) << l.name;  // every device binds to a filter
  auto at = [&](const char* name) { return std::find(a.begin(), a.end(), name) - a.begin(); };
  ASSERT_LT(size_t(at(kTestPatternCameraName)), a.size());
  // The built-in devices of this module come in table order, side by side.
  EXPECT_EQ(at(kScreenCaptureName), at(kTestPatternCameraName) + 1);
}

// A device that fails on purpose: it refuses to start, or delivers a few
// frames and then disappears.
class FailingDevice final : public CaptureDevice {
 public:
  FailingDevice(bool refuse, uint64_t framesBeforeLoss)
      : refuse_(refuse), framesBeforeLoss_(framesBeforeLoss) {}
  std::vector<VideoFormat> formats() override { return {{160, 120, MEDIASUBTYPE_RGB24}}; }
  bool open(const VideoFormat&, REFERENCE_TIME, std::string* error) override {
    if (refuse_) *error = "format refused by the device";
    return !refuse_;
  }
  void close() override {}
  GrabResult grab(uint64_t, std::string* error) override {
    if (grabs_++ >= framesBeforeLoss_) {
      *error = "device disappeared";
      return GrabResult::Lost;
    }
    return GrabResult::Frame;
  }
  bool copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) override {
    return renderTestPattern(frame, f, dst, size);
  }

 private:
  bool refuse_;
  uint64_t framesBeforeLoss_;
  uint64_t grabs_ = 0;
};

TEST_F(CaptureGraph, DeviceThatRefusesOrDisappearsEndsItsStreamWhileTheGraphRuns) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "refuses to start" : "disappears after 5 frames");
    LogCapture log;
    auto* failing =
        new CaptureFilter(CLSID_V4l2Camera, std::make_unique<FailingDevice>(refuse, 5), "Failing Camera");
    ComPtr<IBaseFilter> bad(static_cast<IBaseFilter*>(failing));
    ASSERT_EQ(graph->AddFilter(bad.get(), u"Failing"), S_OK);
    auto good = add(CLSID_TestPatternCamera, u"Camera");
    good.as<IVideoCaptureControl>()->SetFrameInterval(kFastInterval);
    failing->SetFrameInterval(kFastInterval);
    Received fromBad, fromGood;
    fromBad.format = {160, 120, MEDIASUBTYPE_RGB24};
    fromGood.format = {640, 480, MEDIASUBTYPE_RGB24};
    auto r1 = renderer(u"Bad", &fromBad);
    auto r2 = renderer(u"Good", &fromGood);
    ASSERT_EQ(connect(graph.get(), bad.get(), 0, r1.get(), 0), S_OK);
    ASSERT_EQ(connect(graph.get(), good.get(), 0, r2.get(), 0), S_OK);
    ASSERT_EQ(control()->Run(), S_OK);
    // The good camera goes on after the bad one has stopped.
    EXPECT_TRUE(pollUntil([&] { return deviceLost(failing); }, 4000));
    size_t before;
    {
      std::lock_guard<std::mutex> g(fromGood.lock);
      before = fromGood.numbers.size();
    }
    ASSERT_TRUE(fromGood.waitFor(before + 10));
    EXPECT_EQ(stateOf(graph.get()), State_Running);
    ASSERT_EQ(control()->Stop(), S_OK);
    {
      std::lock_guard<std::mutex> g(fromBad.lock);
      // Up to five frames (a busy machine may drop some), the last one included.
      EXPECT_GE(fromBad.numbers.size(), refuse ? 0u : 1u);
      EXPECT_LE(fromBad.numbers.size(), refuse ? 0u : 5u);
      EXPECT_EQ(fromBad.unreadable, 0);
    }
    fromGood.expectConsistent(kFastInterval);
    std::vector<std::string> errors = log.matching("\"Failing Camera\"");
    ASSERT_EQ(errors.size(), 1u) << log.all();
    EXPECT_EQ(errors[0].find("[Error]"), 0u) << errors[0];
    EXPECT_NE(errors[0].find(refuse ? "format refused" : "device disappeared"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("capture stopped"), std::string::npos) << errors[0];
    for (auto* f : {bad.get(), good.get(), r1.get(), r2.get()}) graph->RemoveFilter(f);
  }
}

}  // namespace
