#include "pellum/mxObject.h"

unsigned mxObject::ref() { return count_.fetch_add(1, std::memory_order_acq_rel) + 1; }

unsigned mxObject::unref() {
  uint32_t current = count_.load(std::memory_order_acquire);
  while (current != 0) {
    if (count_.compare_exchange_weak(current, current - 1, std::memory_order_acq_rel)) return current - 1;
  }
  return 0;
}

void mxObject::destroy() {
  uint32_t current = count_.load(std::memory_order_acquire);
  while (current != 0) {
    if (count_.compare_exchange_weak(current, current - 1, std::memory_order_acq_rel)) return;
  }
  _destroy();
}
