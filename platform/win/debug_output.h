// Debugger output: the channel a developer watches while the program runs.
// On Linux this is the process's standard error stream.
#pragma once

namespace platform::win {

// Writes the text to standard error with a single write call, so that lines
// from different threads do not interleave. A null text writes nothing.
void outputDebugString(const char* text);

}  // namespace platform::win
