// The test pattern and its frame-number code: the code's bit layout and
// checksum, reading the number back from every format and size, from a
// degraded picture (scaled, blurred, noisy, as after lossy coding), and
// rejecting pictures that carry no code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/filters/capture/test_pattern_code.h"
#include "platform/filters/capture/test_pattern_image.h"
#include "platform/media/guids.h"

namespace {

std::vector<uint8_t> render(uint64_t frame, const VideoFormat& f) {
  std::vector<uint8_t> pic(pictureBytes(f));
  EXPECT_TRUE(renderTestPattern(frame, f, pic.data(), pic.size()));
  return pic;
}

bool readBack(const std::vector<uint8_t>& pic, const VideoFormat& f, uint32_t* frame) {
  if (f.subtype == MEDIASUBTYPE_RGB24)
    return test_pattern::readFrameNumberRgb24(pic.data(), f.width, f.height, frame);
  if (f.subtype == MEDIASUBTYPE_YUY2)
    return test_pattern::readFrameNumberYuy2(pic.data(), f.width, f.height, frame);
  return test_pattern::readFrameNumberLuma(pic.data(), f.width, f.height, f.width, frame);
}

Rgb rgbAt(const std::vector<uint8_t>& pic, int width, int height, int x, int y) {
  const uint8_t* p = pic.data() + rgb24Stride(width) * size_t(height - 1 - y) + 3 * size_t(x);
  return {p[2], p[1], p[0]};
}

TEST(TestPatternCode, BitsChecksumAndRejection) {
  // Frame 5: bits 0 and 2 set, frame field masked to 24 bits.
  uint32_t code = test_pattern::encodeFrameCode(5);
  EXPECT_EQ(code & 0xFFFFFF, 5u);
  EXPECT_EQ(code >> 24, test_pattern::codeChecksum(5));
  uint32_t frame = 0;
  ASSERT_TRUE(test_pattern::decodeFrameCode(code, &frame));
  EXPECT_EQ(frame, 5u);
  // Numbers wrap at 2^24.
  EXPECT_EQ(test_pattern::encodeFrameCode((1ull << 24) + 7), test_pattern::encodeFrameCode(7));
  // Any single flipped bit is caught by the checksum.
  for (int bit = 0; bit < 32; ++bit)
    EXPECT_FALSE(test_pattern::decodeFrameCode(code ^ (1u << bit), &frame)) << bit;
  // An all-black or all-white band is no code.
  EXPECT_FALSE(test_pattern::decodeFrameCode(0, &frame));
  EXPECT_FALSE(test_pattern::decodeFrameCode(0xFFFFFFFF, &frame));
  // Block geometry: 16 across, two rows of height/12, covering the width.
  auto b = test_pattern::codeBlock(17, 640, 480);
  EXPECT_EQ(b.x0, 40);
  EXPECT_EQ(b.x1, 80);
  EXPECT_EQ(b.y0, 40);
  EXPECT_EQ(b.y1, 80);
  EXPECT_EQ(test_pattern::codeBlock(15, 176, 144).x1, 176);
}

TEST(TestPatternImage, PixelsLayoutAndEveryFormatReadsBack) {
  // Hand-checked pixels of frame 0 at 320x240 (RGB24, bottom-up).
  VideoFormat rgb{320, 240, MEDIASUBTYPE_RGB24};
  auto pic = render(0, rgb);
  EXPECT_EQ(pic.size(), 320u * 3 * 240);
  uint32_t code = test_pattern::encodeFrameCode(0);
  for (int i = 0; i < 32; ++i) {
    auto b = test_pattern::codeBlock(i, 320, 240);
    Rgb c = rgbAt(pic, 320, 240, (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2);
    uint8_t want = (code >> i) & 1 ? 255 : 0;
    EXPECT_EQ(c, (Rgb{want, want, want})) << "block " << i;
  }
  EXPECT_EQ(rgbAt(pic, 320, 240, 2, 60), (Rgb{255, 255, 255}));    // first bar: white
  EXPECT_EQ(rgbAt(pic, 320, 240, 45, 60), (Rgb{255, 255, 0}));     // second: yellow
  EXPECT_EQ(rgbAt(pic, 320, 240, 319, 60), (Rgb{0, 0, 0}));        // last: black
  EXPECT_EQ(rgbAt(pic, 320, 240, 20, 120), (Rgb{128, 128, 128}));  // the square at x 0..39
  // Bars scroll left by width/80 = 4 pixels per frame: frame 10 moved 40.
  auto later = render(10, rgb);
  EXPECT_EQ(rgbAt(later, 320, 240, 0, 60), (Rgb{255, 255, 0}));
  EXPECT_EQ(rgbAt(later, 320, 240, 319, 60), (Rgb{255, 255, 255}));
  EXPECT_NE(pic, later);
  // Deterministic.
  EXPECT_EQ(render(10, rgb), later);

  // Every size and format carries its number.
  std::vector<PictureSize> sizes(std::begin(kFormatCodeSizes), std::end(kFormatCodeSizes));
  sizes.push_back({640, 480});
  for (const VideoFormat& f : formatsForSizes(sizes))
    for (uint64_t n : {0ull, 1ull, 99ull, 123456ull, 0xFFFFFFull}) {
      uint32_t got = 0;
      auto p = render(n, f);
      ASSERT_TRUE(readBack(p, f, &got)) << describeVideoFormat(f) << " frame " << n;
      EXPECT_EQ(got, n);
    }

  // YUY2 and I420 agree with the RGB picture through the studio-range conversion.
  VideoFormat yuy2{176, 144, MEDIASUBTYPE_YUY2}, i420{176, 144, MEDIASUBTYPE_I420};
  auto y2 = render(3, yuy2), yv = render(3, i420);
  for (int y = 0; y < 144; y += 7)
    for (int x = 0; x < 176; x += 2) {
      uint8_t yy, u, v;
      rgbToYuv(testPatternPixel(3, 176, 144, x, y), &yy, &u, &v);
      ASSERT_EQ(y2[(size_t(y) * 176 + x) * 2], yy);
      ASSERT_EQ(y2[(size_t(y) * 176 + x) * 2 + 1], u);
      ASSERT_EQ(yv[size_t(y) * 176 + x], yy);
      if (y % 2 == 0) {
        ASSERT_EQ(yv[176 * 144 + size_t(y / 2) * 88 + x / 2], u);
      }
    }

  // Rows drawn once and copied are the pixels testPatternPixel gives, in
  // every colour format, for frames where the square and the bars move.
  for (PictureSize size : {PictureSize{640, 480}, PictureSize{176, 144}, PictureSize{128, 96}})
    for (uint64_t n : {0ull, 37ull, 1001ull}) {
      const int w = size.width, h = size.height;
      auto rgbPic = render(n, {w, h, MEDIASUBTYPE_RGB24});
      auto yuyPic = render(n, {w, h, MEDIASUBTYPE_YUY2});
      auto i420Pic = render(n, {w, h, MEDIASUBTYPE_I420});
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const Rgb want = testPatternPixel(n, w, h, x, y);
          ASSERT_EQ(rgbAt(rgbPic, w, h, x, y), want)
              << w << "x" << h << " frame " << n << " at " << x << "," << y;
          uint8_t yy, u, v;
          rgbToYuv(want, &yy, &u, &v);
          ASSERT_EQ(yuyPic[(size_t(y) * w + x) * 2], yy);
          ASSERT_EQ(i420Pic[size_t(y) * w + x], yy);
          if (y % 2 == 0 && x % 2 == 0) {
            ASSERT_EQ(i420Pic[size_t(w) * h + size_t(y / 2) * (w / 2) + x / 2], u);
            ASSERT_EQ(i420Pic[size_t(w) * h + size_t(w / 2) * (h / 2) + size_t(y / 2) * (w / 2) + x / 2], v);
          }
        }
    }

  // Unknown formats and short buffers are refused.
  std::vector<uint8_t> small(100);
  EXPECT_FALSE(renderTestPattern(0, rgb, small.data(), small.size()));
  EXPECT_FALSE(renderTestPattern(0, {320, 240, MEDIASUBTYPE_RGB32}, pic.data(), pic.size()));
  EXPECT_FALSE(renderTestPattern(0, {321, 241, MEDIASUBTYPE_I420}, pic.data(), pic.size()));
}

TEST(TestPatternImage, NumberSurvivesScalingBlurAndNoise) {
  // 720x480 scaled down to 128x96 (nearest), then a 3x3 box blur and noise
  // of +-40 levels: what a strong scaler and a lossy codec might leave.
  const int W = 720, H = 480, w = 128, h = 96;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-40, 40);
  for (uint64_t n : {1ull, 4242ull, 777777ull}) {
    auto big = render(n, {W, H, MEDIASUBTYPE_I420});
    std::vector<uint8_t> small(size_t(w) * h), blurred(size_t(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) small[size_t(y) * w + x] = big[size_t(y * H / h) * W + size_t(x * W / w)];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int sum = 0, k = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int yy = std::clamp(y + dy, 0, h - 1), xx = std::clamp(x + dx, 0, w - 1);
            sum += small[size_t(yy) * w + xx];
            ++k;
          }
        blurred[size_t(y) * w + x] = static_cast<uint8_t>(std::clamp(sum / k + noise(rng), 0, 255));
      }
    uint32_t got = 0;
    ASSERT_TRUE(test_pattern::readFrameNumberLuma(blurred.data(), w, h, w, &got)) << n;
    EXPECT_EQ(got, n);
  }
  // A picture without a code (flat grey, or a photo-like ramp) reads as nothing.
  std::vector<uint8_t> grey(size_t(w) * h, 128), ramp(size_t(w) * h);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 7);
  uint32_t got = 0;
  EXPECT_FALSE(test_pattern::readFrameNumberLuma(grey.data(), w, h, w, &got));
  EXPECT_FALSE(test_pattern::readFrameNumberLuma(ramp.data(), w, h, w, &got));
  EXPECT_FALSE(test_pattern::readFrameNumberLuma(grey.data(), 8, 8, 8, &got));  // too small to hold it
}

}  // namespace
