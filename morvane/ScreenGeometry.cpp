#include "morvane/ScreenGeometry.h"

#include <X11/Xlib.h>


#include "pellum/mxNotify.h"
#include "platform/win/own_x_connection.h"

ScreenGeometry::~ScreenGeometry() {
  if (!display_) return;
  closeOwnXConnection(static_cast<Display*>(display_));
}

bool ScreenGeometry::open() {
  if (display_) return true;
  if (tried_) return false;
  tried_ = true;
  // Errors on it (a window id the server no longer knows) must not end the
  // program.
  display_ = openOwnXConnection(nullptr, nullptr);
  if (!display_)
    mxNotify::post(mxNotify::Notice, "Morvane: no X display; pointer geometry uses window coordinates");
  return display_ != nullptr;
}

bool ScreenGeometry::toScreen(intptr_t window, int x, int y, int& screenX, int& screenY) {
  if (window == 0 || !open()) return false;
  Display* d = static_cast<Display*>(display_);
  Window child = 0;
  const Bool ok = XTranslateCoordinates(d, static_cast<Window>(window), DefaultRootWindow(d), x, y, &screenX,
                                        &screenY, &child);
  return ok != 0;
}

bool ScreenGeometry::desktopSize(unsigned& width, unsigned& height) {
  if (!open()) return false;
  Display* d = static_cast<Display*>(display_);
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d, DefaultRootWindow(d), &a)) return false;
  width = unsigned(a.width);
  height = unsigned(a.height);
  return true;
}
