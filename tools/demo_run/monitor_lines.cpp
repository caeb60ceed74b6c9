#include "tools/demo_run/monitor_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace demo {

namespace {

// "<name> <Kbit> Kbit/s <fps> fps" right after `name` in the line.
bool serverFigures(const std::string& line, const char* name, double& kbit, unsigned& fps) {
  const size_t at = line.find(name);
  if (at == std::string::npos) return false;
  return std::sscanf(line.c_str() + at + std::strlen(name), " %lf Kbit/s %u fps", &kbit, &fps) == 2;
}

}  // namespace

bool parseSenderMonitor(const std::string& line, SenderRates& rates) {
  if (line.find(" s | ") == std::string::npos) return false;
  SenderRates r;
  if (!serverFigures(line, "| VideoServer(Main)", r.videoKbit, r.videoFps)) return false;
  if (!serverFigures(line, "| AudioServer", r.audioKbit, r.audioFps)) return false;
  rates = r;
  return true;
}

bool parseReceiverRow(const std::string& line, std::string& name, ReceiverRow& row) {
  for (const char* n : {"main video", "second video", "audio"}) {
    const std::string prefix = std::string("  ") + n + " ";
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    ReceiverRow r;
    unsigned packet = 0;
    char end = 0;
    if (std::sscanf(line.c_str() + prefix.size(), "%u %u %u %u %u %c", &r.kbit, &r.fps, &r.dropPackets,
                    &r.dropFrames, &packet, &end) != 5)
      return false;
    name = n;
    row = r;
    return true;
  }
  return false;
}

bool parseGraphRestart(const std::string& line, long& ms) {
  if (line.find("Morvane: status change 0x") == std::string::npos) return false;
  // "restarted" or "restarted incomplete": the graph ran again either way.
  const size_t at = line.find("): graph restarted");
  if (at == std::string::npos) return false;
  const size_t after = line.find(" after ", at);
  if (after == std::string::npos) return false;
  const char* digits = line.c_str() + after + 7;
  if (*digits < '0' || *digits > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(digits, &end, 10);
  // No handling takes an hour: a larger figure is no such line.
  if (errno || value > 3600 * 1000 || std::strcmp(end, " ms") != 0) return false;
  ms = value;
  return true;
}

}  // namespace demo
