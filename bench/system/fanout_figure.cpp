#include "bench/system/fanout_figure.h"

#include <algorithm>
#include <map>
#include <utility>

std::vector<FanoutFigure> fanoutFigures(const std::vector<RunRecord>& runs, Window window) {
  std::vector<FanoutFigure> figures;
  std::map<std::pair<std::string, std::string>, std::vector<const RunRecord*>> groups;
  for (const RunRecord& r : runs)
    if (r.phase == "fanout" && r.error.empty() && r.sent)
      groups[{r.system, std::to_string(r.width) + "x" + std::to_string(r.height)}].push_back(&r);
  for (const auto& [key, list] : groups) {
    FanoutFigure f;
    f.system = key.first;
    f.size = key.second;
    f.fewReceivers = f.manyReceivers = list.front()->receivers();
    for (const RunRecord* r : list) {
      f.fewReceivers = std::min(f.fewReceivers, r->receivers());
      f.manyReceivers = std::max(f.manyReceivers, r->receivers());
    }
    if (f.fewReceivers == f.manyReceivers) continue;
    // The sender's time on each side, all of it and without the kernel's.
    struct Side {
      double cpu = 0, user = 0;
      size_t frames = 0;
      void add(const RunRecord& r) {
        cpu += r.senderCpu;
        user += r.senderCpu - r.senderSystemCpu;
        frames += r.sent;
      }
      double perFrameMs(double seconds) const { return seconds * 1000 / double(frames); }
    } few, many;
    f.lowestDeliveredShare = 1;
    for (const RunRecord* r : list) {
      if (r->receivers() == f.fewReceivers) {
        few.add(*r);
        ++f.fewRuns;
      } else if (r->receivers() == f.manyReceivers) {
        many.add(*r);
        ++f.manyRuns;
        f.lowestDeliveredShare = std::min(f.lowestDeliveredShare, summarize(*r, window).lowestDeliveredShare);
      }
    }
    const auto ratio = [](double manyMs, double fewMs) { return fewMs > 0 ? manyMs / fewMs : 0; };
    f.fewCpuMsPerFrame = few.perFrameMs(few.cpu);
    f.manyCpuMsPerFrame = many.perFrameMs(many.cpu);
    f.ratio = ratio(f.manyCpuMsPerFrame, f.fewCpuMsPerFrame);
    f.fewUserMsPerFrame = few.perFrameMs(few.user);
    f.manyUserMsPerFrame = many.perFrameMs(many.user);
    f.userRatio = ratio(f.manyUserMsPerFrame, f.fewUserMsPerFrame);
    figures.push_back(f);
  }
  return figures;
}
