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

// What one receiving station lost in a run, by where it was lost: the
// kernel's counters of its namespace over the run, and the receiver's own
// count of what its reassembly dropped (-1 when the system does not tell).
struct StationDrops {
  uint64_t rcvbufErrors = 0;  // UDP datagrams dropped for a full socket receive buffer
  uint64_t udpInErrors = 0;   // every UDP datagram not delivered (includes the above)
  uint64_t linkDrops = 0;     // packets its interface dropped on the way in
  int64_t droppedPackets = -1, droppedFrames = -1;  // the receiver's own (main video)
};

// A receiving side after the first one, in a run with several receiving
// stations (fan-out): its own pictures, frame arrivals and processor time.
struct ReceiverRecord {
  std::string station;
  size_t pictures = 0, unreadable = 0;
  double cpu = 0;  // processor seconds
  std::vector<double> latencyMs;
  StationDrops drops;
};

// What the sending station and the lab between the stations lost in a run.
// The kernel counts a datagram it refused on sending (the socket's buffer
// or the interface's queue full) in SndbufErrors and, for a full queue
// behind a veth, in the interface's transmit drops. Our transport waits
// and sends such a datagram again, so for it these two count congestion,
// not loss; a sender that ignores the refusal loses the datagram.
struct LabDrops {
  uint64_t sendRefused = 0;    // the sending station's UDP SndbufErrors
  uint64_t sendLinkDrops = 0;  // its interface's transmit drops
  uint64_t hubDrops = 0;       // packets the hub's bridge ports dropped, either way
  uint64_t backlogDrops = 0;   // input backlog overflows, machine-wide (other work included)
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
  double senderSystemCpu = 0;             // of senderCpu, in the kernel
  double rate = 0;                        // frames per second the source kept
  double loadAverage = 0;                 // the machine's 1-minute load average at the start
  // Bytes the sending station put on its network interface in the run
  // (0: not measured).
  uint64_t wireBytes = 0;
  // Capture to decoded picture per frame number (ms), -1 when it never
  // came, kNotSent for a number the sender never had (a camera that runs
  // late skips numbers).
  std::vector<double> latencyMs;
  StationDrops drops;                         // of the first receiving side
  LabDrops labDrops;
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
  // Frame number where the window of the first receiving side begins.
  size_t windowFirst = 0;
  // Bits per second on the sending station's wire while it sent the run's
  // frames (headers and repeats included), 0 when not measured.
  double wireBitsPerSecond = 0;
};

// Latency figures and the delivered share come from the frames sent in a
// window that leaves out the first warmupFrames (the programs starting up,
// a receiver waiting for its first key frame), the frames up to
// settleFrames after the first one that came out, the receiver's start-up
// pause (below) and the last tailFrames (the end of the stream, which some
// receivers hold until more data comes); processor time counts every frame.
// Our receiver follows the sender's status: it builds its graph, runs it
// for 0.5 s, stops it for 0.5 s and starts it again, and then waits for the
// next key frame (one every 30 frames), so its first pictures are followed
// by a gap of 15 + 15 + up to 30 frames that is no loss. On a busy machine
// the restart comes later and the gap ends only at a later key frame (it
// has ended at 3 s). So a gap that begins at most pauseStartFrames after
// the first picture and ends at most pauseEndFrames after it is that
// start-up pause, and the window begins after it; a later gap, or one that
// lasts longer, counts as loss.
struct Window {
  size_t warmupFrames = 60;
  size_t tailFrames = 10;
  size_t settleFrames = 60;
  size_t pauseStartFrames = 45;
  size_t pauseEndFrames = 150;
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
void to_json(nlohmann::json& j, const StationDrops& d);
void from_json(const nlohmann::json& j, StationDrops& d);
void to_json(nlohmann::json& j, const LabDrops& d);
void from_json(const nlohmann::json& j, LabDrops& d);
