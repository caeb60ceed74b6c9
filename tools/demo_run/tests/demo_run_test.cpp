// The demo program itself in a lab of three stations, in its short form:
// the real sender and receivers through the three modes, judged from what
// it prints and saves.
#include <map>
#include <regex>
#include <sstream>

#include "tools/demo_run/tests/run_demo.h"

using demo_test::Demo;
using demo_test::runDemo;

namespace fs = std::filesystem;

TEST_F(Demo, TheRealSystemThroughEveryMode) {
  std::string out;
  ASSERT_EQ(runDemo("--output " + dir_ + " --phase-seconds 4", out), 0) << out;
  EXPECT_NE(out.find("demo: every receiver showed pictures in every mode"), std::string::npos) << out;

  // The live table shows the sender's pictures leaving and a receiver's
  // arriving (the programs' monitor lines were read back). Any mode's rows
  // count: a receiver's rates read 0 for its first two monitor lines after
  // each rebuild (a rate needs a window), which can span a short phase.
  static const std::regex tableLine(R"(^\s*[\d.]+ s  (?:None|Loupex|ImageCompound)\s+\|\s+(\d+)\s+(\d+)\s+\d+ \|\s+(\d+)\s+(\d+) )");
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
      // The whole picture: frame numbers read, in order, timed (how many
      // depends on the machine's speed: a sanitizer build is slow).
      EXPECT_GE(std::stoul(m[3]), 3u);
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
    EXPECT_GE(png, 6u) << receiver;  // one a second
  }
}
