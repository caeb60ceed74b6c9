#include "koBase/koRateMeter.h"

#include <time.h>

uint32_t koRateMeter::nowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  const uint64_t ms = static_cast<uint64_t>(t.tv_sec) * 1000 + static_cast<uint64_t>(t.tv_nsec) / 1000000;
  const auto v = static_cast<uint32_t>(ms);
  return v ? v : 1;
}

uint32_t koRateMeter::read(uint32_t factor) {
  const uint32_t now = nowMs();
  const uint32_t start = _windowStart.load(std::memory_order_relaxed);
  if (start == 0) {
    _windowStart.store(now, std::memory_order_relaxed);
    _amount.store(0, std::memory_order_relaxed);
    return 0;
  }
  const uint32_t elapsed = now - start;
  // Twice within one millisecond: keep the window open rather than divide by 0.
  if (elapsed == 0) return 0;
  const uint32_t amount = _amount.exchange(0, std::memory_order_relaxed);
  _windowStart.store(now, std::memory_order_relaxed);
  const double rate = amount / (elapsed * 0.001) * factor;
  return rate >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(rate);
}
