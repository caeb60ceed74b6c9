// Threads and synchronisation: a re-entrant critical section, handles,
// mutexes and semaphores (optionally named, shared within the process by
// name), and threads started from a procedure or a handler object.
//
// Every release (critical section, mutex, semaphore) yields the rest of the
// caller's time slice, handing the processor to a waiting thread at once.
#pragma once

#include <cstdint>
#include <mutex>

#include "pellum/mxObject.h"
#include "pellum/mxString.h"

// The wait that never times out.
constexpr unsigned mxInfinite = 0xFFFFFFFFu;

class mxCriticalSection {
 public:
  mxCriticalSection() = default;
  mxCriticalSection(const mxCriticalSection&) = delete;
  mxCriticalSection& operator=(const mxCriticalSection&) = delete;
  void enter() const { lock_.lock(); }
  void leave() const;

 private:
  mutable std::recursive_mutex lock_;
};

// Holds a critical section for the life of a scope.
class mxCriticalSectionLock {
 public:
  explicit mxCriticalSectionLock(const mxCriticalSection& section) : section_(section) { section_.enter(); }
  ~mxCriticalSectionLock() { section_.leave(); }
  mxCriticalSectionLock(const mxCriticalSectionLock&) = delete;
  mxCriticalSectionLock& operator=(const mxCriticalSectionLock&) = delete;

 private:
  const mxCriticalSection& section_;
};

// A platform handle; -1 (all bits set) is invalid, null counts as valid.
// The handle is closed by the destructor.
class mxHandle {
 public:
  // All bits set (a function so that it is right even during static
  // initialisation).
  static void* invalid() { return reinterpret_cast<void*>(~static_cast<uintptr_t>(0)); }

  mxHandle() = default;
  explicit mxHandle(void* handle) : handle_(handle) {}
  virtual ~mxHandle();
  mxHandle(const mxHandle&) = delete;
  mxHandle& operator=(const mxHandle&) = delete;

  // Adopts a handle (the one held before is not closed).
  void setHandle(void* handle) { handle_ = handle; }
  void* getHandle() const { return handle_; }
  operator void*() const { return handle_; }  // NOLINT: implicit by design
  bool isValid() const { return handle_ != invalid(); }
  void close();

 protected:
  void* handle_ = invalid();
};

class mxThreadHandle : public mxHandle {
 public:
  using mxHandle::mxHandle;
  ~mxThreadHandle() override = default;
  // True only if the object became signalled within the time (0 polls,
  // mxInfinite waits forever).
  virtual bool waitFor(unsigned milliseconds) const;
};

class mxMutex : public mxThreadHandle {
 public:
  mxMutex() = default;
  explicit mxMutex(void* handle) : mxThreadHandle(handle) {}
  mxMutex(bool initialOwner, const mxString& name) { create(initialOwner, name); }
  explicit mxMutex(const mxString& name) { create(name); }

  // Creates a mutex (an empty name makes it unnamed; an existing name opens
  // that mutex). False, handle invalid, on failure.
  bool create(bool initialOwner, const mxString& name);
  // Opens an existing named mutex; false when there is none.
  bool create(const mxString& name);
  bool release() const;
};

class mxSemaphore : public mxThreadHandle {
 public:
  mxSemaphore() = default;
  explicit mxSemaphore(void* handle) : mxThreadHandle(handle) {}
  mxSemaphore(int initialCount, int maximumCount, const mxString& name) {
    create(initialCount, maximumCount, name);
  }
  explicit mxSemaphore(const mxString& name) { create(name); }

  bool create(int initialCount, int maximumCount, const mxString& name);
  bool create(const mxString& name);
  bool release(int count) const;
  // Writes the previous count only on success.
  bool release(int count, int& previousCount) const;
  // Takes count units one at a time, each wait limited to
  // milliseconds / count; true at once for count <= 0; false at the first
  // wait that times out (the units already taken are kept).
  bool loopWaitFor(int count, unsigned milliseconds) const;
};

// A counted object whose run() is the body of a thread.
class mxThreadHandler : public mxObject {
  MX_OBJECT_DECLARE(mxThreadHandler, mxObject)
 public:
  virtual unsigned run() = 0;

 protected:
  ~mxThreadHandler() override = default;
};

class mxThread : public mxThreadHandle {
 public:
  // Platform levels accepted by setPriority (and given back by getPriority).
  enum PriorityEnum : int {
    Idle = -15,
    Lowest = -2,
    BelowNormal = -1,
    Normal = 0,
    AboveNormal = 1,
    Highest = 2,
  };
  using Procedure = unsigned (*)(void*);

  mxThread() = default;
  explicit mxThread(void* handle) : mxThreadHandle(handle) {}
  mxThread(Procedure procedure, void* argument, bool suspended) { create(procedure, argument, suspended); }
  mxThread(mxThreadHandler* handler, bool suspended) { create(handler, suspended); }
  // Waits up to 1000 ms for the thread to end, then terminates it (see
  // terminate), and closes the handle.
  ~mxThread() override;

  // False if a thread is already held or the thread cannot start.
  bool create(Procedure procedure, void* argument, bool suspended);
  // The thread runs handler->run() (0 for a null handler). The caller keeps
  // the handler alive while the thread runs.
  bool create(mxThreadHandler* handler, bool suspended);

  // Suspension is counted; only a thread that has not started yet can be
  // held (a running thread cannot be stopped safely here).
  bool suspend() const;
  bool resume() const;
  // Forced end. A thread that has not started is ended (it never runs).
  // A running thread cannot be ended safely from outside on this system:
  // it is detached and runs on until its procedure returns, its handle
  // counts as ended with that exit code, a warning goes to the notification
  // log, and the result is false.
  bool terminate(unsigned exitCode);
  // Ends the calling thread (one started by mxThread) with that exit code.
  static void exit(unsigned exitCode);
  // The exit code, or 259 ("still active") while the thread runs.
  bool getExitCode(unsigned& exitCode) const;
  unsigned getThreadID() const { return id_; }

  bool setPriority(PriorityEnum priority) const;
  PriorityEnum getPriority() const;

 private:
  unsigned id_ = 0;
};
