// ScreenGeometry: where a window lies on the desktop, and the desktop's
// size, read from an X server (by default the one named by DISPLAY). The
// display is opened on first use; without one both queries answer false.
// A server that ends (or a connection that breaks) does not end the
// program: the queries answer false, and the display is opened again, at
// most every two seconds, until a server answers.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "platform/win/reconnecting_x_connection.h"

class ScreenGeometry {
 public:
  explicit ScreenGeometry(std::string displayName = {}) : connection_(std::move(displayName)) {}
  ScreenGeometry(const ScreenGeometry&) = delete;
  ScreenGeometry& operator=(const ScreenGeometry&) = delete;

  // The desktop position of the point (x, y) of window (an X11 window id).
  bool toScreen(intptr_t window, int x, int y, int& screenX, int& screenY);
  // The size of the root window.
  bool desktopSize(unsigned& width, unsigned& height);

 private:
  bool open();
  // After a request: when the connection broke meanwhile, lets it go.
  bool stillConnected();
  // Lets a broken connection go and says so; false.
  bool letGo();

  // Protocol errors on it (a window id the server no longer knows) do not
  // end the program either.
  ReconnectingXConnection connection_;
  bool toldNoDisplay_ = false;
};
