#include "platform/win/kernel_objects.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace platform::win {

namespace {

enum class Kind { Mutex, Semaphore, Event, Thread };

std::atomic<unsigned> nextThreadId{1};
thread_local unsigned currentThreadId = 0;

// Every object has its own lock and condition; waits block on them.
struct KernelObject {
  explicit KernelObject(Kind k) : kind(k) {}
  virtual ~KernelObject();
  // Takes the object if it is signalled (called with `lock` held).
  virtual bool tryTake() = 0;

  const Kind kind;
  std::string name;
  std::mutex lock;
  std::condition_variable changed;
};

struct MutexObject : KernelObject {
  MutexObject() : KernelObject(Kind::Mutex) {}
  bool tryTake() override {
    unsigned self = getCurrentThreadId();
    if (owner != 0 && owner != self) return false;
    owner = self;
    ++depth;
    return true;
  }
  unsigned owner = 0;
  unsigned depth = 0;
};

struct SemaphoreObject : KernelObject {
  SemaphoreObject() : KernelObject(Kind::Semaphore) {}
  bool tryTake() override {
    if (count <= 0) return false;
    --count;
    return true;
  }
  int count = 0;
  int maximum = 1;
};

struct EventObject : KernelObject {
  EventObject() : KernelObject(Kind::Event) {}
  bool tryTake() override {
    if (!set) return false;
    if (!manualReset) set = false;
    return true;
  }
  bool manualReset = false;
  bool set = false;
};

struct ThreadObject : KernelObject {
  ThreadObject() : KernelObject(Kind::Thread) {}
  bool tryTake() override { return signalled; }

  enum State { NotStarted, Running, Ended } state = NotStarted;
  ThreadProcedure procedure = nullptr;
  void* argument = nullptr;
  unsigned id = 0;
  pid_t tid = 0;  // kernel thread id once running, for priorities
  int suspendCount = 0;
  bool cancelled = false;   // terminated before it started
  bool abandoned = false;   // terminated while running: detached, exit code fixed
  bool signalled = false;   // ended, or counted as ended
  bool exitPending = false; // exitThread called
  unsigned exitCode = 259;  // "still active" until it ends
  unsigned pendingExitCode = 0;
  ThreadPriority priority = ThreadPriority::Normal;
};

thread_local ThreadObject* currentThreadObject = nullptr;

// Live handles and names, guarded by one lock.
struct Tables {
  std::mutex lock;
  struct Ref {
    std::shared_ptr<KernelObject> object;
  };
  std::unordered_set<Ref*> handles;
  std::map<std::string, std::weak_ptr<KernelObject>> names;
};

Tables& tables() {
  static Tables* t = new Tables;  // never destroyed: threads may outlive static destruction
  return *t;
}

KernelObject::~KernelObject() {
  if (name.empty()) return;
  Tables& t = tables();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.names.find(name);
  if (it != t.names.end() && it->second.expired()) t.names.erase(it);
}

Handle newHandle(std::shared_ptr<KernelObject> object) {
  auto* ref = new Tables::Ref{std::move(object)};
  Tables& t = tables();
  std::lock_guard<std::mutex> guard(t.lock);
  t.handles.insert(ref);
  return ref;
}

std::shared_ptr<KernelObject> lookup(Handle handle) {
  Tables& t = tables();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.handles.find(static_cast<Tables::Ref*>(handle));
  if (it == t.handles.end()) return nullptr;
  return (*it)->object;
}

template <class T>
std::shared_ptr<T> lookupAs(Handle handle, Kind kind) {
  auto object = lookup(handle);
  if (!object || object->kind != kind) return nullptr;
  return std::static_pointer_cast<T>(object);
}

// Creates a named object or opens the existing one of that name. `make`
// builds and initialises a new object.
template <class Make>
Handle createNamed(Kind kind, const std::string& name, Make make) {
  if (name.empty()) return newHandle(make());
  std::shared_ptr<KernelObject> object;
  {
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.names.find(name);
    if (it != t.names.end()) object = it->second.lock();
    if (object && object->kind != kind) return invalidHandle();  // the name belongs to another kind
    if (!object) {
      object = make();
      object->name = name;
      t.names[name] = object;
    }
  }
  return newHandle(std::move(object));
}

Handle openNamed(Kind kind, const std::string& name) {
  if (name.empty()) return invalidHandle();
  std::shared_ptr<KernelObject> object;
  {
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.names.find(name);
    if (it != t.names.end()) object = it->second.lock();
  }
  if (!object || object->kind != kind) return invalidHandle();
  return newHandle(std::move(object));
}

int niceValue(ThreadPriority p) {
  switch (p) {
    case ThreadPriority::Idle: return 19;
    case ThreadPriority::Lowest: return 10;
    case ThreadPriority::BelowNormal: return 5;
    case ThreadPriority::Normal: return 0;
    case ThreadPriority::AboveNormal: return -5;
    case ThreadPriority::Highest: return -10;
  }
  return 0;
}

// Marks the thread ended when its procedure returns or the thread leaves
// through exitThread (the destructor runs during that unwinding too).
struct EndGuard {
  std::shared_ptr<ThreadObject> self;
  unsigned result = 0;
  ~EndGuard() {
    std::lock_guard<std::mutex> guard(self->lock);
    self->state = ThreadObject::Ended;
    if (!self->abandoned) self->exitCode = self->exitPending ? self->pendingExitCode : result;
    self->signalled = true;
    self->changed.notify_all();
  }
};

void* threadMain(void* raw) {
  auto* holder = static_cast<std::shared_ptr<ThreadObject>*>(raw);
  std::shared_ptr<ThreadObject> self = std::move(*holder);
  delete holder;
  {
    std::unique_lock<std::mutex> guard(self->lock);
    self->changed.wait(guard, [&] { return self->suspendCount == 0 || self->cancelled; });
    if (self->cancelled) return nullptr;
    self->state = ThreadObject::Running;
    self->tid = static_cast<pid_t>(::syscall(SYS_gettid));
    if (self->priority != ThreadPriority::Normal)
      ::setpriority(PRIO_PROCESS, static_cast<id_t>(self->tid), niceValue(self->priority));
  }
  currentThreadId = self->id;
  currentThreadObject = self.get();
  EndGuard end{self};
  end.result = self->procedure(self->argument);
  currentThreadObject = nullptr;
  return nullptr;
}

}  // namespace

bool waitForObject(Handle handle, unsigned milliseconds) {
  auto object = lookup(handle);
  if (!object) return false;
  std::unique_lock<std::mutex> guard(object->lock);
  auto ready = [&] { return object->tryTake(); };
  if (milliseconds == kInfinite) {
    object->changed.wait(guard, ready);
    return true;
  }
  return object->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), ready);
}

bool closeHandle(Handle handle) {
  Tables::Ref* ref = static_cast<Tables::Ref*>(handle);
  {
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.handles.erase(ref) == 0) return false;
  }
  delete ref;  // outside the lock: the object's destructor takes it
  return true;
}

Handle createMutex(bool initialOwner, const std::string& name) {
  bool created = false;
  Handle h = createNamed(Kind::Mutex, name, [&] {
    created = true;
    return std::make_shared<MutexObject>();
  });
  if (h != invalidHandle() && created && initialOwner) waitForObject(h, 0);
  return h;
}

Handle openMutex(const std::string& name) { return openNamed(Kind::Mutex, name); }

bool releaseMutex(Handle handle) {
  auto m = lookupAs<MutexObject>(handle, Kind::Mutex);
  if (!m) return false;
  std::lock_guard<std::mutex> guard(m->lock);
  if (m->owner != getCurrentThreadId() || m->depth == 0) return false;
  if (--m->depth == 0) {
    m->owner = 0;
    m->changed.notify_all();
  }
  return true;
}

Handle createSemaphore(int initialCount, int maximumCount, const std::string& name) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) return invalidHandle();
  return createNamed(Kind::Semaphore, name, [&] {
    auto s = std::make_shared<SemaphoreObject>();
    s->count = initialCount;
    s->maximum = maximumCount;
    return s;
  });
}

Handle openSemaphore(const std::string& name) { return openNamed(Kind::Semaphore, name); }

bool releaseSemaphore(Handle handle, int count, int* previousCount) {
  auto s = lookupAs<SemaphoreObject>(handle, Kind::Semaphore);
  if (!s || count <= 0) return false;
  std::lock_guard<std::mutex> guard(s->lock);
  if (count > s->maximum - s->count) return false;
  if (previousCount) *previousCount = s->count;
  s->count += count;
  s->changed.notify_all();
  return true;
}

Handle createEvent(bool manualReset, bool initiallySet, const std::string& name) {
  return createNamed(Kind::Event, name, [&] {
    auto e = std::make_shared<EventObject>();
    e->manualReset = manualReset;
    e->set = initiallySet;
    return e;
  });
}

Handle openEvent(const std::string& name) { return openNamed(Kind::Event, name); }

bool setEvent(Handle handle) {
  auto e = lookupAs<EventObject>(handle, Kind::Event);
  if (!e) return false;
  std::lock_guard<std::mutex> guard(e->lock);
  e->set = true;
  e->changed.notify_all();
  return true;
}

bool resetEvent(Handle handle) {
  auto e = lookupAs<EventObject>(handle, Kind::Event);
  if (!e) return false;
  std::lock_guard<std::mutex> guard(e->lock);
  e->set = false;
  return true;
}

Handle createThread(ThreadProcedure procedure, void* argument, bool suspended, unsigned* threadId) {
  if (!procedure) return invalidHandle();
  auto t = std::make_shared<ThreadObject>();
  t->procedure = procedure;
  t->argument = argument;
  t->id = nextThreadId.fetch_add(1);
  t->suspendCount = suspended ? 1 : 0;

  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return invalidHandle();
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  auto* holder = new std::shared_ptr<ThreadObject>(t);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, threadMain, holder);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete holder;
    return invalidHandle();
  }
  if (threadId) *threadId = t->id;
  return newHandle(t);
}

bool suspendThread(Handle handle) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (t->state != ThreadObject::NotStarted || t->cancelled || t->suspendCount == 0) return false;
  ++t->suspendCount;
  return true;
}

bool resumeThread(Handle handle) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (t->suspendCount > 0 && --t->suspendCount == 0) t->changed.notify_all();
  return true;
}

bool terminateThread(Handle handle, unsigned exitCode) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (t->state == ThreadObject::Ended || t->abandoned || t->cancelled) return true;
  t->exitCode = exitCode;
  t->signalled = true;
  if (t->state == ThreadObject::NotStarted) {
    t->cancelled = true;  // it wakes, sees this and returns without running
    t->state = ThreadObject::Ended;
    t->changed.notify_all();
    return true;
  }
  t->abandoned = true;  // it runs on, detached, until its procedure returns
  t->changed.notify_all();
  return false;
}

void exitThread(unsigned exitCode) {
  ThreadObject* self = currentThreadObject;
  if (!self) return;
  {
    std::lock_guard<std::mutex> guard(self->lock);
    self->exitPending = true;
    self->pendingExitCode = exitCode;
  }
  currentThreadObject = nullptr;
  pthread_exit(nullptr);  // unwinds the thread's stack; EndGuard signals the end
}

bool getExitCodeThread(Handle handle, unsigned* exitCode) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (exitCode) *exitCode = t->exitCode;
  return true;
}

bool isThreadRunning(Handle handle) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  return !t->signalled;
}

bool setThreadPriority(Handle handle, ThreadPriority priority) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (t->state == ThreadObject::Ended) return false;
  if (t->state == ThreadObject::Running &&
      ::setpriority(PRIO_PROCESS, static_cast<id_t>(t->tid), niceValue(priority)) != 0)
    return false;
  t->priority = priority;
  return true;
}

bool getThreadPriority(Handle handle, ThreadPriority* priority) {
  auto t = lookupAs<ThreadObject>(handle, Kind::Thread);
  if (!t) return false;
  std::lock_guard<std::mutex> guard(t->lock);
  if (priority) *priority = t->priority;
  return true;
}

unsigned getCurrentThreadId() {
  if (currentThreadId == 0) currentThreadId = nextThreadId.fetch_add(1);
  return currentThreadId;
}

void yieldThread() { sched_yield(); }

}  // namespace platform::win
