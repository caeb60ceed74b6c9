// Threads, critical sections, mutexes, semaphores and time, on real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "pellum/mxThread.h"
#include "pellum/mxTime.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

TEST(mxCriticalSection, ExcludesAndIsReentrant) {
  // Every leave() yields the processor, so each round costs a switch to
  // whatever else is runnable; on a loaded machine 20000 rounds per thread
  // took most of a minute. Fewer rounds, and besides lost increments every
  // overlap of two threads inside the section is counted.
  struct Shared {
    mxCriticalSection section;
    long counter = 0;
    std::atomic<int> inside{0}, overlaps{0};
  };
  constexpr int kThreads = 4, kRounds = 2000;
  Shared shared;
  auto body = [](void* arg) -> unsigned {
    auto* s = static_cast<Shared*>(arg);
    for (int i = 0; i < kRounds; ++i) {
      s->section.enter();
      s->section.enter();  // re-entrant for the owning thread
      if (s->inside.fetch_add(1) != 0) ++s->overlaps;
      ++s->counter;
      s->inside.fetch_sub(1);
      s->section.leave();
      s->section.leave();
    }
    return 0;
  };
  {
    std::vector<std::unique_ptr<mxThread>> threads;
    for (int t = 0; t < kThreads; ++t) threads.push_back(std::make_unique<mxThread>(body, &shared, false));
    for (auto& t : threads) EXPECT_TRUE(t->waitFor(60000));
  }
  EXPECT_EQ(shared.overlaps.load(), 0);
  EXPECT_EQ(shared.counter, long{kThreads} * kRounds);
}

TEST(mxHandle, InvalidAfterDefaultConstruction) {
  mxHandle h;
  EXPECT_FALSE(h.isValid());
  h.close();
  EXPECT_FALSE(h.isValid());
  mxHandle null(nullptr);
  EXPECT_TRUE(null.isValid());
  null.setHandle(mxHandle::invalid());
  mxThreadHandle th;
  EXPECT_FALSE(th.waitFor(0));
}

TEST(mxMutex, NamedAndUnnamed) {
  mxMutex missing;
  EXPECT_FALSE(missing.create(mxString("pellum-test-no-such-mutex")));
  EXPECT_FALSE(missing.isValid());

  mxMutex a(false, mxString("pellum-test-mutex"));
  ASSERT_TRUE(a.isValid());
  mxMutex b(mxString("pellum-test-mutex"));  // opens the same mutex
  ASSERT_TRUE(b.isValid());
  EXPECT_TRUE(a.waitFor(0));
  EXPECT_TRUE(b.waitFor(0));  // re-entrant for the owner, through either handle
  EXPECT_TRUE(a.release());
  EXPECT_TRUE(b.release());
  EXPECT_FALSE(a.release());  // not owned any more

  // Another thread cannot take it while this one holds it.
  auto takenElsewhere = [] {
    std::atomic<int> result{-1};
    mxThread t([](void* arg) -> unsigned {
      mxMutex other(mxString("pellum-test-mutex"));
      auto* r = static_cast<std::atomic<int>*>(arg);
      *r = other.waitFor(50) ? 1 : 0;
      if (*r == 1) other.release();
      return 0;
    }, &result, false);
    EXPECT_TRUE(t.waitFor(5000));
    return result.load();
  };
  ASSERT_TRUE(a.waitFor(0));
  EXPECT_EQ(takenElsewhere(), 0);
  EXPECT_TRUE(a.release());
  EXPECT_EQ(takenElsewhere(), 1);

  mxMutex owned(true, mxString());
  EXPECT_TRUE(owned.release());  // created owned by this thread
}

TEST(mxSemaphore, CountsAndLoopWait) {
  mxSemaphore s(2, 3, mxString("pellum-test-sem"));
  ASSERT_TRUE(s.isValid());
  mxSemaphore same(mxString("pellum-test-sem"));
  ASSERT_TRUE(same.isValid());
  EXPECT_TRUE(s.waitFor(0));
  EXPECT_TRUE(same.waitFor(0));
  EXPECT_FALSE(s.waitFor(0));
  int previous = -1;
  EXPECT_TRUE(s.release(2, previous));
  EXPECT_EQ(previous, 0);
  previous = -1;
  EXPECT_FALSE(s.release(2, previous));  // would pass the maximum of 3
  EXPECT_EQ(previous, -1);
  EXPECT_FALSE(s.release(0));
  EXPECT_TRUE(s.release(1));

  auto start = Clock::now();
  EXPECT_TRUE(s.loopWaitFor(0, 100));  // nothing to take
  EXPECT_TRUE(s.loopWaitFor(3, 100));  // three units present
  EXPECT_FALSE(s.loopWaitFor(4, 100)); // none left: the first 25 ms wait times out
  EXPECT_LT(secondsSince(start), 2.0);

  mxSemaphore none(mxString("pellum-test-no-such-sem"));
  EXPECT_FALSE(none.isValid());
  mxSemaphore bad(5, 2, mxString());
  EXPECT_FALSE(bad.isValid());

  // A producer releasing units wakes a consumer waiting for several.
  mxSemaphore work(0, 100, mxString());
  auto produce = [](void* arg) -> unsigned {
    auto* sem = static_cast<mxSemaphore*>(arg);
    for (int i = 0; i < 10; ++i) sem->release(1);
    return 0;
  };
  mxThread producer(produce, &work, false);
  EXPECT_TRUE(work.loopWaitFor(10, 50000));
  EXPECT_TRUE(producer.waitFor(5000));
}

class Worker : public mxThreadHandler {
 public:
  std::atomic<bool> ran{false};
  unsigned run() override {
    ran = true;
    return 17;
  }
  ~Worker() override = default;
};

TEST(mxThread, CreateSuspendResumeExitCode) {
  mxObjectPtr<Worker> worker(new Worker);
  mxThread t;
  EXPECT_TRUE(t.create(worker, true));
  EXPECT_FALSE(t.create(worker, false));  // already holds a thread
  EXPECT_NE(t.getThreadID(), 0u);
  EXPECT_TRUE(t.suspend());  // count 2
  EXPECT_TRUE(t.resume());
  EXPECT_FALSE(t.waitFor(50));
  EXPECT_FALSE(worker->ran);
  unsigned code = 0;
  EXPECT_TRUE(t.getExitCode(code));
  EXPECT_EQ(code, 259u);
  EXPECT_TRUE(t.setPriority(mxThread::Lowest));
  EXPECT_EQ(t.getPriority(), mxThread::Lowest);
  EXPECT_FALSE(t.setPriority(static_cast<mxThread::PriorityEnum>(15)));
  EXPECT_TRUE(t.resume());
  EXPECT_TRUE(t.waitFor(5000));
  EXPECT_TRUE(worker->ran);
  EXPECT_TRUE(t.getExitCode(code));
  EXPECT_EQ(code, 17u);
  EXPECT_FALSE(t.suspend());

  mxThread nullHandler(static_cast<mxThreadHandler*>(nullptr), false);
  EXPECT_TRUE(nullHandler.waitFor(5000));
  EXPECT_TRUE(nullHandler.getExitCode(code));
  EXPECT_EQ(code, 0u);
}

struct Unwound {
  std::atomic<bool>* flag;
  ~Unwound() { *flag = true; }
};

TEST(mxThread, ExitEndsTheCallingThreadAndUnwinds) {
  static std::atomic<bool> unwound{false};
  auto body = [](void*) -> unsigned {
    Unwound guard{&unwound};
    mxThread::exit(42);
    return 1;  // never reached
  };
  mxThread t(body, nullptr, false);
  ASSERT_TRUE(t.waitFor(5000));
  unsigned code = 0;
  EXPECT_TRUE(t.getExitCode(code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(unwound);
}

TEST(mxThread, TerminateBeforeStartAndDestructorOfAStubbornThread) {
  static std::atomic<bool> ran{false};
  {
    mxThread held([](void*) -> unsigned {
      ran = true;
      return 0;
    }, nullptr, true);
    EXPECT_TRUE(held.terminate(5));
    unsigned code = 0;
    EXPECT_TRUE(held.getExitCode(code));
    EXPECT_EQ(code, 5u);
    EXPECT_TRUE(held.waitFor(0));
  }
  EXPECT_FALSE(ran);

  // A thread that ignores requests to end: the destructor returns after
  // about a second; the thread is detached and finishes on its own later.
  static std::atomic<bool> stop{false};
  static std::atomic<bool> finished{false};
  auto start = Clock::now();
  ::testing::internal::CaptureStderr();
  {
    mxThread stubborn([](void*) -> unsigned {
      while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      finished = true;
      return 3;
    }, nullptr, false);
  }
  double took = secondsSince(start);
  std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("[Warn] : mxThread::terminate(); thread"), std::string::npos) << log;
  EXPECT_GE(took, 0.9);
  EXPECT_LT(took, 10.0);
  EXPECT_FALSE(finished);
  stop = true;
  for (int i = 0; i < 1000 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(finished);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it leave its routine
}

TEST(mxTime, NeverDecreasesAndFollowsTheCalendar) {
  mxObjectPtr<mxTime> a(new mxTime), b(new mxTime);
  EXPECT_LE(a->getTime(), b->getTime());
  double now = static_cast<double>(::time(nullptr));
  EXPECT_NEAR(b->getTime(), now, 2.0);
  double before = b->getTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  b->update();
  EXPECT_GT(b->getTime(), before + 0.015);
  EXPECT_TRUE(a->isDerivedFrom(typeid(mxObject)));
  EXPECT_TRUE(a->isDerivedFrom(mxTime::getStaticClassType()));

  // Objects made and updated from several threads.
  auto body = [](void*) -> unsigned {
    mxObjectPtr<mxTime> t(new mxTime);
    double last = t->getTime();
    for (int i = 0; i < 2000; ++i) {
      t->update();
      if (t->getTime() < last) return 1;
      last = t->getTime();
    }
    return 0;
  };
  std::vector<std::unique_ptr<mxThread>> threads;
  for (int i = 0; i < 4; ++i) threads.push_back(std::make_unique<mxThread>(body, nullptr, false));
  for (auto& t : threads) {
    ASSERT_TRUE(t->waitFor(30000));
    unsigned code = 9;
    EXPECT_TRUE(t->getExitCode(code));
    EXPECT_EQ(code, 0u);
  }
}

}  // namespace
