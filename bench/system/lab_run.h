// Runs one system once between two stations of the network lab: its
// receiving side in one, its sending side in the other, the test-pattern
// pictures paced into the sender, the decoded pictures timed at the sink.
#pragma once
#include <string>

#include "bench/system/run_record.h"
#include "bench/system/system_runner.h"
#include "tools/netlab/station_worker.h"

class LabRun {
 public:
  LabRun(const std::string& senderStation, const std::string& receiverStation);
  // Whether both station threads entered their stations.
  bool ready();
  // setup.frames pictures; addresses are filled in here.
  RunRecord run(SystemRunner& system, RunSetup setup, const std::string& phase,
                const std::string& impairment);

 private:
  netlab::StationWorker sender_, receiver_;
};

// The machine's 1-minute load average.
double loadAverage();
