#include "bench/system/mode_switch.h"

#include <chrono>
#include <functional>
#include <thread>

#include "bench/system/frame_source.h"

namespace {

// Pictures in a row, without a pause, that make a receiver settled: more
// than its graph's first run (0.5 s) before it stops it and starts it again.
constexpr size_t kSettledPictures = 30;
constexpr auto kPoll = std::chrono::milliseconds(50);

// Whether the sink's latest kSettledPictures pictures, all after `since`,
// have the size and came without a pause, the last one just now.
bool settled(const FrameSink& sink, int64_t since, PictureSize size) {
  const std::vector<PictureSeen> seen = sink.seen();
  if (seen.size() < kSettledPictures) return false;
  int64_t later = monotonicNs();
  for (size_t i = seen.size(); i-- > seen.size() - kSettledPictures;) {
    const PictureSeen& p = seen[i];
    if (p.when < since || PictureSize{p.width, p.height} != size || later - p.when > kPictureGapNs)
      return false;
    later = p.when;
  }
  return true;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

bool allSettled(const std::vector<const FrameSink*>& sinks, int64_t since, PictureSize size) {
  for (const FrameSink* sink : sinks)
    if (!settled(*sink, since, size)) return false;
  return true;
}

}  // namespace

PictureSize modePictureSize(const std::string& mode, const RunSetup& setup) {
  if (mode == "loupex") return {OursRunner::kLoupexWidth, OursRunner::kLoupexHeight};
  return {setup.width, setup.height};
}

std::string driveModeChanges(OursRunner& sender, const RunSetup& setup,
                             const std::vector<const FrameSink*>& sinks, const ModeSwitchPlan& plan,
                             std::vector<ModeChange>* changes) {
  if (plan.cycle.size() < 2) return "a cycle of modes needs two";
  for (size_t i = 0; i < plan.cycle.size(); ++i)
    if (modePictureSize(plan.cycle[i], setup) ==
        modePictureSize(plan.cycle[(i + 1) % plan.cycle.size()], setup))
      return "the modes " + plan.cycle[i] + " and the next show the same picture size here";
  if (!waitUntil([&] { return allSettled(sinks, 0, modePictureSize(plan.cycle[0], setup)); },
                 plan.startTimeoutMs))
    return "not every receiver showed steady pictures of the first mode";
  std::this_thread::sleep_for(std::chrono::milliseconds(plan.pauseMs));

  std::vector<int64_t> commanded;
  std::string stopped;
  for (size_t i = 0; i < plan.changes && stopped.empty(); ++i) {
    ModeChange c;
    c.from = plan.cycle[i % plan.cycle.size()];
    c.to = plan.cycle[(i + 1) % plan.cycle.size()];
    const int64_t start = monotonicNs();
    LineReader::Line answer;
    if (!sender.command("mode " + c.to, &answer, plan.changeTimeoutMs)) {
      stopped = "the sender did not answer \"mode " + c.to + "\"";
    } else {
      c.answer = answer.text;
      c.answerMs = double(answer.when - start) * 1e-6;
      if (answer.text.find("error") != std::string::npos) stopped = "the sender refused: " + answer.text;
    }
    commanded.push_back(start);
    changes->push_back(std::move(c));
    // Not every receiver settling is a figure (the change shows as never
    // seen), not a reason to stop.
    if (stopped.empty()) {
      waitUntil([&] { return allSettled(sinks, start, modePictureSize(changes->back().to, setup)); },
                plan.changeTimeoutMs);
      std::this_thread::sleep_for(std::chrono::milliseconds(plan.pauseMs));
    }
  }

  commanded.push_back(monotonicNs());
  for (size_t i = 0; i < changes->size(); ++i) {
    ModeChange& c = (*changes)[i];
    const PictureSize size = modePictureSize(c.to, setup);
    for (const FrameSink* sink : sinks) {
      double first = -1, steady = -1;
      size_t stray = 0;
      timeModeChange(sink->seen(), commanded[i], commanded[i + 1], size, &first, &steady, &stray);
      c.firstMs.push_back(first);
      c.settledMs.push_back(steady);
      c.strayPictures.push_back(stray);
    }
  }
  return stopped;
}
