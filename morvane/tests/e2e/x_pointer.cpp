#include "morvane/tests/e2e/x_pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>

namespace {

bool withDisplay(const std::string& display, const std::function<void(Display*)>& action) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  int event = 0, error = 0, major = 0, minor = 0;
  const bool ok = XTestQueryExtension(d, &event, &error, &major, &minor);
  if (ok) {
    action(d);
    XSync(d, False);
  }
  XCloseDisplay(d);
  return ok;
}

}  // namespace

bool movePointer(const std::string& display, int x, int y) {
  return withDisplay(display, [&](Display* d) { XTestFakeMotionEvent(d, 0, x, y, 0); });
}

bool pressButton(const std::string& display, unsigned button, bool down) {
  return withDisplay(display, [&](Display* d) { XTestFakeButtonEvent(d, button, down ? True : False, 0); });
}
