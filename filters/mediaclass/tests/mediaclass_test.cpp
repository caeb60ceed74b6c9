// Media classification: round trips for every valid set of codes, the
// refusals, and the built types' bytes.
#include "filters/mediaclass/mediaclass.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

// All seven codes; classify() sets those that do not apply to the kind to
// their unknown values.
auto codesOf(const MediaClassification& c) {
  return std::tuple(c.kind, c.videoFormat, c.resolution, c.audioFormat, c.frequency, c.channels, c.bitCount);
}

MediaClassification classified(const AM_MEDIA_TYPE& mt) {
  MediaClassification back;
  back.classify(mt);
  return back;
}

MediaClassification video(int format, int resolution) {
  MediaClassification c;
  c.videoFormat = format;
  c.resolution = resolution;
  EXPECT_TRUE(c.buildMediaType());
  return c;
}

MediaClassification audio(int format, int frequency, int channels, int bits) {
  MediaClassification c;
  c.kind = MediaKind_Audio;
  c.audioFormat = format;
  c.frequency = frequency;
  c.channels = channels;
  c.bitCount = bits;
  EXPECT_TRUE(c.buildMediaType());
  return c;
}

TEST(MediaClass, EveryValidCombinationRoundTrips) {
  for (int f = 0; f < VideoFormat_Unknown; ++f)
    for (int r = 0; r < Resolution_Unknown; ++r) {
      const MediaClassification c = video(f, r), back = classified(c.mediaType().get());
      EXPECT_EQ(codesOf(back), std::tuple(MediaKind_Video, f, r, 3, 6, 2, 3));
      EXPECT_TRUE(back.sameAs(c));
    }
  for (int a = 0; a < AudioFormat_Unknown; ++a)
    for (int fr = 0; fr < Frequency_Unknown; ++fr)
      for (int ch = 0; ch < Channel_Unknown; ++ch)
        for (int b = 0; b < BitCount_Unknown; ++b) {
          const MediaClassification c = audio(a, fr, ch, b), back = classified(c.mediaType().get());
          EXPECT_EQ(codesOf(back), std::tuple(MediaKind_Audio, 8, 9, a, fr, ch, b));
          EXPECT_TRUE(back.sameAs(c));
        }
}

TEST(MediaClass, BuiltTypesHaveTheTableValues) {
  // The default: DV video 720 x 480 in a 1128-byte format block, "dvsd" as
  // the compression field's four bytes, zeros after the bitmap header.
  MediaClassification c;
  ASSERT_TRUE(c.buildMediaType());
  const MediaType& mt = c.mediaType();
  EXPECT_EQ(std::tuple(mt.majortype(), mt.subtype(), mt.formattype()),
            std::tuple(MEDIATYPE_Video, MEDIASUBTYPE_dvsd, FORMAT_VideoInfo));
  ASSERT_EQ(mt.formatLength(), 1128u);
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(mt.get(), vih));
  EXPECT_EQ(vih.source, Rect32{});
  EXPECT_EQ(vih.target, Rect32{});
  EXPECT_EQ(std::tuple(vih.bmi.width, vih.bmi.height, vih.bmi.bitCount, vih.bmi.planes, vih.bmi.sizeImage),
            std::tuple(720, 480, 24, 1, 720u * 480 * 3));
  EXPECT_EQ(std::tuple(mt.sampleSize(), mt.fixedSizeSamples(), mt.temporalCompression()),
            std::tuple(720u * 480 * 3, true, false));
  for (size_t i = 88; i < 1128; ++i) ASSERT_EQ(mt.format()[i], 0);
  EXPECT_EQ(0, memcmp(mt.format() + 48 + 16, "dvsd", 4));

  c = video(VideoFormat_RGB555, Resolution_QCIF);
  ASSERT_TRUE(videoInfoOf(c.mediaType().get(), vih));
  EXPECT_EQ(std::tuple(vih.bmi.bitCount, vih.bmi.compression, vih.bmi.sizeImage),
            std::tuple(16, BI_BITFIELDS, 176u * 2 * 144));
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_RGB555);
  c = video(VideoFormat_MPEG4v2, Resolution_QCIF);
  EXPECT_EQ(std::tuple(c.mediaType().fixedSizeSamples(), c.mediaType().temporalCompression()),
            std::tuple(false, true));
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_MP42);

  // PCM, 44100 Hz, mono, 16 bits: block align 2, 88200 bytes a second.
  c = audio(AudioFormat_PCM, Frequency_44100, Channel_Monaural, BitCount_16);
  WaveFormatEx w;
  ASSERT_TRUE(waveFormatOf(c.mediaType().get(), w));
  EXPECT_EQ(std::tuple(c.mediaType().formatLength(), c.mediaType().subtype(), c.mediaType().sampleSize()),
            std::tuple(40u, MEDIASUBTYPE_PCM, 100000u));
  EXPECT_EQ(w, (WaveFormatEx{1, 1, 44100, 88200, 2, 16, 0}));

  c = audio(AudioFormat_MP3, Frequency_48000, Channel_Stereo, BitCount_16);
  const uint8_t mp3[30] = {0x55, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x58, 0x1B, 0, 0, 2, 0, 16, 0, 12, 0, 1, 0};
  ASSERT_EQ(c.mediaType().formatLength(), 40u);
  EXPECT_EQ(0, memcmp(c.mediaType().format(), mp3, 30));
  EXPECT_EQ(c.mediaType().subtype(), GUID_NULL);

  c = audio(AudioFormat_MPEG1, Frequency_48000, Channel_Stereo, BitCount_16);
  Mpeg1Extra m1;
  ASSERT_TRUE(parseMpeg1Extra(c.mediaType().format(), c.mediaType().formatLength(), m1));
  EXPECT_EQ(m1.headLayer, 2);
  ASSERT_TRUE(waveFormatOf(c.mediaType().get(), w));
  EXPECT_EQ(std::tuple(w.formatTag, w.avgBytesPerSec, w.cbSize), std::tuple(80, 8000u, 22));

  c.kind = MediaKind_Pointer;
  ASSERT_TRUE(c.buildMediaType());
  EXPECT_EQ(std::tuple(c.mediaType().majortype(), c.mediaType().subtype(), c.mediaType().formattype()),
            std::tuple(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None));
  EXPECT_EQ(std::tuple(c.mediaType().sampleSize(), c.mediaType().formatLength()), std::tuple(71u, 0u));
  EXPECT_EQ(classified(c.mediaType().get()).kind, MediaKind_Pointer);
  // The unknown kind leaves the type as it was.
  c.kind = MediaKind_Unknown;
  ASSERT_TRUE(c.buildMediaType());
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_PointerInfo);
}

TEST(MediaClass, EdgeCasesOfClassification) {
  MediaType mt = video(VideoFormat_MPEG4v2, Resolution_CIF).mediaType();
  mt.setFixedSizeSamples(true);  // "MP42" claiming fixed-size samples
  EXPECT_EQ(codesOf(classified(mt.get())), std::tuple(0, 8, Resolution_CIF, 3, 6, 2, 3));
  mt = video(VideoFormat_RGB555, Resolution_CIF).mediaType();
  mt.ptr()->pbFormat[48 + 16] = 0;  // compression 0 with 16 bits
  EXPECT_EQ(classified(mt.get()).videoFormat, VideoFormat_Unknown);

  // 200x100 is no resolution of the table.
  VideoInfoHeader vih;
  vih.bmi.width = 200;
  vih.bmi.height = 100;
  vih.bmi.bitCount = 24;
  MediaType odd(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  odd.setFormat(makeVideoInfoBlock(vih));
  EXPECT_EQ(codesOf(classified(odd.get())), std::tuple(0, VideoFormat_RGB24, 9, 3, 6, 2, 3));
  // A video type whose format block is not a video-info record.
  MediaType noBlock(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  uint8_t shortBlock[20] = {};
  noBlock.setFormat(shortBlock, sizeof shortBlock);
  EXPECT_EQ(codesOf(classified(noBlock.get())), std::tuple(0, 8, 9, 3, 6, 2, 3));

  // 32000 Hz has no frequency code.
  const MediaClassification pcm = audio(AudioFormat_PCM, Frequency_44100, Channel_Stereo, BitCount_16);
  mt = pcm.mediaType();
  mt.ptr()->pbFormat[4] = 0x00;  // 32000 = 0x7D00
  mt.ptr()->pbFormat[5] = 0x7D;
  EXPECT_EQ(codesOf(classified(mt.get())), std::tuple(1, 8, 9, AudioFormat_PCM, Frequency_Unknown, 0, 2));
  // A temporally compressed audio type has no audio format.
  mt = pcm.mediaType();
  mt.setTemporalCompression(true);
  EXPECT_EQ(classified(mt.get()).audioFormat, AudioFormat_Unknown);

  // Unknown major types and stream types that are not pointers.
  EXPECT_EQ(classified(MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo).get()).kind,
            MediaKind_Unknown);
  EXPECT_EQ(classified(MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_VideoInfo).get()).kind,
            MediaKind_Unknown);
}

TEST(MediaClass, UnknownCodesBuildNothing) {
  MediaClassification c;
  ASSERT_TRUE(c.buildMediaType());
  const MediaType before = c.mediaType();
  c.resolution = Resolution_Unknown;
  EXPECT_FALSE(c.buildMediaType());
  c.resolution = -1;
  EXPECT_FALSE(c.buildMediaType());
  c.resolution = Resolution_CIF;
  c.videoFormat = 99;
  EXPECT_FALSE(c.buildMediaType());
  c.kind = MediaKind_Audio;
  c.frequency = Frequency_Unknown;
  EXPECT_FALSE(c.buildMediaType());
  EXPECT_TRUE(c.mediaType() == before);
}

TEST(MediaClass, EqualityAndNames) {
  MediaClassification a, b;
  a.kind = b.kind = MediaKind_Video;
  a.videoFormat = b.videoFormat = VideoFormat_MJPEG;
  a.resolution = Resolution_320x240;
  b.resolution = Resolution_640x480;
  EXPECT_FALSE(a.sameAs(b));
  b.resolution = Resolution_320x240;
  b.frequency = Frequency_8000;  // not compared for video
  EXPECT_TRUE(a.sameAs(b));
  a.kind = b.kind = MediaKind_Pointer;
  a.videoFormat = VideoFormat_RGB24;
  EXPECT_TRUE(a.sameAs(b));
  b.kind = MediaKind_Unknown;
  EXPECT_FALSE(a.sameAs(b));

  EXPECT_STREQ(videoFormatName(0), "RGB555(16bit)");
  EXPECT_STREQ(videoFormatName(4), "dvsd");
  EXPECT_EQ(videoFormatName(8), nullptr);
  EXPECT_STREQ(resolutionName(4), "180x120");
  EXPECT_STREQ(frequencyName(4), "44.1KHz");
  EXPECT_STREQ(channelName(1), "Monaural");
  EXPECT_STREQ(bitCountName(0), "0bit");
  EXPECT_STREQ(audioFormatName(2), "MPEG1");
  EXPECT_EQ(frequencyRate(3), 22050u);
  EXPECT_EQ(frequencyRate(6), 0u);
}

}  // namespace
