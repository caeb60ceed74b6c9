// Runs the demo program from a test inside a lab of three stations, with a
// folder of its own for what it saves.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "netlab.h"

namespace demo_test {

// Runs demo_run with the arguments; its exit status and everything it printed.
inline int runDemo(const std::string& args, std::string& output) {
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
      std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

}  // namespace demo_test
