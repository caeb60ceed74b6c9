#include "morvane/tests/x_window.h"

#include <X11/Xlib.h>

TestWindow::~TestWindow() {
  if (!display_) return;
  auto* d = static_cast<Display*>(display_);
  if (window_) XDestroyWindow(d, Window(window_));
  XCloseDisplay(d);
}

bool TestWindow::open(int x, int y, unsigned width, unsigned height) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  display_ = d;
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0, 0, 0);
  window_ = intptr_t(w);
  XMapWindow(d, w);
  XSync(d, False);
  return true;
}

bool TestWindow::rootPosition(int& x, int& y) const {
  if (!display_) return false;
  auto* d = static_cast<Display*>(display_);
  Window child;
  return XTranslateCoordinates(d, Window(window_), DefaultRootWindow(d), 0, 0, &x, &y, &child) != 0;
}
