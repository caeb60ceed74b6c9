// The demo program itself in a lab of three stations, in its short form:
// the real sender and receivers through the three modes, judged from what
// it prints and saves; and the desktop programs on the test's X server.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "netlab.h"

namespace fs = std::filesystem;

namespace {

// Runs demo_run with the arguments; its exit status and everything it printed.
int runDemo(const std::string& args, std::string& output) {
  const std::string command = std::string(DEMO_RUN) + " " + args + " 2>&1";
  FILE* in = popen(command.c_str(), "r");
  if (!in) return -1;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, in)) output += buffer;
  const int status = pclose(in);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    if (netlab::stations().size() < 3) GTEST_SKIP() << "needs a lab with three stations";
    char tmpl[] = "/tmp/demo_run_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (dir_.empty()) return;
    if (HasFailure())
      std::printf("output kept in %s\n", dir_.c_str());
    else
      fs::remove_all(dir_);
  }
  std::string dir_;
};

}  // namespace

TEST_F(Demo, TheRealSystemThroughEveryMode) {
  std::string out;
  ASSERT_EQ(runDemo("--output " + dir_ + " --phase-seconds 4", out), 0) << out;
  EXPECT_NE(out.find("demo: every receiver showed pictures in every mode"), std::string::npos) << out;

  // The live table shows the sender's pictures leaving and a receiver's
  // arriving (the programs' monitor lines were read back).
  static const std::regex tableLine(R"(^\s*[\d.]+ s  None\s+\|\s+(\d+)\s+(\d+)\s+\d+ \|\s+(\d+)\s+(\d+) )");
  bool senderRates = false, receiverRates = false;
  std::istringstream lines(out);
  // Summary rows: mode, pictures, frames read, out of order, latency or
  // "-", and the time to show the mode.
  static const std::regex row(
      R"(^  (None|Loupex|ImageCompound)\s+(\d+)\s+(\d+)\s+(\d+)\s+(.*?)\s+(-|never|[\d.]+ s)$)");
  std::map<std::string, int> rowsPerMode;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, tableLine)) {
      senderRates = senderRates || (std::stoul(m[1]) > 0 && std::stoul(m[2]) > 0);
      receiverRates = receiverRates || (std::stoul(m[3]) > 0 && std::stoul(m[4]) > 0);
    }
    if (!std::regex_match(line, m, row)) continue;
    const std::string mode = m[1];
    ++rowsPerMode[mode];
    SCOPED_TRACE(line);
    EXPECT_GE(std::stoul(m[2]), 3u);
    if (mode == "None") {
      // The whole picture: every frame number read, in order, timed.
      EXPECT_GE(std::stoul(m[3]), 10u);
      EXPECT_EQ(std::stoul(m[4]), 0u);
      EXPECT_NE(std::string(m[5]).find(" ms"), std::string::npos);
    } else {
      EXPECT_NE(m[6], "never");
      EXPECT_NE(m[6], "-");
    }
  }
  EXPECT_TRUE(senderRates) << out;
  EXPECT_TRUE(receiverRates) << out;
  EXPECT_EQ(rowsPerMode, (std::map<std::string, int>{{"ImageCompound", 2}, {"Loupex", 2}, {"None", 2}}))
      << out;

  for (const char* receiver : {"receiver1", "receiver2"}) {
    size_t png = 0;
    for (const auto& e : fs::directory_iterator(dir_ + "/" + receiver)) png += e.path().extension() == ".png";
    EXPECT_GE(png, 8u) << receiver;
  }
}

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
