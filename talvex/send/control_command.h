// Commands that talvex-send --control reads from its standard input, one per
// line, while it runs: another program (a demo, a benchmark) changes the
// sender's settings as a user of the sender window would.
#pragma once
#include <string>

struct ControlCommand {
  enum Kind { Mode, Quit } kind = Quit;
  int mode = -1;  // Mode: the focus display, 0 None, 1 Loupex, 2 ImageCompound
};

// Parses one line ("mode none|loupex|compound", "quit"; blanks around the
// words are ignored); false with `error` set for anything else.
bool parseControlCommand(const std::string& line, ControlCommand& command, std::string& error);

// The word of a focus display code as the commands and --mode take it.
const char* modeWord(int mode);

// Whole lines from a file descriptor without ever blocking: the sender's
// loop polls it between its ticks. A last line without its newline counts
// once the input ends.
class ControlInput {
 public:
  explicit ControlInput(int fd) : fd_(fd) {}
  // The next whole line (without its newline); false when none is ready.
  bool next(std::string& line);
  // True once the input has ended (no more lines will come).
  bool ended() const { return ended_ && buffer_.empty(); }

 private:
  int fd_;
  bool ended_ = false;
  std::string buffer_;
};
