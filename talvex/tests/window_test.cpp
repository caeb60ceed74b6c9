// The preview in its owner window: after every build the renderer's window
// is a child of the window the engine was given, at (0, 0), visible, and
// shows the camera's pictures; destroying the graph takes it away again.
#include <gtest/gtest.h>

#include <set>

#include "netlab.h"
#include "platform/filters/video_renderer.h"
#include "talvex/Talvex.h"
#include "talvex/tests/sender_lab.h"
// Xlib last: its macros (None, Status, ...) clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace senderlab;

namespace {

OAHWND previewWindow() {
  OAHWND w = 0;
  if (auto r = senderFilter<IVideoFrameSnapshot>("VideoRender")) r->GetVideoWindow(&w);
  return w;
}

// Distinct colours in the middle row of a window's pixels.
int coloursIn(Display* d, Window w, int width, int height) {
  XImage* image = XGetImage(d, w, 0, height / 2, unsigned(width), 1, AllPlanes, ZPixmap);
  if (!image) return 0;
  std::set<unsigned long> colours;
  for (int x = 0; x < width; ++x) colours.insert(XGetPixel(image, x, 0));
  XDestroyImage(image);
  return int(colours.size());
}

}  // namespace

TEST(TalvexWindow, PreviewLivesInTheOwnerWindow) {
  NETLAB_REQUIRE();
  Display* d = XOpenDisplay(nullptr);
  if (!d) GTEST_SKIP() << "no X display";
  SenderRegistry registry(Modules{true, true, false});
  const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 400, 300, 0, 0, 0);
  XMapWindow(d, owner);
  XSync(d, False);

  ASSERT_TRUE(TalvexInitialize(TalvexWindow(owner)));
  selectTestPattern();
  TalvexSetVideoWindowSize(400, 300);
  for (int format : {2, 6}) {  // the window survives a rebuild
    SCOPED_TRACE(format);
    TalvexSetVideoFormat(format);
    TalvexSetVideoWindowSize(400, 300);
    ASSERT_TRUE(waitFor([] { return previewWindow() != 0; }));
    const Window child = Window(previewWindow());
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(d, child, &root, &parent, &children, &count));
    if (children) XFree(children);
    EXPECT_EQ(parent, owner);
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, child, &a));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.map_state, IsViewable);
    LONG style = 0;
    if (auto window = senderGraph().as<IVideoWindow>()) window->get_WindowStyle(&style);
    EXPECT_EQ(style, 0x44000000L);  // a child, clipping its siblings
    int32_t x = -1, y = -1;
    TalvexGetVideoWindowPosition(&x, &y);
    EXPECT_EQ(x + y, 0);
    // The colour bars reach the screen.
    EXPECT_TRUE(waitFor([&] { return coloursIn(d, child, a.width, a.height) >= 6; }, 5000));
  }
  EXPECT_TRUE(TalvexShutdown());
  EXPECT_EQ(previewWindow(), 0);
  XDestroyWindow(d, owner);
  XCloseDisplay(d);
}
