// ScreenGeometry: where a window lies on the desktop, and the desktop's
// size, read from the X server named by DISPLAY. The display is opened on
// first use; without one both queries answer false.
#pragma once
#include <cstdint>

class ScreenGeometry {
 public:
  ScreenGeometry() = default;
  ~ScreenGeometry();
  ScreenGeometry(const ScreenGeometry&) = delete;
  ScreenGeometry& operator=(const ScreenGeometry&) = delete;

  // The desktop position of the point (x, y) of window (an X11 window id).
  bool toScreen(intptr_t window, int x, int y, int& screenX, int& screenY);
  // The size of the root window.
  bool desktopSize(unsigned& width, unsigned& height);

 private:
  bool open();
  void* display_ = nullptr;  // Display*
  bool tried_ = false;
};
