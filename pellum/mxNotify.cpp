#include "pellum/mxNotify.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/win/debug_output.h"

namespace {

std::atomic<int> currentOutput{mxNotify::DebuggerOutput};

void writeLine(const std::string& line) {
  switch (currentOutput.load()) {
    case mxNotify::StandardOutput:
      std::fwrite(line.data(), 1, line.size(), stdout);  // one call: lines never mix
      std::fflush(stdout);
      break;
    case mxNotify::ErrorLogFile:
      if (FILE* f = std::fopen("errorlog.txt", "a")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
      }
      break;
    case mxNotify::DebuggerOutput:
      platform::win::outputDebugString(line.c_str());
      break;
    default:
      break;
  }
}

}  // namespace

void mxNotify::setOutput(OutputEnum output) { currentOutput = output; }

mxNotify::OutputEnum mxNotify::getOutput() { return static_cast<OutputEnum>(currentOutput.load()); }

const char* mxNotify::prefix(int level) {
  switch (level) {
    case Error: return "[Error] : ";
    case Warn: return "[Warn] : ";
    case Notice: return "[Notice] : ";
    case Info: return "[Info] : ";
    case Fatal: return "[Fatal] : ";
    case Debug: return "[Debug] : ";
    default: return "[Unknown] : ";
  }
}

void mxNotify::post(LevelEnum level, const char* format, ...) {
  char message[256];
  message[0] = '\0';
  if (format) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
  }
  writeLine(std::string(prefix(level)) + message + "\n");
}

void mxNotify::post(LevelEnum level, const mxString& message) {
  std::string line = prefix(level);
  if (message.c_str()) line += message.c_str();
  writeLine(line + "\n");
}
