// Our receiver prints its receive monitor every second (morvane-receive
// without --quiet); its log then tells what its own reassembly dropped:
//   "  main video      1234        30          0            0      1024"
//   (Kbit/s, frames/s, dropped packets, dropped frames, packet size).
#pragma once
#include <string>

#include "bench/system/system_runner.h"

// The largest dropped-packet and dropped-frame counts of the main video
// rows in the log's text (the counts start again with each graph the
// receiver builds, and its last rows come after the sender stopped and the
// graph was emptied); -1 each when there is no such row.
ReceiverDrops monitorDrops(const std::string& logText);
