// The local pointer read from the X server: position with XQueryPointer,
// desktop size from the root window (kept current through RandR screen-change
// events), buttons and wheel from XInput2 raw events.
#pragma once

#include <memory>
#include <string>

#include "filters/pointer/pointer_source.h"
#include "platform/win/reconnecting_x_connection.h"

namespace pointing {

class X11PointerSource : public PointerSource {
 public:
  // displayName empty: the DISPLAY environment variable. The display is
  // opened on the first read; while it cannot be opened, reads report no
  // position and the source retries every two seconds. Why it cannot read
  // is said once through log. A connection that breaks later (the server
  // ends) is let go, said once, and opened again when the server is back.
  explicit X11PointerSource(std::string displayName = {}, PointerLog log = stderrPointerLog());
  ~X11PointerSource() override;
  X11PointerSource(const X11PointerSource&) = delete;
  X11PointerSource& operator=(const X11PointerSource&) = delete;

  PointerReading read() override;

  bool isOpen() const;
  bool hasButtonDevice() const;

 private:
  struct Connection;
  bool open();
  void say(const std::string& line);

  PointerLog log_;
  ReconnectingXConnection x_;
  std::unique_ptr<Connection> connection_;  // what was read of the open connection
  bool toldNoDisplay_ = false;
  bool toldNoButtons_ = false;
};

}  // namespace pointing
