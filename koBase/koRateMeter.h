// A rate over the time since it was last read: add() counts, read() returns
// count per second since the previous read (0 on the first read, which only
// opens the window) and starts a new window. Safe to add on one thread and
// read on another.
#pragma once

#include <atomic>
#include <cstdint>

class koRateMeter {
 public:
  void add(uint32_t amount) { _amount.fetch_add(amount, std::memory_order_relaxed); }
  void reset() {
    _windowStart.store(0, std::memory_order_relaxed);
    _amount.store(0, std::memory_order_relaxed);
  }
  // factor 8 turns bytes into bits.
  uint32_t read(uint32_t factor);
  static uint32_t nowMs();

 private:
  std::atomic<uint32_t> _windowStart{0};  // ms; 0 = window not opened
  std::atomic<uint32_t> _amount{0};
};
