// The pointer geometry of MorvaneTimerProcess under a real X server: the
// station's pointer is measured from the video window's place on the
// desktop (the owner window's place plus the video window's place in it),
// and the mixer draws over the video window's size. And what becomes of the
// geometry when its X server goes away.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "morvane/MorvaneEngine.h"
#include "morvane/ScreenGeometry.h"
#include "morvane/tests/e2e/xvfb_server.h"
#include "netlab.h"
// Xlib last: its macros (None, Status, ...) clash with the names above.
#include <X11/Xlib.h>

using namespace std::chrono_literals;

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

// The X server ends while the geometry is in use (a session that closes):
// the program goes on (Xlib's own handling would end it), the queries
// answer false, and once a server is back on that display they answer
// again.
TEST(MorvaneGeometry, SurvivesTheServerEndingAndReconnects) {
  auto server = std::make_unique<XvfbServer>();
  const std::string name = server->display();
  ASSERT_FALSE(name.empty()) << "no Xvfb";
  ScreenGeometry geometry(name);
  unsigned w = 0, h = 0;
  ASSERT_TRUE(geometry.desktopSize(w, h));
  EXPECT_EQ(w, 1280u);
  server.reset();
  EXPECT_FALSE(geometry.desktopSize(w, h));
  int x = 0, y = 0;
  EXPECT_FALSE(geometry.toScreen(1, 0, 0, x, y));
  XvfbServer again(name);
  ASSERT_EQ(again.display(), name);
  bool back = false;
  for (int i = 0; i < 50 && !back; ++i) {  // the display is tried again every two seconds
    std::this_thread::sleep_for(100ms);
    back = geometry.desktopSize(w, h);
  }
  EXPECT_TRUE(back);
  EXPECT_EQ(h, 1024u);
}
