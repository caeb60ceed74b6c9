// The monitor lines the two headless programs print once a second, read
// back for the demo's live table.
#pragma once
#include <string>

namespace demo {

// talvex-send: "  12.0 s | VideoServer(Main) 812.3 Kbit/s 30 fps | ... | AudioServer 128.0 Kbit/s 38 fps"
struct SenderRates {
  double videoKbit = 0, audioKbit = 0;
  unsigned videoFps = 0, audioFps = 0;
};
bool parseSenderMonitor(const std::string& line, SenderRates& rates);

// morvane-receive: one row of its table, "  main video      812        30          0            0      1316"
struct ReceiverRow {
  unsigned kbit = 0, fps = 0, dropPackets = 0, dropFrames = 0;
};
// Which row the line is ("main video", "second video", "audio"); false for
// any other line.
bool parseReceiverRow(const std::string& line, std::string& name, ReceiverRow& row);

// morvane-receive's log line for a handled status change, "... Morvane:
// status change 0x000002 (focusDisplay): graph restarted after 1006 ms";
// `ms` is how long the handling took (the line comes at its end). False for
// any other line, and for the change that empties the graph.
bool parseGraphRestart(const std::string& line, long& ms);

}  // namespace demo
