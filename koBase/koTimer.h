// koTimer: the named waitable timer that cancels a blocked socket call. The
// first free name "KOTIMER0" .. "KOTIMER99" is taken; when all are in use
// the timer has no handle, set() fails and the socket cannot be cancelled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::win {
class WaitableTimer;
}

class koTimer {
 public:
  static constexpr int kNameCount = 100;
  static constexpr const char* kNamePrefix = "KOTIMER";

  koTimer();
  ~koTimer();
  koTimer(const koTimer&) = delete;
  koTimer& operator=(const koTimer&) = delete;

  // dueTime in 100 ns units (negative = relative), period in ms.
  bool set(int64_t dueTime, int32_t periodMs);
  bool cancel();
  // Takes a pending signal (auto-reset); false when not signalled.
  bool consume();

  bool hasHandle() const { return _timer != nullptr; }
  // Pollable while signalled; -1 without a handle.
  int fd() const;
  const std::string& name() const;
  int64_t getDueTime() const { return _dueTime; }

 private:
  std::unique_ptr<platform::win::WaitableTimer> _timer;
  int64_t _dueTime = 0;
};
