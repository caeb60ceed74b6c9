// morvane-receive's command line and its monitor table.
#include "morvane/receive/receive_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "morvane/receive/receive_monitor.h"

namespace {

bool parse(std::vector<std::string> args, ReceiveOptions& o, std::string& error) {
  args.insert(args.begin(), "morvane-receive");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return parseReceiveOptions(int(argv.size()), argv.data(), o, error);
}

}  // namespace

TEST(ReceiveOptions, GoodAndBadCommandLines) {
  ReceiveOptions o;
  std::string error;
  ASSERT_TRUE(
      parse({"--ini", "r.ini", "--save", "--group", "239.0.0.1", "--port", "9000", "--snapshot", "out",
             "--every", "0.5", "--seconds", "12", "--window", "--quiet", "--pictures-out", "/dev/fd/3"},
            o, error))
      << error;
  EXPECT_EQ(o.ini, "r.ini");
  EXPECT_TRUE(o.save);
  EXPECT_EQ(o.group, "239.0.0.1");
  EXPECT_EQ(o.port, 9000);
  EXPECT_EQ(o.snapshot, "out");
  EXPECT_EQ(o.pictures, "/dev/fd/3");
  EXPECT_DOUBLE_EQ(o.every, 0.5);
  EXPECT_DOUBLE_EQ(o.seconds, 12);
  EXPECT_TRUE(o.window);
  EXPECT_TRUE(o.quiet);

  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},           {"--ini"},         {"--ini", ""},     {"--save"},       {"--port", "0"},
      {"--port", "65536"},   {"--port", "80x"}, {"--port", "1.5"}, {"--every", "0"}, {"--every", "-1"},
      {"--seconds", "soon"}, {"--group"},       {"--pictures-out"}};
  for (const auto& args : bad) {
    ReceiveOptions b;
    error.clear();
    EXPECT_FALSE(parse(args, b, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(ReceiveOptions, MonitorTableShowsKbitAndTheCounters) {
  ReceiveMonitor m;
  m.mainVideo = {2048000, 30, 7, 2, 1024};
  m.audio = {131072, 38, 0, 1, 512};
  const std::string t = formatReceiveMonitor(12.4, m);
  EXPECT_EQ(t,
            "[   12 s]       Kbit/s  frames/s  drop pkts  drop frames  packet B\n"
            "  main video       2000        30          7            2      1024\n"
            "  second video        0         0          0            0         0\n"
            "  audio             128        38          0            1       512\n");
}
