// mxNotify: the library's one-line diagnostic log. Each line is a level tag,
// " : ", the message and a line feed, written to the output chosen for the
// whole process: standard output, the file "errorlog.txt" in the current
// directory (appended to), or the debugger output (standard error here),
// which is where lines go unless another output is chosen.
#pragma once

#include "pellum/mxString.h"

class mxNotify {
 public:
  enum LevelEnum : int { Error = 0, Warn = 1, Notice = 2, Info = 3, Fatal = 4, Debug = 5 };
  enum OutputEnum : int { StandardOutput = 0, ErrorLogFile = 1, DebuggerOutput = 2 };

  static void setOutput(OutputEnum output);
  static OutputEnum getOutput();

  // Formats the message like printf; a message longer than 255 bytes is cut.
  static void post(LevelEnum level, const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Posts the message as it is, whatever its length.
  static void post(LevelEnum level, const mxString& message);

  // The prefix of a level: "[Info] : ", or "[Unknown] : " for other values.
  static const char* prefix(int level);
};
