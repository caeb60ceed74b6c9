// V4L2 cameras: the listing skips what is not a capture device, the device
// enumerator lists the cameras present before the built-in devices, a
// camera that is missing or is no camera fails at start with one error
// line while the graph keeps running, and (only where a camera exists) a
// real camera delivers frames.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/com/log.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/capture/v4l2_camera.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/log_capture.h"
#include "platform/media/device_enum.h"
#include "platform/media/guids.h"

namespace {

TEST(V4l2Cameras, ListingSkipsNodesThatAreNotCamerasAndTheEnumeratorListsCamerasFirst) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("capture_v4l2_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "video0") << "not a device";
  fs::create_symlink("/dev/null", dir / "video1");
  fs::create_symlink(dir / "gone", dir / "video2");
  std::ofstream(dir / "videox") << "ignored name";
  EXPECT_TRUE(listV4l2Cameras(dir.string()).empty());
  EXPECT_TRUE(listV4l2Cameras((dir / "missing").string()).empty());
  fs::remove_all(dir);

  // The machine's own cameras (none on most test machines): unique names,
  // listed by the device enumerator before the built-in devices.
  ComSession com;
  std::vector<V4l2CameraInfo> cameras = listV4l2Cameras();
  if (cameras.empty()) std::printf("no V4L2 camera on this machine: only the empty listing is checked\n");
  std::vector<std::string> names = namesOf(listCategory(CLSID_VideoInputDeviceCategory));
  auto pattern = std::find(names.begin(), names.end(), kTestPatternCameraName);
  ASSERT_NE(pattern, names.end());
  for (size_t i = 0; i < cameras.size(); ++i) {
    EXPECT_EQ(cameras[i].path.rfind("/dev/video", 0), 0u);
    auto at = std::find(names.begin(), names.end(), cameras[i].name);
    ASSERT_NE(at, names.end()) << cameras[i].name;
    EXPECT_LT(at, pattern);
    for (size_t k = 0; k < i; ++k) EXPECT_NE(cameras[i].name, cameras[k].name);
  }
}

struct Counter {
  std::atomic<int> samples{0};
  static void count(void* ctx, IMediaSample*) { static_cast<Counter*>(ctx)->samples.fetch_add(1); }
};

TEST(V4l2Cameras, MissingOrNonCameraDeviceFailsCleanlyWhileTheGraphRuns) {
  ComSession com;
  struct Case {
    const char* path;
    const char* expect;
  } cases[] = {{"/dev/video99", "No such file"},
               {"/dev/null", "is not a video capture device"},
               {"", "no device path"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ComPtr<IGraphBuilder> graph = newGraph();
    ComPtr<IMoniker> moniker = ComPtr<IMoniker>::adopt(
        createDeviceMoniker({CLSID_VideoInputDeviceCategory, CLSID_V4l2Camera, "Missing Camera", c.path, 0}));
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.putVoid()), S_OK);
    auto cc = camera.as<IVideoCaptureControl>();
    char name[64];
    cc->GetDeviceName(name, sizeof name);
    EXPECT_STREQ(name, "Missing Camera");
    EXPECT_TRUE(camera.as<IAMAnalogVideoDecoder>());
    // Without a device only the format code sizes are offered.
    LONG count = 0;
    cc->GetFormatCount(&count);
    EXPECT_EQ(count, 8 * 3);
    auto renderer = createFilter(CLSID_NullRenderer);
    Counter counter;
    renderer.as<INullRendererControl>()->SetCallback(&Counter::count, &counter);
    graph->AddFilter(camera.get(), u"Camera");
    graph->AddFilter(renderer.get(), u"Renderer");
    ASSERT_EQ(connect(graph.get(), camera.get(), 1, renderer.get(), 0), S_OK);
    LogCapture log;
    auto control = graph.as<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(pollUntil([&] { return deviceLost(cc); }, 3000));
    EXPECT_EQ(stateOf(graph.get()), State_Running);
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(counter.samples.load(), 0);
    std::vector<std::string> errors = log.matching("\"Missing Camera\"");
    ASSERT_EQ(errors.size(), 1u) << log.all();
    EXPECT_EQ(errors[0].find("[Error]"), 0u) << errors[0];
    EXPECT_NE(errors[0].find(c.expect), std::string::npos) << errors[0];
  }
}

TEST(V4l2Cameras, RealCameraDeliversFrames) {
  std::vector<V4l2CameraInfo> cameras = listV4l2Cameras();
  if (cameras.empty()) GTEST_SKIP() << "no V4L2 camera on this machine";
  ComSession com;
  ComPtr<IGraphBuilder> graph = newGraph();
  ComPtr<IMoniker> moniker = ComPtr<IMoniker>::adopt(createDeviceMoniker(
      {CLSID_VideoInputDeviceCategory, CLSID_V4l2Camera, cameras[0].name, cameras[0].path, 0}));
  ComPtr<IBaseFilter> camera;
  ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.putVoid()), S_OK);
  auto renderer = createFilter(CLSID_NullRenderer);
  Counter counter;
  renderer.as<INullRendererControl>()->SetCallback(&Counter::count, &counter);
  renderer.as<INullRendererControl>()->SetSyncToClock(FALSE);
  graph->AddFilter(camera.get(), u"Camera");
  graph->AddFilter(renderer.get(), u"Renderer");
  ASSERT_EQ(connect(graph.get(), camera.get(), 0, renderer.get(), 0), S_OK);
  auto control = graph.as<IMediaControl>();
  ASSERT_EQ(control->Run(), S_OK);
  for (int i = 0; i < 500 && counter.samples.load() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  control->Stop();
  BOOL lost = FALSE;
  camera.as<IVideoCaptureControl>()->IsDeviceLost(&lost);
  if (lost) GTEST_SKIP() << "camera " << cameras[0].path << " is busy or refused the format";
  EXPECT_GE(counter.samples.load(), 5);
}

}  // namespace
