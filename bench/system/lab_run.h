// Runs one system once in the network lab: its sending side in one
// station, its receiving side in one or more others, the test-pattern
// pictures paced into the sender, the decoded pictures timed at each
// receiver's sink.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/lab_station.h"
#include "bench/system/run_record.h"
#include "bench/system/system_runner.h"
#include "tools/netlab/station_worker.h"

class LabRun {
 public:
  LabRun(const std::string& senderStation, const std::vector<std::string>& receiverStations);
  // Whether every station thread entered its station.
  bool ready();
  size_t receiverStations() const { return receivers_.size(); }
  // Something done while a system that captures its own pictures sends,
  // in place of waiting for setup.frames: it sees every receiving side's
  // sink and may add to the record.
  using WhileSending = std::function<void(const std::vector<const FrameSink*>& sinks, RunRecord& record)>;
  // setup.frames pictures; addresses are filled in here. sides[0] sends and
  // receives in the first receiving station; sides[k] (instances of the
  // same system) only receive, in station k. At most receiverStations().
  RunRecord run(const std::vector<SystemRunner*>& sides, RunSetup setup, const std::string& phase,
                const std::string& impairment, const WhileSending& whileSending = {});
  RunRecord run(SystemRunner& system, RunSetup setup, const std::string& phase,
                const std::string& impairment) {
    return run(std::vector<SystemRunner*>{&system}, std::move(setup), phase, impairment);
  }

 private:
  // The kernel's counters of every station taking part and of the hub (the
  // lab's own namespace, where this process runs).
  struct Counters {
    lab::NetCounters sender, hub;
    std::vector<lab::NetCounters> receivers;
    uint64_t backlog = 0;
  };
  Counters readCounters(size_t receivingSides);
  static LabDrops labDrops(const Counters& before, const Counters& after, const std::string& interfaceName);

  std::string senderName_;
  std::vector<std::string> receiverNames_;
  netlab::StationWorker sender_;
  std::vector<std::unique_ptr<netlab::StationWorker>> receivers_;
};

// The machine's 1-minute load average.
double loadAverage();
