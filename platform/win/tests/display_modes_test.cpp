// Display modes through XRandR on the test's own Xvfb.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/win/display_modes.h"

namespace pw = platform::win;

namespace {

TEST(DisplayModes, PrimaryOutputOfXvfb) {
  ASSERT_NE(::getenv("DISPLAY"), nullptr);
  pw::DisplayMode current;
  ASSERT_TRUE(pw::currentDisplayMode(current));
  EXPECT_EQ(current.width, 1280);  // the size with-xvfb starts the server with
  EXPECT_EQ(current.height, 1024);
  EXPECT_EQ(current.depth, 24);
  auto modes = pw::listDisplayModes();
  ASSERT_FALSE(modes.empty());
  bool listed = false;
  for (const auto& m : modes) listed |= m == current;
  EXPECT_TRUE(listed);
  // Switching to the mode in use succeeds; unknown modes are refused.
  EXPECT_EQ(pw::changeDisplayMode(current), pw::DisplayChangeResult::Successful);
  EXPECT_EQ(pw::changeDisplayMode(pw::DisplayMode{123, 45, 24, 60}), pw::DisplayChangeResult::BadMode);
  EXPECT_EQ(pw::changeDisplayMode(pw::DisplayMode{current.width, current.height, 8, current.rate}),
            pw::DisplayChangeResult::BadMode);
}

TEST(DisplayModes, NoDisplay) {
  std::string saved = ::getenv("DISPLAY") ? ::getenv("DISPLAY") : "";
  ::unsetenv("DISPLAY");
  pw::DisplayMode mode;
  EXPECT_FALSE(pw::currentDisplayMode(mode));
  EXPECT_TRUE(pw::listDisplayModes().empty());
  EXPECT_EQ(pw::changeDisplayMode(mode), pw::DisplayChangeResult::Failed);
  ::setenv("DISPLAY", ":999", 1);  // a display that does not exist
  EXPECT_FALSE(pw::currentDisplayMode(mode));
  if (!saved.empty()) ::setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace
