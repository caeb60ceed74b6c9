// One change of the sender's focus display as the receiving stations saw
// it, and the figures drawn from a run of such changes.
//
// How a receiver's "first picture of the new mode" is told: by its size.
// The sender is set up so that Loupex shows a picture size (320x240) that
// differs from the main video format (CIF) that None and ImageCompound
// show, and the changes go None -> Loupex -> ImageCompound -> Loupex ->
// None ..., so that every change changes the size of the rendered picture.
// A picture of the new size can only come out of the graph the receiver
// built for the new mode, whatever the picture shows (the zoom depends on
// the sender's pointer, the compound on its cut-out), so the criterion does
// not rest on what the pictures look like.
#pragma once
#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "bench/system/frame_sink.h"

struct ModeChange {
  std::string from, to;  // "none", "loupex", "compound"
  std::string answer;    // the sender's answer to the command
  double answerMs = -1;  // command to answer (the sender rebuilt its graph)
  // Per receiving side, from the command: the first picture of the new
  // mode, and the first one after which the new mode's pictures flow
  // without a pause (the receiver restarts its graph once more after
  // building it); -1 when it never came.
  std::vector<double> firstMs, settledMs;
  // Per receiving side: pictures of another size after the first of the
  // new mode (0 when the change was clean).
  std::vector<size_t> strayPictures;
};

struct PictureSize {
  int width = 0, height = 0;
  bool operator==(const PictureSize&) const = default;
};

// A pause in the pictures longer than this means the receiver's graph was
// not running.
constexpr int64_t kPictureGapNs = 250'000'000;

// The figures of one receiving side for a change commanded at commandNs;
// pictures from untilNs on (the next change) are not looked at.
void timeModeChange(const std::vector<PictureSeen>& pictures, int64_t commandNs, int64_t untilNs,
                    PictureSize newSize, double* firstMs, double* settledMs, size_t* stray);

struct ModeSwitchSummary {
  size_t changes = 0, receivers = 0;
  size_t shown = 0;  // (change, receiver) pairs that showed the new mode
  double firstMedianMs = 0, firstP99Ms = 0, firstMaxMs = 0;
  double settledMedianMs = 0, settledP99Ms = 0;
  double answerMedianMs = 0;
  size_t strayPictures = 0;
};
// Goal: the median of the first-picture times at most this.
constexpr double kModeSwitchGoalMs = 1500;
ModeSwitchSummary summarizeModeChanges(const std::vector<ModeChange>& changes);

void to_json(nlohmann::json& j, const ModeChange& c);
void from_json(const nlohmann::json& j, ModeChange& c);
