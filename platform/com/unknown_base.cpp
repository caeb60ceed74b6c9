#include "platform/com/unknown_base.h"

UnknownBase::~UnknownBase() {
  if (moduleCounter_) moduleCounter_->fetch_sub(1);
}

ULONG UnknownBase::nonDelegatingAddRef() {
  return refs_.fetch_add(1) + 1;
}

ULONG UnknownBase::nonDelegatingRelease() {
  ULONG left = refs_.fetch_sub(1) - 1;
  if (left == 0) {
    // Guard against re-entry while the destructor releases references that
    // lead back to this object.
    refs_.store(1);
    delete this;
  }
  return left;
}

void UnknownBase::bindModuleCounter(std::atomic<long>* counter) {
  if (moduleCounter_ || !counter) return;
  moduleCounter_ = counter;
  counter->fetch_add(1);
}
