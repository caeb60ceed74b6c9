// The pointer records a renderer received: its sample callback feeds a
// RecordCollector.
#pragma once
#include "filters/pointer/tests/record_collector.h"
#include "platform/media/pin_interfaces.h"
#include "platform/media/results.h"

inline void collectSample(void* collector, IMediaSample* s) {
  uint8_t* p = nullptr;
  s->GetPointer(&p);
  REFERENCE_TIME a, b;
  static_cast<RecordCollector*>(collector)->add(p, static_cast<size_t>(s->GetActualDataLength()),
                                                s->GetTime(&a, &b) != VFW_E_SAMPLE_TIME_NOT_SET,
                                                s->IsSyncPoint() == S_OK);
}
