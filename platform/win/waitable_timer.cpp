#include "platform/win/waitable_timer.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>

namespace platform::win {

namespace {
// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifference = 116444736000000000LL;
}  // namespace

struct WaitableTimer::Object {
  std::string name;
  int fd = -1;
  ~Object();
};

namespace {

std::mutex& tableLock() {
  static std::mutex lock;
  return lock;
}

// Names to live timers; an entry whose timer is gone is removed lazily.
std::map<std::string, std::weak_ptr<WaitableTimer::Object>>& table() {
  static auto* names = new std::map<std::string, std::weak_ptr<WaitableTimer::Object>>;
  return *names;
}

std::shared_ptr<WaitableTimer::Object> findLocked(const std::string& name) {
  auto& names = table();
  auto it = names.find(name);
  if (it == names.end()) return nullptr;
  auto object = it->second.lock();
  if (!object) names.erase(it);
  return object;
}

}  // namespace

WaitableTimer::Object::~Object() {
  if (fd >= 0) close(fd);
  if (!name.empty()) {
    std::lock_guard guard(tableLock());
    auto it = table().find(name);
    if (it != table().end() && it->second.expired()) table().erase(it);
  }
}

WaitableTimer::WaitableTimer(std::shared_ptr<Object> object) : object_(std::move(object)) {}

WaitableTimer::~WaitableTimer() = default;

std::unique_ptr<WaitableTimer> WaitableTimer::openExisting(const std::string& name) {
  if (name.empty()) return nullptr;
  std::lock_guard guard(tableLock());
  auto object = findLocked(name);
  if (!object) return nullptr;
  return std::unique_ptr<WaitableTimer>(new WaitableTimer(std::move(object)));
}

std::unique_ptr<WaitableTimer> WaitableTimer::create(const std::string& name, bool* alreadyExisted) {
  if (alreadyExisted) *alreadyExisted = false;
  std::lock_guard guard(tableLock());
  if (!name.empty()) {
    if (auto object = findLocked(name)) {
      if (alreadyExisted) *alreadyExisted = true;
      return std::unique_ptr<WaitableTimer>(new WaitableTimer(std::move(object)));
    }
  }
  int fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) return nullptr;
  auto object = std::make_shared<Object>();
  object->name = name;
  object->fd = fd;
  if (!name.empty()) table()[name] = object;
  return std::unique_ptr<WaitableTimer>(new WaitableTimer(std::move(object)));
}

bool WaitableTimer::set(int64_t dueTime, int32_t periodMs) {
  if (periodMs < 0) return false;
  itimerspec when{};
  int flags = 0;
  if (dueTime < 0) {
    // Relative times beyond about 29 000 years are cut to that.
    const int64_t rel = dueTime < -(INT64_MAX / 100) ? INT64_MAX / 100 : -dueTime;
    const int64_t ns = rel * 100;
    when.it_value.tv_sec = ns / 1000000000;
    when.it_value.tv_nsec = ns % 1000000000;
  } else if (dueTime > 0) {
    const int64_t unix100 = dueTime - kEpochDifference;
    if (unix100 > 0) {
      flags = TFD_TIMER_ABSTIME;
      when.it_value.tv_sec = unix100 / 10000000;
      when.it_value.tv_nsec = (unix100 % 10000000) * 100;
    }
  }
  // A zero value would disarm: "now" (or an absolute time already past) is
  // the shortest relative time instead.
  if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) {
    flags = 0;
    when.it_value.tv_nsec = 1;
  }
  when.it_interval.tv_sec = periodMs / 1000;
  when.it_interval.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000;
  return timerfd_settime(object_->fd, flags, &when, nullptr) == 0;
}

bool WaitableTimer::cancel() {
  itimerspec when{};
  return timerfd_settime(object_->fd, 0, &when, nullptr) == 0;
}

int WaitableTimer::fd() const { return object_->fd; }

bool WaitableTimer::consume() {
  uint64_t ticks = 0;
  return read(object_->fd, &ticks, sizeof ticks) == static_cast<ssize_t>(sizeof ticks) && ticks > 0;
}

bool WaitableTimer::wait(int timeoutMs) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    if (consume()) return true;
    int remaining = -1;
    if (timeoutMs >= 0) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const int64_t elapsed =
          (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
      if (elapsed >= timeoutMs) return false;
      remaining = static_cast<int>(timeoutMs - elapsed);
    }
    pollfd p{object_->fd, POLLIN, 0};
    int r = poll(&p, 1, remaining);
    if (r < 0 && errno != EINTR) return false;
  }
}

const std::string& WaitableTimer::name() const { return object_->name; }

}  // namespace platform::win
