// A top-level X11 window of morvane-receive's own, which holds the video
// window as a GUI's panel would. Closing it (the window manager's close
// button) asks the program to stop.
#pragma once
#include <cstdint>
#include <string>

class ReceiveWindow {
 public:
  ReceiveWindow() = default;
  ~ReceiveWindow();
  ReceiveWindow(const ReceiveWindow&) = delete;
  ReceiveWindow& operator=(const ReceiveWindow&) = delete;

  // False (with a reason) without a display.
  bool open(unsigned width, unsigned height, const std::string& title, std::string& error);
  intptr_t id() const { return window_; }
  // Handles pending events; false once the window was asked to close.
  bool pump();
  void size(unsigned& width, unsigned& height) const;

 private:
  void* display_ = nullptr;
  intptr_t window_ = 0;
  unsigned long deleteAtom_ = 0;
  unsigned width_ = 0, height_ = 0;
};
