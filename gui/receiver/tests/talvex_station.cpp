// A sending station without a window, for the receiver program's tests: it
// starts the sender engine (preview off-screen), re-sends the status every
// second, sends the built-in test-pattern camera and test-tone microphone,
// and takes commands on standard input, one per line:
//   format N    the main video format (TalvexSetVideoFormat)
//   focus N     the focus-display mode (TalvexSetFocusDisplay)
//   quit        shut the engine down and end
// It answers "ready" once started and "ok" after each command.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "talvex/Talvex.h"

int main() {
  if (!TalvexInitialize(0)) {
    std::puts("failed");
    TalvexShutdown();
    return 1;
  }
  // The built-in test-pattern camera and test-tone microphone, whatever the
  // order of the devices.
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    if (std::strcmp(TalvexGetVideoCaptureFriendlyName(int32_t(i)), "Test Pattern Camera") == 0)
      TalvexSetVideoCapture(int32_t(i));
  for (unsigned i = 0; i < TalvexGetNumAudioCaptures(); ++i)
    if (std::strcmp(TalvexGetAudioCaptureFriendlyName(int32_t(i)), "Test Tone Microphone") == 0)
      TalvexSetAudioCapture(int32_t(i));
  std::puts("ready");
  std::fflush(stdout);
  auto next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  std::string line;
  for (;;) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&in, 1, wait.count() > 0 ? int(wait.count()) : 0);
    if (ready == 0) {
      TalvexTimerProcess();
      next += std::chrono::seconds(1);
      continue;
    }
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) break;  // the test went away
    line.append(buffer, size_t(n));
    for (size_t end; (end = line.find('\n')) != std::string::npos; line.erase(0, end + 1)) {
      const std::string command = line.substr(0, end);
      int value = 0;
      if (command == "quit") {
        TalvexShutdown();
        std::puts("ok");
        return 0;
      }
      if (std::sscanf(command.c_str(), "format %d", &value) == 1) TalvexSetVideoFormat(value);
      if (std::sscanf(command.c_str(), "focus %d", &value) == 1) TalvexSetFocusDisplay(value);
      std::puts("ok");
      std::fflush(stdout);
    }
  }
  TalvexShutdown();
  return 0;
}
