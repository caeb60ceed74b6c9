// What one run of one system left behind, and the figures drawn from it.
// Records travel as JSON between the lab runs and the report.
#pragma once
#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

struct RunRecord {
  std::string system;
  std::string phase;       // "latency" (clean lab) or "loss" (impaired lab)
  std::string impairment;  // what the lab did to the packets, "" for nothing
  int width = 0, height = 0, fps = 30;
  int transmitCount = 1;
  size_t sent = 0;                        // pictures the sender was given
  size_t pictures = 0;                    // pictures that came out of the receiver
  size_t unreadable = 0;                  // of those, pictures without a readable frame number
  double senderCpu = 0, receiverCpu = 0;  // processor seconds
  double rate = 0;                        // frames per second the source kept
  double loadAverage = 0;                 // the machine's 1-minute load average at the start
  // Capture to decoded picture per frame number (ms), -1 when it never came.
  std::vector<double> latencyMs;
  std::string error;  // why the run failed, "" when it ran
};

struct RunSummary {
  size_t delivered = 0;          // frame numbers seen at the receiver, all frames
  double deliveredShareAll = 0;  // of all frames sent
  size_t measured = 0;           // frames sent in the measured window
  double deliveredShare = 0;     // of those, the share seen at the receiver
  double medianMs = 0, p99Ms = 0, minMs = 0, maxMs = 0;
  double senderCpuMsPerFrame = 0, receiverCpuMsPerFrame = 0;
};

// Latency figures and the delivered share come from the frames sent in a
// window that leaves out the first warmupFrames (the programs starting up,
// a receiver waiting for its first key frame), the frames up to
// settleFrames after the first one that came out (a receiver that follows
// the sender's status builds its graph first) and the last tailFrames (the
// end of the stream, which some receivers hold until more data comes);
// processor time counts every frame.
struct Window {
  size_t warmupFrames = 60;
  size_t tailFrames = 10;
  size_t settleFrames = 30;
};
RunSummary summarize(const RunRecord& r, Window w);
// The delivered latencies of the frames in the window, sorted.
std::vector<double> measuredLatencies(const RunRecord& r, Window w);

void to_json(nlohmann::json& j, const RunRecord& r);
void from_json(const nlohmann::json& j, RunRecord& r);
