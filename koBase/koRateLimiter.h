// koRateLimiter paces datagrams to a maximum rate. Every datagram of n bytes
// is charged (n * 8 + 224) bits (the 28 bytes of UDP and IP headers on top).
//
// The limiter keeps the time at which the wire is free again after the
// datagrams charged so far. Waits longer than the clock's minimum interval
// (or, when shorter, adding up to more than the calibrated sleep
// granularity) are slept off at once, up to that time; smaller waits
// accumulate. Sleeping to a point in time rather than for a length makes
// short and long sleeps both come out right on average: what a sleep
// oversleeps is taken from the next wait. Time not used (a slow caller, a
// pause between frames) is never saved up for a later burst beyond one
// sleep granularity.
#pragma once

#include <cstdint>

class koRateLimiter {
 public:
  static constexpr uint32_t kDefaultMaximumRate = 0x40000000;  // bits per second
  static constexpr uint32_t kDefaultSystemBufferSize = 0x20000;  // bits
  static constexpr uint32_t kOverheadBits = 224;

  koRateLimiter();

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
  // After a datagram of n bytes has been handed to the socket.
  void wait(uint32_t bytes);

  double getAccumulatedWait() const { return _accumulatedWait; }
  // Sleeps taken so far (for measurements).
  uint64_t getSleepCount() const { return _sleeps; }

  // Seconds on a monotonic clock.
  static double now();

 private:
  uint32_t _maximumRate = kDefaultMaximumRate;
  uint32_t _systemBufferSize = kDefaultSystemBufferSize;
  double _clockMinimumInterval = 0.001;
  double _sleepGranularity = 0.001;
  double _lastSendTime = 0;  // when the wire is free after the datagrams charged
  double _accumulatedWait = 0;
  bool _enabled = true;
  uint64_t _sleeps = 0;
};
