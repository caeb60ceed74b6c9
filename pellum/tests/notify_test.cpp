// mxNotify: the line format and the three outputs, checked by capturing
// standard output and standard error and by reading "errorlog.txt".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pellum/Pellum.h"
#include "pellum/mxNotify.h"
#include "pellum/tests/temp_dir.h"

namespace {

// Runs the test body in a folder of its own, since the log file is written
// to the current directory.
class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    old_ = cwd;
    ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(old_.c_str()), 0);
    mxNotify::setOutput(mxNotify::DebuggerOutput);
  }
  TempDir dir_;
  std::string old_;
};

TEST_F(InTempDir, LinesOnStandardErrorAndStandardOutput) {
  EXPECT_TRUE(Pellum::initialize());
  EXPECT_EQ(mxNotify::getOutput(), mxNotify::DebuggerOutput);  // standard error
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  mxNotify::post(mxNotify::Error, "disk %s", "full");
  mxNotify::post(static_cast<mxNotify::LevelEnum>(9), "odd");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(err, "[Error] : disk full\n[Unknown] : odd\n");
  EXPECT_TRUE(Pellum::shutdown());

  mxNotify::setOutput(mxNotify::StandardOutput);
  const std::string big(1000, 'x');
  ::testing::internal::CaptureStdout();
  mxNotify::post(mxNotify::Info, "value=%d %s", 42, "受信");
  mxNotify::post(mxNotify::Warn, mxString("100% as it is"));
  mxNotify::post(mxNotify::Notice, "n");
  mxNotify::post(mxNotify::Fatal, "f");
  mxNotify::post(mxNotify::Debug, "d");
  mxNotify::post(mxNotify::Info, "%s", big.c_str());      // formatted: cut, not overrun
  mxNotify::post(mxNotify::Info, mxString(big.c_str()));  // unformatted: no limit
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "[Info] : value=42 受信\n[Warn] : 100% as it is\n[Notice] : n\n[Fatal] : f\n[Debug] : d\n"
            "[Info] : " + std::string(255, 'x') + "\n[Info] : " + big + "\n");
}

TEST_F(InTempDir, LogFileIsAppendedTo) {
  mxNotify::setOutput(mxNotify::ErrorLogFile);
  mxNotify::post(mxNotify::Error, "first");
  mxNotify::post(mxNotify::Info, "second %d", 2);
  EXPECT_EQ(slurp("errorlog.txt"), "[Error] : first\n[Info] : second 2\n");
  // Lines from several threads stay whole.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) mxNotify::post(mxNotify::Debug, "thread %d line %d", t, i);
    });
  for (auto& t : threads) t.join();
  std::istringstream lines(slurp("errorlog.txt"));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    if (count > 2) {
      EXPECT_EQ(line.rfind("[Debug] : thread ", 0), 0u) << line;
    }
  }
  EXPECT_EQ(count, 202);
  // Other output values write nothing.
  mxNotify::setOutput(static_cast<mxNotify::OutputEnum>(5));
  mxNotify::post(mxNotify::Error, "nowhere");
  EXPECT_EQ(slurp("errorlog.txt").find("nowhere"), std::string::npos);
}

TEST_F(InTempDir, UnwritableFolderIsQuiet) {
  if (::geteuid() == 0) {
    // root may write anywhere: make the log name a directory instead.
    ASSERT_EQ(::mkdir("errorlog.txt", 0700), 0);
  } else {
    ASSERT_EQ(::chmod(".", 0500), 0);
  }
  mxNotify::setOutput(mxNotify::ErrorLogFile);
  mxNotify::post(mxNotify::Error, "lost");  // returns quietly
  ::chmod(".", 0700);
  SUCCEED();
}

}  // namespace
