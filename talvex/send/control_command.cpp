#include "talvex/send/control_command.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <vector>

namespace {

const char* const kModeWords[] = {"none", "loupex", "compound"};

// A line longer than this is no command; it is dropped up to its newline
// so that a runaway writer cannot grow the buffer without end.
constexpr size_t kMaxLine = 4096;

}  // namespace

const char* modeWord(int mode) {
  return mode >= 0 && mode < 3 ? kModeWords[mode] : "?";
}

bool parseControlCommand(const std::string& line, ControlCommand& command, std::string& error) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.size() == 1 && words[0] == "quit") {
    command = ControlCommand{ControlCommand::Quit, -1};
    return true;
  }
  if (!words.empty() && words[0] == "mode") {
    if (words.size() == 2)
      for (int m = 0; m < 3; ++m)
        if (words[1] == kModeWords[m]) {
          command = ControlCommand{ControlCommand::Mode, m};
          return true;
        }
    error = "mode takes one of none, loupex, compound";
    return false;
  }
  error = words.empty() ? "empty command" : "unknown command \"" + words[0] + "\" (mode, quit)";
  return false;
}

bool ControlInput::next(std::string& line) {
  for (;;) {
    const size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      if (line.size() > kMaxLine) continue;
      return true;
    }
    if (ended_) {
      if (buffer_.empty() || buffer_.size() > kMaxLine) {
        buffer_.clear();
        return false;
      }
      line.swap(buffer_);
      buffer_.clear();
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    char chunk[1024];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    if (n <= 0) {
      ended_ = true;
      continue;
    }
    buffer_.append(chunk, size_t(n));
    // An overlong line: keep only enough to know it was too long.
    if (buffer_.find('\n') == std::string::npos && buffer_.size() > kMaxLine + 1)
      buffer_.resize(kMaxLine + 1);
  }
}
