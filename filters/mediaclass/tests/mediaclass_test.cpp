// Media classification: round trips for every valid set of codes, the
// refusals, and the built types' bytes.
#include "filters/mediaclass/mediaclass.h"

#include <gtest/gtest.h>

#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

MediaClassification roundTrip(const MediaClassification& c) {
  MediaClassification copy = c;
  EXPECT_TRUE(copy.buildMediaType());
  MediaClassification back;
  back.classify(copy.mediaType().get());
  return back;
}

TEST(MediaClass, EveryValidCombinationRoundTrips) {
  for (int f = 0; f < VideoFormat_Unknown; ++f)
    for (int r = 0; r < Resolution_Unknown; ++r) {
      MediaClassification c;
      c.kind = MediaKind_Video;
      c.videoFormat = f;
      c.resolution = r;
      MediaClassification back = roundTrip(c);
      EXPECT_EQ(back.kind, MediaKind_Video);
      EXPECT_EQ(back.videoFormat, f) << "format " << f << " resolution " << r;
      EXPECT_EQ(back.resolution, r);
      EXPECT_TRUE(back.sameAs(c));
    }
  for (int a = 0; a < AudioFormat_Unknown; ++a)
    for (int fr = 0; fr < Frequency_Unknown; ++fr)
      for (int ch = 0; ch < Channel_Unknown; ++ch)
        for (int b = 0; b < BitCount_Unknown; ++b) {
          MediaClassification c;
          c.kind = MediaKind_Audio;
          c.audioFormat = a;
          c.frequency = fr;
          c.channels = ch;
          c.bitCount = b;
          MediaClassification back = roundTrip(c);
          EXPECT_EQ(back.kind, MediaKind_Audio);
          EXPECT_EQ(back.audioFormat, a);
          EXPECT_EQ(back.frequency, fr);
          EXPECT_EQ(back.channels, ch);
          EXPECT_EQ(back.bitCount, b);
          EXPECT_TRUE(back.sameAs(c));
        }
}

TEST(MediaClass, DefaultIsDvVideo720x480) {
  MediaClassification c;
  ASSERT_TRUE(c.buildMediaType());
  const MediaType& mt = c.mediaType();
  EXPECT_EQ(mt.majortype(), MEDIATYPE_Video);
  EXPECT_EQ(mt.subtype(), MEDIASUBTYPE_dvsd);
  EXPECT_EQ(mt.formattype(), FORMAT_VideoInfo);
  ASSERT_EQ(mt.formatLength(), 1128u);
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(mt.get(), vih));
  EXPECT_EQ(vih.bmi.width, 720);
  EXPECT_EQ(vih.bmi.height, 480);
  EXPECT_EQ(vih.bmi.bitCount, 24);
  EXPECT_EQ(vih.bmi.planes, 1);
  EXPECT_EQ(vih.bmi.sizeImage, 720u * 480 * 3);
  EXPECT_EQ(mt.sampleSize(), 720u * 480 * 3);
  EXPECT_TRUE(mt.fixedSizeSamples());
  EXPECT_FALSE(mt.temporalCompression());
  EXPECT_EQ(vih.source, Rect32{});
  EXPECT_EQ(vih.target, Rect32{});
  for (size_t i = 88; i < 1128; ++i) ASSERT_EQ(mt.format()[i], 0);
  // The compression field holds "dvsd" as its four bytes.
  EXPECT_EQ(0, memcmp(mt.format() + 48 + 16, "dvsd", 4));
}

TEST(MediaClass, BuiltTypesHaveTheTableValues) {
  MediaClassification c;
  c.kind = MediaKind_Video;
  c.videoFormat = VideoFormat_RGB555;
  c.resolution = Resolution_QCIF;
  ASSERT_TRUE(c.buildMediaType());
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(c.mediaType().get(), vih));
  EXPECT_EQ(vih.bmi.bitCount, 16);
  EXPECT_EQ(vih.bmi.compression, BI_BITFIELDS);
  EXPECT_EQ(vih.bmi.sizeImage, 176u * 2 * 144);
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_RGB555);

  c.videoFormat = VideoFormat_MPEG4v2;
  ASSERT_TRUE(c.buildMediaType());
  EXPECT_FALSE(c.mediaType().fixedSizeSamples());
  EXPECT_TRUE(c.mediaType().temporalCompression());
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_MP42);

  // PCM, 44100 Hz, mono, 16 bits: block align 2, 88200 bytes a second.
  c.kind = MediaKind_Audio;
  c.audioFormat = AudioFormat_PCM;
  c.frequency = Frequency_44100;
  c.channels = Channel_Monaural;
  c.bitCount = BitCount_16;
  ASSERT_TRUE(c.buildMediaType());
  WaveFormatEx w;
  ASSERT_TRUE(waveFormatOf(c.mediaType().get(), w));
  EXPECT_EQ(c.mediaType().formatLength(), 40u);
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_PCM);
  EXPECT_EQ(w.formatTag, 1);
  EXPECT_EQ(w.blockAlign, 2);
  EXPECT_EQ(w.avgBytesPerSec, 88200u);
  EXPECT_EQ(w.cbSize, 0);
  EXPECT_EQ(c.mediaType().sampleSize(), 100000u);

  c.audioFormat = AudioFormat_MP3;
  c.frequency = Frequency_48000;
  c.channels = Channel_Stereo;
  ASSERT_TRUE(c.buildMediaType());
  const uint8_t mp3[30] = {0x55, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x58, 0x1B, 0, 0, 2, 0, 16, 0, 12, 0, 1, 0};
  ASSERT_EQ(c.mediaType().formatLength(), 40u);
  EXPECT_EQ(0, memcmp(c.mediaType().format(), mp3, 30));
  EXPECT_EQ(c.mediaType().subtype(), GUID_NULL);

  c.audioFormat = AudioFormat_MPEG1;
  ASSERT_TRUE(c.buildMediaType());
  Mpeg1Extra m1;
  ASSERT_TRUE(parseMpeg1Extra(c.mediaType().format(), c.mediaType().formatLength(), m1));
  EXPECT_EQ(m1.headLayer, 2);
  ASSERT_TRUE(waveFormatOf(c.mediaType().get(), w));
  EXPECT_EQ(w.formatTag, 80);
  EXPECT_EQ(w.avgBytesPerSec, 8000u);
  EXPECT_EQ(w.cbSize, 22);

  c.kind = MediaKind_Pointer;
  ASSERT_TRUE(c.buildMediaType());
  EXPECT_EQ(c.mediaType().majortype(), MEDIATYPE_Stream);
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_PointerInfo);
  EXPECT_EQ(c.mediaType().formattype(), FORMAT_None);
  EXPECT_EQ(c.mediaType().sampleSize(), 71u);
  EXPECT_EQ(c.mediaType().formatLength(), 0u);
  EXPECT_EQ(roundTrip(c).kind, MediaKind_Pointer);

  // The unknown kind leaves the type as it was.
  c.kind = MediaKind_Unknown;
  ASSERT_TRUE(c.buildMediaType());
  EXPECT_EQ(c.mediaType().subtype(), MEDIASUBTYPE_PointerInfo);
}

TEST(MediaClass, EdgeCasesOfClassification) {
  MediaClassification c;
  c.kind = MediaKind_Video;
  c.videoFormat = VideoFormat_MPEG4v2;
  c.resolution = Resolution_CIF;
  ASSERT_TRUE(c.buildMediaType());
  MediaType mt = c.mediaType();
  mt.setFixedSizeSamples(true);  // "MP42" claiming fixed-size samples
  MediaClassification back;
  back.classify(mt.get());
  EXPECT_EQ(back.videoFormat, VideoFormat_Unknown);
  EXPECT_EQ(back.resolution, Resolution_CIF);

  c.videoFormat = VideoFormat_RGB555;
  ASSERT_TRUE(c.buildMediaType());
  mt = c.mediaType();
  mt.ptr()->pbFormat[48 + 16] = 0;  // compression 0 with 16 bits
  back.classify(mt.get());
  EXPECT_EQ(back.videoFormat, VideoFormat_Unknown);

  // 200x100 is no resolution of the table.
  VideoInfoHeader vih;
  vih.bmi.width = 200;
  vih.bmi.height = 100;
  vih.bmi.bitCount = 24;
  MediaType odd(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  odd.setFormat(makeVideoInfoBlock(vih));
  back.classify(odd.get());
  EXPECT_EQ(back.videoFormat, VideoFormat_RGB24);
  EXPECT_EQ(back.resolution, Resolution_Unknown);

  // A video type whose format block is not a video-info record.
  MediaType noBlock(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  uint8_t shortBlock[20] = {};
  noBlock.setFormat(shortBlock, sizeof shortBlock);
  back.classify(noBlock.get());
  EXPECT_EQ(back.kind, MediaKind_Video);
  EXPECT_EQ(back.videoFormat, VideoFormat_Unknown);
  EXPECT_EQ(back.resolution, Resolution_Unknown);

  // 32000 Hz has no frequency code.
  c.kind = MediaKind_Audio;
  c.audioFormat = AudioFormat_PCM;
  c.frequency = Frequency_44100;
  c.channels = Channel_Stereo;
  c.bitCount = BitCount_16;
  ASSERT_TRUE(c.buildMediaType());
  mt = c.mediaType();
  mt.ptr()->pbFormat[4] = 0x00;  // 32000 = 0x7D00
  mt.ptr()->pbFormat[5] = 0x7D;
  back.classify(mt.get());
  EXPECT_EQ(back.frequency, Frequency_Unknown);
  EXPECT_EQ(back.audioFormat, AudioFormat_PCM);
  // A temporally compressed audio type has no audio format.
  mt = c.mediaType();
  mt.setTemporalCompression(true);
  back.classify(mt.get());
  EXPECT_EQ(back.audioFormat, AudioFormat_Unknown);

  // Unknown major types and stream types that are not pointers.
  back.classify(MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo).get());
  EXPECT_EQ(back.kind, MediaKind_Unknown);
  back.classify(MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_VideoInfo).get());
  EXPECT_EQ(back.kind, MediaKind_Unknown);
}

TEST(MediaClass, UnknownCodesBuildNothing) {
  MediaClassification c;
  ASSERT_TRUE(c.buildMediaType());
  MediaType before = c.mediaType();
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
