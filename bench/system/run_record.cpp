#include "bench/system/run_record.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "bench/system/json_fields.h"

namespace {

// Frames [first, end) of the window for one receiving side, and how many
// of them were sent.
struct Span {
  size_t first = 0, end = 0, sent = 0;
};

// The first picture after the receiver's start-up pause (see Window), 0
// when there is none: the first frame missed after the first picture, when
// it comes soon enough, and the next picture, when that comes soon enough.
// Numbers never sent are neither pictures nor missed.
size_t startupPauseEnd(const std::vector<double>& latencyMs, size_t firstPicture, Window w) {
  size_t i = firstPicture;
  while (i < latencyMs.size() && (latencyMs[i] >= 0 || latencyMs[i] == kNotSent)) ++i;
  if (i >= latencyMs.size() || i - firstPicture > w.pauseStartFrames) return 0;
  while (i < latencyMs.size() && latencyMs[i] < 0) ++i;
  if (i >= latencyMs.size() || i - firstPicture > w.pauseEndFrames) return 0;
  return i;
}

Span window(const std::vector<double>& latencyMs, Window w) {
  size_t last = latencyMs.size();
  while (last > 0 && latencyMs[last - 1] == kNotSent) --last;
  Span s;
  s.end = last > w.tailFrames ? last - w.tailFrames : 0;
  s.first = w.warmupFrames;
  for (size_t i = 0; i < latencyMs.size(); ++i)
    if (latencyMs[i] >= 0) {
      s.first = std::max({s.first, i + w.settleFrames, startupPauseEnd(latencyMs, i, w)});
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
  s.windowFirst = window(r.latencyMs, w).first;
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

namespace {

template <class Io, JsonRecord<StationDrops> R>
void jsonFields(Io& io, R& r) {
  io("rcvbuf_errors", r.rcvbufErrors);
  io("udp_in_errors", r.udpInErrors);
  io("link_drops", r.linkDrops);
  io("dropped_packets", r.droppedPackets);
  io("dropped_frames", r.droppedFrames);
}

template <class Io, JsonRecord<LabDrops> R>
void jsonFields(Io& io, R& r) {
  io("send_refused", r.sendRefused);
  io("send_link_drops", r.sendLinkDrops);
  io("hub_drops", r.hubDrops);
  io("backlog_drops", r.backlogDrops);
}

template <class Io, JsonRecord<ReceiverRecord> R>
void jsonFields(Io& io, R& r) {
  io("station", r.station);
  io("pictures_out", r.pictures);
  io("pictures_unreadable", r.unreadable);
  io("cpu_seconds", r.cpu);
  io("latency_ms_by_frame", r.latencyMs);
  io.optional("drops", r.drops);
}

template <class Io, JsonRecord<RunRecord> R>
void jsonFields(Io& io, R& r) {
  io("system", r.system);
  io("phase", r.phase);
  io("impairment", r.impairment);
  io("width", r.width);
  io("height", r.height);
  io("fps", r.fps);
  io("transmit_count", r.transmitCount);
  io("frames_sent", r.sent);
  io("pictures_out", r.pictures);
  io("pictures_unreadable", r.unreadable);
  io.object("cpu_seconds", [&](auto& cpu) {
    cpu("sender", r.senderCpu);
    cpu("receiver", r.receiverCpu);
    cpu.optional("sender_system", r.senderSystemCpu);
  });
  io("source_rate", r.rate);
  io("load_average", r.loadAverage);
  // Records of runs before the wire count, fan-out and the drop counters
  // have none of them.
  io.optional("wire_bytes", r.wireBytes);
  io("latency_ms_by_frame", r.latencyMs);
  io.optional("drops", r.drops);
  io.optional("lab_drops", r.labDrops);
  io.optional("more_receivers", r.moreReceivers);
  io.optional("mode_changes", r.modeChanges);
  io("error", r.error);
}

}  // namespace

JSON_FIELDS_CONVERSIONS(StationDrops)
JSON_FIELDS_CONVERSIONS(LabDrops)
JSON_FIELDS_CONVERSIONS(ReceiverRecord)
JSON_FIELDS_CONVERSIONS(RunRecord)
