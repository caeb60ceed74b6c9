#include "bench/system/run_record.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

// Frames [first, end) of the window for one receiving side, and how many
// of them were sent.
struct Span {
  size_t first = 0, end = 0, sent = 0;
};

Span window(const std::vector<double>& latencyMs, Window w) {
  size_t last = latencyMs.size();
  while (last > 0 && latencyMs[last - 1] == kNotSent) --last;
  Span s;
  s.end = last > w.tailFrames ? last - w.tailFrames : 0;
  s.first = w.warmupFrames;
  for (size_t i = 0; i < latencyMs.size(); ++i)
    if (latencyMs[i] >= 0) {
      s.first = std::max(s.first, i + w.settleFrames);
      break;
    }
  s.first = std::min(s.first, s.end);
  for (size_t i = s.first; i < s.end; ++i)
    if (latencyMs[i] != kNotSent) ++s.sent;
  return s;
}

double deliveredShare(const std::vector<double>& latencyMs, Window w) {
  const Span s = window(latencyMs, w);
  return s.sent ? double(measuredLatencies(latencyMs, w).size()) / double(s.sent) : 0;
}

}  // namespace

std::vector<double> measuredLatencies(const std::vector<double>& latencyMs, Window w) {
  std::vector<double> v;
  const Span s = window(latencyMs, w);
  for (size_t i = s.first; i < s.end; ++i)
    if (latencyMs[i] >= 0) v.push_back(latencyMs[i]);
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<double> measuredLatencies(const RunRecord& r, Window w) {
  return measuredLatencies(r.latencyMs, w);
}

RunSummary summarize(const RunRecord& r, Window w) {
  RunSummary s;
  for (double l : r.latencyMs)
    if (l >= 0) ++s.delivered;
  s.deliveredShareAll = r.sent ? double(s.delivered) / double(r.sent) : 0;
  const std::vector<double> v = measuredLatencies(r, w);
  s.measured = window(r.latencyMs, w).sent;
  s.deliveredShare = s.measured ? double(v.size()) / double(s.measured) : 0;
  if (!v.empty()) {
    s.medianMs = v[v.size() / 2];
    s.p99Ms = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    s.minMs = v.front();
    s.maxMs = v.back();
  }
  s.lowestDeliveredShare = s.deliveredShare;
  double receiverCpu = r.receiverCpu;
  for (const ReceiverRecord& more : r.moreReceivers) {
    s.lowestDeliveredShare = std::min(s.lowestDeliveredShare, deliveredShare(more.latencyMs, w));
    receiverCpu += more.cpu;
  }
  if (r.sent) {
    s.senderCpuMsPerFrame = r.senderCpu * 1000 / double(r.sent);
    s.receiverCpuMsPerFrame = receiverCpu * 1000 / double(r.sent) / double(r.receivers());
    if (r.fps > 0) s.wireBitsPerSecond = double(r.wireBytes) * 8 * r.fps / double(r.sent);
  }
  return s;
}

void to_json(nlohmann::json& j, const ReceiverRecord& r) {
  j = {{"station", r.station},
       {"pictures_out", r.pictures},
       {"pictures_unreadable", r.unreadable},
       {"cpu_seconds", r.cpu},
       {"latency_ms_by_frame", r.latencyMs}};
}

void from_json(const nlohmann::json& j, ReceiverRecord& r) {
  j.at("station").get_to(r.station);
  j.at("pictures_out").get_to(r.pictures);
  j.at("pictures_unreadable").get_to(r.unreadable);
  j.at("cpu_seconds").get_to(r.cpu);
  j.at("latency_ms_by_frame").get_to(r.latencyMs);
}

void to_json(nlohmann::json& j, const RunRecord& r) {
  j = {{"system", r.system},
       {"phase", r.phase},
       {"impairment", r.impairment},
       {"width", r.width},
       {"height", r.height},
       {"fps", r.fps},
       {"transmit_count", r.transmitCount},
       {"frames_sent", r.sent},
       {"pictures_out", r.pictures},
       {"pictures_unreadable", r.unreadable},
       {"cpu_seconds", {{"sender", r.senderCpu}, {"receiver", r.receiverCpu}}},
       {"source_rate", r.rate},
       {"load_average", r.loadAverage},
       {"wire_bytes", r.wireBytes},
       {"latency_ms_by_frame", r.latencyMs},
       {"more_receivers", r.moreReceivers},
       {"mode_changes", r.modeChanges},
       {"error", r.error}};
}

void from_json(const nlohmann::json& j, RunRecord& r) {
  j.at("system").get_to(r.system);
  j.at("phase").get_to(r.phase);
  j.at("impairment").get_to(r.impairment);
  j.at("width").get_to(r.width);
  j.at("height").get_to(r.height);
  j.at("fps").get_to(r.fps);
  j.at("transmit_count").get_to(r.transmitCount);
  j.at("frames_sent").get_to(r.sent);
  j.at("pictures_out").get_to(r.pictures);
  j.at("pictures_unreadable").get_to(r.unreadable);
  j.at("cpu_seconds").at("sender").get_to(r.senderCpu);
  j.at("cpu_seconds").at("receiver").get_to(r.receiverCpu);
  j.at("source_rate").get_to(r.rate);
  j.at("load_average").get_to(r.loadAverage);
  j.at("latency_ms_by_frame").get_to(r.latencyMs);
  // Records of runs before the wire count and fan-out have neither.
  r.wireBytes = j.value("wire_bytes", uint64_t{0});
  if (j.contains("more_receivers")) j.at("more_receivers").get_to(r.moreReceivers);
  if (j.contains("mode_changes")) j.at("mode_changes").get_to(r.modeChanges);
  j.at("error").get_to(r.error);
}
