// An own X connection (own_x_connection.h) that outlives its server: it is
// opened on demand, at most once every two seconds; when the server ends (or
// the connection breaks) the program goes on, the connection is let go, and
// a new one is opened once a server answers again.
#pragma once

#include <chrono>
#include <string>

#include "platform/win/own_x_connection.h"

class ReconnectingXConnection {
 public:
  static constexpr std::chrono::seconds kRetryPause{2};

  // What open() found.
  enum class Open {
    Ready,    // the connection was open already
    Opened,   // it has just been opened
    Failed,   // it could not be opened; the next try waits the pause
    Waiting,  // the last try is less than the pause ago
  };

  // displayName empty: the DISPLAY environment variable. Protocol errors on
  // the connection go to `log` (nullptr: they are only counted).
  explicit ReconnectingXConnection(std::string displayName = {}, OwnXErrorLog log = nullptr);
  // Closes the connection; one whose server went away is let go instead.
  ~ReconnectingXConnection();
  ReconnectingXConnection(const ReconnectingXConnection&) = delete;
  ReconnectingXConnection& operator=(const ReconnectingXConnection&) = delete;

  // Opens the connection unless it is open or the pause since the last try
  // has not passed yet.
  Open open();
  // The open connection; nullptr when there is none.
  Display* display() const { return display_; }
  // The name given to Xlib (nullptr: $DISPLAY).
  const char* name() const { return displayName_.empty() ? nullptr : displayName_.c_str(); }

  // Whether Xlib found the connection broken during the requests so far.
  bool lost() const { return lost_; }
  // Whether the server closed the connection before Xlib noticed (checked
  // without a request).
  bool serverClosed() const { return display_ && ownXServerClosed(display_); }
  // Lets a broken connection go; open() then opens a new one.
  void drop();
  // The next open() waits the whole pause from now.
  void pauseRetries() { nextAttempt_ = std::chrono::steady_clock::now() + kRetryPause; }

 private:
  std::string displayName_;
  OwnXErrorLog log_;
  Display* display_ = nullptr;
  bool lost_ = false;  // set by Xlib's exit handler of the connection
  std::chrono::steady_clock::time_point nextAttempt_{};
};
