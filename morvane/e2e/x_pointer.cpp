#include "morvane/e2e/x_pointer.h"

#include <X11/Xlib.h>

bool warpPointer(const std::string& display, int x, int y) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
  XCloseDisplay(d);
  return true;
}
