// The video renderer against a real X server: an owner window, a graph that
// renders solid-coloured frames into it, and the window's pixels read back.
// Without an owner the renderer keeps the last frame off-screen and saves it
// as PNG.

#include "platform/filters/video_renderer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <utility>
#include <thread>

#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"
#include "platform/media/tests/test_filters.h"

// Xlib's macros (None, Status, ...) must come after the test framework's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& o, const Rgb& c) { return o << c.r << "," << c.g << "," << c.b; }
};

Rgb pixelAt(Display* d, Window w, int x, int y) {
  XImage* img = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!img) return {-1, -1, -1};
  unsigned long p = XGetPixel(img, 0, 0);
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  auto channel = [&](unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return int((p >> shift) & mask);
  };
  Rgb c{channel(v->red_mask), channel(v->green_mask), channel(v->blue_mask)};
  XDestroyImage(img);
  return c;
}

bool waitFrames(IVideoFrameSnapshot* snap, uint64_t n) {
  return pollUntil([&] {
    uint64_t count = 0;
    snap->GetFrameCount(&count);
    return count >= n;
  });
}

class VideoRendererTest : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> source, renderer;
  void SetUp() override {
    ASSERT_TRUE(graph = newGraph());
    source = createFilter(CLSID_TestSource);
    renderer = createFilter(CLSID_VideoRenderer);
    ASSERT_TRUE(source && renderer);
    graph->AddFilter(source.get(), u"Source");
    graph->AddFilter(renderer.get(), u"VideoRender");
  }
};

TEST_F(VideoRendererTest, PixelsReachTheOwnersChildWindow) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) GTEST_SKIP() << "no X display";
  int screen = DefaultScreen(d);
  Window owner = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 400, 300, 0, 0, WhitePixel(d, screen));
  XMapWindow(d, owner);
  XSync(d, False);

  auto src = source.as<ITestSource>();
  src->SetFormat(160, 120, 24);
  src->SetSolidColor(TRUE, 200, 40, 10);
  ASSERT_EQ(connect(graph.get(), source.get(), 0, renderer.get(), 0), S_OK);
  auto vw = graph.as<IVideoWindow>();
  ASSERT_EQ(vw->put_Owner(static_cast<OAHWND>(owner)), S_OK);
  ASSERT_EQ(vw->put_WindowStyle(0x44000000), S_OK);
  ASSERT_EQ(vw->SetWindowPosition(20, 10, 320, 240), S_OK);
  LONG l, t, w, h;
  ASSERT_EQ(vw->GetWindowPosition(&l, &t, &w, &h), S_OK);
  EXPECT_EQ(std::vector<LONG>({l, t, w, h}), std::vector<LONG>({20, 10, 320, 240}));
  auto snap = renderer.as<IVideoFrameSnapshot>();
  OAHWND child = 0;
  snap->GetVideoWindow(&child);
  ASSERT_NE(child, 0);
  // The renderer's window is a child of the owner.
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  ASSERT_TRUE(XQueryTree(d, static_cast<Window>(child), &root, &parent, &children, &n));
  if (children) XFree(children);
  EXPECT_EQ(parent, owner);

  ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
  ASSERT_TRUE(waitFrames(snap.get(), 3));
  LONG visible = 0;
  vw->get_Visible(&visible);
  EXPECT_EQ(visible, OATRUE);  // auto-show
  EXPECT_EQ(pixelAt(d, static_cast<Window>(child), 100, 100), (Rgb{200, 40, 10}));
  // Seen from the owner: the child covers (20,10)-(340,250); outside it stays white.
  EXPECT_EQ(pixelAt(d, owner, 25, 15), (Rgb{200, 40, 10}));
  EXPECT_EQ(pixelAt(d, owner, 5, 5), (Rgb{255, 255, 255}));
  ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);

  // A new colour in a second run reaches the window too.
  src->SetSolidColor(TRUE, 0, 0, 255);
  uint64_t before = 0;
  snap->GetFrameCount(&before);
  ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
  ASSERT_TRUE(waitFrames(snap.get(), before + 3));
  ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);
  EXPECT_EQ(pixelAt(d, static_cast<Window>(child), 300, 200), (Rgb{0, 0, 255}));

  // Stopped, no frames arrive; a window laid over the picture and taken away
  // again leaves it exposed, and the renderer paints the last frame back.
  XSetWindowAttributes over{};
  over.override_redirect = True;
  over.background_pixel = WhitePixel(d, screen);
  Window cover = XCreateWindow(d, RootWindow(d, screen), 0, 0, 400, 300, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixel, &over);
  XMapRaised(d, cover);
  XSync(d, False);
  EXPECT_EQ(pixelAt(d, cover, 150, 150).g, 255);
  XDestroyWindow(d, cover);
  XSync(d, False);
  Rgb c;
  EXPECT_TRUE(pollUntil([&] { return (c = pixelAt(d, static_cast<Window>(child), 150, 150)) == Rgb{0, 0, 255}; }, 2000))
      << "after exposure: " << c;

  vw->put_Visible(OAFALSE);
  vw->put_Owner(0);
  XDestroyWindow(d, owner);
  XCloseDisplay(d);
}

TEST_F(VideoRendererTest, OffScreenKeepsTheLastFrameAndSavesPng) {
  auto src = source.as<ITestSource>();
  src->SetFormat(32, -16, 32);  // top-down, 32 bits
  src->SetSolidColor(TRUE, 1, 2, 3);
  ASSERT_EQ(connect(graph.get(), source.get(), 0, renderer.get(), 0), S_OK);
  auto snap = renderer.as<IVideoFrameSnapshot>();
  LONG w = 0, h = 0;
  EXPECT_EQ(snap->GetFrameSize(&w, &h), S_FALSE);  // nothing yet
  ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
  ASSERT_TRUE(waitFrames(snap.get(), 2));
  ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);
  ASSERT_EQ(snap->GetFrameSize(&w, &h), S_OK);
  EXPECT_EQ(std::pair(w, h), std::pair(LONG(32), LONG(16)));
  std::vector<uint8_t> rgb(32 * 16 * 3);
  ASSERT_EQ(snap->GetFrame(rgb.data(), static_cast<ULONG>(rgb.size())), S_OK);
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 3), std::vector<uint8_t>({1, 2, 3}));
  EXPECT_EQ(snap->GetFrame(rgb.data(), 10), E_INVALIDARG);

  std::string path =
      (std::filesystem::temp_directory_path() / ("frame-" + std::to_string(getpid()) + ".png")).string();
  ASSERT_EQ(snap->SaveFramePng(path.c_str()), S_OK);
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  EXPECT_EQ(std::pair(png_get_image_width(png, info), png_get_image_height(png, info)), std::pair(32u, 16u));
  std::vector<uint8_t> row(32 * 3);
  png_read_row(png, row.data(), nullptr);
  EXPECT_EQ(std::vector<uint8_t>(row.begin(), row.begin() + 3), std::vector<uint8_t>({1, 2, 3}));
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  std::filesystem::remove(path);
  EXPECT_EQ(snap->SaveFramePng("/nonexistent-dir/x.png"), E_ACCESSDENIED);
}

// Each frame wakes a reader waiting for it, and the snapshot turns the
// sample into top-down R, G, B whatever its row order and pixel size. The
// source writes the frame number into the first bytes of the buffer (B, G,
// R of the first pixel in memory), so the last of three frames shows
// (0, 0, 2) in the first pixel of the buffer's row and zeros beside it.
TEST_F(VideoRendererTest, WakesFrameWaitersAndUnpacksEveryLayout) {
  struct Case {
    LONG height, bits;
    int bufferRow;  // the output row holding the buffer's first row
  };
  for (const Case c : {Case{4, 24, 3}, Case{-4, 32, 0}, Case{4, 32, 3}, Case{-4, 24, 0}}) {
    SCOPED_TRACE(testing::Message() << "height " << c.height << ", " << c.bits << " bits");
    SetUp();
    auto src = source.as<ITestSource>();
    src->SetFormat(8, c.height, c.bits);
    src->SetFrameCount(3);
    ASSERT_EQ(connect(graph.get(), source.get(), 0, renderer.get(), 0), S_OK);
    auto snap = renderer.as<IVideoFrameSnapshot>();
    uint64_t count = 0;
    EXPECT_EQ(snap->WaitFrameCount(0, 1, &count), S_FALSE);  // not running: nothing comes
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
    ASSERT_EQ(snap->WaitFrameCount(0, 5000, &count), S_OK);
    EXPECT_GE(count, 1u);
    while (count < 3 && snap->WaitFrameCount(count, 5000, &count) == S_OK) {
    }
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(snap->WaitFrameCount(3, 30, &count), S_FALSE);  // the source has ended
    EXPECT_EQ(snap->WaitFrameCount(3, 0, nullptr), E_POINTER);
    ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);
    std::vector<uint8_t> rgb(8 * 4 * 3, 0xEE);
    ASSERT_EQ(snap->GetFrame(rgb.data(), static_cast<ULONG>(rgb.size())), S_OK);
    const auto first = rgb.begin() + c.bufferRow * 8 * 3;
    EXPECT_EQ(std::vector<uint8_t>(first, first + 6), std::vector<uint8_t>({0, 0, 2, 0, 0, 0}));
  }
}

TEST_F(VideoRendererTest, RefusesWhatItCannotShowAndBadOwners) {
  // Compressed video is not for this renderer.
  MediaType mt(MEDIATYPE_Video, MEDIASUBTYPE_MP42, FORMAT_VideoInfo);
  ComPtr<IPin> in = pinOf(renderer.get(), PINDIR_INPUT, 0);
  EXPECT_EQ(in->QueryAccept(mt.ptr()), S_FALSE);
  // A video-info block shorter than its header.
  MediaType rgb(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  uint8_t shortBlock[40] = {};
  rgb.setFormat(shortBlock, sizeof shortBlock);
  EXPECT_EQ(in->QueryAccept(rgb.ptr()), S_FALSE);
  auto vw = renderer.as<IVideoWindow>();
  EXPECT_EQ(vw->put_Width(0), E_INVALIDARG);
  EXPECT_EQ(vw->SetWindowPosition(0, 0, -1, 5), E_INVALIDARG);
  // An owner window that does not exist: rendering goes off-screen.
  EXPECT_EQ(vw->put_Owner(static_cast<OAHWND>(0x7FFFFFF)), S_OK);
  OAHWND child = 1;
  renderer.as<IVideoFrameSnapshot>()->GetVideoWindow(&child);
  EXPECT_EQ(child, 0);
}

}  // namespace
