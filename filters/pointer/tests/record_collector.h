// Test helpers for pointer records: RecordCollector keeps the records as
// they arrive, with their arrival times, and waits for one of a kind; Timed
// runs a call on a thread of its own to see whether it returns in time.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "filters/pointer/pointer_info.h"

class RecordCollector {
 public:
  using Clock = std::chrono::steady_clock;
  struct Received {
    pointing::POINTER_INFO record;
    long length;
    bool hasTime;
    bool syncPoint;
    Clock::time_point at;
  };

  void add(const uint8_t* bytes, size_t size, bool hasTime = false, bool syncPoint = false) {
    Received r{};
    EXPECT_TRUE(pointing::readPointerInfo(bytes, size, r.record)) << size << " bytes";
    r.length = static_cast<long>(size);
    r.hasTime = hasTime;
    r.syncPoint = syncPoint;
    r.at = Clock::now();
    std::lock_guard<std::mutex> g(lock_);
    all_.push_back(r);
    changed_.notify_all();
  }
  // The index of the first record from `from` on that satisfies pred, or -1
  // after 5 s.
  int waitFor(size_t from, const std::function<bool(const pointing::POINTER_INFO&)>& pred) {
    std::unique_lock<std::mutex> g(lock_);
    size_t seen = from;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
      for (; seen < all_.size(); ++seen)
        if (pred(all_[seen].record)) return static_cast<int>(seen);
      if (changed_.wait_until(g, deadline) == std::cv_status::timeout) return -1;
    }
  }
  size_t size() {
    std::lock_guard<std::mutex> g(lock_);
    return all_.size();
  }
  Received at(size_t i) {
    std::lock_guard<std::mutex> g(lock_);
    return all_.at(i);
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Received> all_;
};

// Runs f on a thread of its own; finished() says whether it returned within
// ms. join() waits for it in any case (after the test let it go on).
class Timed {
 public:
  explicit Timed(std::function<void()> f) : thread_([this, f] {
      f();
      std::lock_guard<std::mutex> g(m_);
      done_ = true;
      cv_.notify_all();
    }) {}
  bool finished(int ms) {
    std::unique_lock<std::mutex> g(m_);
    return cv_.wait_for(g, std::chrono::milliseconds(ms), [this] { return done_; });
  }
  void join() { thread_.join(); }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};
