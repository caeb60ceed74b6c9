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

LabRun::LabRun(const std::string& senderStation, const std::string& receiverStation)
    : sender_(senderStation), receiver_(receiverStation) {}

bool LabRun::ready() {
  return sender_.entered() && receiver_.entered();
}

RunRecord LabRun::run(SystemRunner& system, RunSetup setup, const std::string& phase,
                      const std::string& impairment) {
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
  setup.senderAddress = sender_.call<std::string>(stationAddress);
  setup.receiverAddress = receiver_.call<std::string>(stationAddress);
  if (setup.senderAddress.empty() || setup.receiverAddress.empty()) {
    r.error = "the stations have no IPv4 address";
    return r;
  }

  FrameSink sink(setup.width, setup.height, setup.frames);
  if (!receiver_.call<bool>([&] { return system.startReceiver(setup, sink); })) {
    r.error = "the receiving side did not start";
    system.stopReceiver();
    return r;
  }
  std::this_thread::sleep_for(kReceiverStart);
  SenderInput input;
  if (!sender_.call<bool>([&] { return system.startSender(setup, &input); })) {
    r.error = "the sending side did not start";
    system.stopSender();
    system.stopReceiver();
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
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 * int64_t(setup.frames) / setup.fps));
  }
  system.stopSender();
  if (input.pictureFd < 0) {
    captured = system.captureTimes();
    r.rate = setup.fps;
  }
  std::this_thread::sleep_for(kGrace);
  system.stopReceiver();

  const CpuUse cpu = system.cpu();
  r.senderCpu = cpu.sender;
  r.receiverCpu = cpu.receiver;
  r.pictures = sink.pictures();
  r.unreadable = sink.unreadable();
  const std::vector<int64_t> arrived = sink.arrivals();
  r.latencyMs.assign(captured.size(), -1);
  for (size_t i = 0; i < captured.size(); ++i) {
    if (!captured[i]) continue;
    ++r.sent;
    if (i < arrived.size() && arrived[i] >= captured[i])
      r.latencyMs[i] = double(arrived[i] - captured[i]) * 1e-6;
  }
  return r;
}
