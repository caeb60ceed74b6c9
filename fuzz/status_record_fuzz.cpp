// The status record reader on arbitrary bytes: it must never read past the
// input, and whatever it accepts must come back unchanged through its own
// byte image (texts end at a NUL byte, so the first image may be shorter
// than the input, but a second round trip changes nothing).
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
  if (n > size) std::abort();
  rsGraphStatus again;
  if (!again.fromByteArray(out, n)) std::abort();
  unsigned char* out2 = nullptr;
  unsigned n2 = 0;
  again.toByteArray(out2, n2);
  if (n2 != n || std::memcmp(out, out2, n) != 0) std::abort();
  return 0;
}
