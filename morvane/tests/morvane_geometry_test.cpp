// The pointer geometry of MorvaneTimerProcess under a real X server: the
// station's pointer is measured from the video window's place on the
// desktop (the owner window's place plus the video window's place in it),
// and the mixer draws over the video window's size.
#include <gtest/gtest.h>

#include "morvane/MorvaneEngine.h"
#include "netlab.h"
// Xlib last: its macros (None, Status, ...) clash with the names above.
#include <X11/Xlib.h>

TEST(MorvaneGeometry, PointerOriginIsTheVideoWindowOnTheDesktop) {
  NETLAB_REQUIRE();
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr) << "no X display";
  const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 50, 640, 480, 0, 0, 0);
  XMapWindow(d, owner);
  XSync(d, False);
  mxObjectPtr<Morvane> engine = new Morvane();
  ASSERT_TRUE(engine->initialize(OAHWND(owner)));
  engine->setVideoWindowPosition(10, 20);
  engine->setVideoWindowSize(352, 288);
  engine->timerProcess();

  MorvaneGraphManager& m = *engine->getGraphManager();
  float ox = 0, oy = 0, sw = 0, sh = 0, bx = -1, by = -1, bw = 0, bh = 0;
  m.tracion()->getNormalizedOrigin(ox, oy);
  m.tracion()->getNormalizedSize(sw, sh);
  m.blendor()->getWindowPosition(bx, by);
  m.blendor()->getWindowSize(bw, bh);
  int rootX = 0, rootY = 0;
  Window child = 0;
  ASSERT_TRUE(XTranslateCoordinates(d, owner, DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child));
  EXPECT_EQ(ox, -float(rootX + 10));
  EXPECT_EQ(oy, -float(rootY + 20));
  EXPECT_EQ(sw, 1280.0f);  // the Xvfb desktop
  EXPECT_EQ(sh, 1024.0f);
  EXPECT_EQ(bx, 0.0f);
  EXPECT_EQ(by, 0.0f);
  EXPECT_EQ(bw, 352.0f);
  EXPECT_EQ(bh, 288.0f);
  engine->shutdown();
  XDestroyWindow(d, owner);
  XCloseDisplay(d);
}
