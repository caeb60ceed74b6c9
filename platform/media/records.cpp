#include "platform/media/records.h"

#include "platform/com/log.h"
#include "platform/media/guids.h"

void writeMediaTypeRecord(ByteWriter& w, const AM_MEDIA_TYPE& mt) {
  w.guid(mt.majortype);
  w.guid(mt.subtype);
  w.i32(mt.bFixedSizeSamples ? 1 : 0);
  w.i32(mt.bTemporalCompression ? 1 : 0);
  w.u32(mt.lSampleSize);
  w.guid(mt.formattype);
  w.u32(0);  // the object pointer word: no meaning outside the process
  w.u32(mt.cbFormat);
  w.u32(0);  // the format pointer word
}

bool readMediaTypeRecord(ByteReader& r, AM_MEDIA_TYPE& mt) {
  if (r.remaining() < kMediaTypeRecordSize) {
    r.fail();
    return false;
  }
  AM_MEDIA_TYPE out{};
  out.majortype = r.guid();
  out.subtype = r.guid();
  out.bFixedSizeSamples = r.i32() != 0;
  out.bTemporalCompression = r.i32() != 0;
  out.lSampleSize = r.u32();
  out.formattype = r.guid();
  r.skip(12);  // pointer word, format length (sent separately), pointer word
  if (!r.ok()) return false;
  mt = out;
  return true;
}

void writeBitmapInfoHeader(ByteWriter& w, const BitmapInfoHeader& h) {
  w.u32(h.size);
  w.i32(h.width);
  w.i32(h.height);
  w.u16(h.planes);
  w.u16(h.bitCount);
  w.u32(h.compression);
  w.u32(h.sizeImage);
  w.i32(h.xPelsPerMeter);
  w.i32(h.yPelsPerMeter);
  w.u32(h.clrUsed);
  w.u32(h.clrImportant);
}

bool readBitmapInfoHeader(ByteReader& r, BitmapInfoHeader& h) {
  BitmapInfoHeader out;
  out.size = r.u32();
  out.width = r.i32();
  out.height = r.i32();
  out.planes = r.u16();
  out.bitCount = r.u16();
  out.compression = r.u32();
  out.sizeImage = r.u32();
  out.xPelsPerMeter = r.i32();
  out.yPelsPerMeter = r.i32();
  out.clrUsed = r.u32();
  out.clrImportant = r.u32();
  if (!r.ok()) return false;
  h = out;
  return true;
}

static void writeRect(ByteWriter& w, const Rect32& rc) {
  w.i32(rc.left);
  w.i32(rc.top);
  w.i32(rc.right);
  w.i32(rc.bottom);
}

static Rect32 readRect(ByteReader& r) {
  Rect32 rc;
  rc.left = r.i32();
  rc.top = r.i32();
  rc.right = r.i32();
  rc.bottom = r.i32();
  return rc;
}

std::vector<uint8_t> makeVideoInfoBlock(const VideoInfoHeader& vih, size_t blockSize) {
  std::vector<uint8_t> out;
  out.reserve(blockSize < kVideoInfoHeaderSize ? kVideoInfoHeaderSize : blockSize);
  ByteWriter w(out);
  writeRect(w, vih.source);
  writeRect(w, vih.target);
  w.u32(vih.bitRate);
  w.u32(vih.bitErrorRate);
  w.i64(vih.avgTimePerFrame);
  writeBitmapInfoHeader(w, vih.bmi);
  if (out.size() < blockSize) w.zeros(blockSize - out.size());
  return out;
}

bool parseVideoInfo(const uint8_t* block, size_t length, VideoInfoHeader& vih) {
  if (!block || length < kVideoInfoHeaderSize) {
    platformLog(PlatformLogLevel::Warn, "video-info block of %zu bytes is shorter than its 88-byte header",
                length);
    return false;
  }
  ByteReader r(block, length);
  VideoInfoHeader out;
  out.source = readRect(r);
  out.target = readRect(r);
  out.bitRate = r.u32();
  out.bitErrorRate = r.u32();
  out.avgTimePerFrame = r.i64();
  if (!readBitmapInfoHeader(r, out.bmi)) return false;
  if (out.bmi.size < kBitmapInfoHeaderSize || out.bmi.size > length - 48) {
    platformLog(PlatformLogLevel::Warn, "video-info block of %zu bytes: bitmap header size %u does not fit",
                length, out.bmi.size);
    return false;
  }
  vih = out;
  return true;
}

bool videoInfoOf(const AM_MEDIA_TYPE& mt, VideoInfoHeader& vih) {
  if (mt.formattype != FORMAT_VideoInfo) return false;
  return parseVideoInfo(mt.pbFormat, mt.pbFormat ? mt.cbFormat : 0, vih);
}

std::vector<uint8_t> makeWaveFormatBlock(const WaveFormatEx& wfx, const std::vector<uint8_t>& extra,
                                         size_t blockSize) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.u16(wfx.formatTag);
  w.u16(wfx.channels);
  w.u32(wfx.samplesPerSec);
  w.u32(wfx.avgBytesPerSec);
  w.u16(wfx.blockAlign);
  w.u16(wfx.bitsPerSample);
  w.u16(wfx.cbSize);
  w.bytes(extra.data(), extra.size());
  if (out.size() < blockSize) w.zeros(blockSize - out.size());
  return out;
}

bool parseWaveFormat(const uint8_t* block, size_t length, WaveFormatEx& wfx) {
  if (!block || length < 16) {
    platformLog(PlatformLogLevel::Warn, "wave-format block of %zu bytes is too short", length);
    return false;
  }
  ByteReader r(block, length);
  WaveFormatEx out;
  out.formatTag = r.u16();
  out.channels = r.u16();
  out.samplesPerSec = r.u32();
  out.avgBytesPerSec = r.u32();
  out.blockAlign = r.u16();
  out.bitsPerSample = r.u16();
  if (length >= kWaveFormatExSize) {
    out.cbSize = r.u16();
    if (out.cbSize > length - kWaveFormatExSize) {
      platformLog(PlatformLogLevel::Warn, "wave-format block of %zu bytes claims %u extra bytes", length,
                  out.cbSize);
      return false;
    }
  } else if (out.formatTag != WAVE_FORMAT_PCM) {
    platformLog(PlatformLogLevel::Warn, "wave-format block of %zu bytes is too short for tag %u", length,
                out.formatTag);
    return false;
  }
  if (!r.ok()) return false;
  wfx = out;
  return true;
}

bool waveFormatOf(const AM_MEDIA_TYPE& mt, WaveFormatEx& wfx) {
  if (mt.formattype != FORMAT_WaveFormatEx) return false;
  return parseWaveFormat(mt.pbFormat, mt.pbFormat ? mt.cbFormat : 0, wfx);
}

std::vector<uint8_t> mpegLayer3ExtraBytes(const MpegLayer3Extra& e) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.u16(e.id);
  w.u32(e.flags);
  w.u16(e.blockSize);
  w.u16(e.framesPerBlock);
  w.u16(e.codecDelay);
  return out;
}

bool parseMpegLayer3Extra(const uint8_t* block, size_t length, MpegLayer3Extra& e) {
  WaveFormatEx wfx;
  if (!parseWaveFormat(block, length, wfx) || wfx.cbSize < 12) return false;
  ByteReader r(block + kWaveFormatExSize, wfx.cbSize);
  MpegLayer3Extra out;
  out.id = r.u16();
  out.flags = r.u32();
  out.blockSize = r.u16();
  out.framesPerBlock = r.u16();
  out.codecDelay = r.u16();
  if (!r.ok()) return false;
  e = out;
  return true;
}

std::vector<uint8_t> mpeg1ExtraBytes(const Mpeg1Extra& e) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.u16(e.headLayer);
  w.u32(e.headBitrate);
  w.u16(e.headMode);
  w.u16(e.headModeExt);
  w.u16(e.headEmphasis);
  w.u16(e.headFlags);
  w.u32(e.ptsLow);
  w.u32(e.ptsHigh);
  return out;
}

bool parseMpeg1Extra(const uint8_t* block, size_t length, Mpeg1Extra& e) {
  WaveFormatEx wfx;
  if (!parseWaveFormat(block, length, wfx) || wfx.cbSize < 22) return false;
  ByteReader r(block + kWaveFormatExSize, wfx.cbSize);
  Mpeg1Extra out;
  out.headLayer = r.u16();
  out.headBitrate = r.u32();
  out.headMode = r.u16();
  out.headModeExt = r.u16();
  out.headEmphasis = r.u16();
  out.headFlags = r.u16();
  out.ptsLow = r.u32();
  out.ptsHigh = r.u32();
  if (!r.ok()) return false;
  e = out;
  return true;
}

uint32_t bitmapImageSize(const BitmapInfoHeader& h) {
  if (h.width <= 0 || h.height == 0 || h.bitCount == 0 || h.bitCount > 32) return 0;
  uint64_t height = h.height < 0 ? -int64_t(h.height) : int64_t(h.height);
  uint64_t rowBits = uint64_t(h.width) * h.bitCount;
  uint64_t rowBytes = ((rowBits + 31) & ~uint64_t(31)) / 8;
  uint64_t size = rowBytes * height;
  if (size > 0xFFFFFFFFull) return 0;
  return static_cast<uint32_t>(size);
}

GUID subtypeFromBitmapHeader(const BitmapInfoHeader& h, const uint32_t* masks) {
  if (h.compression == BI_RGB) {
    switch (h.bitCount) {
      case 1:
        return MEDIASUBTYPE_RGB1;
      case 4:
        return MEDIASUBTYPE_RGB4;
      case 8:
        return MEDIASUBTYPE_RGB8;
      case 16:
        return MEDIASUBTYPE_RGB555;
      case 24:
        return MEDIASUBTYPE_RGB24;
      case 32:
        return MEDIASUBTYPE_RGB32;
      default:
        return GUID_NULL;
    }
  }
  if (h.compression == BI_BITFIELDS) {
    if (h.bitCount == 16) {
      bool is565 = masks && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
      return is565 ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB555;
    }
    if (h.bitCount == 32) return MEDIASUBTYPE_RGB32;
    return GUID_NULL;
  }
  return fourccSubtype(h.compression);
}
