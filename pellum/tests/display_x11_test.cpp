// mxDisplaySetting against a real X server (the test's own Xvfb with
// RANDR): listing, choosing the nearest mode, switching, restoring at exit,
// and the same with no display at all. The instance is process-wide, so the
// cases that need a fresh one run in child processes of this program.
#include <gtest/gtest.h>
#include <stdlib.h>
// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "pellum/mxDisplaySetting.h"
#include "pellum/mxNotify.h"

namespace {

// Adds a mode to the server's primary output (Xvfb starts with one).
void addMode(unsigned width, unsigned height, unsigned long dotClock, unsigned hTotal, unsigned vTotal) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResources(d, root);
  ASSERT_NE(res, nullptr);
  ASSERT_GT(res->noutput, 0);
  std::string name = std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(dotClock);
  XRRModeInfo mode;
  std::memset(&mode, 0, sizeof mode);
  mode.width = width;
  mode.height = height;
  mode.dotClock = dotClock;
  mode.hTotal = hTotal;
  mode.vTotal = vTotal;
  mode.name = name.data();
  mode.nameLength = static_cast<unsigned>(name.size());
  RRMode id = XRRCreateMode(d, root, &mode);
  XRRAddOutputMode(d, res->outputs[0], id);
  XSync(d, False);
  XRRFreeScreenResources(res);
  XCloseDisplay(d);
}

int runChild(const char* testFilter, bool withDisplay) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string cmd = std::string("env ") + (withDisplay ? "" : "-u DISPLAY ") + "PELLUM_DISPLAY_CHILD=1 " + self +
                    " --gtest_filter=" + testFilter + " >/dev/null 2>&1";
  return std::system(cmd.c_str());
}

bool isChild() { return ::getenv("PELLUM_DISPLAY_CHILD") != nullptr; }

TEST(mxDisplaySettingX11, ListsChoosesAndSwitches) {
  if (isChild()) GTEST_SKIP() << "parent only";
  ASSERT_NE(::getenv("DISPLAY"), nullptr);
  // 800x600 at 60 Hz and 75 Hz, 1024x768 at 60 Hz.
  addMode(800, 600, 40000000, 1056, 628);
  addMode(800, 600, 49500000, 1056, 625);
  addMode(1024, 768, 65000000, 1344, 806);

  ::testing::internal::CaptureStderr();
  mxDisplaySetting& display = mxDisplaySetting::instance(false);
  std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(&display, &mxDisplaySetting::instance(true));  // one object per process
  int w, h, d, r;
  display.getDefault(w, h, d, r);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  EXPECT_EQ(d, 24);
  EXPECT_EQ(r, 0);  // Xvfb's own mode has no timings
  EXPECT_EQ(log, "[Info] : DisplayModeCurrent=1280x1024x24x0\n");

  const auto& modes = display.getModes();
  ASSERT_EQ(modes.getSize(), 4u);
  EXPECT_TRUE((modes[0] == mxDisplaySetting::mxMode{1280, 1024, 24, 0}));
  EXPECT_TRUE((modes[1] == mxDisplaySetting::mxMode{800, 600, 24, 60}));
  EXPECT_TRUE((modes[2] == mxDisplaySetting::mxMode{800, 600, 24, 75}));
  EXPECT_TRUE((modes[3] == mxDisplaySetting::mxMode{1024, 768, 24, 60}));

  // The current mode again: true without a switch.
  EXPECT_TRUE(display.setCurrent(1280, 1024, 24, 0));
  // 810x590 at 70 Hz: 10+10+0+10 = 30 to 800x600@60, 10+10+0+5 = 25 to @75.
  ASSERT_TRUE(display.setCurrent(810, 590, 24, 70));
  display.getCurrent(w, h, d, r);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(r, 75);
  int nw = 1000, nh = 700, nd = 24, nr = 60;
  EXPECT_TRUE(display.getNearest(nw, nh, nd, nr));
  EXPECT_EQ(nw, 1024);
  EXPECT_EQ(nh, 768);
  ASSERT_TRUE(display.setDefault());
  display.getCurrent(w, h, d, r);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(r, 0);

  // A child that asks for restoring at exit switches and exits: the server
  // is back at the start-up mode afterwards.
  EXPECT_EQ(runChild("mxDisplaySettingChild.SwitchAndExit", true), 0);
  Display* x = XOpenDisplay(nullptr);
  XRRScreenResources* res = XRRGetScreenResources(x, DefaultRootWindow(x));
  XRROutputInfo* out = XRRGetOutputInfo(x, res, res->outputs[0]);
  XRRCrtcInfo* crtc = XRRGetCrtcInfo(x, res, out->crtc);
  EXPECT_EQ(crtc->width, 1280u);
  EXPECT_EQ(crtc->height, 1024u);
  XRRFreeCrtcInfo(crtc);
  XRRFreeOutputInfo(out);
  XRRFreeScreenResources(res);
  XCloseDisplay(x);

  // Without a display: no modes, all 0, no switch.
  EXPECT_EQ(runChild("mxDisplaySettingChild.NoDisplay", false), 0);
}

TEST(mxDisplaySettingChild, SwitchAndExit) {
  if (!isChild()) GTEST_SKIP() << "child only";
  mxDisplaySetting& display = mxDisplaySetting::instance(true);
  ASSERT_TRUE(display.setCurrent(1024, 768, 24, 60));
  int w, h, d, r;
  display.getCurrent(w, h, d, r);
  ASSERT_EQ(w, 1024);
}

TEST(mxDisplaySettingChild, NoDisplay) {
  if (!isChild()) GTEST_SKIP() << "child only";
  ASSERT_EQ(::getenv("DISPLAY"), nullptr);
  mxDisplaySetting& display = mxDisplaySetting::instance(true);
  int w = 9, h = 9, d = 9, r = 9;
  display.getDefault(w, h, d, r);
  EXPECT_EQ(w + h + d + r, 0);
  display.getCurrent(w, h, d, r);
  EXPECT_EQ(w + h + d + r, 0);
  EXPECT_EQ(display.getModes().getSize(), 0u);
  EXPECT_FALSE(display.setCurrent(640, 480, 24, 60));
  EXPECT_FALSE(display.getNearest(w, h, d, r));
}

}  // namespace
