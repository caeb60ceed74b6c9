// Media classification: the seven integer codes by which the multicast
// filters, their wrappers and the engines name media formats, and the two
// conversions between codes and media types.
#pragma once
#include "platform/media/media_type.h"

enum MediaKind : int {
  MediaKind_Video = 0,
  MediaKind_Audio = 1,
  MediaKind_Pointer = 2,
  MediaKind_Unknown = 3
};

enum VideoFormatCode : int {
  VideoFormat_RGB555 = 0,
  VideoFormat_RGB24 = 1,
  VideoFormat_MPEG4v2 = 2,
  VideoFormat_MPEG4v3 = 3,
  VideoFormat_DVSD = 4,
  VideoFormat_H261 = 5,
  VideoFormat_H263 = 6,
  VideoFormat_MJPEG = 7,
  VideoFormat_Unknown = 8,
};

enum ResolutionCode : int {
  Resolution_SQCIF = 0,  // 128x96
  Resolution_QCIF = 1,   // 176x144
  Resolution_CIF = 2,    // 352x288
  Resolution_160x120 = 3,
  Resolution_180x120 = 4,
  Resolution_320x240 = 5,
  Resolution_360x240 = 6,
  Resolution_640x480 = 7,
  Resolution_720x480 = 8,
  Resolution_Unknown = 9,
};

enum AudioFormatCode : int {
  AudioFormat_MP3 = 0,
  AudioFormat_PCM = 1,
  AudioFormat_MPEG1 = 2,
  AudioFormat_Unknown = 3
};

enum FrequencyCode : int {
  Frequency_8000 = 0,
  Frequency_11025 = 1,
  Frequency_16000 = 2,
  Frequency_22050 = 3,
  Frequency_44100 = 4,
  Frequency_48000 = 5,
  Frequency_Unknown = 6,
};

enum ChannelCode : int { Channel_Stereo = 0, Channel_Monaural = 1, Channel_Unknown = 2 };

enum BitCountCode : int { BitCount_0 = 0, BitCount_8 = 1, BitCount_16 = 2, BitCount_Unknown = 3 };

// Size of the pointer record each pointer sample carries.
inline constexpr ULONG kPointerRecordSize = 71;
// Sample size of the audio types built from codes.
inline constexpr ULONG kAudioSampleSize = 100000;

// Names shown in the property pages, in code order (the unknown code has none).
const char* videoFormatName(int code);  // "RGB555(16bit)", "RGB24", ...; nullptr when out of range
const char* resolutionName(int code);   // "SQCIF(128x96)", ...
const char* audioFormatName(int code);  // "MP3", "PCM", "MPEG1"
const char* frequencyName(int code);    // "8KHz", ...
const char* channelName(int code);      // "Stereo", "Monaural"
const char* bitCountName(int code);     // "0bit", "8bit", "16bit"
// Picture size of a resolution code; false for unknown codes.
bool resolutionSize(int code, int* width, int* height);
// Sample rate of a frequency code; 0 for unknown codes.
uint32_t frequencyRate(int code);

class MediaClassification {
 public:
  // The defaults: video, "dvsd", 720x480, MP3, 48000 Hz, stereo, 16 bits;
  // the media type is empty until built.
  MediaClassification() = default;

  int kind = MediaKind_Video;
  int videoFormat = VideoFormat_DVSD;
  int resolution = Resolution_720x480;
  int audioFormat = AudioFormat_MP3;
  int frequency = Frequency_48000;
  int channels = Channel_Stereo;
  int bitCount = BitCount_16;

  const MediaType& mediaType() const { return mediaType_; }

  // Builds the media type from the codes. For the unknown kind the type is
  // left as it was (true). A video or audio code that names no format
  // (an unknown or out-of-range value) leaves the type as it was and
  // returns false.
  bool buildMediaType();
  // Takes mt over and sets the codes from it. Codes that do not apply to
  // the kind found are set to their unknown values.
  void classify(const AM_MEDIA_TYPE& mt);
  // Same kind and, for video, the same format and resolution; for audio the
  // same format, frequency, channels and bit count.
  bool sameAs(const MediaClassification& other) const;
  // Whether every code that matters for the kind names a format: video of a
  // known format and resolution, audio with no unknown code, or a pointer
  // stream. Only such streams are sent, delivered or taken over.
  bool fullyClassified() const;

 private:
  MediaType mediaType_;
};
