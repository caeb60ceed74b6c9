#include "talvex/TalvexText.h"

#include <cstring>

namespace talvex {

namespace {

// Length of the valid UTF-8 character at p (at most `left` bytes), or 0.
size_t characterLength(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  size_t n;
  unsigned min;
  unsigned value;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, min = 0x80, value = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, min = 0x800, value = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, min = 0x10000, value = c & 0x07;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  // No overlong forms, no surrogates, nothing above U+10FFFF.
  if (value < min || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  return n;
}

}  // namespace

const char* copyText(char (&buffer)[kTextBufferSize], const char* text) {
  size_t out = 0;
  if (text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t left = std::strlen(text);
    while (left > 0) {
      size_t n = characterLength(p, left);
      const bool valid = n > 0;
      if (!valid) n = 1;
      if (out + n > kTextBufferSize - 1) break;
      if (valid)
        std::memcpy(buffer + out, p, n);
      else
        buffer[out] = '?';
      out += n;
      p += n;
      left -= n;
    }
  }
  buffer[out] = '\0';
  return buffer;
}

}  // namespace talvex
