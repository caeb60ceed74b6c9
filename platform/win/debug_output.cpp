#include "platform/win/debug_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::win {

void outputDebugString(const char* text) {
  if (!text) return;
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace platform::win
