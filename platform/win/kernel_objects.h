// Kernel objects: mutexes, semaphores, events and threads behind handles.
//
// A handle is an opaque pointer; the invalid handle is all bits set. Every
// call checks that the handle is live (a closed or made-up handle gives
// false), so a stale handle can never reach freed memory. Named mutexes,
// semaphores and events live in process-wide name tables: creating a name
// that exists opens the existing object (when it is of the same kind),
// opening a name that does not exist fails. An object lives as long as a
// handle to it is open (a running thread holds its own).
#pragma once

#include <cstdint>
#include <string>

namespace platform::win {

using Handle = void*;
// A function, not a constant: usable during static initialisation.
inline Handle invalidHandle() { return reinterpret_cast<Handle>(~static_cast<uintptr_t>(0)); }
constexpr unsigned kInfinite = 0xFFFFFFFFu;

// Waits until the object is signalled, at most `milliseconds` (0 polls,
// kInfinite waits forever). A mutex is acquired (re-entrantly), a semaphore
// loses one unit, an auto-reset event is reset, a thread is signalled once
// it has ended. False on time-out or for an invalid handle.
bool waitForObject(Handle handle, unsigned milliseconds);
bool closeHandle(Handle handle);

// Mutexes. An empty name makes an unnamed one.
Handle createMutex(bool initialOwner, const std::string& name);
Handle openMutex(const std::string& name);
bool releaseMutex(Handle mutex);  // false unless the calling thread owns it

// Semaphores: 0 <= initial <= maximum, maximum > 0.
Handle createSemaphore(int initialCount, int maximumCount, const std::string& name);
Handle openSemaphore(const std::string& name);
// False when count <= 0 or the count would pass the maximum (then nothing
// changes). On success writes the previous count if asked.
bool releaseSemaphore(Handle semaphore, int count, int* previousCount);

// Events.
Handle createEvent(bool manualReset, bool initiallySet, const std::string& name);
Handle openEvent(const std::string& name);
bool setEvent(Handle event);
bool resetEvent(Handle event);

// Threads. The procedure runs on a new thread (pthreads, default stack).
enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest };
using ThreadProcedure = unsigned (*)(void*);
// Starts a thread, held back until resumeThread when `suspended`. Writes the
// thread's identifier (a number unique in the process, never 0).
Handle createThread(ThreadProcedure procedure, void* argument, bool suspended, unsigned* threadId);
// Suspension is counted. A thread can only be held before it has started:
// suspending a running thread fails (Linux cannot stop one safely).
bool suspendThread(Handle thread);
bool resumeThread(Handle thread);
// Linux cannot end another thread safely. terminateThread therefore ends a
// thread that has not started yet (it never runs), answers true for one
// that has already ended, and for a running one records the exit code,
// lets the handle count as signalled, and detaches the thread, which runs on
// until its procedure returns; it then answers false.
bool terminateThread(Handle thread, unsigned exitCode);
// Ends the calling thread with that exit code (a thread made by
// createThread); stack objects are unwound. Returns only if the calling
// thread was not made by createThread.
void exitThread(unsigned exitCode);
// Writes the exit code, or 259 ("still active") while the thread runs.
bool getExitCodeThread(Handle thread, unsigned* exitCode);
bool isThreadRunning(Handle thread);
bool setThreadPriority(Handle thread, ThreadPriority priority);
bool getThreadPriority(Handle thread, ThreadPriority* priority);
unsigned getCurrentThreadId();

// Gives the rest of the calling thread's time slice to others.
void yieldThread();

}  // namespace platform::win
