// pipeline_demo run as the demo command runs it, between two stations of
// the network lab: its exit status, what it reports, and the PNG files it
// writes, decoded and checked pixel by pixel.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "netlab.h"
#include "platform/filters/capture/test_pattern_code.h"

namespace {

struct Result {
  int status = -1;
  std::string output;  // standard output and standard error
};

Result runDemo(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + " '" PIPELINE_DEMO_PROGRAM "' " + arguments + " 2>&1";
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top-down, R G B
};

bool readPng(const std::string& path, Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

size_t distinctColours(const Picture& p) {
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 2 < p.rgb.size(); i += 3)
    colours.insert(uint32_t(p.rgb[i]) << 16 | uint32_t(p.rgb[i + 1]) << 8 | p.rgb[i + 2]);
  return colours.size();
}

// The first number after label on its line of the report; -1 if none.
long numberAfter(const std::string& text, const std::string& label) {
  std::smatch m;
  if (!std::regex_search(text, m, std::regex(label + "\\s+(\\d+)"))) return -1;
  return std::stol(m[1]);
}

class PipelineDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/pipeline_demo_test_XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    output_ = dir;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(output_, ec);
  }
  std::string output_;
};

}  // namespace

TEST_F(PipelineDemo, PicturesArriveEndToEndInOrderAndAreSaved) {
  NETLAB_REQUIRE();
  ASSERT_GE(netlab::stations().size(), 2u);
  const Result r = runDemo("--seconds 2 --output " + output_);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Result: pictures arrived end to end, in order"), std::string::npos) << r.output;

  // Frames made it through every stage.
  EXPECT_GT(numberAfter(r.output, "frames captured"), 0) << r.output;
  EXPECT_GT(numberAfter(r.output, "frames sent"), 0);
  EXPECT_GT(numberAfter(r.output, "\"VideoClient\\(Main\\)\""), 0);
  EXPECT_GT(numberAfter(r.output, "frames decoded"), 0);
  EXPECT_GT(numberAfter(r.output, "frames rendered"), 0);
  EXPECT_GT(numberAfter(r.output, "\"PointerFocusClient\""), 0);
  EXPECT_GT(numberAfter(r.output, "\"PointerP1Client\""), 0);
  std::smatch order;
  ASSERT_TRUE(std::regex_search(r.output, order,
                                std::regex("after the decoder\\s+(\\d+) pictures.*in order: (\\w+)")))
      << r.output;
  EXPECT_GT(std::stol(order[1]), 0);
  EXPECT_EQ(order[2], "yes");

  // The picture without focus display: the camera's full size, a real
  // picture, and the frame number in it is the one the report names.
  Picture plain, focus;
  ASSERT_TRUE(readPng(output_ + "/receiver-plain.png", plain));
  EXPECT_EQ(plain.width, 640);
  EXPECT_EQ(plain.height, 480);
  EXPECT_GT(distinctColours(plain), 8u);
  uint32_t frame = 0;
  ASSERT_TRUE(test_pattern::readFrameNumber(
      plain.width, plain.height,
      [&](int x, int y) {
        const uint8_t* p = &plain.rgb[(size_t(y) * plain.width + x) * 3];
        return (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
      },
      &frame));
  std::smatch shown;
  ASSERT_TRUE(std::regex_search(r.output, shown, std::regex("640x480, shows frame (\\d+)"))) << r.output;
  EXPECT_EQ(frame, std::stoul(shown[1]));

  // The focus display: the zoom's smaller picture, not uniform, and not a
  // plain reduction of the same picture (the zoom keeps a full-resolution
  // window, the pointer is drawn in): its pixels differ from a 2:1
  // reduction of the plain picture somewhere.
  ASSERT_TRUE(readPng(output_ + "/receiver-focus.png", focus));
  EXPECT_EQ(focus.width, 320);
  EXPECT_EQ(focus.height, 240);
  EXPECT_GT(distinctColours(focus), 8u);
  size_t differing = 0;
  for (int y = 0; y < focus.height; ++y)
    for (int x = 0; x < focus.width; ++x) {
      const uint8_t* f = &focus.rgb[(size_t(y) * focus.width + x) * 3];
      const uint8_t* p = &plain.rgb[(size_t(2 * y) * plain.width + 2 * x) * 3];
      for (int c = 0; c < 3; ++c)
        if (std::abs(int(f[c]) - int(p[c])) > 64) {
          ++differing;
          break;
        }
    }
  EXPECT_GT(differing, size_t(focus.width) * focus.height / 100) << "the focus picture is a plain reduction";
}

TEST_F(PipelineDemo, RefusesToRunOutsideTheLab) {
  // NETLAB=0 makes the program believe it is on the host: it must not send.
  const Result r = runDemo("--seconds 1 --output " + output_, "NETLAB=0");
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("not inside the private network lab"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(output_ + "/receiver-plain.png"));
}

TEST_F(PipelineDemo, RefusesBadOptionsWithItsUsage) {
  const Result r = runDemo("--seconds 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("--seconds takes a whole number"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("usage:"), std::string::npos);
}
