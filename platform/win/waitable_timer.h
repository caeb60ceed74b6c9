// Named waitable timers: a process-wide table of timers that threads find by
// name, set to fire after a due time (optionally periodically), cancel, and
// wait on through a pollable descriptor.
//
// A timer is auto-reset: when it fires it becomes signalled, and the one
// waiter that consumes the signal (consume()) puts it back to non-signalled.
// Underneath each timer is a timerfd; the descriptor returned by fd() is
// readable exactly while the timer is signalled, so it can be polled together
// with a socket.
//
// Handles are counted: every open or create of a name hands out a handle to
// the same timer; the name disappears from the table when its last handle is
// closed (the handle object is destroyed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::win {

class WaitableTimer {
 public:
  ~WaitableTimer();
  WaitableTimer(const WaitableTimer&) = delete;
  WaitableTimer& operator=(const WaitableTimer&) = delete;

  // Opens a handle to the existing timer of that name; null when there is
  // none (or the name is empty).
  static std::unique_ptr<WaitableTimer> openExisting(const std::string& name);

  // Creates a timer of that name (an empty name makes an unnamed timer).
  // When a timer of that name already exists, a handle to it is returned and
  // *alreadyExisted (if given) is set. Null only when the system cannot
  // provide a timer. Manual-reset timers are not supported: only auto-reset.
  static std::unique_ptr<WaitableTimer> create(const std::string& name,
                                               bool* alreadyExisted = nullptr);

  // Arms the timer. dueTime is in 100 ns units: negative = relative to now,
  // positive = absolute time on the system's real-time clock (100 ns since
  // 1601-01-01), zero = at once. periodMs > 0 makes it fire again every
  // periodMs milliseconds. Arming clears a pending signal. False on failure
  // (negative period, system refusal).
  bool set(int64_t dueTime, int32_t periodMs);

  // Disarms the timer; a signal not yet consumed is cleared as well.
  bool cancel();

  // Readable (POLLIN) while the timer is signalled.
  int fd() const;

  // Takes the signal if the timer is signalled (auto-reset); false when it
  // was not signalled (or another waiter took it first).
  bool consume();

  // Blocks until the timer is signalled and consumes it; timeoutMs < 0
  // waits without limit. True when signalled within the time.
  bool wait(int timeoutMs);

  const std::string& name() const;

  struct Object;  // the shared timer behind every handle of one name

 private:
  explicit WaitableTimer(std::shared_ptr<Object> object);
  std::shared_ptr<Object> object_;
};

}  // namespace platform::win
