#include "platform/filters/audio/pcm_format.h"

#include "platform/media/guids.h"
#include "platform/media/records.h"

MediaType makePcmType(const PcmFormat& f, uint32_t sampleSize) {
  WaveFormatEx wfx;
  wfx.formatTag = WAVE_FORMAT_PCM;
  wfx.channels = f.channels;
  wfx.samplesPerSec = f.rate;
  wfx.blockAlign = static_cast<uint16_t>(f.frameBytes());
  wfx.avgBytesPerSec = f.bytesPerSecond();
  wfx.bitsPerSample = f.bits;
  wfx.cbSize = 0;
  MediaType mt(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx);
  mt.setFormat(makeWaveFormatBlock(wfx));
  mt.setFixedSizeSamples(true);
  mt.setTemporalCompression(false);
  if (sampleSize == 0) sampleSize = (f.bytesPerSecond() / 10 / f.frameBytes()) * f.frameBytes();
  mt.setSampleSize(sampleSize);
  return mt;
}

bool pcmFormatOf(const MediaType& mt, PcmFormat& f) {
  if (mt.majortype() != MEDIATYPE_Audio || mt.formattype() != FORMAT_WaveFormatEx) return false;
  if (mt.subtype() != MEDIASUBTYPE_PCM && mt.subtype() != GUID_NULL) return false;
  WaveFormatEx wfx;
  if (!waveFormatOf(mt.get(), wfx) || wfx.formatTag != WAVE_FORMAT_PCM) return false;
  PcmFormat out{wfx.samplesPerSec, wfx.channels, wfx.bitsPerSample};
  if (!out.valid()) return false;
  f = out;
  return true;
}

int64_t pcmDuration(const PcmFormat& f, uint64_t bytes) {
  uint64_t frames = f.frameBytes() ? bytes / f.frameBytes() : 0;
  return f.rate ? static_cast<int64_t>(frames * 10000000ull / f.rate) : 0;
}
