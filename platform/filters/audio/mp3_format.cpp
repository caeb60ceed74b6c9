#include "platform/filters/audio/mp3_format.h"

#include "platform/media/guids.h"
#include "platform/media/records.h"

MediaType makeMp3Type(uint32_t rate, uint16_t channels, uint32_t bitRate, uint32_t frameLength, uint32_t sampleSize) {
  WaveFormatEx wfx;
  wfx.formatTag = WAVE_FORMAT_MPEGLAYER3;
  wfx.channels = channels;
  wfx.samplesPerSec = rate;
  wfx.avgBytesPerSec = bitRate / 8;
  wfx.blockAlign = 1;
  wfx.bitsPerSample = 0;
  wfx.cbSize = 12;
  MpegLayer3Extra e;
  e.id = MPEGLAYER3_ID_MPEG;
  e.flags = 0;  // padding as the standard has it
  e.blockSize = static_cast<uint16_t>(rate ? uint64_t(frameLength) * bitRate / 8 / rate : 0);
  e.framesPerBlock = 1;
  e.codecDelay = 1393;
  MediaType mt(MEDIATYPE_Audio, MEDIASUBTYPE_MP3, FORMAT_WaveFormatEx);
  mt.setFormat(makeWaveFormatBlock(wfx, mpegLayer3ExtraBytes(e)));
  mt.setFixedSizeSamples(true);
  mt.setTemporalCompression(false);
  mt.setSampleSize(sampleSize);
  return mt;
}

bool mp3InfoOf(const MediaType& mt, Mp3StreamInfo& info) {
  if (mt.majortype() != MEDIATYPE_Audio || mt.formattype() != FORMAT_WaveFormatEx) return false;
  if (mt.subtype() != MEDIASUBTYPE_MP3 && mt.subtype() != GUID_NULL) return false;
  WaveFormatEx wfx;
  if (!waveFormatOf(mt.get(), wfx) || wfx.formatTag != WAVE_FORMAT_MPEGLAYER3) return false;
  info = {};
  if (wfx.samplesPerSec >= 8000 && wfx.samplesPerSec <= 48000) info.rate = wfx.samplesPerSec;
  if (wfx.channels == 1 || wfx.channels == 2) info.channels = wfx.channels;
  return true;
}
