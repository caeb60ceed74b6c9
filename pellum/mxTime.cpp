#include "pellum/mxTime.h"

#include <time.h>

#include "pellum/mxThread.h"

namespace {

// Class-wide values, only touched under `lock`.
struct Clock {
  mxCriticalSection lock;
  double start = 0.0;
  bool usesCounter = false;
  double frequency = 0.0;  // counts per second; 0 until the first object
};
Clock& timeBase() {
  static Clock* c = new Clock;  // used by objects that may outlive static destruction
  return *c;
}

// The monotonic clock in nanoseconds stands for the performance counter.
int64_t readCounter(bool usesCounter) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t ns = int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
  return usesCounter ? ns : ns / 1000000;  // else a millisecond tick count
}

double calendarSeconds() { return static_cast<double>(::time(nullptr)); }

}  // namespace

mxTime::mxTime() {
  Clock& c = timeBase();
  {
    mxCriticalSectionLock guard(c.lock);
    if (c.frequency == 0.0) {
      c.start = calendarSeconds();
      timespec res;
      if (clock_getres(CLOCK_MONOTONIC, &res) == 0) {
        c.usesCounter = true;
        c.frequency = 1e9;
      } else {
        c.usesCounter = false;
        c.frequency = 1000.0;
      }
      c.start -= static_cast<double>(readCounter(c.usesCounter)) / c.frequency;
    }
  }
  update();
}

void mxTime::update() {
  Clock& c = timeBase();
  mxCriticalSectionLock guard(c.lock);
  int64_t reading = readCounter(c.usesCounter);
  double time = static_cast<double>(reading) / c.frequency + c.start;
  if (time < time_) {
    c.start = calendarSeconds() - static_cast<double>(reading) / c.frequency;
    time = static_cast<double>(reading) / c.frequency + c.start;
    if (time < time_) time = time_;
  }
  reading_ = reading;
  time_ = time;
}
