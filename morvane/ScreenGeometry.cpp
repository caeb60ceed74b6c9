#include "morvane/ScreenGeometry.h"

#include <X11/Xlib.h>

#include "pellum/mxNotify.h"

bool ScreenGeometry::open() {
  switch (connection_.open()) {
    case ReconnectingXConnection::Open::Ready:
      // A server that went away is noticed before a request runs into
      // Xlib's I/O error path (whose return, under Xlib's display lock,
      // unlocks the display twice).
      return !connection_.serverClosed() || letGo();
    case ReconnectingXConnection::Open::Waiting: return false;
    case ReconnectingXConnection::Open::Failed:
      if (!toldNoDisplay_)
        mxNotify::post(mxNotify::Notice, "Morvane: no X display; pointer geometry uses window coordinates");
      toldNoDisplay_ = true;
      return false;
    case ReconnectingXConnection::Open::Opened: break;
  }
  if (toldNoDisplay_) mxNotify::post(mxNotify::Notice, "Morvane: X display open again");
  toldNoDisplay_ = false;
  return true;
}

bool ScreenGeometry::stillConnected() {
  return !connection_.lost() || letGo();
}

bool ScreenGeometry::letGo() {
  connection_.drop();
  mxNotify::post(
      mxNotify::Notice,
      "Morvane: lost the connection to the X display; pointer geometry uses window coordinates until "
      "it is back");
  toldNoDisplay_ = true;
  return false;
}

bool ScreenGeometry::toScreen(intptr_t window, int x, int y, int& screenX, int& screenY) {
  if (window == 0 || !open()) return false;
  Display* d = connection_.display();
  Window child = 0;
  const Bool ok = XTranslateCoordinates(d, static_cast<Window>(window), DefaultRootWindow(d), x, y, &screenX,
                                        &screenY, &child);
  return stillConnected() && ok != 0;
}

bool ScreenGeometry::desktopSize(unsigned& width, unsigned& height) {
  if (!open()) return false;
  Display* d = connection_.display();
  XWindowAttributes a{};
  const Status ok = XGetWindowAttributes(d, DefaultRootWindow(d), &a);
  if (!stillConnected() || !ok) return false;
  width = unsigned(a.width);
  height = unsigned(a.height);
  return true;
}
