// framecast end to end in the lab: files sent by one process arrive as
// identical files written by another, and bad options exit non-zero.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "netlab.h"

namespace fs = std::filesystem;

namespace {

std::string tool() { return std::string(std::getenv("PROJECT_BINARY_DIR")) + "/bin/framecast"; }

int run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Framecast, BadOptionsExitNonZero) {
  ASSERT_NE(std::getenv("PROJECT_BINARY_DIR"), nullptr);
  const std::string t = tool();
  EXPECT_EQ(run(t), 2);
  EXPECT_EQ(run(t + " listen --group 234.5.6.7 --port 1"), 2);
  EXPECT_EQ(run(t + " receive --group example.org --port 9000"), 2);
  EXPECT_EQ(run(t + " receive --group 10.0.0.1 --port 9000"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 70000"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 0"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 12x"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 9000 --bogus 1"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 9000 --repeat 2"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 9000 --max-frame 0"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 9000 --max-frame 1073741825"), 2);
  EXPECT_EQ(run(t + " receive --group 234.5.6.7 --port 9000 --max-frame 4294967295"), 2);
  EXPECT_EQ(run(t + " send --group ff15::1 --port 9000"), 2);  // no file
  EXPECT_EQ(run(t + " send --group ff15::1 --port 9000 --ttl 300 x"), 2);
  EXPECT_EQ(run(t + " send --group ff15::1 --port 9000 /nonexistent/file"), 1);
}

TEST(Framecast, FilesArriveIdentical) {
  NETLAB_REQUIRE();
  const fs::path dir = fs::temp_directory_path() / ("framecast_test_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  std::string names;
  for (int i = 0; i < 3; ++i) {
    std::ofstream f(dir / "in" / ("f" + std::to_string(i)), std::ios::binary);
    for (int k = 0; k < 5000 * (i + 1) + i; ++k) f.put(static_cast<char>(k * 13 + i));
    names += " " + (dir / "in" / ("f" + std::to_string(i))).string();
  }
  for (const char* group : {"234.5.9.1", "ff15::91"}) {
    SCOPED_TRACE(group);
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const std::string stats = (dir / "stats.txt").string();
    const std::string log = (dir / "log.txt").string();
    fs::remove(log);
    std::thread receiver([&] {
      std::system((tool() + " receive --group " + group + " --port 9400 --count 3 --time 20 --out " +
                   (dir / "out").string() + " >" + stats + " 2>" + log)
                      .c_str());
    });
    // Send only once the receiver has joined the group (it says so in its log).
    for (int waited = 0; waited < 20000 && read(log).find("joined on interface") == std::string::npos;
         waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(run(tool() + " send --group " + group + " --port 9400 --packet-size 2000 --repeat 2 --rate 50000000" +
                  names),
              0);
    receiver.join();
    for (int i = 0; i < 3; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%06d.bin", i + 1);
      EXPECT_EQ(read(dir / "out" / name), read(dir / "in" / ("f" + std::to_string(i)))) << name;
    }
    const std::string text = read(stats);
    EXPECT_NE(text.find("frames received 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("dropped frames 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("packet size 2000\n"), std::string::npos) << text;
  }
  fs::remove_all(dir);
}
