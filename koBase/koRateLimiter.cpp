#include "koBase/koRateLimiter.h"

#include <time.h>

#include <chrono>
#include <cmath>
#include <mutex>

#include "koBase/koNetwork.h"

namespace {

// Sleeps of the minimum interval one hundred times; the mean length of one
// sleep, in units of the interval, is c; when its fraction is above 0.4444
// one more interval is added. That is the shortest sleep worth taking.
// Measured once per process: it is a property of the system.
double calibratedGranularity() {
  static std::once_flag once;
  static double granularity = 0.001;
  std::call_once(once, [] {
    const double interval = koTimerMinimumInterval();
    const double start = koRateLimiter::now();
    for (int i = 0; i < 100; ++i) {
      timespec t{0, static_cast<long>(interval * 1e9)};
      while (nanosleep(&t, &t) == EINTR) {
      }
    }
    const float c = static_cast<float>((koRateLimiter::now() - start) / interval * 0.01);
    const float fraction = c - std::floor(c);
    granularity = (fraction > 0.4444f ? c + 1 : c) * interval;
  });
  return granularity;
}

}  // namespace

double koRateLimiter::now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

koRateLimiter::koRateLimiter() {
  measureClock();
  _sleepGranularity = calibratedGranularity();
}

void koRateLimiter::measureClock() { _clockMinimumInterval = koTimerMinimumInterval(); }

void koRateLimiter::start() {
  const double t = now();
  if (_lastSendTime < t) _lastSendTime = t;
  _accumulatedWait = _lastSendTime - t;
}

void koRateLimiter::beginInterrupt() {
  {
    std::lock_guard<std::mutex> g(_interruptLock);
    ++_interrupts;
  }
  _interrupted.notify_all();
}

void koRateLimiter::endInterrupt() {
  std::lock_guard<std::mutex> g(_interruptLock);
  if (_interrupts > 0) --_interrupts;
}

bool koRateLimiter::isInterrupted() const {
  std::lock_guard<std::mutex> g(_interruptLock);
  return _interrupts > 0;
}

// steady_clock is the monotonic clock now() reads, so the deadline is the
// same point in time; waiting on a condition variable lets an interruption
// end the sleep at once.
bool koRateLimiter::sleepUntil(double seconds) {
  using namespace std::chrono;
  const steady_clock::time_point deadline(duration_cast<steady_clock::duration>(duration<double>(seconds)));
  std::unique_lock<std::mutex> l(_interruptLock);
  return !_interrupted.wait_until(l, deadline, [this] { return _interrupts > 0; });
}

bool koRateLimiter::wait(uint32_t bytes) {
  if (!_enabled) return true;
  double t = now();
  // Time a sleep overslept (or the caller spent) is made up, up to one
  // sleep granularity; small waits are slept off once they pass half of
  // it. Long runs keep the rate, and a burst stays within about one and a
  // half granularities and one datagram.
  const double half = _sleepGranularity * 0.5;
  if (_lastSendTime < t - _sleepGranularity) _lastSendTime = t - _sleepGranularity;
  const double charge = (static_cast<double>(bytes) * 8.0 + kOverheadBits) / _maximumRate;
  _lastSendTime += charge;
  const double wait = _lastSendTime - t;
  // Behind the rate: no wait. (Yielding here would hand the processor away
  // exactly when the sender is late.)
  if (wait <= 0) {
    _accumulatedWait = 0;
    return true;
  }
  if (charge > _clockMinimumInterval || wait > half) {
    ++_sleeps;
    _accumulatedWait = 0;
    if (!sleepUntil(_lastSendTime)) {
      _lastSendTime = now();
      return false;
    }
    return true;
  }
  _accumulatedWait = wait;
  return true;
}
