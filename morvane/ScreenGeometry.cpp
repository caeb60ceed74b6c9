#include "morvane/ScreenGeometry.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "pellum/mxNotify.h"

namespace {

// Errors on our own connection (a window id the server no longer knows)
// must not end the program; errors on other connections go to the handler
// that was there before. Installed once, chained like the renderer's.
std::mutex g_errorLock;
std::vector<Display*> g_ours;
XErrorHandler g_previous = nullptr;
bool g_installed = false;

int onError(Display* d, XErrorEvent* e) {
  {
    std::lock_guard<std::mutex> g(g_errorLock);
    if (std::find(g_ours.begin(), g_ours.end(), d) == g_ours.end()) return g_previous ? g_previous(d, e) : 0;
  }
  return 0;
}

}  // namespace

ScreenGeometry::~ScreenGeometry() {
  if (!display_) return;
  Display* d = static_cast<Display*>(display_);
  XCloseDisplay(d);
  std::lock_guard<std::mutex> g(g_errorLock);
  std::erase(g_ours, d);
}

bool ScreenGeometry::open() {
  if (display_) return true;
  if (tried_) return false;
  tried_ = true;
  Display* d = XOpenDisplay(nullptr);
  display_ = d;
  if (d) {
    std::lock_guard<std::mutex> g(g_errorLock);
    g_ours.push_back(d);
    if (!g_installed) {
      g_previous = XSetErrorHandler(onError);
      g_installed = true;
    }
  }
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
