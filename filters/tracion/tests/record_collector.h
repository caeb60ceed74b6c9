// Keeps the pointer records a renderer received, with their arrival times.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "filters/pointer/pointer_info.h"
#include "platform/media/pin_interfaces.h"
#include "platform/media/results.h"

class RecordCollector {
 public:
  using Clock = std::chrono::steady_clock;
  struct Received {
    pointing::POINTER_INFO record;
    LONG length;
    bool hasTime;
    bool syncPoint;
    Clock::time_point at;
  };

  static void record(void* ctx, IMediaSample* s) {
    auto* self = static_cast<RecordCollector*>(ctx);
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    Received r{};
    r.length = s->GetActualDataLength();
    pointing::readPointerInfo(p, static_cast<size_t>(r.length), r.record);
    REFERENCE_TIME a, b;
    r.hasTime = s->GetTime(&a, &b) != VFW_E_SAMPLE_TIME_NOT_SET;
    r.syncPoint = s->IsSyncPoint() == S_OK;
    r.at = Clock::now();
    std::lock_guard<std::mutex> g(self->lock_);
    self->all_.push_back(r);
    self->changed_.notify_all();
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
