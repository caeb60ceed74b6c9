// What the demo makes of one run: the sender's capture log, the moments it
// was told to change its focus display, and what each receiver showed
// (every rendered picture with the frame number read from its pixels, and
// the moments its engine handled a status change), turned into figures per
// receiver and per mode.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct Capture {
  uint64_t frame;
  int64_t when;  // ns, CLOCK_MONOTONIC
};

struct Picture {
  int64_t when;  // ns, when it came out of the receiver
  bool frameRead = false;
  uint32_t frame = 0;
};

struct ReceiverRun {
  std::vector<Picture> pictures;
  std::vector<int64_t> statusChanges;  // when the receiver began to handle each status change
};

struct ModeFigures {
  size_t pictures = 0;    // pictures shown in this mode
  size_t framesRead = 0;  // distinct frame numbers read from them (of frames the camera took)
  size_t backwards = 0;   // a frame number lower than the one before
  size_t latencies = 0;   // frames matched with their capture
  double latencyMedianMs = -1, latencyP95Ms = -1;
  double switchMs = -1;  // command to first picture of the mode (not for the first mode)
};

// The capture log as the test camera writes it ("<frame> <ns>" per line),
// in file order; malformed lines (and negative times) are skipped.
std::vector<Capture> parseCaptureLog(const std::string& text);

// Figures of one receiver: modes[0] from the start, modes[k] from the k-th
// command on. commandTimes[k - 1] is when the k-th change was asked for.
std::vector<ModeFigures> summarise(const std::vector<Capture>& captures,
                                   const std::vector<int64_t>& commandTimes, const ReceiverRun& receiver);

// Whether a receiver showed at least `minimum` pictures in every mode.
bool showedEveryMode(const std::vector<ModeFigures>& modes, size_t minimum);

}  // namespace demo
