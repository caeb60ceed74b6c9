// Byte records against bytes built by hand, and the readers' refusals.
#include "platform/media/records.h"

#include <gtest/gtest.h>

#include "platform/media/guids.h"

namespace {

std::vector<uint8_t> le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
std::vector<uint8_t> le16(uint16_t v) {
  return {uint8_t(v), uint8_t(v >> 8)};
}
void append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
}

TEST(Records, VideoInfoCifRgb24ByHand) {
  VideoInfoHeader vih;
  vih.bmi.width = 352;
  vih.bmi.height = 288;
  vih.bmi.bitCount = 24;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  EXPECT_EQ(vih.bmi.sizeImage, 352u * 3 * 288);
  vih.avgTimePerFrame = 333333;
  std::vector<uint8_t> block = makeVideoInfoBlock(vih, kVideoInfoFullSize);
  ASSERT_EQ(block.size(), 1128u);

  std::vector<uint8_t> expected(32, 0);                 // two empty rectangles
  append(expected, le32(0));                            // bit rate
  append(expected, le32(0));                            // bit error rate
  append(expected, {0x15, 0x16, 0x05, 0, 0, 0, 0, 0});  // 333333 as 64 bits
  append(expected, le32(40));
  append(expected, le32(352));
  append(expected, le32(288));
  append(expected, le16(1));
  append(expected, le16(24));
  append(expected, le32(0));
  append(expected, le32(304128));
  append(expected, std::vector<uint8_t>(16, 0));
  ASSERT_EQ(expected.size(), 88u);
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 88), expected);
  for (size_t i = 88; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << i;

  VideoInfoHeader back;
  ASSERT_TRUE(parseVideoInfo(block.data(), block.size(), back));
  EXPECT_EQ(back, vih);
  EXPECT_EQ(subtypeFromBitmapHeader(back.bmi), MEDIASUBTYPE_RGB24);
}

TEST(Records, PcmWaveFormatByHand) {
  WaveFormatEx w{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
  std::vector<uint8_t> expected = {0x01, 0x00, 0x01, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x88,
                                   0x58, 0x01, 0x00, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00};
  EXPECT_EQ(makeWaveFormatBlock(w), expected);
  WaveFormatEx back;
  ASSERT_TRUE(parseWaveFormat(expected.data(), expected.size(), back));
  EXPECT_EQ(back, w);
  // The 16-byte PCM form without the extra-size word.
  ASSERT_TRUE(parseWaveFormat(expected.data(), 16, back));
  EXPECT_EQ(back.cbSize, 0);
}

TEST(Records, Mp3AndMpeg1ExtraBytes) {
  WaveFormatEx w{WAVE_FORMAT_MPEGLAYER3, 2, 48000, 7000, 2, 0, 12};
  MpegLayer3Extra e;
  e.id = MPEGLAYER3_ID_MPEG;
  std::vector<uint8_t> block = makeWaveFormatBlock(w, mpegLayer3ExtraBytes(e), 40);
  std::vector<uint8_t> expected = {0x55, 0x00, 0x02, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x58,
                                   0x1B, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0C, 0x00,  // wave-format
                                   0x01, 0x00, 0,    0,    0,    0,    0,    0,    0,
                                   0,    0,    0};  // id 1, zeros
  expected.resize(40, 0);
  EXPECT_EQ(block, expected);
  MpegLayer3Extra back;
  ASSERT_TRUE(parseMpegLayer3Extra(block.data(), block.size(), back));
  EXPECT_EQ(back, e);

  WaveFormatEx m{WAVE_FORMAT_MPEG, 2, 44100, 8000, 1, 0, 22};
  Mpeg1Extra x;
  x.headLayer = ACM_MPEG_LAYER2;
  block = makeWaveFormatBlock(m, mpeg1ExtraBytes(x), 40);
  ASSERT_EQ(block.size(), 40u);
  EXPECT_EQ(block[16], 22);
  EXPECT_EQ(block[18], 2);
  Mpeg1Extra xb;
  ASSERT_TRUE(parseMpeg1Extra(block.data(), block.size(), xb));
  EXPECT_EQ(xb, x);
  // Extra bytes claimed but missing.
  EXPECT_FALSE(parseMpeg1Extra(block.data(), 39, xb));
  EXPECT_FALSE(parseMpegLayer3Extra(block.data(), 29, back));
}

TEST(Records, MediaTypeRecordIs72Bytes) {
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_RGB24;
  mt.bFixedSizeSamples = 1;
  mt.bTemporalCompression = 0;
  mt.lSampleSize = 304128;
  mt.formattype = FORMAT_VideoInfo;
  mt.cbFormat = 1128;
  std::vector<uint8_t> out;
  ByteWriter w(out);
  writeMediaTypeRecord(w, mt);
  ASSERT_EQ(out.size(), kMediaTypeRecordSize);
  const uint8_t videoBytes[16] = {0x76, 0x69, 0x64, 0x73, 0, 0,    0x10, 0,
                                  0x80, 0,    0,    0xAA, 0, 0x38, 0x9B, 0x71};
  EXPECT_EQ(0, memcmp(out.data(), videoBytes, 16));
  const uint8_t rgb24Bytes[16] = {0x7D, 0xEB, 0x36, 0xE4, 0x4F, 0x52, 0xCE, 0x11,
                                  0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70};
  EXPECT_EQ(0, memcmp(out.data() + 16, rgb24Bytes, 16));
  EXPECT_EQ(out[32], 1);
  EXPECT_EQ(out[36], 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 40, out.begin() + 44), le32(304128));
  EXPECT_EQ(out[44], 0x80);  // video-info format type begins 80 9F 58 05
  EXPECT_EQ(out[45], 0x9F);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 60, out.begin() + 64), le32(0));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 64, out.begin() + 68), le32(1128));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 68, out.begin() + 72), le32(0));

  ByteReader r(out.data(), out.size());
  AM_MEDIA_TYPE back{};
  ASSERT_TRUE(readMediaTypeRecord(r, back));
  EXPECT_EQ(back.majortype, mt.majortype);
  EXPECT_EQ(back.subtype, mt.subtype);
  EXPECT_EQ(back.formattype, mt.formattype);
  EXPECT_EQ(back.lSampleSize, mt.lSampleSize);
  EXPECT_EQ(back.cbFormat, 0u);
  EXPECT_EQ(back.pbFormat, nullptr);

  ByteReader shortReader(out.data(), 71);
  AM_MEDIA_TYPE untouched{};
  untouched.lSampleSize = 7;
  EXPECT_FALSE(readMediaTypeRecord(shortReader, untouched));
  EXPECT_EQ(untouched.lSampleSize, 7u);
  EXPECT_TRUE(shortReader.failed());
}

TEST(Records, ReaderIsStickyAndBounded) {
  uint8_t bytes[5] = {1, 2, 3, 4, 5};
  ByteReader r(bytes, 5);
  EXPECT_EQ(r.u32(), 0x04030201u);
  EXPECT_EQ(r.u16(), 0);  // only one byte left
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.u8(), 0);  // the flag stays
  EXPECT_EQ(r.remaining(), 0u);
  ByteReader empty(nullptr, 100);
  EXPECT_EQ(empty.u8(), 0);
  EXPECT_TRUE(empty.failed());
}

TEST(Records, BadVideoInfoIsRefused) {
  VideoInfoHeader vih;
  vih.bmi.width = 16;
  vih.bmi.height = 16;
  vih.bmi.bitCount = 24;
  std::vector<uint8_t> block = makeVideoInfoBlock(vih);
  VideoInfoHeader out;
  EXPECT_FALSE(parseVideoInfo(block.data(), 87, out));  // shorter than the header
  EXPECT_FALSE(parseVideoInfo(nullptr, 88, out));
  block[48] = 80;  // bitmap header claims 80 bytes, block has room for 40
  EXPECT_FALSE(parseVideoInfo(block.data(), block.size(), out));
  block[48] = 39;
  EXPECT_FALSE(parseVideoInfo(block.data(), block.size(), out));

  BitmapInfoHeader b;
  b.bitCount = 24;
  b.width = 0, b.height = 10;
  EXPECT_EQ(bitmapImageSize(b), 0u);
  b.width = -5;
  EXPECT_EQ(bitmapImageSize(b), 0u);
  b.width = 10, b.height = 0;
  EXPECT_EQ(bitmapImageSize(b), 0u);
  b.height = -10;  // top-down
  EXPECT_EQ(bitmapImageSize(b), 320u);
  b.width = 0x7FFFFFFF, b.height = 0x7FFFFFFF;  // overflows 32 bits
  EXPECT_EQ(bitmapImageSize(b), 0u);
  b.width = 100, b.height = 100, b.bitCount = 64;
  EXPECT_EQ(bitmapImageSize(b), 0u);
  b.bitCount = 16, b.width = 3, b.height = 2;  // rows padded to 4 bytes
  EXPECT_EQ(bitmapImageSize(b), 16u);

  WaveFormatEx w;
  uint8_t shortWave[17] = {0x55};
  EXPECT_FALSE(parseWaveFormat(shortWave, 17, w));  // not PCM and no extra-size word
  std::vector<uint8_t> claims = makeWaveFormatBlock(WaveFormatEx{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 30});
  EXPECT_FALSE(parseWaveFormat(claims.data(), claims.size(), w));
}

TEST(Records, SubtypeFromBitmapHeader) {
  BitmapInfoHeader b;
  b.bitCount = 16;
  b.compression = BI_BITFIELDS;
  const uint32_t masks565[3] = {0xF800, 0x07E0, 0x001F};
  EXPECT_EQ(subtypeFromBitmapHeader(b, masks565), MEDIASUBTYPE_RGB565);
  EXPECT_EQ(subtypeFromBitmapHeader(b), MEDIASUBTYPE_RGB555);
  b.compression = BI_RGB;
  EXPECT_EQ(subtypeFromBitmapHeader(b), MEDIASUBTYPE_RGB555);
  b.bitCount = 32;
  EXPECT_EQ(subtypeFromBitmapHeader(b), MEDIASUBTYPE_RGB32);
  b.bitCount = 12;
  EXPECT_EQ(subtypeFromBitmapHeader(b), GUID_NULL);
  b.bitCount = 24;
  b.compression = makeFourcc('M', 'P', '4', '2');
  EXPECT_EQ(subtypeFromBitmapHeader(b), MEDIASUBTYPE_MP42);
  EXPECT_EQ(guidToString(MEDIASUBTYPE_dvsd), "{64737664-0000-0010-8000-00AA00389B71}");
}

TEST(MediaTypes, CopyCompareAndMatch) {
  MediaType a(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  uint8_t fmt[4] = {1, 2, 3, 4};
  a.setFormat(fmt, 4);
  MediaType b = a;
  EXPECT_TRUE(a == b);
  EXPECT_NE(a.format(), b.format());
  b.ptr()->pbFormat[0] = 9;
  EXPECT_FALSE(a == b);
  AM_MEDIA_TYPE pattern{};
  pattern.majortype = MEDIATYPE_Video;
  EXPECT_TRUE(a.matchesPartial(pattern));
  pattern.subtype = MEDIASUBTYPE_RGB32;
  EXPECT_FALSE(a.matchesPartial(pattern));
  AM_MEDIA_TYPE* c = CreateMediaType(a.ptr());
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(MediaType::mediaTypesEqual(*c, a.get()));
  DeleteMediaType(c);
  MediaType moved = std::move(b);
  EXPECT_EQ(b.format(), nullptr);
  EXPECT_EQ(moved.formatLength(), 4u);
}

}  // namespace
