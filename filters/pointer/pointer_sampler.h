// PointerSampler: samples the local pointer into POINTER_INFO records.
//
// It keeps the current state (written by sampling and by the control
// operations, under the state lock) and the last emitted record (written by
// the emission, under the emission lock). The source is read outside the
// state lock (under a lock of its own that no control operation takes) and
// the reading copied in under it, so a window system that is slow or stops
// answering never holds up a control operation; interruptRead() ends such a
// read so that a streaming thread can be stopped. A record is finished as soon as any
// field group changed since the previous record, and at the latest after
// 500 ms, as a full refresh, so a late joiner has the whole state within half
// a second.
//
// Emission can be driven two ways:
//  - by an explicit clock: beginRecord(now), then tick(now) after each
//    sampling interval until it returns true (tests, other schedulers);
//  - by a streaming thread: nextRecord() sleeps the interval between ticks
//    and returns with a finished record, or false when cancelled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "filters/pointer/pointer_info.h"
#include "filters/pointer/pointer_source.h"

namespace pointing {

// Wakes a sleeping nextRecord() for good, so that a streaming thread stops
// within one call. Shared between the thread and whoever stops it.
class SamplerCancel {
 public:
  void cancel();
  void reset();
  bool cancelled() const;
  // Sleeps ms milliseconds; returns false at once when cancelled.
  bool sleepFor(uint32_t ms);

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
};

class PointerSampler {
 public:
  static constexpr uint32_t kDefaultIntervalMs = 30;
  static constexpr uint32_t kMinIntervalMs = 1;
  static constexpr uint32_t kMaxIntervalMs = 100;
  static constexpr uint32_t kKeepAliveMs = 500;

  // source may be null: no pointer at all, records carry the zero position.
  explicit PointerSampler(std::unique_ptr<PointerSource> source);
  PointerSampler(const PointerSampler&) = delete;
  PointerSampler& operator=(const PointerSampler&) = delete;

  // Control operations (state lock).
  POINTER_INFO currentPointer() const;
  int32_t shape() const;
  void setShape(int32_t shape);  // any value; consumers ignore unknown shapes
  void origin(float& x, float& y) const;
  void setOrigin(float x, float y);
  void size(float& x, float& y) const;
  void setSize(float x, float y);
  uint32_t interval() const;
  void setInterval(uint32_t ms);  // 0 stores 1, above 100 stores 100
  std::string command() const;
  void setCommand(const std::string& text);  // keeps at most 15 characters
  void sendCommand();                        // commandSequence + 1

  // Sampling step: reads the source into the current state.
  void sample();
  // Any thread: ends a read of the source blocked now (see PointerSource).
  void interruptRead();

  // Emission. startStream() clears the emitted record's change flags (its
  // other contents stay between runs).
  void startStream();
  void beginRecord(uint64_t nowMs);
  // Samples, compares and copies; true when the record is finished.
  bool tick(uint64_t nowMs);
  POINTER_INFO emittedPointer() const;
  // Blocking emission on the caller's thread: fills out (at least 71 bytes)
  // with the next finished record. Returns false when cancelled or when out
  // is too small.
  bool nextRecord(uint8_t* out, size_t size, SamplerCancel& cancel);

 private:
  static uint64_t nowMs();
  void compareAndCopy();

  std::mutex readMutex_;  // one read of the source at a time
  const std::unique_ptr<PointerSource> source_;
  mutable std::mutex stateMutex_;  // current state, interval
  POINTER_INFO current_;
  uint32_t intervalMs_ = kDefaultIntervalMs;

  mutable std::mutex emitMutex_;  // emitted record and its timing
  POINTER_INFO emitted_;
  uint64_t recordStartMs_ = 0;
};

}  // namespace pointing
