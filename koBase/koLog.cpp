#include "koBase/koLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace ko {

namespace {
std::atomic<LogSink> g_sink{nullptr};
std::atomic<void*> g_context{nullptr};

const char* tag(LogLevel level) {
  switch (level) {
    case LogLevel::Error: return "[Error]";
    case LogLevel::Warn: return "[Warn]";
    case LogLevel::Notice: return "[Notice]";
    case LogLevel::Info: return "[Info]";
    case LogLevel::Debug: return "[Debug]";
  }
  return "[Info]";
}
}  // namespace

void setLogSink(LogSink sink, void* context) {
  g_context.store(context);
  g_sink.store(sink);
}

void log(LogLevel level, const char* format, ...) {
  char message[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (LogSink sink = g_sink.load()) {
    sink(level, message, g_context.load());
    return;
  }
  std::fprintf(stderr, "%s : %s\n", tag(level), message);
}

}  // namespace ko
