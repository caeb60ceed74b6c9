// The receive monitor: for main video, second video and audio, the receive
// rate, frame rate, dropped packets, dropped frames and packet size, as a
// table of three rows.
#pragma once
#include <cstdint>
#include <string>

struct ReceiveMonitorRow {
  uint32_t receiveRate = 0;  // bits per second
  uint32_t frameRate = 0;    // frames per second
  uint32_t dropPackets = 0, dropFrames = 0;
  uint32_t packetSize = 0;  // bytes
};

struct ReceiveMonitor {
  ReceiveMonitorRow mainVideo, subVideo, audio;
};

// Reads the fifteen statistics through the control functions.
ReceiveMonitor readReceiveMonitor();

// The table, headed by the elapsed seconds:
//   "[  12 s]        Kbit/s  frames/s  drop pkts  drop frames  packet B"
//   "  main video      1234        30          0            0      1024"
std::string formatReceiveMonitor(double seconds, const ReceiveMonitor& m);
