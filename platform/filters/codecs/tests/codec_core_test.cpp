// The codec core without the framework: picture layouts, the frame-number
// code, and the decoder's rules for broken, lost and out-of-order samples.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/filters/codecs/frame_code.h"
#include "platform/filters/codecs/video_codec_core.h"

namespace {

std::vector<std::vector<uint8_t>> encodeFrames(VideoCodecKind kind, int w, int h, int count, int keyInterval) {
  VideoEncoderCore encoder;
  EncoderSettings s;
  s.keyFrameInterval = keyInterval;
  EXPECT_TRUE(encoder.open(kind, w, h, s));
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> picture(size_t(w) * h * 3);
  for (int n = 0; n < count; ++n) {
    drawCodedPicture(picture.data(), ptrdiff_t(w) * 3, w, h, uint32_t(n));
    EXPECT_TRUE(encoder.encode({AV_PIX_FMT_BGR24, w, h, false}, picture.data()));
    EXPECT_EQ(encoder.isKeyFrame(), kind == VideoCodecKind::DV || n % keyInterval == 0) << n;
    out.push_back(encoder.data());
  }
  return out;
}

int32_t decodedCode(VideoDecoderCore& d, int w, int h) {
  PictureFormat out{AV_PIX_FMT_BGR24, w, h, true};
  std::vector<uint8_t> picture(pictureSize(out));
  if (!d.convertPicture(out, picture.data())) return -2;
  ptrdiff_t stride = ((w * 3 + 3) & ~3);
  return readFrameCode(picture.data() + stride * (h - 1), -stride, w, h);
}

TEST(PictureLayout, SizesStridesAndOrientation) {
  // RGB rows are padded to 32 bits and stored bottom-up.
  PictureFormat rgb{AV_PIX_FMT_BGR24, 90, 60, true};
  EXPECT_EQ(pictureSize(rgb), 272u * 60);
  uint8_t* planes[4];
  int strides[4];
  std::vector<uint8_t> buffer(pictureSize(rgb));
  ASSERT_TRUE(pictureLayout(rgb, buffer.data(), planes, strides));
  EXPECT_EQ(planes[0], buffer.data() + 272 * 59);
  EXPECT_EQ(strides[0], -272);
  // I420: Y, then U and V at a quarter each.
  PictureFormat i420{AV_PIX_FMT_YUV420P, 352, 288, false};
  EXPECT_EQ(pictureSize(i420), 352u * 288 * 3 / 2);
  ASSERT_TRUE(pictureLayout(i420, buffer.data(), planes, strides));
  EXPECT_EQ(planes[1] - planes[0], 352 * 288);
  EXPECT_EQ(planes[2] - planes[1], 176 * 144);
  EXPECT_EQ(strides[1], 176);
  // Sizes that cannot be laid out.
  EXPECT_EQ(pictureSize({AV_PIX_FMT_YUV420P, 351, 288, false}), 0u);
  EXPECT_EQ(pictureSize({AV_PIX_FMT_BGR24, 0, 288, false}), 0u);
  EXPECT_EQ(pictureSize({AV_PIX_FMT_BGR24, 100000, 2, false}), 0u);
  EXPECT_FALSE(pictureLayout({AV_PIX_FMT_NONE, 16, 16, false}, buffer.data(), planes, strides));
}

TEST(PictureConverter, OddWidthsKeepTheirNeighbours) {
  // A 90-pixel-wide bottom-up picture, converted from a frame, must not
  // spill over its rows or past its buffer: guard bytes stay intact, and
  // every pixel is the grey of luma 200 (video range: 214 in RGB).
  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = 90;
  frame->height = 60;
  ASSERT_EQ(av_frame_get_buffer(frame, 0), 0);
  for (int p = 0; p < 3; ++p)
    for (int y = 0; y < (p ? 30 : 60); ++y) std::memset(frame->data[p] + y * frame->linesize[p], p ? 128 : 200, p ? 45 : 90);
  PictureConverter converter;
  PictureFormat out{AV_PIX_FMT_BGR24, 90, 60, true};
  std::vector<uint8_t> buffer(pictureSize(out) + 64, 0xA5);
  ASSERT_TRUE(converter.convert(frame, out, buffer.data()));
  for (size_t i = pictureSize(out); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xA5) << i;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 270; ++x) ASSERT_NEAR(buffer[size_t(y) * 272 + x], 214, 3) << x << "," << y;
  av_frame_free(&frame);
}

TEST(FrameCode, ReadsBackAndRefusesDamage) {
  const int w = 352, h = 96;
  std::vector<uint8_t> picture(size_t(w) * h * 3);
  for (uint32_t n : {0u, 1u, 12345u, kFrameCodeModulus - 1}) {
    drawCodedPicture(picture.data(), w * 3, w, h, n);
    EXPECT_EQ(readFrameCode(picture.data(), w * 3, w, h), int32_t(n));
  }
  drawCodedPicture(picture.data(), w * 3, w, h, kFrameCodeModulus + 5);
  EXPECT_EQ(readFrameCode(picture.data(), w * 3, w, h), 5);
  // A block whose complement does not differ: unreadable.
  for (int y = 16; y < 32; ++y) std::memcpy(&picture[size_t(y) * w * 3], &picture[size_t(y - 16) * w * 3], 48);
  EXPECT_EQ(readFrameCode(picture.data(), w * 3, w, h), -1);
  EXPECT_EQ(readFrameCode(picture.data(), w * 3, 300, h), -1);  // too narrow for the code
}

TEST(VideoDecoderCore, ShowsOnlyCleanPicturesFromAKeyFrameOn) {
  const int w = 352, h = 288;
  auto frames = encodeFrames(VideoCodecKind::MP42, w, h, 12, 5);
  VideoDecoderCore d;
  ASSERT_TRUE(d.open(VideoCodecKind::MP42, w, h));
  using R = VideoDecoderCore::Result;
  // Joining mid-stream: P frames are held back until a key frame.
  EXPECT_EQ(d.decode(frames[1].data(), frames[1].size(), false), R::Waiting);
  EXPECT_EQ(d.decode(frames[5].data(), frames[5].size(), false), R::Picture);
  EXPECT_EQ(decodedCode(d, w, h), 5);
  EXPECT_EQ(d.decode(frames[6].data(), frames[6].size(), false), R::Picture);
  EXPECT_EQ(decodedCode(d, w, h), 6);
  // A lost frame (the next sample is a discontinuity): wait for key frame 10.
  EXPECT_EQ(d.decode(frames[8].data(), frames[8].size(), true), R::Waiting);
  EXPECT_EQ(d.decode(frames[9].data(), frames[9].size(), false), R::Waiting);
  EXPECT_EQ(d.decode(frames[10].data(), frames[10].size(), true), R::Picture);
  EXPECT_EQ(decodedCode(d, w, h), 10);
  // Nothing, and a cut frame, are broken.
  EXPECT_EQ(d.decode(nullptr, 0, false), R::Broken);
  EXPECT_EQ(d.decode(frames[11].data(), frames[11].size() / 3, false), R::Broken);
  EXPECT_GE(d.brokenCount(), 2u);
  EXPECT_EQ(d.decode(frames[11].data(), frames[11].size(), false), R::Waiting);
  EXPECT_EQ(d.decode(frames[0].data(), frames[0].size(), false), R::Picture);
  EXPECT_EQ(decodedCode(d, w, h), 0);
  // A stream declared at another size: its pictures are refused.
  VideoDecoderCore small;
  ASSERT_TRUE(small.open(VideoCodecKind::DV, 720, 576));
  auto dv = encodeFrames(VideoCodecKind::DV, 720, 480, 2, 1);
  EXPECT_EQ(dv[0].size(), 120000u);
  EXPECT_EQ(small.decode(dv[0].data(), dv[0].size(), false), R::Broken);
  VideoDecoderCore right;
  ASSERT_TRUE(right.open(VideoCodecKind::DV, 720, 480));
  EXPECT_EQ(right.decode(dv[1].data(), dv[1].size(), false), R::Picture);
  EXPECT_EQ(decodedCode(right, 720, 480), 1);
}

TEST(VideoDecoderCore, NoiseNeverCrashes) {
  std::mt19937 random(99);
  for (VideoCodecKind kind : {VideoCodecKind::MP42, VideoCodecKind::DV}) {
    VideoDecoderCore d;
    ASSERT_TRUE(d.open(kind, kind == VideoCodecKind::DV ? 720 : 352, kind == VideoCodecKind::DV ? 480 : 288));
    PictureFormat out{AV_PIX_FMT_BGR24, 176, 144, true};
    std::vector<uint8_t> picture(pictureSize(out));
    for (int i = 0; i < 200; ++i) {
      std::vector<uint8_t> bytes(random() % (kind == VideoCodecKind::DV ? 130000 : 4000));
      for (auto& b : bytes) b = static_cast<uint8_t>(random());
      if (d.decode(bytes.data(), bytes.size(), i % 7 == 0) == VideoDecoderCore::Result::Picture)
        d.convertPicture(out, picture.data());
    }
  }
}

TEST(VideoEncoderCore, RefusesWhatItCannotCode) {
  VideoEncoderCore e;
  EXPECT_FALSE(e.open(VideoCodecKind::DV, 352, 288, {}));
  EXPECT_FALSE(e.isOpen());
  EXPECT_FALSE(e.encode({AV_PIX_FMT_BGR24, 16, 16, false}, nullptr));
  ASSERT_TRUE(e.open(VideoCodecKind::MP42, 176, 144, {}));
  // A picture of another layout than the encoder's size is scaled, not overrun.
  std::vector<uint8_t> picture(352 * 288 * 3, 90);
  EXPECT_TRUE(e.encode({AV_PIX_FMT_BGR24, 352, 288, true}, picture.data()));
  EXPECT_FALSE(e.data().empty());
}

}  // namespace
