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
    double cpuFew = 0, cpuMany = 0, userFew = 0, userMany = 0;
    size_t framesFew = 0, framesMany = 0;
    f.lowestDeliveredShare = 1;
    for (const RunRecord* r : list) {
      if (r->receivers() == f.fewReceivers) {
        cpuFew += r->senderCpu;
        userFew += r->senderCpu - r->senderSystemCpu;
        framesFew += r->sent;
        ++f.fewRuns;
      } else if (r->receivers() == f.manyReceivers) {
        cpuMany += r->senderCpu;
        userMany += r->senderCpu - r->senderSystemCpu;
        framesMany += r->sent;
        ++f.manyRuns;
        f.lowestDeliveredShare = std::min(f.lowestDeliveredShare, summarize(*r, window).lowestDeliveredShare);
      }
    }
    f.fewCpuMsPerFrame = cpuFew * 1000 / double(framesFew);
    f.manyCpuMsPerFrame = cpuMany * 1000 / double(framesMany);
    f.ratio = f.fewCpuMsPerFrame > 0 ? f.manyCpuMsPerFrame / f.fewCpuMsPerFrame : 0;
    f.fewUserMsPerFrame = userFew * 1000 / double(framesFew);
    f.manyUserMsPerFrame = userMany * 1000 / double(framesMany);
    f.userRatio = f.fewUserMsPerFrame > 0 ? f.manyUserMsPerFrame / f.fewUserMsPerFrame : 0;
    figures.push_back(f);
  }
  return figures;
}
