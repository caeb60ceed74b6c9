// The status record reader on arbitrary bytes: it must never read past the
// input, and whatever it accepts must serialise back to the bytes it used.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gravet/rsGraphStatus.h"
#include "pellum/mxNotify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    mxNotify::setOutput(static_cast<mxNotify::OutputEnum>(99));  // no output
    return true;
  }();
  (void)quiet;
  rsGraphStatus r;
  if (!r.fromByteArray(data, static_cast<unsigned>(size))) return 0;
  unsigned char* out = nullptr;
  unsigned n = 0;
  r.toByteArray(out, n);
  if (n > size || std::memcmp(out, data, n) != 0) std::abort();
  return 0;
}
