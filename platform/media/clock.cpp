#include "platform/media/clock.h"

#include <ctime>

REFERENCE_TIME monotonicTime100ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return REFERENCE_TIME(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

HRESULT SystemClock::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IReferenceClock)
    return getInterface(static_cast<IReferenceClock*>(this), object);
  return E_NOINTERFACE;
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = monotonicTime100ns();
  return S_OK;
}
