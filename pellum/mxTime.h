// mxTime: wall-clock time (seconds since 1970-01-01 00:00 UTC) with
// sub-millisecond resolution: the calendar clock read once, in whole
// seconds, plus the time elapsed on a high-resolution counter since then.
#pragma once

#include <cstdint>

#include "pellum/mxObject.h"

class mxTime : public mxObject {
  MX_OBJECT_DECLARE(mxTime, mxObject)
 public:
  mxTime();
  // Takes a fresh reading. If time seems to run backwards (the counter
  // wrapped), the start is re-based on the calendar clock; if it still runs
  // backwards (the calendar clock was set back) the previous time is kept,
  // so getTime() never decreases for one object.
  void update();
  double getTime() const { return time_; }

 protected:
  ~mxTime() override = default;

 private:
  int64_t reading_ = 0;
  double time_ = 0.0;
};
