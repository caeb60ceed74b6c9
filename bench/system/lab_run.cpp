#include "bench/system/lab_run.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bench/system/frame_sink.h"
#include "bench/system/frame_source.h"

namespace {

// Time the receiving side gets to start and join the group before the
// sender starts, and the sender before its first picture.
constexpr auto kReceiverStart = std::chrono::milliseconds(600);
constexpr auto kSenderStart = std::chrono::milliseconds(300);
// Time after the sender ended for the last pictures to come out.
constexpr auto kGrace = std::chrono::milliseconds(1000);

// The IPv4 address of the calling thread's station (not loopback).
std::string stationAddress() {
  ifaddrs* list = nullptr;
  std::string found;
  if (getifaddrs(&list) != 0) return found;
  for (ifaddrs* a = list; a && found.empty(); a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || std::string(a->ifa_name) == "lo") continue;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text);
    found = text;
  }
  freeifaddrs(list);
  return found;
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

uint64_t interfaceBytesSent(const std::string& interfaceName) {
  // The namespace of this thread, not of the process: stations are entered
  // per thread.
  FILE* f = std::fopen("/proc/thread-self/net/dev", "r");
  if (!f) return 0;
  char line[512];
  uint64_t sent = 0;
  while (std::fgets(line, sizeof line, f)) {
    char name[64];
    unsigned long long v[9];
    if (std::sscanf(line, " %63[^:]: %llu %llu %llu %llu %llu %llu %llu %llu %llu", name, &v[0], &v[1], &v[2],
                    &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 10 &&
        interfaceName == name)
      sent = v[8];
  }
  std::fclose(f);
  return sent;
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
  setup.senderAddress = sender_.call<std::string>(stationAddress);
  setup.receiverAddress = receivers_[0]->call<std::string>(stationAddress);
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
  const uint64_t bytesBefore =
      sender_.call<uint64_t>([&] { return interfaceBytesSent(setup.interfaceName); });
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
  const uint64_t bytesAfter = sender_.call<uint64_t>([&] { return interfaceBytesSent(setup.interfaceName); });
  if (bytesBefore && bytesAfter > bytesBefore) r.wireBytes = bytesAfter - bytesBefore;
  if (input.pictureFd < 0) {
    captured = system.captureTimes();
    r.rate = setup.fps;
  }
  std::this_thread::sleep_for(kGrace);
  stopReceivers();

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
    r.moreReceivers.push_back(std::move(more));
  }
  return r;
}
