#include "filters/mediaclass/mediaclass.h"

#include "platform/com/log.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

struct VideoFormatRow {
  uint16_t bitCount;
  uint32_t compression;
  bool fixedSize;
  bool temporal;
};

const VideoFormatRow kVideoFormats[] = {
    {16, BI_BITFIELDS, true, false},                    // RGB555
    {24, BI_RGB, true, false},                          // RGB24
    {24, makeFourcc('M', 'P', '4', '2'), false, true},  // MPEG4 v2
    {24, makeFourcc('M', 'P', '4', '3'), false, true},  // MPEG4 v3
    {24, makeFourcc('d', 'v', 's', 'd'), true, false},  // dvsd
    {24, makeFourcc('m', '2', '6', '1'), false, true},  // H.261
    {24, makeFourcc('m', '2', '6', '3'), false, true},  // H.263
    {24, makeFourcc('M', 'J', 'P', 'G'), true, false},  // MJPEG
};

const int kResolutions[][2] = {{128, 96},  {176, 144}, {352, 288}, {160, 120}, {180, 120},
                               {320, 240}, {360, 240}, {640, 480}, {720, 480}};
const uint32_t kRates[] = {8000, 11025, 16000, 22050, 44100, 48000};

const char* const kVideoFormatNames[] = {"RGB555(16bit)", "RGB24", "MPEG4 v2", "MPEG4 v3",
                                         "dvsd",          "H.261", "H.263",    "MJPEG"};
const char* const kResolutionNames[] = {"SQCIF(128x96)", "QCIF(176x144)", "CIF(352x288)",
                                        "160x120",       "180x120",       "320x240",
                                        "360x240",       "640x480",       "720x480"};
const char* const kAudioFormatNames[] = {"MP3", "PCM", "MPEG1"};
const char* const kFrequencyNames[] = {"8KHz", "11KHz", "16KHz", "22KHz", "44.1KHz", "48KHz"};
const char* const kChannelNames[] = {"Stereo", "Monaural"};
const char* const kBitCountNames[] = {"0bit", "8bit", "16bit"};

template <size_t N>
const char* nameOf(const char* const (&names)[N], int code) {
  return code >= 0 && code < static_cast<int>(N) ? names[code] : nullptr;
}

bool inRange(int code, int unknown) {
  return code >= 0 && code < unknown;
}

}  // namespace

const char* videoFormatName(int code) {
  return nameOf(kVideoFormatNames, code);
}
const char* resolutionName(int code) {
  return nameOf(kResolutionNames, code);
}
const char* audioFormatName(int code) {
  return nameOf(kAudioFormatNames, code);
}
const char* frequencyName(int code) {
  return nameOf(kFrequencyNames, code);
}
const char* channelName(int code) {
  return nameOf(kChannelNames, code);
}
const char* bitCountName(int code) {
  return nameOf(kBitCountNames, code);
}

bool resolutionSize(int code, int* width, int* height) {
  if (!inRange(code, Resolution_Unknown)) return false;
  *width = kResolutions[code][0];
  *height = kResolutions[code][1];
  return true;
}

uint32_t frequencyRate(int code) {
  return inRange(code, Frequency_Unknown) ? kRates[code] : 0;
}

bool MediaClassification::buildMediaType() {
  if (kind == MediaKind_Video) {
    int width, height;
    if (!inRange(videoFormat, VideoFormat_Unknown) || !resolutionSize(resolution, &width, &height)) {
      platformLog(PlatformLogLevel::Warn, "media classification: no video type for format %d, resolution %d",
                  videoFormat, resolution);
      return false;
    }
    const VideoFormatRow& row = kVideoFormats[videoFormat];
    VideoInfoHeader vih;  // empty source and target rectangles
    vih.bmi.size = kBitmapInfoHeaderSize;
    vih.bmi.width = width;
    vih.bmi.height = height;
    vih.bmi.planes = 1;
    vih.bmi.bitCount = row.bitCount;
    vih.bmi.compression = row.compression;
    vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
    MediaType mt(MEDIATYPE_Video, subtypeFromBitmapHeader(vih.bmi), FORMAT_VideoInfo);
    mt.setFormat(makeVideoInfoBlock(vih, kVideoInfoFullSize));
    mt.setSampleSize(vih.bmi.sizeImage);
    mt.setFixedSizeSamples(row.fixedSize);
    mt.setTemporalCompression(row.temporal);
    mediaType_ = std::move(mt);
    return true;
  }
  if (kind == MediaKind_Audio) {
    if (!inRange(audioFormat, AudioFormat_Unknown) || !inRange(frequency, Frequency_Unknown) ||
        !inRange(channels, Channel_Unknown) || !inRange(bitCount, BitCount_Unknown)) {
      platformLog(PlatformLogLevel::Warn,
                  "media classification: no audio type for format %d, frequency %d, channels %d, bits %d",
                  audioFormat, frequency, channels, bitCount);
      return false;
    }
    static const uint16_t kBits[] = {0, 8, 16};
    WaveFormatEx wfx;
    wfx.samplesPerSec = kRates[frequency];
    wfx.channels = channels == Channel_Stereo ? 2 : 1;
    wfx.bitsPerSample = kBits[bitCount];
    std::vector<uint8_t> extra;
    GUID subtype = GUID_NULL;
    if (audioFormat == AudioFormat_MP3) {
      wfx.formatTag = WAVE_FORMAT_MPEGLAYER3;
      wfx.blockAlign = 2;
      wfx.avgBytesPerSec = 7000;
      wfx.cbSize = 12;
      MpegLayer3Extra e;
      e.id = MPEGLAYER3_ID_MPEG;
      extra = mpegLayer3ExtraBytes(e);
    } else if (audioFormat == AudioFormat_PCM) {
      subtype = MEDIASUBTYPE_PCM;
      wfx.formatTag = WAVE_FORMAT_PCM;
      wfx.blockAlign = static_cast<uint16_t>(wfx.bitsPerSample / 8 * wfx.channels);
      wfx.avgBytesPerSec = wfx.samplesPerSec * wfx.blockAlign;
      wfx.cbSize = 0;
    } else {
      subtype = MEDIASUBTYPE_MPEG1AudioPayload;
      wfx.formatTag = WAVE_FORMAT_MPEG;
      wfx.blockAlign = 1;
      wfx.avgBytesPerSec = 8000;
      wfx.cbSize = 22;
      Mpeg1Extra e;
      e.headLayer = ACM_MPEG_LAYER2;
      extra = mpeg1ExtraBytes(e);
    }
    MediaType mt(MEDIATYPE_Audio, subtype, FORMAT_WaveFormatEx);
    mt.setFormat(makeWaveFormatBlock(wfx, extra, 40));
    mt.setFixedSizeSamples(true);
    mt.setTemporalCompression(false);
    mt.setSampleSize(kAudioSampleSize);
    mediaType_ = std::move(mt);
    return true;
  }
  if (kind == MediaKind_Pointer) {
    MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
    mt.setFixedSizeSamples(true);
    mt.setTemporalCompression(false);
    mt.setSampleSize(kPointerRecordSize);
    mediaType_ = std::move(mt);
    return true;
  }
  return true;  // unknown kind: the type stays as it was
}

void MediaClassification::classify(const AM_MEDIA_TYPE& mt) {
  mediaType_ = mt;
  kind = MediaKind_Unknown;
  videoFormat = VideoFormat_Unknown;
  resolution = Resolution_Unknown;
  audioFormat = AudioFormat_Unknown;
  frequency = Frequency_Unknown;
  channels = Channel_Unknown;
  bitCount = BitCount_Unknown;
  bool fixedSize = mt.bFixedSizeSamples != 0, temporal = mt.bTemporalCompression != 0;

  if (mt.majortype == MEDIATYPE_Video) {
    kind = MediaKind_Video;
    VideoInfoHeader vih;
    if (!videoInfoOf(mt, vih)) return;
    const BitmapInfoHeader& b = vih.bmi;
    bool plain = fixedSize && !temporal, compressed = !fixedSize && temporal;
    if (b.bitCount == 16 && b.compression == BI_BITFIELDS && plain)
      videoFormat = VideoFormat_RGB555;
    else if (b.bitCount == 24 && b.compression == BI_RGB && plain)
      videoFormat = VideoFormat_RGB24;
    else if (b.compression == makeFourcc('M', 'P', '4', '2') && compressed)
      videoFormat = VideoFormat_MPEG4v2;
    else if (b.compression == makeFourcc('M', 'P', '4', '3') && compressed)
      videoFormat = VideoFormat_MPEG4v3;
    else if (b.compression == makeFourcc('m', '2', '6', '1') && compressed)
      videoFormat = VideoFormat_H261;
    else if (b.compression == makeFourcc('m', '2', '6', '3') && compressed)
      videoFormat = VideoFormat_H263;
    else if (b.compression == makeFourcc('M', 'J', 'P', 'G') && plain)
      videoFormat = VideoFormat_MJPEG;
    else if (b.compression == makeFourcc('d', 'v', 's', 'd') && plain)
      videoFormat = VideoFormat_DVSD;
    for (int i = 0; i < Resolution_Unknown; ++i)
      if (b.width == kResolutions[i][0] && b.height == kResolutions[i][1]) resolution = i;
    return;
  }
  if (mt.majortype == MEDIATYPE_Audio) {
    kind = MediaKind_Audio;
    WaveFormatEx wfx;
    if (!waveFormatOf(mt, wfx)) return;
    for (int i = 0; i < Frequency_Unknown; ++i)
      if (wfx.samplesPerSec == kRates[i]) frequency = i;
    channels = wfx.channels == 2 ? Channel_Stereo : wfx.channels == 1 ? Channel_Monaural : Channel_Unknown;
    bitCount = wfx.bitsPerSample == 0    ? BitCount_0
               : wfx.bitsPerSample == 8  ? BitCount_8
               : wfx.bitsPerSample == 16 ? BitCount_16
                                         : BitCount_Unknown;
    if (fixedSize && !temporal) {
      if (wfx.formatTag == WAVE_FORMAT_PCM)
        audioFormat = AudioFormat_PCM;
      else if (wfx.formatTag == WAVE_FORMAT_MPEG)
        audioFormat = AudioFormat_MPEG1;
      else if (wfx.formatTag == WAVE_FORMAT_MPEGLAYER3)
        audioFormat = AudioFormat_MP3;
    }
    return;
  }
  if (mt.majortype == MEDIATYPE_Stream && mt.subtype == MEDIASUBTYPE_PointerInfo &&
      mt.formattype == FORMAT_None)
    kind = MediaKind_Pointer;
}

bool MediaClassification::fullyClassified() const {
  switch (kind) {
    case MediaKind_Video:
      return videoFormat != VideoFormat_Unknown && resolution != Resolution_Unknown;
    case MediaKind_Audio:
      return audioFormat != AudioFormat_Unknown && frequency != Frequency_Unknown && channels != Channel_Unknown &&
             bitCount != BitCount_Unknown;
    case MediaKind_Pointer:
      return true;
    default:
      return false;
  }
}

bool MediaClassification::sameAs(const MediaClassification& o) const {
  if (kind != o.kind) return false;
  if (kind == MediaKind_Video) return videoFormat == o.videoFormat && resolution == o.resolution;
  if (kind == MediaKind_Audio)
    return audioFormat == o.audioFormat && frequency == o.frequency && channels == o.channels &&
           bitCount == o.bitCount;
  return true;
}
