// Fuzzes the readers of media-type records and format blocks: the 72-byte
// record followed by a format length and block, as a received sample record
// carries them.
#include <cstddef>
#include <cstdint>

#include "platform/media/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader r(data, size);
  AM_MEDIA_TYPE mt{};
  if (!readMediaTypeRecord(r, mt)) return 0;
  uint32_t length = r.u32();
  const uint8_t* block = r.take(length);
  if (!block) return 0;
  MediaType type(mt);
  type.setFormat(block, length);
  VideoInfoHeader vih;
  if (videoInfoOf(type.get(), vih)) {
    volatile uint32_t s = bitmapImageSize(vih.bmi);
    (void)s;
    volatile GUID g = subtypeFromBitmapHeader(vih.bmi);
    (void)g;
  }
  WaveFormatEx wfx;
  if (waveFormatOf(type.get(), wfx)) {
    MpegLayer3Extra e3;
    Mpeg1Extra e1;
    parseMpegLayer3Extra(block, length, e3);
    parseMpeg1Extra(block, length, e1);
  }
  // Any block as either kind, whatever the type says.
  parseVideoInfo(block, length, vih);
  parseWaveFormat(block, length, wfx);
  return 0;
}
