#include "koBase/koRateLimiter.h"

#include <time.h>

#include <cmath>
#include <mutex>

#include "koBase/koNetwork.h"

namespace {

void sleepUntil(double seconds) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(seconds);
  t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
  if (t.tv_nsec >= 1000000000) {
    t.tv_nsec -= 1000000000;
    ++t.tv_sec;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
  }
}

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

void koRateLimiter::wait(uint32_t bytes) {
  if (!_enabled) return;
  double t = now();
  // Unused time is not saved up beyond one sleep granularity.
  if (_lastSendTime < t - _sleepGranularity) _lastSendTime = t - _sleepGranularity;
  const double charge = (static_cast<double>(bytes) * 8.0 + kOverheadBits) / _maximumRate;
  _lastSendTime += charge;
  const double wait = _lastSendTime - t;
  // Behind the rate: no wait. (Yielding here would hand the processor away
  // exactly when the sender is late.)
  if (wait <= 0) {
    _accumulatedWait = 0;
    return;
  }
  if (charge > _clockMinimumInterval || wait > _sleepGranularity) {
    sleepUntil(_lastSendTime);
    ++_sleeps;
    _accumulatedWait = 0;
    return;
  }
  _accumulatedWait = wait;
}
