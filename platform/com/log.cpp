#include "platform/com/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<PlatformLogSink> g_sink{nullptr};
}

const char* platformLogTag(PlatformLogLevel level) {
  switch (level) {
    case PlatformLogLevel::Fatal:
      return "[Fatal]";
    case PlatformLogLevel::Error:
      return "[Error]";
    case PlatformLogLevel::Warn:
      return "[Warn]";
    case PlatformLogLevel::Notice:
      return "[Notice]";
    case PlatformLogLevel::Info:
      return "[Info]";
    case PlatformLogLevel::Debug:
      return "[Debug]";
  }
  return "[Info]";
}

void platformLog(PlatformLogLevel level, const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (PlatformLogSink sink = g_sink.load()) {
    sink(level, message);
    return;
  }
  std::fprintf(stderr, "%s : %s\n", platformLogTag(level), message);
}

PlatformLogSink setPlatformLogSink(PlatformLogSink sink) {
  return g_sink.exchange(sink);
}
