// A top-level X11 window for tests that need an owner window (Xlib kept
// out of the test sources: its macros clash with the test framework).
#pragma once
#include <cstdint>

class TestWindow {
 public:
  TestWindow() = default;
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  bool open(int x, int y, unsigned width, unsigned height);
  intptr_t id() const { return window_; }
  // Where the window's origin lies on the desktop.
  bool rootPosition(int& x, int& y) const;

 private:
  void* display_ = nullptr;
  intptr_t window_ = 0;
};
