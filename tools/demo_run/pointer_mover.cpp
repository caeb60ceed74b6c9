#include "tools/demo_run/pointer_mover.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>

namespace demo {

PointerMover::PointerMover(const std::string& display, int cx, int cy, int radius, double periodSeconds,
                           double phase) {
  Display* d = XOpenDisplay(display.c_str());
  int event = 0, error = 0, major = 0, minor = 0;
  if (!d) return;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
    XCloseDisplay(d);
    return;
  }
  moving_ = true;
  thread_ = std::thread([this, d, cx, cy, radius, periodSeconds, phase] {
    const auto start = std::chrono::steady_clock::now();
    while (!quit_.load(std::memory_order_relaxed)) {
      const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double angle = 2 * M_PI * (phase + t / periodSeconds);
      XTestFakeMotionEvent(d, DefaultScreen(d), cx + int(radius * std::cos(angle)),
                           cy + int(radius * std::sin(angle)), CurrentTime);
      XFlush(d);
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    XCloseDisplay(d);
  });
}

PointerMover::~PointerMover() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace demo
