#include "bench/system/monitor_log.h"

#include <algorithm>
#include <sstream>

#include "tools/demo_run/monitor_lines.h"

ReceiverDrops monitorDrops(const std::string& logText) {
  ReceiverDrops d;
  std::istringstream in(logText);
  for (std::string line; std::getline(in, line);) {
    std::string name;
    demo::ReceiverRow row;
    if (!demo::parseReceiverRow(line, name, row) || name != "main video") continue;
    d.packets = std::max<int64_t>(d.packets, row.dropPackets);
    d.frames = std::max<int64_t>(d.frames, row.dropFrames);
  }
  return d;
}
