// The MP3 media type: audio / MP3 subtype / wave-format with format tag 85
// and the 12-byte MPEG layer-3 extension. The samples are marked fixed-size
// and not temporally compressed, as the multicast filters expect of an MP3
// stream (each sample holds whole frames).
#pragma once
#include <cstdint>

#include "platform/filters/audio/pcm_format.h"
#include "platform/media/media_type.h"

MediaType makeMp3Type(uint32_t rate, uint16_t channels, uint32_t bitRate, uint32_t frameLength, uint32_t sampleSize);

struct Mp3StreamInfo {
  uint32_t rate = 0;      // 0 when the record does not say
  uint16_t channels = 0;  // 0 when the record does not say
};
// Whether mt carries MP3 (format tag 85, subtype MP3 or left open); the
// record's rate and channel count, as far as they are usable.
bool mp3InfoOf(const MediaType& mt, Mp3StreamInfo& info);
