// Diagnostics of the platform layer: one line per message with a level tag,
// to standard error unless the application installs a sink of its own.
#pragma once

enum class PlatformLogLevel { Fatal, Error, Warn, Notice, Info, Debug };

using PlatformLogSink = void (*)(PlatformLogLevel level, const char* line);

void platformLog(PlatformLogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Replaces the output; nullptr restores standard error. Returns the old sink.
PlatformLogSink setPlatformLogSink(PlatformLogSink sink);
const char* platformLogTag(PlatformLogLevel level);
