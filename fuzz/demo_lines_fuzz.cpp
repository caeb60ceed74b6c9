// Fuzzes what the demo reads back from the programs it runs: the camera's
// capture log as a whole, and each line as a sender monitor line, a
// receiver monitor row and a receiver's status-change line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/demo_run/demo_summary.h"
#include "tools/demo_run/monitor_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto captures = demo::parseCaptureLog(text);
  demo::ReceiverRun run;
  for (const demo::Capture& c : captures) run.pictures.push_back({c.when, true, uint32_t(c.frame)});
  for (const demo::Capture& c : captures) run.statusChanges.push_back(c.when);
  // The figures of any log against itself: one per mode, counts bounded.
  const auto modes = demo::summarise(captures, {0, 1}, run);
  if (modes.size() != 3) std::abort();
  for (const auto& m : modes)
    if (m.framesRead > m.pictures || m.latencies > m.framesRead) std::abort();
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    demo::SenderRates rates;
    demo::parseSenderMonitor(line, rates);
    std::string name;
    demo::ReceiverRow row;
    if (demo::parseReceiverRow(line, name, row) && name.empty()) std::abort();
    long ms = -1;
    if (demo::parseGraphRestart(line, ms) && ms < 0) std::abort();
  }
  return 0;
}
