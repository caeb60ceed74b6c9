#include "koBase/koThread.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "koBase/koLog.h"

koHandle::~koHandle() { close(); }

void koHandle::close() {
  if (_handle != -1) ::close(_handle);
  _handle = -1;
}

bool koThreadHandle::wait(int32_t ms) {
  if (_handle == -1) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    int timeout = -1;
    if (ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    pollfd p{_handle, POLLIN, 0};
    int r = poll(&p, 1, timeout);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Shared by the object and its thread, so that a detached thread never
// touches freed memory.
struct koThread::State {
  koThreadProc procedure = nullptr;
  void* argument = nullptr;
  pthread_t thread{};
  int endedFd = -1;  // eventfd written when the thread ends
  std::atomic<bool> ended{false};
  std::atomic<uint32_t> exitCode{0};
  std::atomic<uint32_t> threadId{0};
  std::mutex lock;
  std::condition_variable resumed;
  bool suspended = false;
  ~State() {
    if (endedFd >= 0) ::close(endedFd);
  }
};

namespace {

void markEnded(void* raw) {
  auto* state = static_cast<koThread::State*>(raw);
  state->ended = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(state->endedFd, &one, sizeof one);
}

void* trampoline(void* raw) {
  auto* holder = static_cast<std::shared_ptr<koThread::State>*>(raw);
  std::shared_ptr<koThread::State> state = std::move(*holder);
  delete holder;
  state->threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  {
    std::unique_lock guard(state->lock);
    state->resumed.wait(guard, [&] { return !state->suspended; });
  }
  // Runs also when the thread is cancelled (forced unwinding).
  pthread_cleanup_push(markEnded, state.get());
  state->exitCode = state->procedure(state->argument);
  pthread_cleanup_pop(1);
  return nullptr;
}

}  // namespace

koThread::koThread(koThreadProc procedure, void* argument, uint32_t flags) {
  start(procedure, argument, flags);
}

bool koThread::start(koThreadProc procedure, void* argument, uint32_t flags) {
  if (_state || !procedure) return false;
  auto state = std::make_shared<State>();
  state->procedure = procedure;
  state->argument = argument;
  state->suspended = (flags & kCreateSuspended) != 0;
  state->endedFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state->endedFd < 0) return false;
  _handle = dup(state->endedFd);
  if (_handle < 0) return false;
  auto* holder = new std::shared_ptr<State>(state);
  if (pthread_create(&state->thread, nullptr, trampoline, holder) != 0) {
    delete holder;
    koHandle::close();
    ko::log(ko::LogLevel::Error, "koThread: cannot create a thread (errno %d)", errno);
    return false;
  }
  _state = std::move(state);
  // The id is set by the thread itself; wait briefly so getThreadId answers.
  for (int i = 0; i < 1000 && _state->threadId == 0; ++i) sched_yield();
  _threadId = _state->threadId;
  return true;
}

void koThread::resume() {
  if (!_state) return;
  std::lock_guard guard(_state->lock);
  _state->suspended = false;
  _state->resumed.notify_all();
}

bool koThread::wait(int32_t ms) { return koThreadHandle::wait(ms); }

bool koThread::isRunning() const { return _state && !_state->ended; }

uint32_t koThread::getExitCode() const { return _state ? _state->exitCode.load() : 0; }

bool koThread::terminate(uint32_t exitCode) {
  if (!_state || _state->ended) return false;
  resume();
  _state->exitCode = exitCode;
  return pthread_cancel(_state->thread) == 0;
}

koThread::~koThread() {
  if (!_state) return;
  resume();
  if (!wait(1000)) {
    terminate(0);
    if (!wait(1000)) {
      ko::log(ko::LogLevel::Error,
              "koThread: thread %u does not end and cannot be cancelled; left running detached",
              _threadId);
      pthread_detach(_state->thread);
      return;
    }
  }
  pthread_join(_state->thread, nullptr);
}
