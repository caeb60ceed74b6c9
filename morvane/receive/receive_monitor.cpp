#include "morvane/receive/receive_monitor.h"

#include <cstdio>

#include "morvane/Morvane.h"

ReceiveMonitor readReceiveMonitor() {
  ReceiveMonitor m;
  m.mainVideo = {MorvaneGetVideoClientMainReceiveRate(), MorvaneGetVideoClientMainFrameRate(),
                 MorvaneGetVideoClientMainNumDropPackets(), MorvaneGetVideoClientMainNumDropFrames(),
                 MorvaneGetVideoClientMainPacketSize()};
  m.subVideo = {MorvaneGetVideoClientSubReceiveRate(), MorvaneGetVideoClientSubFrameRate(),
                MorvaneGetVideoClientSubNumDropPackets(), MorvaneGetVideoClientSubNumDropFrames(),
                MorvaneGetVideoClientSubPacketSize()};
  m.audio = {MorvaneGetAudioClientReceiveRate(), MorvaneGetAudioClientFrameRate(),
             MorvaneGetAudioClientNumDropPackets(), MorvaneGetAudioClientNumDropFrames(),
             MorvaneGetAudioClientPacketSize()};
  return m;
}

std::string formatReceiveMonitor(double seconds, const ReceiveMonitor& m) {
  char line[160];
  std::snprintf(line, sizeof line, "[%5.0f s]       Kbit/s  frames/s  drop pkts  drop frames  packet B\n",
                seconds);
  std::string out = line;
  const struct {
    const char* name;
    const ReceiveMonitorRow& r;
  } rows[] = {{"main video", m.mainVideo}, {"second video", m.subVideo}, {"audio", m.audio}};
  for (const auto& row : rows) {
    // Kbit as the GUI shows it: 1024 bits.
    std::snprintf(line, sizeof line, "  %-12s %8u  %8u  %9u  %11u  %8u\n", row.name, row.r.receiveRate / 1024,
                  row.r.frameRate, row.r.dropPackets, row.r.dropFrames, row.r.packetSize);
    out += line;
  }
  return out;
}
