// PointerSampler: samples the local pointer into POINTER_INFO records.
//
// It keeps the current state (written by sampling and by the control
// operations, under the state lock) and the last emitted record (written by
// the emission, under the emission lock). The source is read on a reader
// thread of the sampler's own and the reading copied in under the state
// lock, so a window system that is slow or stops answering never holds up
// a control operation, and interruptRead() lets a streaming thread that
// waits for a reading go (to be stopped) while the reader stays in the
// window system's call. A record is finished as soon as any
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
#include <thread>

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

// Reads a source on a thread of its own, one reading at a time, for
// whoever asks; the asking thread can be let go while a read is under way.
class SourceReader {
 public:
  explicit SourceReader(PointerSource& source) : source_(source) {}
  // Waits for a read under way to end (a source that never answers again
  // holds the destruction up, as it would any other use of it).
  ~SourceReader();
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  // A fresh reading (or that of a read under way when asked). False, with
  // *out untouched, when interrupted while waiting, or at once when an
  // interruption came while nobody waited.
  bool read(PointerReading* out);
  // Any thread.
  void interrupt();

 private:
  void run();

  PointerSource& source_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool requested_ = false;    // the reader is to read
  bool busy_ = false;         // a read is asked for or under way
  bool waiting_ = false;      // a caller waits for it
  bool interrupted_ = false;  // the waiting caller is let go
  bool pending_ = false;      // an interruption came while nobody waited
  bool stop_ = false;
  PointerReading result_;
  std::thread thread_;
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
  // Any thread: lets a sampling step that waits for the source go, with no
  // reading (see SourceReader).
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

  const std::unique_ptr<PointerSource> source_;
  std::unique_ptr<SourceReader> reader_;  // null without a source; ends before the source
  mutable std::mutex stateMutex_;  // current state, interval
  POINTER_INFO current_;
  uint32_t intervalMs_ = kDefaultIntervalMs;

  mutable std::mutex emitMutex_;  // emitted record and its timing
  POINTER_INFO emitted_;
  uint64_t recordStartMs_ = 0;
};

}  // namespace pointing
