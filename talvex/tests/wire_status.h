// StatusListener keeps every status message that arrives on the status
// channel, raw and decoded by the tests' own reader of the record
// (morvane/tests/status_bytes.h).
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "morvane/tests/status_bytes.h"
#include "tarnil/TarnilReceiver.h"

using WireStatus = TestStatus;

// Every status message that arrives, raw and decoded.
class StatusListener : public TarnilReceiver {
 public:
  void receiveStatus(const unsigned char* message, unsigned length) override {
    std::lock_guard<std::mutex> g(lock_);
    raw_.emplace_back(message, message + length);
    arrived_.notify_all();
  }
  size_t count() {
    std::lock_guard<std::mutex> g(lock_);
    return raw_.size();
  }
  // Waits until there are at least n messages.
  bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    std::unique_lock<std::mutex> g(lock_);
    return arrived_.wait_for(g, timeout, [&] { return raw_.size() >= n; });
  }
  std::vector<uint8_t> raw(size_t i) {
    std::lock_guard<std::mutex> g(lock_);
    return raw_.at(i);
  }
  WireStatus status(size_t i) {
    auto decoded = TestStatus::decode(raw(i));
    EXPECT_TRUE(decoded.has_value()) << "message " << i << " does not decode";
    return decoded.value_or(WireStatus{});
  }

 protected:
  ~StatusListener() override = default;  // the channel closes before (TarnilReceiver)

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<std::vector<uint8_t>> raw_;
};
