// The MP3 decoder's sample entry: bytes as they come off the network, cut
// into samples at arbitrary places, with a gap (reset) now and then.
#include <cstddef>
#include <cstdint>

#include "platform/filters/audio/mp3_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Mp3DecoderCore* decoder = [] {
    auto* d = new Mp3DecoderCore;
    d->open(PcmFormat{44100, 2, 16});
    return d;
  }();
  if (size < 1) return 0;
  // The first byte chooses how the rest is cut into samples.
  const size_t piece = 1 + data[0] * 7u;
  const bool resetBetween = data[0] & 1;
  ++data;
  --size;
  size_t produced = 0;
  auto sink = [&](const uint8_t* pcm, size_t bytes) {
    volatile uint8_t touch = bytes ? pcm[bytes - 1] : 0;  // the output must be readable
    (void)touch;
    produced += bytes;
  };
  decoder->reset();
  for (size_t off = 0; off < size; off += piece) {
    decoder->decode(data + off, size - off < piece ? size - off : piece, sink);
    if (resetBetween && off % (piece * 4) == 0) decoder->reset();
  }
  return 0;
}
