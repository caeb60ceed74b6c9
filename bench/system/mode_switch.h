// Changes our sender's focus display while a run sends, and times each
// change at every receiving station (how a new mode is recognised: see
// mode_change.h).
#pragma once
#include <string>
#include <vector>

#include "bench/system/frame_sink.h"
#include "bench/system/mode_change.h"
#include "bench/system/ours_runner.h"

struct ModeSwitchPlan {
  size_t changes = 20;
  // Every step changes the picture size at the receivers.
  std::vector<std::string> cycle = {"none", "loupex", "compound", "loupex"};
  int startTimeoutMs = 30000;   // until every receiver shows steady pictures
  int changeTimeoutMs = 15000;  // for the sender's answer, then for every receiver to settle
  int pauseMs = 1000;           // between a settled change and the next command
};

// The picture size the receivers show for a focus display in such a run.
PictureSize modePictureSize(const std::string& mode, const RunSetup& setup);

// Runs the plan from the sender's first mode (the run starts in it). The
// changes made so far are left in *changes; returns why it stopped early,
// "" when every change was made.
std::string driveModeChanges(OursRunner& sender, const RunSetup& setup,
                             const std::vector<const FrameSink*>& sinks, const ModeSwitchPlan& plan,
                             std::vector<ModeChange>* changes);
