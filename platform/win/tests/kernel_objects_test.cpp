// Kernel objects behind handles: events, name tables shared by kind,
// stale handles, and waits woken from other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/win/kernel_objects.h"

namespace pw = platform::win;

namespace {

TEST(KernelObjects, EventsAutoAndManualReset) {
  pw::Handle autoEvent = pw::createEvent(false, false, "");
  ASSERT_NE(autoEvent, pw::invalidHandle());
  EXPECT_FALSE(pw::waitForObject(autoEvent, 0));
  EXPECT_TRUE(pw::setEvent(autoEvent));
  EXPECT_TRUE(pw::waitForObject(autoEvent, 0));
  EXPECT_FALSE(pw::waitForObject(autoEvent, 0));  // reset by the wait

  pw::Handle manual = pw::createEvent(true, true, "");
  EXPECT_TRUE(pw::waitForObject(manual, 0));
  EXPECT_TRUE(pw::waitForObject(manual, 0));  // stays set
  EXPECT_TRUE(pw::resetEvent(manual));
  EXPECT_FALSE(pw::waitForObject(manual, 10));

  // A manual event wakes every waiter; an auto event exactly one per set.
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (pw::waitForObject(manual, 10000)) ++woken;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  pw::setEvent(manual);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken, 4);

  woken = 0;
  waiters.clear();
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (pw::waitForObject(autoEvent, 2000)) ++woken;
    });
  pw::setEvent(autoEvent);
  pw::setEvent(autoEvent);
  for (auto& t : waiters) t.join();
  EXPECT_LE(woken, 2);
  EXPECT_GE(woken, 1);
  EXPECT_TRUE(pw::closeHandle(autoEvent));
  EXPECT_TRUE(pw::closeHandle(manual));
}

TEST(KernelObjects, NameTables) {
  pw::Handle e1 = pw::createEvent(true, false, "kobj-test-name");
  pw::Handle e2 = pw::createEvent(false, true, "kobj-test-name");  // opens the first one
  ASSERT_NE(e2, pw::invalidHandle());
  EXPECT_FALSE(pw::waitForObject(e2, 0));  // manual, not set: the first one's settings
  pw::setEvent(e1);
  EXPECT_TRUE(pw::waitForObject(e2, 0));
  // A name belongs to one kind.
  EXPECT_EQ(pw::createMutex(false, "kobj-test-name"), pw::invalidHandle());
  EXPECT_EQ(pw::openSemaphore("kobj-test-name"), pw::invalidHandle());
  pw::Handle opened = pw::openEvent("kobj-test-name");
  EXPECT_NE(opened, pw::invalidHandle());
  pw::closeHandle(e1);
  pw::closeHandle(e2);
  pw::closeHandle(opened);
  // Once every handle is closed the name is free again.
  EXPECT_EQ(pw::openEvent("kobj-test-name"), pw::invalidHandle());
  pw::Handle m = pw::createMutex(false, "kobj-test-name");
  EXPECT_NE(m, pw::invalidHandle());
  pw::closeHandle(m);
}

TEST(KernelObjects, StaleAndForeignHandlesAreRefused) {
  pw::Handle s = pw::createSemaphore(1, 1, "");
  EXPECT_TRUE(pw::closeHandle(s));
  EXPECT_FALSE(pw::closeHandle(s));
  EXPECT_FALSE(pw::waitForObject(s, 0));
  EXPECT_FALSE(pw::releaseSemaphore(s, 1, nullptr));
  int local = 0;
  EXPECT_FALSE(pw::setEvent(&local));
  EXPECT_FALSE(pw::waitForObject(pw::invalidHandle(), 0));
  EXPECT_FALSE(pw::waitForObject(nullptr, 0));
  pw::Handle e = pw::createEvent(false, false, "");
  EXPECT_FALSE(pw::releaseMutex(e));  // wrong kind
  EXPECT_FALSE(pw::releaseSemaphore(e, 1, nullptr));
  pw::closeHandle(e);
}

TEST(KernelObjects, MutexOwnershipAcrossThreads) {
  pw::Handle m = pw::createMutex(false, "");
  ASSERT_TRUE(pw::waitForObject(m, 0));
  std::thread([&] { EXPECT_FALSE(pw::releaseMutex(m)); }).join();  // only its owner releases it
  ASSERT_TRUE(pw::releaseMutex(m));
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(pw::waitForObject(m, pw::kInfinite));
        ++counter;
        ASSERT_TRUE(pw::releaseMutex(m));
      }
      EXPECT_FALSE(pw::releaseMutex(m));
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 20000);
  pw::closeHandle(m);
}

// A thread procedure that says when it has started and when it is about to
// return: a detached thread cannot be joined, and the test must not free
// what it reads while it still runs.
struct Flags {
  std::atomic<bool> started{false}, stop{false}, leaving{false};
};

unsigned flagged(void* arg) {
  auto* flags = static_cast<Flags*>(arg);
  flags->started = true;
  while (!flags->stop) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  flags->leaving = true;  // the last touch of *flags
  return 11;
}

bool waitFor(const std::atomic<bool>& flag) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return flag;
}

TEST(KernelObjects, ThreadsAndTheirEnd) {
  Flags first;
  unsigned id = 0;
  pw::Handle t = pw::createThread(flagged, &first, false, &id);
  ASSERT_NE(t, pw::invalidHandle());
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, pw::getCurrentThreadId());
  EXPECT_TRUE(pw::isThreadRunning(t));
  EXPECT_FALSE(pw::suspendThread(t));  // running threads cannot be held
  EXPECT_TRUE(pw::setThreadPriority(t, pw::ThreadPriority::BelowNormal));
  pw::ThreadPriority p;
  EXPECT_TRUE(pw::getThreadPriority(t, &p));
  EXPECT_EQ(p, pw::ThreadPriority::BelowNormal);
  EXPECT_FALSE(pw::waitForObject(t, 20));
  first.stop = true;
  EXPECT_TRUE(pw::waitForObject(t, 10000));
  unsigned code = 0;
  EXPECT_TRUE(pw::getExitCodeThread(t, &code));
  EXPECT_EQ(code, 11u);
  EXPECT_TRUE(pw::terminateThread(t, 1));  // already ended: nothing to do
  EXPECT_TRUE(pw::getExitCodeThread(t, &code));
  EXPECT_EQ(code, 11u);
  EXPECT_FALSE(pw::setThreadPriority(t, pw::ThreadPriority::Normal));
  pw::closeHandle(t);

  // Terminating a running thread: the handle counts as ended at once, the
  // thread runs on detached until it returns.
  Flags flags;
  pw::Handle t2 = pw::createThread(flagged, &flags, false, nullptr);
  ASSERT_TRUE(waitFor(flags.started));  // running, not merely created
  EXPECT_FALSE(pw::terminateThread(t2, 99));
  EXPECT_TRUE(pw::waitForObject(t2, 0));
  EXPECT_TRUE(pw::getExitCodeThread(t2, &code));
  EXPECT_EQ(code, 99u);
  pw::closeHandle(t2);  // the thread keeps its own reference
  flags.stop = true;
  ASSERT_TRUE(waitFor(flags.leaving));
  EXPECT_EQ(pw::createThread(nullptr, nullptr, false, nullptr), pw::invalidHandle());
}

}  // namespace
