// Kernel handles and threads of the transport base.
//
// koHandle owns one descriptor (-1 when empty). koThreadHandle's descriptor
// becomes readable when its thread has ended, so wait() is a poll on it.
// koThread runs exactly one thread from construction to destruction.
#pragma once

#include <cstdint>
#include <memory>

class koHandle {
 public:
  koHandle() = default;
  virtual ~koHandle();
  koHandle(const koHandle&) = delete;
  koHandle& operator=(const koHandle&) = delete;

  void close();
  int getHandle() const { return _handle; }

 protected:
  int _handle = -1;
};

class koThreadHandle : public koHandle {
 public:
  // True when the thread has ended within ms milliseconds; -1 = no limit.
  virtual bool wait(int32_t ms);
};

using koThreadProc = uint32_t (*)(void* argument);

class koThread : public koThreadHandle {
 public:
  static constexpr uint32_t kCreateSuspended = 4;

  // Starts the thread at once (suspended with kCreateSuspended in flags; then
  // resume() lets it run).
  koThread(koThreadProc procedure, void* argument, uint32_t flags = 0);
  // Joins a thread that has ended; one that does not end within 1000 ms is
  // terminated (see terminate()).
  ~koThread() override;

  // False when this object already holds a thread or none could be made.
  bool start(koThreadProc procedure, void* argument, uint32_t flags = 0);
  void resume();
  bool wait(int32_t ms) override;

  // Asks the system to end the thread at its next cancellation point (a
  // sleep, poll or blocking read). A thread that never reaches one cannot be
  // ended safely: it is left running detached, and that is logged.
  bool terminate(uint32_t exitCode);

  bool isRunning() const;
  uint32_t getThreadId() const { return _threadId; }
  uint32_t getExitCode() const;
  bool hasThread() const { return _state != nullptr; }

  struct State;

 private:
  std::shared_ptr<State> _state;
  uint32_t _threadId = 0;
};
