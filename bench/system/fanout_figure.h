// The fan-out figures drawn from the runs of one system with one and with
// several receiving stations.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "bench/system/run_record.h"

// Fan-out of one system at one size: the sender's processor time per frame
// with the fewest and with the most receiving stations, pooled over the
// runs of each count, and the lowest delivered share of any receiver in
// the runs with the most.
struct FanoutFigure {
  std::string system, size;
  size_t fewReceivers = 0, manyReceivers = 0;
  size_t fewRuns = 0, manyRuns = 0;
  double fewCpuMsPerFrame = 0, manyCpuMsPerFrame = 0;
  double ratio = 0;  // many / few
  // The same without the kernel's part (in the lab, the bridge's copy of
  // each datagram for every station runs in the sender's sends).
  double fewUserMsPerFrame = 0, manyUserMsPerFrame = 0, userRatio = 0;
  double lowestDeliveredShare = 0;
};
// Goals: the ratio at most this, every receiver at least this share.
constexpr double kFanoutRatioGoal = 1.05;
constexpr double kFanoutShareGoal = 0.999;
std::vector<FanoutFigure> fanoutFigures(const std::vector<RunRecord>& runs, Window window);
