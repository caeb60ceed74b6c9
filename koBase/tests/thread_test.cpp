#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "koBase/koNetwork.h"
#include "koBase/koThread.h"

using namespace std::chrono;

namespace {
std::atomic<int> g_runs{0};
uint32_t quick(void*) {
  ++g_runs;
  return 42;
}
uint32_t blockForever(void* flag) {
  auto* stop = static_cast<std::atomic<bool>*>(flag);
  while (!*stop) usleep(1000);  // usleep is a cancellation point
  return 1;
}
}  // namespace

TEST(koThread, RunsWaitsAndResumes) {
  koThread thread(quick, nullptr);
  ASSERT_TRUE(thread.hasThread());
  EXPECT_TRUE(thread.wait(2000));
  EXPECT_EQ(thread.getExitCode(), 42u);
  EXPECT_FALSE(thread.isRunning());
  EXPECT_FALSE(thread.start(quick, nullptr));  // one thread per object
  const auto start = steady_clock::now();
  { koThread done(quick, nullptr); done.wait(-1); }
  EXPECT_LT(steady_clock::now() - start, milliseconds(500));  // no 1000 ms wait

  std::atomic<bool> stop{false};
  koThread blocked(blockForever, &stop);
  EXPECT_FALSE(blocked.wait(0));  // at once, while it runs
  EXPECT_TRUE(blocked.isRunning());
  stop = true;
  EXPECT_TRUE(blocked.wait(-1));

  const int before = g_runs;
  koThread suspended(quick, nullptr, koThread::kCreateSuspended);
  EXPECT_FALSE(suspended.wait(50));
  EXPECT_EQ(g_runs.load(), before);
  suspended.resume();
  EXPECT_TRUE(suspended.wait(2000));
  EXPECT_EQ(g_runs.load(), before + 1);
}

TEST(koThread, DestroyingAThreadThatDoesNotEndTerminatesItAfterASecond) {
  std::atomic<bool> stop{false};
  const auto start = steady_clock::now();
  { koThread thread(blockForever, &stop); }
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(990));
  EXPECT_LT(took, milliseconds(5000));
}

TEST(koNetwork, StartCountNeverGoesBelowZero) {
  const uint32_t base = koNetworkStartCount();
  EXPECT_TRUE(koNetworkStartup());
  EXPECT_TRUE(koNetworkStartup());
  EXPECT_EQ(koNetworkStartCount(), base + 2);
  EXPECT_TRUE(koNetworkShutdown());
  EXPECT_TRUE(koNetworkShutdown());
  for (uint32_t i = 0; i < base + 1; ++i) EXPECT_TRUE(koNetworkShutdown());
  EXPECT_EQ(koNetworkStartCount(), 0u);
  EXPECT_GE(koTimerMinimumPeriod(), 1u);
}
