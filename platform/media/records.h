// Byte-exact records of the media framework, written and read field by
// field (little-endian) through ByteWriter / ByteReader:
//   - the 72-byte media-type record (GUIDs in their binary order, the two
//     pointer words written as zero and ignored when read);
//   - the bitmap header (40 bytes) and the video-info record (88 bytes; the
//     full form with colour table or bit masks is 1128 bytes);
//   - the wave-format record (18 bytes) with the MPEG layer-3 (12 extra
//     bytes) and MPEG-1 (22 extra bytes) extensions.
// Readers validate lengths against what the header claims and fail (false,
// with a log line) rather than read beyond the block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/byte_io.h"
#include "platform/media/media_type.h"

inline constexpr size_t kMediaTypeRecordSize = 72;
inline constexpr size_t kBitmapInfoHeaderSize = 40;
inline constexpr size_t kVideoInfoHeaderSize = 88;
inline constexpr size_t kVideoInfoFullSize = 1128;
inline constexpr size_t kWaveFormatExSize = 18;
inline constexpr size_t kMpegLayer3WaveFormatSize = 30;
inline constexpr size_t kMpeg1WaveFormatSize = 40;

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_BITFIELDS = 3;
inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEG = 0x50;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;
inline constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
inline constexpr uint16_t ACM_MPEG_LAYER2 = 2;

struct Rect32 {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect32&) const = default;
};

struct BitmapInfoHeader {
  uint32_t size = kBitmapInfoHeaderSize;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
  bool operator==(const BitmapInfoHeader&) const = default;
};

struct VideoInfoHeader {
  Rect32 source;
  Rect32 target;
  uint32_t bitRate = 0;
  uint32_t bitErrorRate = 0;
  int64_t avgTimePerFrame = 0;
  BitmapInfoHeader bmi;
  bool operator==(const VideoInfoHeader&) const = default;
};

struct WaveFormatEx {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t cbSize = 0;
  bool operator==(const WaveFormatEx&) const = default;
};

// The 12 bytes after the wave-format record of an MPEG layer-3 stream.
struct MpegLayer3Extra {
  uint16_t id = MPEGLAYER3_ID_MPEG;
  uint32_t flags = 0;
  uint16_t blockSize = 0;
  uint16_t framesPerBlock = 0;
  uint16_t codecDelay = 0;
  bool operator==(const MpegLayer3Extra&) const = default;
};

// The 22 bytes after the wave-format record of an MPEG-1 audio stream.
struct Mpeg1Extra {
  uint16_t headLayer = 0;
  uint32_t headBitrate = 0;
  uint16_t headMode = 0;
  uint16_t headModeExt = 0;
  uint16_t headEmphasis = 0;
  uint16_t headFlags = 0;
  uint32_t ptsLow = 0;
  uint32_t ptsHigh = 0;
  bool operator==(const Mpeg1Extra&) const = default;
};

// Media-type record (72 bytes). The format block travels separately.
void writeMediaTypeRecord(ByteWriter& w, const AM_MEDIA_TYPE& mt);
// Reads the record into mt's fields; mt gets no format block (cbFormat 0).
bool readMediaTypeRecord(ByteReader& r, AM_MEDIA_TYPE& mt);

void writeBitmapInfoHeader(ByteWriter& w, const BitmapInfoHeader& h);
bool readBitmapInfoHeader(ByteReader& r, BitmapInfoHeader& h);

// Video-info block: the 88-byte header, zero-padded to blockSize (at least 88;
// 1128 for the full form).
std::vector<uint8_t> makeVideoInfoBlock(const VideoInfoHeader& vih, size_t blockSize = kVideoInfoHeaderSize);
// Parses a video-info block: at least 88 bytes, a bitmap header size of at
// least 40 that fits in the block. False (and a log line) otherwise.
bool parseVideoInfo(const uint8_t* block, size_t length, VideoInfoHeader& vih);
// The video-info header of a media type whose format type is video-info.
bool videoInfoOf(const AM_MEDIA_TYPE& mt, VideoInfoHeader& vih);

// Wave-format block: the 18-byte record followed by the extra bytes,
// zero-padded to blockSize (at least 18 + extra).
std::vector<uint8_t> makeWaveFormatBlock(const WaveFormatEx& wfx, const std::vector<uint8_t>& extra = {},
                                         size_t blockSize = 0);
// Parses a wave-format block: 18 bytes and cbSize extra bytes must be present
// (a 16-byte PCM record without cbSize is accepted with cbSize 0).
bool parseWaveFormat(const uint8_t* block, size_t length, WaveFormatEx& wfx);
bool waveFormatOf(const AM_MEDIA_TYPE& mt, WaveFormatEx& wfx);
std::vector<uint8_t> mpegLayer3ExtraBytes(const MpegLayer3Extra& e);
bool parseMpegLayer3Extra(const uint8_t* block, size_t length, MpegLayer3Extra& e);
std::vector<uint8_t> mpeg1ExtraBytes(const Mpeg1Extra& e);
bool parseMpeg1Extra(const uint8_t* block, size_t length, Mpeg1Extra& e);

// Image size of a bitmap: rows padded to 32 bits, times |height|. Zero when
// width or height is zero or negative width, when the bit count is zero or
// above 32, or when the size does not fit in 32 bits.
uint32_t bitmapImageSize(const BitmapInfoHeader& h);
// Subtype of an uncompressed or four-character-code bitmap: BI_RGB by bit
// count (1, 4, 8, 16 → RGB555, 24, 32), BI_BITFIELDS 16 → RGB565 when the
// masks that follow the header are the 5-6-5 masks, else RGB555; 32 → RGB32;
// any other compression is the four-character-code subtype. GUID_NULL when
// nothing fits. masks may be null (no masks present).
GUID subtypeFromBitmapHeader(const BitmapInfoHeader& h, const uint32_t* masks = nullptr);
