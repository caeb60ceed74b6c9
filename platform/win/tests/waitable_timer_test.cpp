#include "platform/win/waitable_timer.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>

using platform::win::WaitableTimer;
using namespace std::chrono;

TEST(WaitableTimer, NamesAreSharedAndVanishWithTheLastHandle) {
  EXPECT_EQ(WaitableTimer::openExisting("WTTEST_A"), nullptr);
  bool existed = true;
  auto first = WaitableTimer::create("WTTEST_A", &existed);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(existed);
  auto second = WaitableTimer::openExisting("WTTEST_A");
  ASSERT_NE(second, nullptr);
  auto third = WaitableTimer::create("WTTEST_A", &existed);
  EXPECT_TRUE(existed);
  // One timer behind all three handles: arming through one signals the others.
  ASSERT_TRUE(first->set(0, 0));
  EXPECT_TRUE(second->wait(2000));
  EXPECT_FALSE(third->consume());  // auto-reset: the signal was taken once
  first.reset();
  second.reset();
  EXPECT_NE(WaitableTimer::openExisting("WTTEST_A"), nullptr);
  third.reset();
  EXPECT_EQ(WaitableTimer::openExisting("WTTEST_A"), nullptr);
  EXPECT_EQ(WaitableTimer::openExisting(""), nullptr);
  // Unnamed timers are separate.
  auto u1 = WaitableTimer::create("");
  auto u2 = WaitableTimer::create("");
  ASSERT_TRUE(u1 && u2);
  EXPECT_NE(u1->fd(), u2->fd());
}

TEST(WaitableTimer, RelativeDueTimeFiresAfterItAndAutoResets) {
  auto timer = WaitableTimer::create("WTTEST_B");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->consume());
  const auto start = steady_clock::now();
  ASSERT_TRUE(timer->set(-30 * 10000, 0));  // 30 ms
  // Not signalled before its due time. A loaded machine may hold this thread
  // past the due time before it looks, so the look counts only if it came
  // early enough.
  pollfd p{timer->fd(), POLLIN, 0};
  const int ready = poll(&p, 1, 0);
  if (steady_clock::now() - start < milliseconds(29)) {
    EXPECT_EQ(ready, 0);
  }
  ASSERT_TRUE(timer->wait(2000));
  EXPECT_GE(steady_clock::now() - start, milliseconds(29));
  EXPECT_FALSE(timer->consume());
  EXPECT_FALSE(timer->wait(50));
}

TEST(WaitableTimer, PeriodicFiresRepeatedlyAndCancelStopsIt) {
  auto timer = WaitableTimer::create("WTTEST_C");
  ASSERT_TRUE(timer->set(-10000, 5));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(timer->wait(2000));
  EXPECT_TRUE(timer->cancel());
  timer->consume();
  EXPECT_FALSE(timer->wait(40));
  EXPECT_FALSE(timer->set(-1, -1));
}

TEST(WaitableTimer, CancelClearsAPendingSignal) {
  auto timer = WaitableTimer::create("");
  ASSERT_TRUE(timer->set(0, 0));
  std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(timer->cancel());
  EXPECT_FALSE(timer->consume());
}

TEST(WaitableTimer, AbsoluteDueTimeInThePastFiresAtOnce) {
  auto timer = WaitableTimer::create("");
  ASSERT_TRUE(timer->set(116444736000000000LL + 10, 0));  // 1970
  EXPECT_TRUE(timer->wait(2000));
  const auto armed = steady_clock::now();
  const auto now100 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  ASSERT_TRUE(timer->set(116444736000000000LL + now100 + 200000, 0));  // 20 ms ahead
  // Not yet signalled, as long as this thread looks before the 20 ms are up.
  const bool early = timer->consume();
  if (steady_clock::now() - armed < milliseconds(19)) {
    EXPECT_FALSE(early);
  }
  if (!early) {
    EXPECT_TRUE(timer->wait(2000));
  }
}

TEST(WaitableTimer, OneOfManyWaitersTakesEachSignal) {
  auto timer = WaitableTimer::create("WTTEST_D");
  std::atomic<int> woken{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      auto handle = WaitableTimer::openExisting("WTTEST_D");
      ASSERT_NE(handle, nullptr);
      while (!stop) {
        if (handle->wait(20)) ++woken;
      }
    });
  // Arming clears a signal nobody took yet, so each signal is given time to
  // be taken (by however slow a waiter) before the timer is armed again.
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(timer->set(0, 0));
    const auto until = steady_clock::now() + seconds(10);
    while (woken < i + 1 && steady_clock::now() < until) std::this_thread::sleep_for(milliseconds(1));
    std::this_thread::sleep_for(milliseconds(60));  // room for a second, wrong taker
    EXPECT_EQ(woken.load(), i + 1);
  }
  stop = true;
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 5);
}
