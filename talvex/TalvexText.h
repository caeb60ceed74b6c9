// The engine's shared text buffer: text results are copied into one buffer
// of 1024 bytes, valid until the next text-returning call.
#pragma once
#include <cstddef>

namespace talvex {

inline constexpr size_t kTextBufferSize = 1024;

// Copies at most kTextBufferSize - 1 bytes of text into `buffer` and
// terminates it. The copy is valid UTF-8: it never ends inside a character,
// and bytes that do not form a valid character are written as '?'.
const char* copyText(char (&buffer)[kTextBufferSize], const char* text);

}  // namespace talvex
