// Diagnostics of the transport base. The transport base is compiled into
// libraries that do not link the core library, so it has its own tiny hook:
// by default lines go to standard error as "[Warn] : message"; an owner may
// install its own sink (for example one that forwards to its log).
#pragma once

namespace ko {

enum class LogLevel { Error, Warn, Notice, Info, Debug };

using LogSink = void (*)(LogLevel level, const char* message, void* context);

// Installs a sink (null restores standard error). Not synchronised with
// concurrent logging: install it before opening sockets.
void setLogSink(LogSink sink, void* context);

// printf-style; one line per call, no trailing newline needed.
void log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace ko
