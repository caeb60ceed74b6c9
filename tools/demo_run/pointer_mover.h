// Moves the pointer of an X server round a circle through the X test
// extension, as a user's hand would, until it is destroyed (kept apart
// from the rest: Xlib's macros clash with ordinary names).
#pragma once
#include <atomic>
#include <string>
#include <thread>

namespace demo {

class PointerMover {
 public:
  // Circles round (cx, cy) with the radius, one turn per `periodSeconds`,
  // starting at `phase` (a fraction of a turn).
  PointerMover(const std::string& display, int cx, int cy, int radius, double periodSeconds, double phase);
  ~PointerMover();
  PointerMover(const PointerMover&) = delete;
  PointerMover& operator=(const PointerMover&) = delete;
  // False when the display could not be opened or has no test extension.
  bool moving() const { return moving_; }

 private:
  std::atomic<bool> quit_{false};
  bool moving_ = false;
  std::thread thread_;
};

}  // namespace demo
