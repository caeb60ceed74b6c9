// The picture steps of the extractor and compounder on hand-made pictures.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/picture.h"

using namespace outside;

namespace {

// A top-down packed RGB24 picture whose pixel (x, y) is (x, y, 7).
struct Numbered {
  int w, h;
  std::vector<uint8_t> px;
  Numbered(int width, int height) : w(width), h(height), px(size_t(width) * height * 3) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        px[(y * w + x) * 3] = uint8_t(x);
        px[(y * w + x) * 3 + 1] = uint8_t(y);
        px[(y * w + x) * 3 + 2] = 7;
      }
  }
  PictureView view() { return {px.data(), w, h, ptrdiff_t(w) * 3}; }
};

}  // namespace

TEST(OutsidePicture, SizeCodes) {
  int w = 0, h = 0;
  ASSERT_TRUE(videoFormatSize(kCIF, &w, &h));
  EXPECT_EQ(w, 352);
  EXPECT_EQ(h, 288);
  EXPECT_FALSE(videoFormatSize(kThrough, &w, &h));
  EXPECT_FALSE(videoFormatSize(-1, &w, &h));
  EXPECT_EQ(videoFormatOf(720, 480), k720x480);
  EXPECT_EQ(videoFormatOf(128, 96), kSQCIF);
  EXPECT_EQ(videoFormatOf(800, 600), kThrough);
  EXPECT_EQ(clampVideoFormat(-3), 0);
  EXPECT_EQ(clampVideoFormat(12), 8);
  EXPECT_STREQ(videoFormatName(1), "QCIF(176x144)");
  EXPECT_EQ(videoFormatName(9), nullptr);
}

TEST(OutsidePicture, ViewsOfBothRowOrders) {
  // 2x2 RGB24: rows of 6 bytes padded to 8.
  std::vector<uint8_t> data(16, 0);
  data[0] = 1;  // first byte in memory
  data[8] = 2;  // first byte of the second row in memory
  PictureView v;
  ASSERT_TRUE(viewRgb24(data.data(), data.size(), 2, 2, &v));  // bottom-up
  EXPECT_EQ(v.row(0)[0], 2);
  EXPECT_EQ(v.row(1)[0], 1);
  ASSERT_TRUE(viewRgb24(data.data(), data.size(), 2, -2, &v));  // top-down
  EXPECT_EQ(v.row(0)[0], 1);
  EXPECT_FALSE(viewRgb24(data.data(), 15, 2, 2, &v));  // one byte short
  EXPECT_FALSE(viewRgb24(data.data(), data.size(), 0, 2, &v));
}

TEST(OutsidePicture, WindowPlacement) {
  EXPECT_EQ(placeWindow(100, 20, 0.5f), 40);
  EXPECT_EQ(placeWindow(100, 20, 0.0f), 0);     // kept inside on the left
  EXPECT_EQ(placeWindow(100, 20, 1.0f), 80);    // and on the right
  EXPECT_EQ(placeWindow(100, 20, 0.25f), 15);   // centre 25
  EXPECT_EQ(placeWindow(100, 20, -4.0f), 0);    // outside the picture: clamped
  EXPECT_EQ(placeWindow(100, 20, 1e30f), 80);   // no overflow
  EXPECT_EQ(placeWindow(100, 20, std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(placeWindow(100, 100, 0.9f), 0);    // as large as the picture
  EXPECT_EQ(placeWindow(100, 120, 0.9f), -10);  // larger: centred on it
}

TEST(OutsidePicture, CutWindowCopiesAndBlacksOutTheOutside) {
  Numbered src(10, 8);
  std::vector<uint8_t> out(4 * 3 * 3, 0xEE);
  PictureView dst{out.data(), 4, 3, 12};
  cutWindow(src.view(), 5, 2, dst);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(dst.row(y)[x * 3], 5 + x);
      EXPECT_EQ(dst.row(y)[x * 3 + 1], 2 + y);
      EXPECT_EQ(dst.row(y)[x * 3 + 2], 7);
    }
  // A window hanging over the top left corner.
  cutWindow(src.view(), -1, -2, dst);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      bool inside = x >= 1 && y >= 2;
      EXPECT_EQ(dst.row(y)[x * 3], inside ? x - 1 : 0) << x << "," << y;
      EXPECT_EQ(dst.row(y)[x * 3 + 2], inside ? 7 : 0);
    }
  // A window larger than the picture on every side.
  Numbered small(2, 1);
  cutWindow(small.view(), -1, -1, dst);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      bool inside = y == 1 && (x == 1 || x == 2);
      EXPECT_EQ(dst.row(y)[x * 3 + 2], inside ? 7 : 0) << x << "," << y;
    }
}

TEST(OutsidePicture, MaskWeights) {
  // Rectangle, simple: everything opaque.
  auto w = maskWeights(20, 20, kMaskRectangle, kBlendSimple);
  for (uint16_t v : w) EXPECT_EQ(v, 256);
  // Weights at (x, y) by hand. Rectangle, vaguely: 1/8 at the edge, rising by
  // 1/8 a pixel, opaque from 8 in. Ellipse: corners out, centre and edge
  // midpoints in. Checkers: 8-pixel squares, the first showing the cut-out.
  const struct {
    int w, h, mask, blending;
    std::vector<std::array<int, 3>> at;  // x, y, weight
  } cases[] = {
      {20, 20, kMaskRectangle, kBlendVaguely, {{0, 0, 32}, {1, 0, 32}, {1, 1, 64}, {10, 3, 128}, {10, 10, 256}, {19, 10, 32}}},
      {20, 10, kMaskEllipse, kBlendSimple, {{0, 0, 0}, {19, 0, 0}, {0, 9, 0}, {10, 5, 256}, {0, 5, 256}, {10, 0, 256}}},
      {16, 16, kMaskCheckers, kBlendSimple, {{0, 0, 256}, {7, 0, 256}, {8, 0, 0}, {0, 8, 0}, {8, 8, 256}}},
      {16, 16, kMaskCheckers, kBlendVaguely, {{0, 0, 128}, {8, 0, 0}}},
  };
  for (const auto& c : cases) {
    w = maskWeights(c.w, c.h, c.mask, c.blending);
    for (const auto& [x, y, weight] : c.at) EXPECT_EQ(w[y * c.w + x], weight) << c.mask << "/" << c.blending << " " << x << "," << y;
  }
}

TEST(OutsidePicture, BlendWindowPixelByPixel) {
  std::vector<uint8_t> base(6 * 4 * 3, 100);
  PictureView dst{base.data(), 6, 4, 18};
  std::vector<uint8_t> add(3 * 2 * 3, 200);
  PictureView a{add.data(), 3, 2, 9};
  std::vector<uint16_t> weights = {256, 0, 128, 32, 256, 256};
  blendWindow(a, weights, dst, 4, 3);  // hangs over the right and bottom edges
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      int expect = 100;
      if (y == 3 && x == 4) expect = 200;                                // weight 256
      if (y == 3 && x == 5) expect = 100;                                // weight 0
      EXPECT_EQ(dst.row(y)[x * 3 + 1], expect) << x << "," << y;
    }
  blendWindow(a, weights, dst, 0, 0);
  EXPECT_EQ(dst.row(0)[2 * 3], (200 * 128 + 100 * 128 + 128) >> 8);  // 150
  EXPECT_EQ(dst.row(1)[0], (200 * 32 + 100 * 224 + 128) >> 8);       // 113
  EXPECT_EQ(dst.row(1)[3], 200);
  // Too few weights: nothing is drawn.
  std::vector<uint8_t> before = base;
  blendWindow(a, std::vector<uint16_t>(5, 256), dst, 0, 0);
  EXPECT_EQ(base, before);
}
