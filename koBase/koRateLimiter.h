// koRateLimiter paces datagrams to a maximum rate. Every datagram of n bytes
// is charged (n * 8 + 224) bits (the 28 bytes of UDP and IP headers on top).
//
// The limiter keeps the time at which the wire is free again after the
// datagrams charged so far. A datagram whose own wait is longer than the
// clock's minimum interval is slept off at once; smaller waits accumulate
// until they pass half the calibrated sleep granularity, and are then slept
// off together. Sleeping to a point in time rather than for a length makes
// what a sleep oversleeps come off the following waits; time not used (a
// late wake-up, a slow caller, a pause between frames) is made up for at
// most one granularity, so a burst never exceeds about one and a half
// granularities and one datagram.
//
// A sleep can be interrupted from another thread: at the lowest rates one
// datagram is paced for seconds, and whoever waits for the sending thread
// (a stop, a setting change) must not wait that long. While at least one
// interruption is in force, a wait that would sleep returns false at once
// and a sleep in progress ends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class koRateLimiter {
 public:
  static constexpr uint32_t kDefaultMaximumRate = 0x40000000;  // bits per second
  static constexpr uint32_t kDefaultSystemBufferSize = 0x20000;  // bits
  static constexpr uint32_t kOverheadBits = 224;

  koRateLimiter();
  koRateLimiter(const koRateLimiter&) = delete;
  koRateLimiter& operator=(const koRateLimiter&) = delete;

  void setMaximumRate(uint32_t bitsPerSecond) { _maximumRate = bitsPerSecond ? bitsPerSecond : 1; }
  uint32_t getMaximumRate() const { return _maximumRate; }
  // Stored and shown only.
  void setSystemBufferSize(uint32_t bits) { _systemBufferSize = bits; }
  uint32_t getSystemBufferSize() const { return _systemBufferSize; }
  void setClockMinimumInterval(double seconds) { _clockMinimumInterval = seconds; }
  double getClockMinimumInterval() const { return _clockMinimumInterval; }
  // Re-reads the system timer's minimum period.
  void measureClock();
  double getSleepGranularity() const { return _sleepGranularity; }
  void setSleepGranularity(double seconds) { _sleepGranularity = seconds; }
  // Pacing off: wait() returns at once (for measurements).
  void setEnabled(bool on) { _enabled = on; }
  bool isEnabled() const { return _enabled; }

  // Before the first datagram of a frame.
  void start();
  // After a datagram of n bytes has been handed to the socket. False when
  // the wait had to sleep and was interrupted (the pacing debt is then
  // forgotten: the next frame starts afresh).
  bool wait(uint32_t bytes);

  // Any thread. Interruptions nest: each begin is ended by one end.
  void beginInterrupt();
  void endInterrupt();
  bool isInterrupted() const;

  double getAccumulatedWait() const { return _accumulatedWait; }
  // Sleeps taken so far (for measurements).
  uint64_t getSleepCount() const { return _sleeps; }

  // Seconds on a monotonic clock.
  static double now();

 private:
  // Sleeps until the monotonic time given; false when interrupted.
  bool sleepUntil(double seconds);

  uint32_t _maximumRate = kDefaultMaximumRate;
  uint32_t _systemBufferSize = kDefaultSystemBufferSize;
  double _clockMinimumInterval = 0.001;
  double _sleepGranularity = 0.001;
  double _lastSendTime = 0;  // when the wire is free after the datagrams charged
  double _accumulatedWait = 0;
  bool _enabled = true;
  uint64_t _sleeps = 0;
  mutable std::mutex _interruptLock;
  std::condition_variable _interrupted;
  int _interrupts = 0;  // interruptions in force, under _interruptLock
};
