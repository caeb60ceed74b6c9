// The pointer records sent to one group, taken off the network in a station
// of the lab. The fields are read from the record's bytes at their offsets
// (cursor at 15 and 19, buttons at 23, wheel at 25, little-endian), not
// through the filters' own reader.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "koBase/koByteStream.h"
#include "koBase/koMulticastReceiver.h"
#include "koBase/koSampleRecord.h"
#include "station_worker.h"

struct PointerSeen {
  int32_t x = 0, y = 0;
  uint16_t buttons = 0;
  int16_t wheel = 0;
};

class PointerListener {
 public:
  PointerListener(const std::string& station, const std::string& group, uint16_t port) : worker_(station) {
    receiver_.setAddress(group);
    receiver_.setPort(port);
    receiver_.setFrameCallback(&PointerListener::onFrame, this);
    open_ = worker_.call<bool>([this] { return receiver_.open(); });
  }
  ~PointerListener() {
    worker_.run([this] { receiver_.close(); });
  }
  PointerListener(const PointerListener&) = delete;
  PointerListener& operator=(const PointerListener&) = delete;

  bool isOpen() const { return open_; }
  // How many records came so far.
  size_t count() {
    std::lock_guard<std::mutex> g(lock_);
    return seen_.size();
  }
  // Whether a record from the `from`th on satisfies the condition, waiting
  // up to the limit.
  bool waitFor(size_t from, const std::function<bool(const PointerSeen&)>& condition,
               std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> g(lock_);
    const auto end = std::chrono::steady_clock::now() + limit;
    for (size_t i = from;;) {
      for (; i < seen_.size(); ++i)
        if (condition(seen_[i])) return true;
      if (changed_.wait_until(g, end) == std::cv_status::timeout && i == seen_.size()) return false;
    }
  }

 private:
  static void onFrame(const uint8_t* frame, uint32_t length, void* user) {
    koInputByteStream in(frame, length);
    koSampleRecord r;
    if (!koReadSampleRecord(in, &r) || r.dataLength < 71) return;
    auto at = [&](size_t offset, size_t bytes) {
      uint32_t v = 0;
      for (size_t k = 0; k < bytes; ++k) v |= uint32_t(r.data[offset + k]) << (8 * k);
      return v;
    };
    const PointerSeen p{int32_t(at(15, 4)), int32_t(at(19, 4)), uint16_t(at(23, 2)), int16_t(at(25, 2))};
    auto* self = static_cast<PointerListener*>(user);
    std::lock_guard<std::mutex> g(self->lock_);
    self->seen_.push_back(p);
    self->changed_.notify_all();
  }

  netlab::StationWorker worker_;
  koMulticastReceiver receiver_;
  bool open_ = false;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<PointerSeen> seen_;
};
