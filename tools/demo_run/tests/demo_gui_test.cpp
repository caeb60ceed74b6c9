// The demo's --gui form: the two desktop programs, the receivers in their
// lab stations, on the test's own X server; the screen must show them.
#include <png.h>

#include <set>
#include <vector>

#include "tools/demo_run/tests/run_demo.h"

using demo_test::Demo;
using demo_test::runDemo;

TEST_F(Demo, TheDesktopProgramsOnTheDisplay) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under tools/with-xvfb)";
  const std::string shot = dir_ + "/screen.png";
  std::string out;
  ASSERT_EQ(runDemo("--output " + dir_ + " --gui --seconds 12 --screenshot " + shot, out), 0) << out;
  // The three windows drew something: the screen is far from one colour.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, shot.c_str())) << out;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  EXPECT_GE(colours.size(), 8u);
}
