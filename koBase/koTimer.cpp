#include "koBase/koTimer.h"

#include "platform/win/waitable_timer.h"

using platform::win::WaitableTimer;

koTimer::koTimer() {
  for (int i = 0; i < kNameCount; ++i) {
    const std::string name = kNamePrefix + std::to_string(i);
    if (WaitableTimer::openExisting(name)) continue;  // in use; the probe handle closes at once
    // Another thread may have taken the name since: then it is in use too,
    // and sharing its timer would cancel the other socket's calls.
    bool existed = false;
    auto timer = WaitableTimer::create(name, &existed);
    if (existed) continue;
    _timer = std::move(timer);
    break;
  }
}

koTimer::~koTimer() = default;

bool koTimer::set(int64_t dueTime, int32_t periodMs) {
  if (!_timer) return false;
  _dueTime = dueTime;
  return _timer->set(dueTime, periodMs);
}

bool koTimer::cancel() { return _timer && _timer->cancel(); }

bool koTimer::consume() { return _timer && _timer->consume(); }

int koTimer::fd() const { return _timer ? _timer->fd() : -1; }

const std::string& koTimer::name() const {
  static const std::string none;
  return _timer ? _timer->name() : none;
}
