// mxDisplaySetting: the display modes of the primary screen, switching to
// the listed mode nearest to a request, and (if asked) restoring the mode
// found at start-up when the process exits. Without a display there are no
// modes, every value is 0 and no switch succeeds.
#pragma once

#include "pellum/mxArray.h"

class mxDisplaySetting {
 public:
  struct mxMode {
    int width = 0;
    int height = 0;
    int depth = 0;  // bits per pixel
    int rate = 0;   // Hz
    bool operator==(const mxMode&) const = default;
  };

  // The process-wide object, made at the first call with that flag (later
  // flags are ignored) and destroyed at exit.
  static mxDisplaySetting& instance(bool restoreAtExit);

  void getCurrent(int& width, int& height, int& depth, int& rate) const;
  void getDefault(int& width, int& height, int& depth, int& rate) const;
  // Switches to the listed mode nearest to the request; false if none is
  // listed or the switch fails.
  bool setCurrent(int width, int height, int depth, int rate);
  bool setDefault();
  // Reports the listed mode nearest to the values passed in, in place;
  // false (values unchanged) when no mode is listed.
  bool getNearest(int& width, int& height, int& depth, int& rate) const;

  const mxArray<mxMode>& getModes() const { return modes_; }

  // The index of the nearest mode: distance |dw| + |dh| + |dd| + |dr|, an
  // exact match at once, otherwise the first of the smallest distance;
  // -1 for an empty list.
  static int findNearest(const mxArray<mxMode>& modes, const mxMode& wanted);

  mxDisplaySetting(const mxDisplaySetting&) = delete;
  mxDisplaySetting& operator=(const mxDisplaySetting&) = delete;

 private:
  explicit mxDisplaySetting(bool restoreAtExit);
  ~mxDisplaySetting();
  bool set(const mxMode& mode);

  mxArray<mxMode> modes_;
  mxMode default_;
  mxMode current_;
  bool restoreAtExit_ = false;
};
