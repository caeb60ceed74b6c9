#include "pellum/mxThread.h"

#include <string>

#include "pellum/mxNotify.h"
#include "platform/win/kernel_objects.h"

namespace pw = platform::win;

namespace {
std::string text(const mxString& s) { return s.c_str() ? s.c_str() : ""; }

unsigned runHandler(void* argument) {
  auto* handler = static_cast<mxThreadHandler*>(argument);
  return handler ? handler->run() : 0;
}
}  // namespace

void mxCriticalSection::leave() const {
  lock_.unlock();
  pw::yieldThread();
}

mxHandle::~mxHandle() { close(); }

void mxHandle::close() {
  if (!isValid()) return;
  pw::closeHandle(handle_);
  handle_ = invalid();
}

bool mxThreadHandle::waitFor(unsigned milliseconds) const {
  return isValid() && pw::waitForObject(handle_, milliseconds);
}

bool mxMutex::create(bool initialOwner, const mxString& name) {
  close();
  handle_ = pw::createMutex(initialOwner, text(name));
  return isValid();
}

bool mxMutex::create(const mxString& name) {
  close();
  handle_ = pw::openMutex(text(name));
  return isValid();
}

bool mxMutex::release() const {
  bool ok = isValid() && pw::releaseMutex(handle_);
  pw::yieldThread();
  return ok;
}

bool mxSemaphore::create(int initialCount, int maximumCount, const mxString& name) {
  close();
  handle_ = pw::createSemaphore(initialCount, maximumCount, text(name));
  return isValid();
}

bool mxSemaphore::create(const mxString& name) {
  close();
  handle_ = pw::openSemaphore(text(name));
  return isValid();
}

bool mxSemaphore::release(int count) const {
  bool ok = isValid() && pw::releaseSemaphore(handle_, count, nullptr);
  pw::yieldThread();
  return ok;
}

bool mxSemaphore::release(int count, int& previousCount) const {
  int previous = 0;
  bool ok = isValid() && pw::releaseSemaphore(handle_, count, &previous);
  if (ok) previousCount = previous;
  pw::yieldThread();
  return ok;
}

bool mxSemaphore::loopWaitFor(int count, unsigned milliseconds) const {
  if (count <= 0) return true;
  unsigned each = milliseconds == mxInfinite ? mxInfinite : milliseconds / static_cast<unsigned>(count);
  for (int i = 0; i < count; ++i)
    if (!waitFor(each)) return false;
  return true;
}

mxThread::~mxThread() {
  if (isValid()) {
    if (!waitFor(1000)) terminate(0);
    close();
  }
}

bool mxThread::create(Procedure procedure, void* argument, bool suspended) {
  if (isValid() || !procedure) return false;
  unsigned id = 0;
  handle_ = pw::createThread(procedure, argument, suspended, &id);
  if (!isValid()) return false;
  id_ = id;
  return true;
}

bool mxThread::create(mxThreadHandler* handler, bool suspended) { return create(runHandler, handler, suspended); }

bool mxThread::suspend() const { return isValid() && pw::suspendThread(handle_); }
bool mxThread::resume() const { return isValid() && pw::resumeThread(handle_); }

bool mxThread::terminate(unsigned exitCode) {
  if (!isValid()) return false;
  if (pw::terminateThread(handle_, exitCode)) return true;
  mxNotify::post(mxNotify::Warn,
                 "mxThread::terminate(); thread %u does not end and cannot be stopped from outside; "
                 "it was detached and runs on until it returns",
                 id_);
  return false;
}

void mxThread::exit(unsigned exitCode) { pw::exitThread(exitCode); }

bool mxThread::getExitCode(unsigned& exitCode) const {
  unsigned code = 0;
  if (!isValid() || !pw::getExitCodeThread(handle_, &code)) return false;
  exitCode = code;
  return true;
}

bool mxThread::setPriority(PriorityEnum priority) const {
  pw::ThreadPriority level;
  switch (priority) {
    case Idle: level = pw::ThreadPriority::Idle; break;
    case Lowest: level = pw::ThreadPriority::Lowest; break;
    case BelowNormal: level = pw::ThreadPriority::BelowNormal; break;
    case Normal: level = pw::ThreadPriority::Normal; break;
    case AboveNormal: level = pw::ThreadPriority::AboveNormal; break;
    case Highest: level = pw::ThreadPriority::Highest; break;
    default: return false;
  }
  return isValid() && pw::setThreadPriority(handle_, level);
}

mxThread::PriorityEnum mxThread::getPriority() const {
  pw::ThreadPriority level;
  if (!isValid() || !pw::getThreadPriority(handle_, &level)) return Normal;
  switch (level) {
    case pw::ThreadPriority::Idle: return Idle;
    case pw::ThreadPriority::Lowest: return Lowest;
    case pw::ThreadPriority::BelowNormal: return BelowNormal;
    case pw::ThreadPriority::Normal: return Normal;
    case pw::ThreadPriority::AboveNormal: return AboveNormal;
    case pw::ThreadPriority::Highest: return Highest;
  }
  return Normal;
}
