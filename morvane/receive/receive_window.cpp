#include "morvane/receive/receive_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

ReceiveWindow::~ReceiveWindow() {
  if (!display_) return;
  Display* d = static_cast<Display*>(display_);
  if (window_) XDestroyWindow(d, Window(window_));
  XCloseDisplay(d);
}

bool ReceiveWindow::open(unsigned width, unsigned height, const std::string& title, std::string& error) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    error = "cannot open the X display (is DISPLAY set?)";
    return false;
  }
  display_ = d;
  const int screen = DefaultScreen(d);
  const Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, width, height, 0,
                                       BlackPixel(d, screen), BlackPixel(d, screen));
  window_ = intptr_t(w);
  width_ = width;
  height_ = height;
  XStoreName(d, w, title.c_str());
  Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
  deleteAtom_ = del;
  XSetWMProtocols(d, w, &del, 1);
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XSync(d, False);
  return true;
}

bool ReceiveWindow::pump() {
  if (!display_) return true;
  Display* d = static_cast<Display*>(display_);
  bool keep = true;
  while (XPending(d) > 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == ClientMessage && static_cast<unsigned long>(e.xclient.data.l[0]) == deleteAtom_)
      keep = false;
    if (e.type == ConfigureNotify) {
      width_ = unsigned(e.xconfigure.width);
      height_ = unsigned(e.xconfigure.height);
    }
  }
  return keep;
}

void ReceiveWindow::size(unsigned& width, unsigned& height) const {
  width = width_;
  height = height_;
}
