// Uncompressed sound as the sound filters carry it: interleaved PCM,
// 8-bit unsigned or 16-bit signed little-endian samples, 1 or 2 channels.
#pragma once
#include <cstdint>

#include "platform/media/media_type.h"

struct PcmFormat {
  uint32_t rate = 44100;
  uint16_t channels = 2;
  uint16_t bits = 16;

  uint32_t frameBytes() const { return uint32_t(channels) * (bits / 8); }
  uint32_t bytesPerSecond() const { return rate * frameBytes(); }
  bool valid() const {
    return rate >= 1000 && rate <= 192000 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16);
  }
  bool operator==(const PcmFormat&) const = default;
};

// The rates a capture device offers, in the order of the classification
// codes (8 kHz to 48 kHz).
inline constexpr uint32_t kPcmRates[] = {8000, 11025, 16000, 22050, 44100, 48000};

// Audio / PCM / wave-format type with the 18-byte record; fixed-size
// samples of sampleSize bytes (0: a tenth of a second).
MediaType makePcmType(const PcmFormat& f, uint32_t sampleSize = 0);
// Whether mt is such a type with a usable format; fills f.
bool pcmFormatOf(const MediaType& mt, PcmFormat& f);
// Duration of n bytes in 100 ns units.
int64_t pcmDuration(const PcmFormat& f, uint64_t bytes);
