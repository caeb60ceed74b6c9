// What one run of one system left behind, and the figures drawn from it.
// Records travel as JSON between the lab runs and the report.
#pragma once
#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "bench/system/mode_change.h"

constexpr double kNotSent = -2;

// A receiving side after the first one, in a run with several receiving
// stations (fan-out): its own pictures, frame arrivals and processor time.
struct ReceiverRecord {
  std::string station;
  size_t pictures = 0, unreadable = 0;
  double cpu = 0;  // processor seconds
  std::vector<double> latencyMs;
};

struct RunRecord {
  std::string system;
  std::string phase;       // "latency", "fanout", "switch" (clean lab) or "loss" (impaired lab)
  std::string impairment;  // what the lab did to the packets, "" for nothing
  int width = 0, height = 0, fps = 30;
  int transmitCount = 1;
  size_t sent = 0;                        // pictures the sender was given
  size_t pictures = 0;                    // pictures that came out of the receiver
  size_t unreadable = 0;                  // of those, pictures without a readable frame number
  double senderCpu = 0, receiverCpu = 0;  // processor seconds
  double rate = 0;                        // frames per second the source kept
  double loadAverage = 0;                 // the machine's 1-minute load average at the start
  // Bytes the sending station put on its network interface in the run
  // (0: not measured).
  uint64_t wireBytes = 0;
  // Capture to decoded picture per frame number (ms), -1 when it never
  // came, kNotSent for a number the sender never had (a camera that runs
  // late skips numbers).
  std::vector<double> latencyMs;
  std::vector<ReceiverRecord> moreReceivers;  // every receiving side after the first
  std::vector<ModeChange> modeChanges;        // focus-display changes in the run
  std::string error;                          // why the run failed, "" when it ran

  size_t receivers() const { return 1 + moreReceivers.size(); }
};

struct RunSummary {
  size_t delivered = 0;          // frame numbers seen at the receiver, all frames
  double deliveredShareAll = 0;  // of all frames sent
  size_t measured = 0;           // frames sent in the measured window
  double deliveredShare = 0;     // of those, the share seen at the receiver
  double medianMs = 0, p99Ms = 0, minMs = 0, maxMs = 0;
  double senderCpuMsPerFrame = 0, receiverCpuMsPerFrame = 0;  // receiver: mean of the receiving sides
  // The lowest delivered share (in the window) of all receiving sides.
  double lowestDeliveredShare = 0;
  // Bits per second on the sending station's wire while it sent the run's
  // frames (headers and repeats included), 0 when not measured.
  double wireBitsPerSecond = 0;
};

// Latency figures and the delivered share come from the frames sent in a
// window that leaves out the first warmupFrames (the programs starting up,
// a receiver waiting for its first key frame), the frames up to
// settleFrames after the first one that came out and the last tailFrames
// (the end of the stream, which some receivers hold until more data comes);
// processor time counts every frame.
// Our receiver follows the sender's status: it builds its graph, runs it
// for 0.5 s, stops it for 0.5 s and starts it again, and then waits for the
// next key frame (one every 30 frames), so its first pictures are followed
// by a gap of up to 15 + 15 + 30 frames that is no loss.
struct Window {
  size_t warmupFrames = 60;
  size_t tailFrames = 10;
  size_t settleFrames = 60;
};
RunSummary summarize(const RunRecord& r, Window w);
// The delivered latencies of the frames in the window, sorted (of the
// first receiving side, or of one with the frame arrivals given).
std::vector<double> measuredLatencies(const RunRecord& r, Window w);
std::vector<double> measuredLatencies(const std::vector<double>& latencyMs, Window w);

void to_json(nlohmann::json& j, const RunRecord& r);
void from_json(const nlohmann::json& j, RunRecord& r);
void to_json(nlohmann::json& j, const ReceiverRecord& r);
void from_json(const nlohmann::json& j, ReceiverRecord& r);
