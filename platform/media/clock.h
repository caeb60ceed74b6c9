// The reference clock: the monotonic clock of the system in 100 ns units.
#pragma once
#include "platform/com/unknown_base.h"
#include "platform/media/filter_interfaces.h"

// Monotonic time in 100 ns units.
REFERENCE_TIME monotonicTime100ns();

class SystemClock final : public IReferenceClock, public UnknownBase {
 public:
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetTime(REFERENCE_TIME* time) override;
};
