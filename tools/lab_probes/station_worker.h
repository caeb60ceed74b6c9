// A lab station's task thread with the component
// model initialised on it.
#pragma once
#include <string>

#include "platform/com/runtime.h"
#include "tools/netlab/station_worker.h"

class StationWorker : public netlab::StationWorker {
 public:
  explicit StationWorker(const std::string& station)
      : netlab::StationWorker(
            station, [] { CoInitialize(nullptr); }, [] { CoUninitialize(); }) {}
};
