#include "bench/system/monitor_log.h"

#include <algorithm>
#include <sstream>

ReceiverDrops monitorDrops(const std::string& logText) {
  ReceiverDrops d;
  std::istringstream in(logText);
  for (std::string line; std::getline(in, line);) {
    std::istringstream row(line);
    std::string main, video;
    long long rate = 0, frameRate = 0, packets = 0, frames = 0, packetSize = 0;
    if (!(row >> main >> video >> rate >> frameRate >> packets >> frames >> packetSize)) continue;
    if (main != "main" || video != "video" || packets < 0 || frames < 0) continue;
    d.packets = std::max<int64_t>(d.packets, packets);
    d.frames = std::max<int64_t>(d.frames, frames);
  }
  return d;
}
