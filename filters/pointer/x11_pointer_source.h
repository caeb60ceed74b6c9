// The local pointer read from the X server: position with XQueryPointer,
// desktop size from the root window (kept current through RandR screen-change
// events), buttons and wheel from XInput2 raw events.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "filters/pointer/pointer_source.h"

namespace pointing {

class X11PointerSource : public PointerSource {
 public:
  // displayName empty: the DISPLAY environment variable. The display is
  // opened on the first read; while it cannot be opened, reads report no
  // position and the source retries every two seconds. Why it cannot read
  // is said once through log. A connection that breaks later (the server
  // ends) is closed, said once, and opened again when the server is back.
  explicit X11PointerSource(std::string displayName = {}, PointerLog log = stderrPointerLog());
  ~X11PointerSource() override;
  X11PointerSource(const X11PointerSource&) = delete;
  X11PointerSource& operator=(const X11PointerSource&) = delete;

  PointerReading read() override;
  // Shuts the connection's socket down under a read that waits for the
  // server, which then returns at once with no position; the source opens
  // the display again on the next read, silently. Called while no read is
  // under way, it makes the next read return at once instead.
  void interrupt() override;

  bool isOpen() const;
  bool hasButtonDevice() const;

 private:
  struct Connection;
  bool open();
  void say(const std::string& line);
  // Around the requests of one read or open: false (and the pending
  // interruption taken) when an interruption came while no read was under
  // way; endBlocking says whether the socket was shut down meanwhile.
  bool beginBlocking(int fd);
  bool endBlocking();

  std::string displayName_;
  PointerLog log_;
  std::unique_ptr<Connection> connection_;
  std::chrono::steady_clock::time_point nextAttempt_{};
  bool toldNoDisplay_ = false;
  bool toldNoButtons_ = false;

  std::mutex blockingMutex_;
  int blockingFd_ = -1;       // the socket of the read under way, -1 between reads
  bool interrupted_ = false;  // the socket was shut down under the read
  bool pending_ = false;      // an interruption came between reads
};

}  // namespace pointing
