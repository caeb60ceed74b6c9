#include "tools/pipeline_demo/frame_sequence.h"

#include <algorithm>
#include <unordered_map>
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

LatencySummary matchLatency(const std::vector<ProbeReading>& earlier,
                            const std::vector<ProbeReading>& later) {
  std::unordered_map<uint32_t, std::chrono::steady_clock::time_point> sent;
  for (const auto& r : earlier) sent.emplace(r.frame, r.at);  // keeps the first sighting
  std::unordered_set<uint32_t> done;
  std::vector<double> ms;
  for (const auto& r : later) {
    auto it = sent.find(r.frame);
    if (it == sent.end() || !done.insert(r.frame).second) continue;
    ms.push_back(std::chrono::duration<double, std::milli>(r.at - it->second).count());
  }
  LatencySummary l;
  l.matched = ms.size();
  if (ms.empty()) return l;
  std::sort(ms.begin(), ms.end());
  l.minMs = ms.front();
  l.maxMs = ms.back();
  l.medianMs = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
  return l;
}
