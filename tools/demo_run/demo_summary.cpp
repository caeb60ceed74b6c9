#include "tools/demo_run/demo_summary.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <sstream>

namespace demo {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// The camera counts from 0 at each start of the sender's graph: the log
// falls into runs, one per start, each with its own frame numbers.
struct CaptureRun {
  int64_t start;
  std::map<uint64_t, int64_t> times;
};

std::vector<CaptureRun> splitRuns(const std::vector<Capture>& captures) {
  std::vector<CaptureRun> runs;
  uint64_t last = 0;
  for (const Capture& c : captures) {
    if (runs.empty() || c.frame <= last) runs.push_back({c.when, {}});
    runs.back().times.emplace(c.frame, c.when);
    last = c.frame;
  }
  return runs;
}

// The run the sender was in just before `end`: the last one started before.
const CaptureRun* runBefore(const std::vector<CaptureRun>& runs, int64_t end) {
  const CaptureRun* found = nullptr;
  for (const CaptureRun& r : runs)
    if (r.start < end) found = &r;
  return found;
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t i = size_t(p * double(values.size() - 1) + 0.5);
  return values[std::min(i, values.size() - 1)];
}

}  // namespace

std::vector<Capture> parseCaptureLog(const std::string& text) {
  std::vector<Capture> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    unsigned long long frame = 0;
    long long when = 0;
    std::string rest;
    // Times are CLOCK_MONOTONIC: never negative (which also keeps every
    // difference of two of them in range).
    if (fields >> frame >> when && when >= 0 && !(fields >> rest)) out.push_back({frame, when});
  }
  return out;
}

std::vector<ModeFigures> summarise(const std::vector<Capture>& captures,
                                   const std::vector<int64_t>& commandTimes, const ReceiverRun& receiver) {
  const size_t modes = commandTimes.size() + 1;
  std::vector<ModeFigures> figures(modes);
  const std::vector<CaptureRun> runs = splitRuns(captures);

  // Where each mode begins at this receiver: the first status change it
  // handled at or after the command (for the first mode: its first one).
  std::vector<int64_t> begins(modes + 1, kNever);
  for (size_t k = 0; k < modes; ++k) {
    const int64_t asked = k == 0 ? std::numeric_limits<int64_t>::min() : commandTimes[k - 1];
    for (int64_t t : receiver.statusChanges)
      if (t >= asked) {
        begins[k] = t;
        break;
      }
  }
  // A mode whose change never arrived ends nothing: the one before runs on.
  for (size_t k = modes; k-- > 1;)
    if (begins[k] == kNever) begins[k] = begins[k + 1];

  for (size_t k = 0; k < modes; ++k) {
    ModeFigures& f = figures[k];
    const int64_t senderEnd = k + 1 < modes ? commandTimes[k] : kNever;
    const CaptureRun* run = runBefore(runs, senderEnd);
    std::vector<double> latencies;
    std::set<uint32_t> seen;
    long previous = -1;
    for (const Picture& p : receiver.pictures) {
      if (p.when < begins[k] || p.when >= begins[k + 1]) continue;
      if (f.pictures++ == 0 && k > 0) f.switchMs = double(p.when - commandTimes[k - 1]) / 1e6;
      if (!p.frameRead || !run) continue;
      // A zoomed or blended picture may now and then pass the checksum with
      // a number the camera never took: only numbers of this run count.
      const auto captured = run->times.find(p.frame);
      if (captured == run->times.end() || captured->second > p.when) continue;
      if (long(p.frame) < previous) ++f.backwards;
      previous = long(p.frame);
      if (!seen.insert(p.frame).second) continue;  // the same picture shown again
      latencies.push_back(double(p.when - captured->second) / 1e6);
    }
    f.framesRead = seen.size();
    f.latencies = latencies.size();
    if (!latencies.empty()) {
      f.latencyMedianMs = percentile(latencies, 0.5);
      f.latencyP95Ms = percentile(latencies, 0.95);
    }
  }
  return figures;
}

bool showedEveryMode(const std::vector<ModeFigures>& modes, size_t minimum) {
  return std::all_of(modes.begin(), modes.end(), [&](const ModeFigures& m) { return m.pictures >= minimum; });
}

}  // namespace demo
