#include "bench/system/lab_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bench/lab_station.h"
#include "bench/system/frame_sink.h"
#include "bench/system/frame_source.h"

namespace {

// Time the receiving side gets to start and join the group before the
// sender starts, and the sender before its first picture.
constexpr auto kReceiverStart = std::chrono::milliseconds(600);
constexpr auto kSenderStart = std::chrono::milliseconds(300);
// Time after the sender ended for the last pictures to come out.
constexpr auto kGrace = std::chrono::milliseconds(1000);

StationDrops stationDrops(const lab::NetCounters& before, const lab::NetCounters& after,
                          const std::string& interfaceName, const SystemRunner& side) {
  const lab::NetCounters d = after - before;
  StationDrops s;
  s.rcvbufErrors = d.udp.rcvbufErrors;
  s.udpInErrors = d.udp.inErrors;
  if (const auto link = d.links.find(interfaceName); link != d.links.end()) s.linkDrops = link->second.rxDropped;
  const ReceiverDrops own = side.receiverDrops();
  s.droppedPackets = own.packets;
  s.droppedFrames = own.frames;
  return s;
}

}  // namespace

double loadAverage() {
  double load = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  return load;
}

LabRun::LabRun(const std::string& senderStation, const std::vector<std::string>& receiverStations)
    : senderName_(senderStation), receiverNames_(receiverStations), sender_(senderStation) {
  for (const std::string& name : receiverStations)
    receivers_.push_back(std::make_unique<netlab::StationWorker>(name));
}

bool LabRun::ready() {
  if (!sender_.entered()) return false;
  for (auto& r : receivers_)
    if (!r->entered()) return false;
  return true;
}

LabRun::Counters LabRun::readCounters(size_t receivingSides) {
  Counters c;
  c.backlog = lab::backlogDrops();
  c.hub = lab::readNetCounters();
  c.sender = sender_.call<lab::NetCounters>(lab::readNetCounters);
  for (size_t k = 0; k < receivingSides && k < receivers_.size(); ++k)
    c.receivers.push_back(receivers_[k]->call<lab::NetCounters>(lab::readNetCounters));
  return c;
}

LabDrops LabRun::labDrops(const Counters& before, const Counters& after, const std::string& interfaceName) {
  LabDrops d;
  const lab::NetCounters sender = after.sender - before.sender;
  d.sendRefused = sender.udp.sndbufErrors;
  if (const auto link = sender.links.find(interfaceName); link != sender.links.end())
    d.sendLinkDrops = link->second.txDropped;
  for (const auto& [name, link] : (after.hub - before.hub).links) d.hubDrops += link.rxDropped + link.txDropped;
  d.backlogDrops = after.backlog > before.backlog ? after.backlog - before.backlog : 0;
  return d;
}

RunRecord LabRun::run(const std::vector<SystemRunner*>& sides, RunSetup setup, const std::string& phase,
                      const std::string& impairment, const WhileSending& whileSending) {
  SystemRunner& system = *sides.front();
  RunRecord r;
  r.system = system.name();
  r.phase = phase;
  r.impairment = impairment;
  r.width = setup.width;
  r.height = setup.height;
  r.fps = setup.fps;
  r.transmitCount = system.transmitCountUsed(setup);
  r.loadAverage = loadAverage();
  r.error = system.unavailable();
  if (!r.error.empty()) return r;
  if (sides.size() > receivers_.size()) {
    r.error = "the lab has too few receiving stations";
    return r;
  }
  setup.senderAddress = sender_.call<std::string>(lab::stationAddress);
  setup.receiverAddress = receivers_[0]->call<std::string>(lab::stationAddress);
  if (setup.senderAddress.empty() || setup.receiverAddress.empty()) {
    r.error = "the stations have no IPv4 address";
    return r;
  }

  // One sink and one log name per receiving side.
  std::vector<std::unique_ptr<FrameSink>> sinks;
  std::vector<RunSetup> setups;
  for (size_t k = 0; k < sides.size(); ++k) {
    sinks.push_back(std::make_unique<FrameSink>(setup.width, setup.height, setup.frames));
    setups.push_back(setup);
    if (k) setups[k].logPrefix += "-" + receiverNames_[k];
  }
  // The kernel's counters of every station and of the hub (this thread's
  // namespace), before and after, to tell where anything was lost.
  const Counters before = readCounters(sides.size());
  auto stopReceivers = [&] {
    for (SystemRunner* side : sides) side->stopReceiver();
  };
  for (size_t k = 0; k < sides.size(); ++k)
    if (!receivers_[k]->call<bool>([&] { return sides[k]->startReceiver(setups[k], *sinks[k]); })) {
      r.error = "the receiving side in " + receiverNames_[k] + " did not start";
      stopReceivers();
      return r;
    }
  std::this_thread::sleep_for(kReceiverStart);
  SenderInput input;
  const uint64_t bytesBefore = sender_.call<lab::NetCounters>(lab::readNetCounters).links[setup.interfaceName].txBytes;
  if (!sender_.call<bool>([&] { return system.startSender(setup, &input); })) {
    r.error = "the sending side did not start";
    system.stopSender();
    stopReceivers();
    return r;
  }
  std::this_thread::sleep_for(kSenderStart);
  FrameSource source(setup.width, setup.height, setup.fps);
  std::vector<int64_t> captured;
  if (input.pictureFd >= 0) {
    const std::atomic<bool> stop{false};
    source.run(input.pictureFd, setup.frames, stop);
    captured = source.captureTimes();
    r.rate = source.achievedRate();
  } else if (whileSending) {
    std::vector<const FrameSink*> all;
    for (const auto& sink : sinks) all.push_back(sink.get());
    whileSending(all, r);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 * int64_t(setup.frames) / setup.fps));
  }
  // Frames a camera of the system's own takes while its sender shuts down
  // (after telling the receivers that it stops) are not part of the run.
  const int64_t stopAt = monotonicNs();
  system.stopSender();
  const uint64_t bytesAfter = sender_.call<lab::NetCounters>(lab::readNetCounters).links[setup.interfaceName].txBytes;
  if (bytesBefore && bytesAfter > bytesBefore) r.wireBytes = bytesAfter - bytesBefore;
  if (input.pictureFd < 0) {
    captured = system.captureTimes();
    r.rate = setup.fps;
  }
  std::this_thread::sleep_for(kGrace);
  stopReceivers();
  const Counters after = readCounters(sides.size());
  r.labDrops = labDrops(before, after, setup.interfaceName);
  r.drops = stationDrops(before.receivers[0], after.receivers[0], setup.interfaceName, system);

  for (const int64_t c : captured)
    if (c && c < stopAt) ++r.sent;
  // Capture to first arrival of each frame number at one sink.
  auto latencies = [&](const FrameSink& sink) {
    const std::vector<int64_t> arrived = sink.arrivals();
    std::vector<double> ms(captured.size(), -1);
    for (size_t i = 0; i < captured.size(); ++i)
      if (!captured[i] || captured[i] >= stopAt)
        ms[i] = kNotSent;
      else if (i < arrived.size() && arrived[i] >= captured[i])
        ms[i] = double(arrived[i] - captured[i]) * 1e-6;
    return ms;
  };
  const CpuUse cpu = system.cpu();
  r.senderCpu = cpu.sender;
  r.senderSystemCpu = cpu.senderSystem;
  r.receiverCpu = cpu.receiver;
  r.pictures = sinks[0]->pictures();
  r.unreadable = sinks[0]->unreadable();
  r.latencyMs = latencies(*sinks[0]);
  for (size_t k = 1; k < sides.size(); ++k) {
    ReceiverRecord more;
    more.station = receiverNames_[k];
    more.pictures = sinks[k]->pictures();
    more.unreadable = sinks[k]->unreadable();
    more.cpu = sides[k]->cpu().receiver;
    more.latencyMs = latencies(*sinks[k]);
    more.drops = stationDrops(before.receivers[k], after.receivers[k], setup.interfaceName, *sides[k]);
    r.moreReceivers.push_back(std::move(more));
  }
  return r;
}
