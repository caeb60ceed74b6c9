#include "bench/system/mode_change.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "bench/system/json_fields.h"

void timeModeChange(const std::vector<PictureSeen>& pictures, int64_t commandNs, int64_t untilNs,
                    PictureSize newSize, double* firstMs, double* settledMs, size_t* stray) {
  *firstMs = *settledMs = -1;
  *stray = 0;
  int64_t first = 0, settled = 0, last = 0;
  for (const PictureSeen& p : pictures) {
    if (p.when < commandNs || p.when >= untilNs) continue;
    if (PictureSize{p.width, p.height} != newSize) {
      if (first) ++*stray;
      continue;
    }
    if (!first) first = settled = p.when;
    if (p.when - last > kPictureGapNs) settled = p.when;
    last = p.when;
  }
  if (first) {
    *firstMs = double(first - commandNs) * 1e-6;
    *settledMs = double(settled - commandNs) * 1e-6;
  }
}

namespace {

double at(const std::vector<double>& sorted, double share) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * share))];
}

}  // namespace

ModeSwitchSummary summarizeModeChanges(const std::vector<ModeChange>& changes) {
  ModeSwitchSummary s;
  s.changes = changes.size();
  std::vector<double> first, settled, answers;
  for (const ModeChange& c : changes) {
    s.receivers = std::max(s.receivers, c.firstMs.size());
    for (size_t k = 0; k < c.firstMs.size(); ++k) {
      if (c.firstMs[k] < 0) continue;
      ++s.shown;
      first.push_back(c.firstMs[k]);
      settled.push_back(c.settledMs[k]);
    }
    for (size_t n : c.strayPictures) s.strayPictures += n;
    if (c.answerMs >= 0) answers.push_back(c.answerMs);
  }
  for (auto* v : {&first, &settled, &answers}) std::sort(v->begin(), v->end());
  s.firstMedianMs = at(first, 0.5);
  s.firstP99Ms = at(first, 0.99);
  s.firstMaxMs = first.empty() ? 0 : first.back();
  s.settledMedianMs = at(settled, 0.5);
  s.settledP99Ms = at(settled, 0.99);
  s.answerMedianMs = at(answers, 0.5);
  return s;
}

namespace {

template <class Io, class C>
void jsonFields(Io& io, C& c) {
  io("from", c.from);
  io("to", c.to);
  io("answer", c.answer);
  io("answer_ms", c.answerMs);
  io("first_ms", c.firstMs);
  io("settled_ms", c.settledMs);
  io("stray_pictures", c.strayPictures);
}

}  // namespace

JSON_FIELDS_CONVERSIONS(ModeChange)
