#include "morvane/ScreenGeometry.h"

#include <X11/Xlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "pellum/mxNotify.h"

namespace {

// The connections of every ScreenGeometry. Xlib's process-wide handlers are
// wrapped once: protocol errors on our connections (a window id the server
// no longer knows) and the breaking of one (its server ended) return
// instead of ending the program; other connections go to the handlers
// that were there before. The registry is never destroyed, so that a
// handler that runs while the program exits still finds it.
struct Registry {
  std::mutex lock;
  std::vector<Display*> ours;
  std::vector<Display*> graves;  // broken connections, kept unused (see bury)
  XErrorHandler previousError = nullptr;
  XIOErrorHandler previousIoError = nullptr;

  bool isOurs(Display* d) {
    std::lock_guard<std::mutex> g(lock);
    return std::find(ours.begin(), ours.end(), d) != ours.end();
  }
};

Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

int onError(Display* d, XErrorEvent* e) {
  Registry& r = registry();
  if (r.isOurs(d)) return 0;
  return r.previousError ? r.previousError(d, e) : 0;
}

int onIoError(Display* d) {
  Registry& r = registry();
  if (r.isOurs(d)) return 0;
  return r.previousIoError ? r.previousIoError(d) : 0;
}

void onConnectionLost(Display*, void* lost) {
  *static_cast<bool*>(lost) = true;
}

void adopt(Display* d, bool* lost) {
  static std::once_flag wrapped;
  Registry& r = registry();
  std::call_once(wrapped, [&r] {
    r.previousError = XSetErrorHandler(onError);
    r.previousIoError = XSetIOErrorHandler(onIoError);
  });
  {
    std::lock_guard<std::mutex> g(r.lock);
    r.ours.push_back(d);
  }
  XSetIOErrorExitHandler(d, onConnectionLost, lost);
}

void disown(Display* d) {
  Registry& r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  std::erase(r.ours, d);
}

// A broken connection cannot be closed through Xlib without its error path
// running again; its socket is closed and the Display is left unused (a few
// kilobytes for each server that went away).
void bury(Display* d) {
  ::close(ConnectionNumber(d));
  Registry& r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  std::erase(r.ours, d);
  r.graves.push_back(d);
}

// Whether the server closed the connection (end of stream on its socket),
// seen without a request: closing such a connection through Xlib would run
// its error path.
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
  XCloseDisplay(d);
  disown(d);
}

bool ScreenGeometry::open() {
  if (display_) return true;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextAttempt_) return false;
  nextAttempt_ = now + kRetryPause;
  Display* d = XOpenDisplay(displayName_.empty() ? nullptr : displayName_.c_str());
  if (!d) {
    if (!toldNoDisplay_)
      mxNotify::post(mxNotify::Notice, "Morvane: no X display; pointer geometry uses window coordinates");
    toldNoDisplay_ = true;
    return false;
  }
  lost_ = false;
  adopt(d, &lost_);
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
