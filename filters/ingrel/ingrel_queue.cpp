#include "filters/ingrel/ingrel_queue.h"

bool IngrelQueue::push(std::unique_ptr<IngrelSample> sample) {
  bool discarded = false;
  {
    std::lock_guard<std::mutex> g(lock_);
    if (samples_.size() >= kCapacity) {
      if (spare_.size() < kCapacity) spare_.push_back(std::move(samples_.front()));
      samples_.pop_front();
      // The sample after a discarded one no longer follows its predecessor.
      if (!samples_.empty()) samples_.front()->discontinuity = true;
      discarded = true;
    }
    samples_.push_back(std::move(sample));
  }
  arrived_.notify_one();
  return discarded;
}

std::unique_ptr<IngrelSample> IngrelQueue::pop(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> g(lock_);
  arrived_.wait_until(g, deadline, [&] { return woken_ || !samples_.empty(); });
  if (woken_ || samples_.empty()) return nullptr;
  std::unique_ptr<IngrelSample> s = std::move(samples_.front());
  samples_.pop_front();
  return s;
}

void IngrelQueue::wake() {
  {
    std::lock_guard<std::mutex> g(lock_);
    woken_ = true;
  }
  arrived_.notify_all();
}

void IngrelQueue::rearm() {
  std::lock_guard<std::mutex> g(lock_);
  woken_ = false;
}

void IngrelQueue::clear() {
  std::lock_guard<std::mutex> g(lock_);
  samples_.clear();
  spare_.clear();
}

std::unique_ptr<IngrelSample> IngrelQueue::acquire() {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (!spare_.empty()) {
      std::unique_ptr<IngrelSample> s = std::move(spare_.back());
      spare_.pop_back();
      return s;
    }
  }
  return std::make_unique<IngrelSample>();
}

void IngrelQueue::recycle(std::unique_ptr<IngrelSample> sample) {
  if (!sample) return;
  std::lock_guard<std::mutex> g(lock_);
  if (spare_.size() < kCapacity) spare_.push_back(std::move(sample));
}

size_t IngrelQueue::size() {
  std::lock_guard<std::mutex> g(lock_);
  return samples_.size();
}
