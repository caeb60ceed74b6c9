#include "tools/lab_probes/frame_sequence.h"

#include <algorithm>
#include <unordered_set>

SequenceSummary summariseSequence(const std::vector<uint32_t>& frames) {
  SequenceSummary s;
  s.count = frames.size();
  if (frames.empty()) return s;
  s.first = frames.front();
  s.last = frames.back();
  s.lowest = *std::min_element(frames.begin(), frames.end());
  s.highest = *std::max_element(frames.begin(), frames.end());
  for (size_t i = 1; i < frames.size(); ++i) {
    if (frames[i] > frames[i - 1])
      ++s.forward;
    else if (frames[i] == frames[i - 1])
      ++s.repeated;
    else
      ++s.backward;
  }
  std::unordered_set<uint32_t> seen(frames.begin(), frames.end());
  s.missing = static_cast<size_t>(s.highest - s.lowest) + 1 - seen.size();
  return s;
}

std::vector<uint32_t> frameNumbers(const std::vector<ProbeReading>& readings) {
  std::vector<uint32_t> out;
  out.reserve(readings.size());
  for (const auto& r : readings) out.push_back(r.frame);
  return out;
}
