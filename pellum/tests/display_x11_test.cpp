// mxDisplaySetting against a real X server (Xvfb with RANDR), and without
// any display.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "pellum/mxDisplaySetting.h"
#include "pellum/mxNotify.h"

namespace {

TEST(mxDisplaySettingX11, ListsAndKeepsTheCurrentMode) {
  ASSERT_NE(::getenv("DISPLAY"), nullptr);
  ::testing::internal::CaptureStderr();
  mxDisplaySetting& display = mxDisplaySetting::instance(true);
  std::string log = ::testing::internal::GetCapturedStderr();
  int w, h, d, r;
  display.getDefault(w, h, d, r);
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_EQ(d, 24);
  char expect[128];
  snprintf(expect, sizeof expect, "[Info] : DisplayModeCurrent=%dx%dx%dx%d\n", w, h, d, r);
  EXPECT_EQ(log, expect);
  EXPECT_EQ(&display, &mxDisplaySetting::instance(false));  // one object per process

  const mxArray<mxDisplaySetting::mxMode>& modes = display.getModes();
  ASSERT_GT(modes.getSize(), 0u);
  bool listed = false;
  for (uint32_t i = 0; i < modes.getSize(); ++i)
    listed |= modes[i] == mxDisplaySetting::mxMode{w, h, d, r};
  EXPECT_TRUE(listed) << "the current mode is one of the listed modes";

  // Asking for the current mode again needs no switch.
  EXPECT_TRUE(display.setCurrent(w, h, d, r));
  EXPECT_TRUE(display.setDefault());
  int cw, ch, cd, cr;
  display.getCurrent(cw, ch, cd, cr);
  EXPECT_EQ(cw, w);
  EXPECT_EQ(cr, r);
  // The nearest listed mode to a request far off.
  int nw = 1, nh = 1, nd = 24, nr = 1;
  EXPECT_TRUE(display.getNearest(nw, nh, nd, nr));
  EXPECT_GT(nw, 0);

  // Switching to each other listed mode and back, where the server allows.
  for (uint32_t i = 0; i < modes.getSize(); ++i) {
    const auto& m = modes[i];
    if (m.width == w && m.height == h && m.rate == r) continue;
    ::testing::internal::CaptureStderr();
    bool switched = display.setCurrent(m.width, m.height, m.depth, m.rate);
    std::string why = ::testing::internal::GetCapturedStderr();
    if (switched) {
      display.getCurrent(cw, ch, cd, cr);
      EXPECT_EQ(cw, m.width);
      EXPECT_TRUE(display.setDefault());
    } else {
      EXPECT_EQ(why.rfind("[Error] : mxDisplaySetting::setMode(); ", 0), 0u) << why;
    }
    break;
  }
}

TEST(mxDisplaySettingNoDisplay, EverythingZero) {
  // The instance is process-wide: the check without a display runs in a
  // second process of this program, started without DISPLAY.
  if (::getenv("PELLUM_NO_DISPLAY")) GTEST_SKIP() << "child run";
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string cmd = "env -u DISPLAY PELLUM_NO_DISPLAY=1 " + self +
                    " --gtest_filter=mxDisplaySettingNoDisplayChild.* >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

TEST(mxDisplaySettingNoDisplayChild, Run) {
  if (!::getenv("PELLUM_NO_DISPLAY")) GTEST_SKIP() << "only in the child process";
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
