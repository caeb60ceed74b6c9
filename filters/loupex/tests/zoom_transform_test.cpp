// The zoom against values worked out by hand for small pictures.
//
// The input pictures carry their own coordinates: pixel (x, y) has blue x,
// green y and red 7, so an output pixel tells which input pixel it came from.
#include "filters/loupex/zoom_transform.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace {

struct Image {
  int w, h;
  size_t stride;
  std::vector<uint8_t> bytes;
  Image(int w_, int h_, size_t pad = 0, uint8_t fill = 0xcc)
      : w(w_), h(h_), stride(static_cast<size_t>(w_) * 3 + pad), bytes(stride * h_, fill) {}
  static Image coordinates(int w, int h, size_t pad = 0) {
    Image im(w, h, pad);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) im.set(x, y, {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7});
    return im;
  }
  std::array<uint8_t, 3> at(int x, int y) const {
    const uint8_t* p = bytes.data() + y * stride + x * 3;
    return {p[0], p[1], p[2]};
  }
  void set(int x, int y, std::array<uint8_t, 3> v) {
    uint8_t* p = bytes.data() + y * stride + x * 3;
    p[0] = v[0];
    p[1] = v[1];
    p[2] = v[2];
  }
  RgbConstPicture in() const { return {bytes.data(), bytes.size(), w, h, stride}; }
  RgbPicture out() { return {bytes.data(), bytes.size(), w, h, stride}; }
};

using Px = std::array<uint8_t, 3>;
Px from(int x, int y) {
  return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7};
}
const Px kBlack{0, 0, 0};

// Fixed mode at input corner (10, 5) from the top, mask 8 x 6, 40 x 30 to 20 x 15:
//   xin = 10, yin = 30 - 5 - 6 = 19, x0 = trunc(12 / 32 * 10) = 3,
//   y0 = trunc(9 / 24 * 19) = 7, dx = 7, dy = 12, Rx = Ry = 2.
ZoomSettings fixedAt10x5(int maskType) {
  ZoomSettings s;
  s.maskType = maskType;
  s.maskWidth = 8;
  s.maskHeight = 6;
  s.fixedMode = true;
  s.fixedX = 10;
  s.fixedY = 5;
  return s;
}

}  // namespace

TEST(ZoomTransform, EqualSizesAreAByteCopy) {
  const Image in = Image::coordinates(24, 18);
  for (int type : {0, 1, 2, -7}) {
    Image out(24, 18);
    ZoomSettings s;
    s.maskType = type;
    s.pointerConnected = true;
    s.pointerX = 0.5f;
    ZoomTransform z;
    ASSERT_TRUE(z.transform(s, in.in(), out.out()));
    EXPECT_EQ(out.bytes, in.bytes) << "mask type " << type;
    EXPECT_FALSE(z.table().isBuilt());
  }
}

TEST(ZoomTransform, GeometryClampsTheFocusWindow) {
  ZoomGeometry g = ZoomTransform::geometry(fixedAt10x5(0), 40, 30, 20, 15);
  EXPECT_EQ(std::tuple(g.xin, g.yin, g.x0, g.y0, g.dx, g.dy, g.rx), std::tuple(10, 19, 3, 7, 7, 12, 2.0f));

  // Follow mode: the pointer's normalised position, y downwards.
  ZoomSettings s;
  s.maskWidth = 8;
  s.maskHeight = 6;
  s.pointerConnected = true;
  s.pointerX = 0.25f;  // left = 10
  s.pointerY = 0.5f;   // top = 15, yin = 30 - 15 - 6 = 9
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::pair(g.xin, g.yin), std::pair(10, 9));
  // Fixed mode, or no pointer input, ignores the pointer.
  s.fixedMode = true;
  EXPECT_EQ(ZoomTransform::geometry(s, 40, 30, 20, 15).xin, 0);
  s.fixedMode = false;
  s.pointerConnected = false;
  EXPECT_EQ(ZoomTransform::geometry(s, 40, 30, 20, 15).xin, 0);

  // Pointer at the top-left corner: window at the top-left of both pictures.
  s.pointerConnected = true;
  s.pointerX = 0.0f;
  s.pointerY = 0.0f;
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::tuple(g.xin, g.yin, g.x0, g.y0), std::tuple(0, 24, 0, 9));

  // Far outside, NaN and infinities: clamped to the nearest edge (NaN as 0).
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float cases[][4] = {{-5.0f, 7.0f, 0, 0}, {7.0f, -5.0f, 32, 24}, {inf, -inf, 32, 24},
                            {-inf, inf, 0, 0},   {nan, nan, 0, 24},     {1e30f, 1e30f, 32, 0}};
  for (const auto& c : cases) {
    s.pointerX = c[0];
    s.pointerY = c[1];
    g = ZoomTransform::geometry(s, 40, 30, 20, 15);
    EXPECT_EQ(std::pair(g.xin, g.yin), std::pair(int(c[2]), int(c[3]))) << c[0] << "," << c[1];
    EXPECT_GE(g.x0, 0);
    EXPECT_LE(g.x0 + g.maskWidth, 20);
    EXPECT_GE(g.y0, 0);
    EXPECT_LE(g.y0 + g.maskHeight, 15);
  }
  // Fixed positions at the integer limits.
  s.fixedMode = true;
  s.fixedX = std::numeric_limits<int32_t>::min();
  s.fixedY = std::numeric_limits<int32_t>::min();
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::pair(g.xin, g.yin), std::pair(0, 24));
  s.fixedX = std::numeric_limits<int32_t>::max();
  s.fixedY = std::numeric_limits<int32_t>::max();
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::pair(g.xin, g.yin), std::pair(32, 0));

  // Masks larger than a picture, zero or negative: reduced to fit.
  s.maskWidth = 100;
  s.maskHeight = 0;
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::pair(g.maskWidth, g.maskHeight), std::pair(20, 1));
  s.maskWidth = -5;
  s.maskHeight = 1000;
  g = ZoomTransform::geometry(s, 40, 30, 20, 15);
  EXPECT_EQ(std::pair(g.maskWidth, g.maskHeight), std::pair(1, 15));
}

TEST(ZoomTransform, RectangleWindowAndBandPixels) {
  const Image in = Image::coordinates(40, 30);
  Image out(20, 15);
  ZoomTransform z;
  ASSERT_TRUE(z.transform(fixedAt10x5(kZoomMaskRectangle), in.in(), out.out()));

  // The focus window, rows 7..12 and columns 3..10, 1:1 from rows 19..24, columns 10..17.
  for (int y = 7; y <= 12; ++y)
    for (int x = 3; x <= 10; ++x) ASSERT_EQ(out.at(x, y), from(x + 7, y + 12)) << x << "," << y;

  // Bottom band, row 0 (s = 0): plain scaling.
  EXPECT_EQ(out.at(5, 0), from(10, 0));
  // Bottom band, row 3: s = 3/7, source (trunc(10.367), trunc(7.653)).
  EXPECT_EQ(out.at(5, 3), from(10, 7));
  // Right band, column 15: s = 5/9, source (trunc(27.531), trunc(20.617)) at row 10.
  EXPECT_EQ(out.at(15, 10), from(27, 20));
  // Top band, row 14: s = 1/2, source (trunc(15.75), trunc(27.5)).
  EXPECT_EQ(out.at(8, 14), from(15, 27));
  // Left band, column 2: s = 2/3, source (trunc(6.22), trunc(19.33)) at row 9.
  EXPECT_EQ(out.at(2, 9), from(6, 19));
  // Bottom and right bands overlap at (19, 0); the right band, drawn later,
  // wins: s = 1/9 gives source column 37, where the bottom band gives 38.
  EXPECT_EQ(out.at(19, 0), from(37, 0));
  // The corners come from the input corners' neighbourhood, nothing stays black.
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_NE(out.at(x, y), kBlack) << x << "," << y;
}

TEST(ZoomTransform, EllipsePixels) {
  const Image in = Image::coordinates(40, 30);
  Image out(20, 15);
  ZoomTransform z;
  ASSERT_TRUE(z.transform(fixedAt10x5(kZoomMaskEllipse), in.in(), out.out()));
  ASSERT_TRUE(z.table().isBuiltFor(8, 6));

  // Centre (7, 10); inside the 8 x 6 ellipse are the offsets -4..3 in rows -2..1:
  // output columns 3..10, rows 8..11, copied 1:1.
  for (int y = 8; y <= 11; ++y)
    for (int x = 3; x <= 10; ++x) ASSERT_EQ(out.at(x, y), from(x + 7, y + 12)) << x << "," << y;
  // Bottom triangle (8, 2): boundary gy = -3, s = 2/7, source (trunc(15.92), trunc(4.82)).
  EXPECT_EQ(out.at(8, 2), from(15, 4));
  // Top triangle (8, 14): gy = 3, s = 1/2.
  EXPECT_EQ(out.at(8, 14), from(15, 27));
  // Left triangle (1, 9): gx = -4, s = 1/3, source (trunc(2.67), trunc(18.33)).
  EXPECT_EQ(out.at(1, 9), from(2, 18));
  // Right triangle (15, 10): gx = 4, s = 5/9.
  EXPECT_EQ(out.at(15, 10), from(27, 20));
  // Just outside the ellipse in the window's bottom row: blended, not 1:1.
  EXPECT_NE(out.at(3, 7), from(10, 19));

  // A new mask size rebuilds the table on the next frame.
  ZoomSettings s = fixedAt10x5(kZoomMaskEllipse);
  s.maskWidth = 10;
  ASSERT_TRUE(z.transform(s, in.in(), out.out()));
  EXPECT_TRUE(z.table().isBuiltFor(10, 6));
  EXPECT_EQ(z.table().sizeInBytes(), 8294400u);
}

TEST(ZoomTransform, UnknownMaskTypeGivesBlack) {
  const Image in = Image::coordinates(40, 30);
  for (int type : {2, -1, 1000}) {
    Image out(20, 15, 0, 0x55);
    ZoomTransform z;
    ZoomSettings s = fixedAt10x5(type);
    ASSERT_TRUE(z.transform(s, in.in(), out.out()));
    for (uint8_t v : out.bytes) ASSERT_EQ(v, 0);
    EXPECT_EQ(out.bytes.size(), 20u * 15u * 3u);
  }
}

TEST(ZoomTransform, MaskAsLargeAsTheOutput) {
  const Image in = Image::coordinates(40, 30);
  for (int type : {0, 1}) {
    for (int mw : {20, 21, 500}) {
      Image out(20, 15);
      ZoomSettings s;
      s.maskType = type;
      s.maskWidth = mw;
      s.maskHeight = mw == 20 ? 15 : 600;
      s.fixedMode = true;
      ZoomTransform z;
      ASSERT_TRUE(z.transform(s, in.in(), out.out()));
      if (type == 0) {
        // The window copy fills the output: input rows 15..29, columns 0..19.
        for (int y = 0; y < 15; ++y)
          for (int x = 0; x < 20; ++x) ASSERT_EQ(out.at(x, y), from(x, y + 15));
      }
    }
  }
}

TEST(ZoomTransform, StridesAndBadBuffers) {
  const Image packed = Image::coordinates(41, 31);
  const Image padded = Image::coordinates(41, 31, 5);
  for (int type : {0, 1}) {
    ZoomSettings s = fixedAt10x5(type);
    Image a(21, 15), b(21, 15, 7, 0xab);
    ZoomTransform z;
    ASSERT_TRUE(z.transform(s, packed.in(), a.out()));
    ASSERT_TRUE(z.transform(s, padded.in(), b.out()));
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 21; ++x) ASSERT_EQ(a.at(x, y), b.at(x, y));
      for (int p = 0; p < 7; ++p)
        ASSERT_EQ(b.bytes[y * b.stride + 63 + p], 0xab) << "row padding is left alone";
    }
  }

  ZoomTransform z;
  ZoomSettings s;
  // An input buffer shorter than its declared size: black output, false.
  Image out(20, 15, 0, 0x55);
  RgbConstPicture shortIn = packed.in();
  shortIn.length -= 1;
  EXPECT_FALSE(z.transform(s, shortIn, out.out()));
  for (uint8_t v : out.bytes) ASSERT_EQ(v, 0);
  // Stride below the row size, negative sizes, no data.
  RgbConstPicture badStride = packed.in();
  badStride.stride = 10;
  EXPECT_FALSE(z.transform(s, badStride, out.out()));
  RgbConstPicture negative = packed.in();
  negative.width = -41;
  EXPECT_FALSE(z.transform(s, negative, out.out()));
  RgbConstPicture noData = packed.in();
  noData.data = nullptr;
  EXPECT_FALSE(z.transform(s, noData, out.out()));
  // An input of size zero: black output.
  std::fill(out.bytes.begin(), out.bytes.end(), 0x55);
  EXPECT_TRUE(z.transform(s, RgbConstPicture{packed.bytes.data(), 0, 0, 0, 0}, out.out()));
  for (uint8_t v : out.bytes) ASSERT_EQ(v, 0);

  // An output buffer shorter than declared: nothing written, false.
  Image small(20, 15, 0, 0x55);
  RgbPicture shortOut = small.out();
  shortOut.length -= 3;
  EXPECT_FALSE(z.transform(s, packed.in(), shortOut));
  for (uint8_t v : small.bytes) ASSERT_EQ(v, 0x55);
  // An empty output is nothing to do.
  EXPECT_TRUE(z.transform(s, packed.in(), RgbPicture{small.bytes.data(), 0, 0, 0, 0}));

  // One-pixel and odd pictures, both directions of scaling.
  const int sizes[][4] = {{1, 1, 1, 1}, {3, 1, 1, 1}, {1, 5, 1, 2}, {5, 3, 7, 9}, {2, 2, 1, 1}, {9, 7, 3, 5}};
  for (const auto& sz : sizes) {
    for (int type : {0, 1}) {
      const Image i = Image::coordinates(sz[0], sz[1]);
      Image o(sz[2], sz[3]);
      ZoomSettings t;
      t.maskType = type;
      t.pointerConnected = true;
      t.pointerX = 0.5f;
      t.pointerY = 0.5f;
      ASSERT_TRUE(z.transform(t, i.in(), o.out()));
    }
  }
}
