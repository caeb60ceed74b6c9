// Feeds arbitrary samples to the pointer record reader, checks that a record
// it accepts writes back to the same first 71 bytes (apart from the forced
// terminating zero of the command), and runs the accepted values through the
// consumers' arithmetic.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/pointer/pointer_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pointing;
  POINTER_INFO info;
  const bool ok = readPointerInfo(data, size, info);
  if (ok != (size >= kPointerInfoSize)) std::abort();
  if (!ok) return 0;

  uint8_t out[kPointerInfoSize];
  if (!writePointerInfo(info, out, sizeof out)) std::abort();
  if (std::memcmp(out, data, kPointerInfoSize - 1) != 0) std::abort();
  if (out[kPointerInfoSize - 1] != 0) std::abort();

  POINTER_INFO emitted;
  copyChangedFields(emitted, info);
  if (copyChangedFields(emitted, info) != 0) std::abort();
  volatile float x = normalisedPosition(info.originX, info.sizeX, info.cursorX, info.screenWidth);
  volatile float y = normalisedPosition(info.originY, info.sizeY, info.cursorY, info.screenHeight);
  (void)x;
  (void)y;
  (void)pointerShapeLabel(info.shape);
  return 0;
}
