// Fuzzes talvex-send's control input: any bytes arrive on its standard
// input in pieces; every whole line that comes out is bounded and free of
// newlines, and a command is either taken (with a mode of the three, or
// "quit") or refused with a reason.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "talvex/send/control_command.h"

namespace {

void check(const std::string& line) {
  if (line.size() > 4096 || line.find('\n') != std::string::npos) std::abort();
  ControlCommand command;
  std::string error;
  const bool ok = parseControlCommand(line, command, error);
  if (ok != error.empty()) std::abort();
  if (ok && command.kind == ControlCommand::Mode && (command.mode < 0 || command.mode > 2)) std::abort();
  if (ok && command.kind == ControlCommand::Quit && command.mode != -1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return 0;
  ControlInput input(fds[0]);
  std::string line;
  // The first byte sets the size of the pieces the writer sends.
  const size_t piece = size ? size_t(data[0]) * 37 + 1 : 1;
  for (size_t at = 0; at < size;) {
    const size_t n = std::min(piece, size - at);
    if (write(fds[1], data + at, n) != ssize_t(n)) break;
    at += n;
    while (input.next(line)) check(line);
  }
  close(fds[1]);
  while (input.next(line)) check(line);
  if (!input.ended()) std::abort();
  close(fds[0]);
  return 0;
}
