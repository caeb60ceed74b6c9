#include "morvane/ScreenGeometry.h"

#include <X11/Xlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "pellum/mxNotify.h"
#include "platform/win/own_x_connection.h"

namespace {

// When a connection breaks (its server ended), Xlib calls the process-wide
// I/O error handler and then the connection's exit handler; both end the
// program by default. For the geometry's connections the first returns and
// the second only marks the connection lost; every other connection goes to
// the handler that was there before. Never destroyed, like the list of own
// connections (a handler may run while the program exits).
struct Watched {
  std::mutex lock;
  std::vector<Display*> displays;
  std::vector<Display*> graves;  // broken connections, kept unused (see bury)
  XIOErrorHandler previous = nullptr;
};

Watched& watched() {
  static Watched* const w = new Watched;
  return *w;
}

int onIoError(Display* d) {
  Watched& w = watched();
  {
    std::lock_guard<std::mutex> g(w.lock);
    if (std::find(w.displays.begin(), w.displays.end(), d) != w.displays.end()) return 0;
  }
  return w.previous ? w.previous(d) : 0;
}

void onConnectionLost(Display*, void* lost) {
  *static_cast<bool*>(lost) = true;
}

void watch(Display* d, bool* lost) {
  static std::once_flag wrapped;
  Watched& w = watched();
  std::call_once(wrapped, [&w] { w.previous = XSetIOErrorHandler(onIoError); });
  {
    std::lock_guard<std::mutex> g(w.lock);
    w.displays.push_back(d);
  }
  XSetIOErrorExitHandler(d, onConnectionLost, lost);
}

void unwatch(Display* d) {
  Watched& w = watched();
  std::lock_guard<std::mutex> g(w.lock);
  std::erase(w.displays, d);
}

// A broken connection cannot be closed through Xlib without its error path
// running again; its socket is closed and the Display is left unused (a few
// kilobytes for each server that went away).
void bury(Display* d) {
  ::close(ConnectionNumber(d));
  forgetOwnXConnection(d);
  Watched& w = watched();
  std::lock_guard<std::mutex> g(w.lock);
  std::erase(w.displays, d);
  w.graves.push_back(d);
}

// Whether the server closed the connection (end of stream on its socket),
// seen without a request.
bool serverGone(Display* d) {
  char byte = 0;
  return ::recv(ConnectionNumber(d), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

constexpr std::chrono::seconds kRetryPause{2};

}  // namespace

ScreenGeometry::~ScreenGeometry() {
  if (!display_) return;
  Display* d = static_cast<Display*>(display_);
  if (serverGone(d)) {
    bury(d);
    return;
  }
  closeOwnXConnection(d);
  unwatch(d);
}

bool ScreenGeometry::open() {
  if (display_) return true;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextAttempt_) return false;
  nextAttempt_ = now + kRetryPause;
  // Protocol errors on it (a window id the server no longer knows) must not
  // end the program either.
  Display* d = openOwnXConnection(displayName_.empty() ? nullptr : displayName_.c_str(), nullptr);
  if (!d) {
    if (!toldNoDisplay_)
      mxNotify::post(mxNotify::Notice, "Morvane: no X display; pointer geometry uses window coordinates");
    toldNoDisplay_ = true;
    return false;
  }
  lost_ = false;
  watch(d, &lost_);
  display_ = d;
  if (toldNoDisplay_) mxNotify::post(mxNotify::Notice, "Morvane: X display open again");
  toldNoDisplay_ = false;
  return true;
}

bool ScreenGeometry::stillConnected() {
  if (!lost_) return true;
  bury(static_cast<Display*>(display_));
  display_ = nullptr;
  mxNotify::post(
      mxNotify::Notice,
      "Morvane: lost the connection to the X display; pointer geometry uses window coordinates until "
      "it is back");
  toldNoDisplay_ = true;
  return false;
}

bool ScreenGeometry::toScreen(intptr_t window, int x, int y, int& screenX, int& screenY) {
  if (window == 0 || !open()) return false;
  Display* d = static_cast<Display*>(display_);
  Window child = 0;
  const Bool ok = XTranslateCoordinates(d, static_cast<Window>(window), DefaultRootWindow(d), x, y, &screenX,
                                        &screenY, &child);
  return stillConnected() && ok != 0;
}

bool ScreenGeometry::desktopSize(unsigned& width, unsigned& height) {
  if (!open()) return false;
  Display* d = static_cast<Display*>(display_);
  XWindowAttributes a{};
  const Status ok = XGetWindowAttributes(d, DefaultRootWindow(d), &a);
  if (!stillConnected() || !ok) return false;
  width = unsigned(a.width);
  height = unsigned(a.height);
  return true;
}
