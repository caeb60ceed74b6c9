// The screen capture under a real X server (Xvfb): a window with a known
// picture is captured at its own size pixel for pixel, the desktop at its
// native size and scaled to a chosen size, and a window that is destroyed
// mid-run ends the stream with one error line while the graph keeps
// running.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/com/log.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/capture/video_format.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/log_capture.h"
#include "platform/filters/tests/sample_recorder.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

// Xlib after the test framework: its macros (None, Status, ...) clash with it.
#include <X11/Xlib.h>

namespace {

struct Colour {
  int r, g, b;
  bool operator==(const Colour&) const = default;
};
// The window's picture: four quadrants and a white 8x8 marker at (100, 60).
constexpr int kW = 320, kH = 240;
constexpr Colour kRed{255, 0, 0}, kGreen{0, 200, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0},
    kWhite{255, 255, 255};
Colour expected(int x, int y) {
  if (x >= 100 && x < 108 && y >= 60 && y < 68) return kWhite;
  if (y < kH / 2) return x < kW / 2 ? kRed : kGreen;
  return x < kW / 2 ? kBlue : kYellow;
}

class XWindow {
 public:
  XWindow() {
    d_ = XOpenDisplay(nullptr);
    if (!d_) return;
    int s = DefaultScreen(d_);
    w_ = XCreateSimpleWindow(d_, RootWindow(d_, s), 0, 0, kW, kH, 0, 0, 0);
    XSelectInput(d_, w_, StructureNotifyMask | ExposureMask);
    XMapWindow(d_, w_);
    XEvent e;
    do XNextEvent(d_, &e);
    while (e.type != MapNotify);
    draw();
  }
  ~XWindow() {
    if (d_) XCloseDisplay(d_);
  }
  void draw() {
    GC gc = XCreateGC(d_, w_, 0, nullptr);
    auto fill = [&](Colour c, int x, int y, int w, int h) {
      XSetForeground(d_, gc, (unsigned long)(c.r << 16 | c.g << 8 | c.b));
      XFillRectangle(d_, w_, gc, x, y, unsigned(w), unsigned(h));
    };
    fill(kRed, 0, 0, kW / 2, kH / 2);
    fill(kGreen, kW / 2, 0, kW / 2, kH / 2);
    fill(kBlue, 0, kH / 2, kW / 2, kH / 2);
    fill(kYellow, kW / 2, kH / 2, kW / 2, kH / 2);
    fill(kWhite, 100, 60, 8, 8);
    XFreeGC(d_, gc);
    XSync(d_, False);
  }
  void destroy() {
    XDestroyWindow(d_, w_);
    XSync(d_, False);
  }
  Display* display() const { return d_; }
  Window window() const { return w_; }

 private:
  Display* d_ = nullptr;
  Window w_ = 0;
};

struct Capture {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> source, renderer;
  SampleRecorder last{1};  // the newest frame

  // Builds screen capture → null renderer in the given format.
  bool build(OAHWND window, const VideoFormat& f) {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.putVoid())))
      return false;
    source = createFilter(CLSID_ScreenCapture);
    renderer = createFilter(CLSID_NullRenderer);
    if (!source || !renderer) return false;
    source.as<IScreenCaptureControl>()->SetCaptureWindow(window);
    source.as<IVideoCaptureControl>()->SetFrameInterval(200000);
    last.attachTo(renderer.get());
    graph->AddFilter(source.get(), u"Screen");
    graph->AddFilter(renderer.get(), u"Renderer");
    MediaType mt = videoFormatMediaType(f, 200000);
    return graph->ConnectDirect(pinOf(source.get(), PINDIR_OUTPUT, 0).get(),
                                pinOf(renderer.get(), PINDIR_INPUT, 0).get(), mt.ptr()) == S_OK;
  }
  VideoFormat firstFormat() {
    AM_MEDIA_TYPE mt{};
    VideoFormat f;
    source.as<IVideoCaptureControl>()->GetFormat(0, &mt);
    videoFormatOf(mt, &f);
    FreeMediaType(mt);
    return f;
  }
  HRESULT run() { return graph.as<IMediaControl>()->Run(); }
  HRESULT stop() { return graph.as<IMediaControl>()->Stop(); }
  // Runs until n frames arrived, and stops.
  bool grab(int n) { return run() == S_OK && last.waitFor(n) && stop() == S_OK; }
};

Colour rgbAt(const std::vector<uint8_t>& pic, int width, int height, int x, int y) {
  const uint8_t* p = pic.data() + rgb24Stride(width) * size_t(height - 1 - y) + 3 * size_t(x);
  return {p[2], p[1], p[0]};
}

void expectNear(Colour got, Colour want, int tolerance, int x, int y) {
  EXPECT_NEAR(got.r, want.r, tolerance) << x << "," << y;
  EXPECT_NEAR(got.g, want.g, tolerance) << x << "," << y;
  EXPECT_NEAR(got.b, want.b, tolerance) << x << "," << y;
}

class ScreenCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  }
  ComSession com;
};

TEST_F(ScreenCaptureTest, WindowPixelsExactlyAndDesktopAtNativeAndChosenSize) {
  XWindow win;
  ASSERT_TRUE(win.display());
  {
    // The window at its own size, RGB24: every pixel as drawn.
    Capture c;
    ASSERT_TRUE(c.build(OAHWND(win.window()), {kW, kH, MEDIASUBTYPE_RGB24}));
    EXPECT_EQ(c.firstFormat(), (VideoFormat{kW, kH, MEDIASUBTYPE_RGB24}));
    ASSERT_TRUE(c.grab(3));
    const std::vector<uint8_t> pixels = c.last.last().data;
    ASSERT_EQ(pixels.size(), size_t(kW) * kH * 3);
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        wrong += rgbAt(pixels, kW, kH, x, y) != expected(x, y);
      }
    EXPECT_EQ(wrong, 0);
  }
  int sw = DisplayWidth(win.display(), DefaultScreen(win.display()));
  int sh = DisplayHeight(win.display(), DefaultScreen(win.display()));
  {
    // The desktop: native size first; the window sits at its top left.
    Capture c;
    ASSERT_TRUE(c.build(0, {sw & ~1, sh & ~1, MEDIASUBTYPE_RGB24}));
    EXPECT_EQ(c.firstFormat(), (VideoFormat{sw & ~1, sh & ~1, MEDIASUBTYPE_RGB24}));
    ASSERT_TRUE(c.grab(2));
    const std::vector<uint8_t> pixels = c.last.last().data;
    for (auto [x, y] : {std::pair{0, 0}, {100, 60}, {107, 67}, {108, 68}, {319, 0}, {0, 239}, {319, 239}})
      expectNear(rgbAt(pixels, sw & ~1, sh & ~1, x, y), expected(x, y), 0, x, y);
  }
  {
    // The desktop scaled to 640x480: the quadrants' middles keep their colours.
    Capture c;
    ASSERT_TRUE(c.build(0, {640, 480, MEDIASUBTYPE_RGB24}));
    ASSERT_TRUE(c.grab(2));
    const std::vector<uint8_t> pixels = c.last.last().data;
    ASSERT_EQ(pixels.size(), 640u * 480 * 3);
    for (auto [x, y] : {std::pair{40, 90}, {240, 90}, {40, 190}, {240, 190}}) {
      int sx = x * 640 / sw, sy = y * 480 / sh;
      expectNear(rgbAt(pixels, 640, 480, sx, sy), expected(x, y), 8, sx, sy);
    }
  }
  {
    // The window in I420 at CIF: luma of each quadrant.
    Capture c;
    ASSERT_TRUE(c.build(OAHWND(win.window()), {352, 288, MEDIASUBTYPE_I420}));
    ASSERT_TRUE(c.grab(2));
    const std::vector<uint8_t> pixels = c.last.last().data;
    ASSERT_EQ(pixels.size(), 352u * 288 * 3 / 2);
    auto luma = [](Colour c) { return 16 + (66 * c.r + 129 * c.g + 25 * c.b + 128) / 256; };
    for (auto [x, y] : {std::pair{40, 30}, {280, 30}, {40, 200}, {280, 200}}) {
      int sx = x * 352 / kW, sy = y * 288 / kH;
      EXPECT_NEAR(pixels[size_t(sy) * 352 + size_t(sx)], luma(expected(x, y)), 6) << x << "," << y;
    }
  }
}

TEST_F(ScreenCaptureTest, DestroyedWindowEndsTheStreamWithAMessage) {
  XWindow win;
  ASSERT_TRUE(win.display());
  Capture c;
  ASSERT_TRUE(c.build(OAHWND(win.window()), {160, 120, MEDIASUBTYPE_RGB24}));
  LogCapture log;
  ASSERT_EQ(c.run(), S_OK);
  ASSERT_TRUE(c.last.waitFor(2));
  win.destroy();
  EXPECT_TRUE(pollUntil([&] { return deviceLost(c.source.as<IVideoCaptureControl>()); }, 3000));
  EXPECT_EQ(stateOf(c.graph.get()), State_Running);
  EXPECT_EQ(c.stop(), S_OK);
  std::vector<std::string> errors = log.matching("\"Screen Capture\"");
  ASSERT_EQ(errors.size(), 1u) << log.all();
  EXPECT_NE(errors[0].find("disappeared"), std::string::npos) << errors[0];
  // A window id that never existed fails at start the same way.
  Capture none;
  ASSERT_TRUE(none.build(OAHWND(0x7FFFFFF0), {160, 120, MEDIASUBTYPE_RGB24}));
  ASSERT_EQ(none.run(), S_OK);
  EXPECT_TRUE(pollUntil([&] { return deviceLost(none.source.as<IVideoCaptureControl>()); }, 3000));
  EXPECT_EQ(none.stop(), S_OK);
  EXPECT_EQ(none.last.count(), 0u);
}

}  // namespace
