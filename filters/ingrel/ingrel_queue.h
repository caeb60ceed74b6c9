// The client's sample queue: FIFO of at most four samples with its own
// lock. A push onto a full queue deletes the oldest sample, so the network
// thread never blocks and latency stays bounded; pop waits (for the output
// pin) until a sample arrives, the deadline passes or the queue is woken.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "filters/ingrel/ingrel_record.h"

class IngrelQueue {
 public:
  static constexpr size_t kCapacity = 4;

  // True when the oldest sample was discarded to make room; the sample that
  // then comes first is marked as a discontinuity.
  bool push(std::unique_ptr<IngrelSample> sample);
  // The oldest sample, or null when none came before the deadline or
  // wake() was called.
  std::unique_ptr<IngrelSample> pop(std::chrono::steady_clock::time_point deadline);
  // Ends the current and every later wait until rearm().
  void wake();
  void rearm();
  void clear();
  size_t size();

  // Samples are reused so that a steady stream allocates nothing: acquire
  // gives a recycled sample (its buffer keeps its capacity) or a new one;
  // recycle takes back one that is done with. Discarded samples are
  // recycled too.
  std::unique_ptr<IngrelSample> acquire();
  void recycle(std::unique_ptr<IngrelSample> sample);

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<std::unique_ptr<IngrelSample>> samples_;
  std::vector<std::unique_ptr<IngrelSample>> spare_;
  bool woken_ = false;
};
