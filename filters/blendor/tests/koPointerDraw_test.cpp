#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "filters/blendor/koPointerDraw.h"

namespace {

constexpr uint8_t kBack = 0x11;  // picture background, never a shape colour

struct Picture {
  int w, h;
  std::vector<uint8_t> bytes;
  Picture(int w_, int h_) : w(w_), h(h_), bytes(static_cast<size_t>(w_) * h_ * 3, kBack) {}
  // Pixel (x, y) counted from the top-left; the picture is stored bottom-up.
  std::array<uint8_t, 3> at(int x, int y) const {
    const size_t o = (static_cast<size_t>(h - 1 - y) * w + x) * 3;
    return {bytes[o], bytes[o + 1], bytes[o + 2]};
  }
  bool untouched(int x, int y) const { return at(x, y) == std::array<uint8_t, 3>{kBack, kBack, kBack}; }
  int touchedCount() const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += !untouched(x, y);
    return n;
  }
};

using BGR = std::array<uint8_t, 3>;
const BGR kBlack{0, 0, 0}, kWhite{255, 255, 255}, kLight{192, 192, 192};

bool drawAt(Picture& p, int shape, int colour, float x, float y) {
  koPointerDraw d;
  d.setBitmapSize(p.w, p.h);
  d.setShape(shape);
  d.setColor(colour);
  d.setPosition(x, y);
  return d.draw(p.bytes.data(), p.bytes.size());
}

}  // namespace

TEST(koPointerDraw, InitialStateAndSelection) {
  koPointerDraw d;
  EXPECT_EQ(d.getShape(), 0);
  EXPECT_EQ(d.getColor(), 7);
  float x, y;
  d.getWindowSize(x, y);
  EXPECT_EQ(x, 1.0f);
  EXPECT_EQ(y, 1.0f);
  d.getMappingSize(x, y);
  EXPECT_EQ(x, 1.0f);
  d.getMappingPosition(x, y);
  EXPECT_EQ(x, 0.0f);
  d.setShape(4);
  d.setShape(6);
  d.setShape(-1);
  EXPECT_EQ(d.getShape(), 4);
  d.setColor(2);
  d.setColor(8);
  d.setColor(-3);
  EXPECT_EQ(d.getColor(), 2);
  d.setMappingPosition(0.5f, 0.25f);
  d.getMappingPosition(x, y);
  EXPECT_EQ(x, 0.5f);
  EXPECT_EQ(y, 0.25f);
  EXPECT_EQ(koPointerColourAt(3)->iniName, "SkyBlue");
  EXPECT_EQ(koPointerColourAt(6)->label, "黄色");
  EXPECT_EQ(koPointerColourAt(8), nullptr);
  EXPECT_EQ(koPointerShape(6), nullptr);
}

TEST(koPointerDraw, ArrowAtTopLeftOnBottomUpRows) {
  Picture p(20, 20);
  ASSERT_TRUE(drawAt(p, 0, 7, 0.0f, 0.0f));
  // Top-left picture pixel is the arrow tip: stored in the last row in memory.
  EXPECT_EQ(p.at(0, 0), kBlack);
  EXPECT_EQ(p.bytes[(19 * 20 + 0) * 3 + 0], 0);
  EXPECT_EQ(p.at(1, 1), kWhite);
  EXPECT_EQ(p.at(1, 2), kLight);
  EXPECT_EQ(p.at(13, 0), kBlack);
  EXPECT_TRUE(p.untouched(14, 0));  // transparent
  EXPECT_EQ(p.at(15, 10), kBlack);
  EXPECT_TRUE(p.untouched(4, 10));  // the hole in row 10
  EXPECT_EQ(p.at(10, 15), kBlack);
  EXPECT_TRUE(p.untouched(11, 15));
  EXPECT_TRUE(p.untouched(16, 0));
  EXPECT_TRUE(p.untouched(0, 16));
  // Bottom rows of the picture (first rows in memory) are untouched.
  for (size_t i = 0; i < 20 * 4 * 3; ++i) ASSERT_EQ(p.bytes[i], kBack);
}

TEST(koPointerDraw, CentredShapesShowOnlyTheirVisiblePart) {
  // Position equal to the window position: a centred shape shows its lower-right quarter.
  Picture p(20, 12);
  ASSERT_TRUE(drawAt(p, 2, 7, 0.0f, 0.0f));
  EXPECT_EQ(p.at(0, 0), kLight);   // shape (7, 7)
  EXPECT_EQ(p.at(8, 0), kWhite);   // shape (15, 7)
  EXPECT_EQ(p.at(0, 8), kWhite);   // shape (7, 15)
  EXPECT_EQ(p.at(1, 1), kLight);  // shape (8, 8), the centre dot
  EXPECT_TRUE(p.untouched(2, 2));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      if (x > 8 || y > 8) {
        EXPECT_TRUE(p.untouched(x, y)) << x << "," << y;
      }
    }

  // Position (1, 1): the arrow (hot spot at its tip) shows nothing, the
  // circle its upper-left part.
  Picture q(20, 12);
  ASSERT_TRUE(drawAt(q, 0, 7, 1.0f, 1.0f));
  EXPECT_EQ(q.touchedCount(), 0);
  ASSERT_TRUE(drawAt(q, 2, 7, 1.0f, 1.0f));
  EXPECT_EQ(q.at(20 - 7, 12 - 2), kLight);  // shape (0, 5)
  EXPECT_EQ(q.at(20 - 6, 12 - 2), kWhite);  // shape (1, 5)
  EXPECT_TRUE(q.untouched(20 - 8, 12 - 2));
  EXPECT_TRUE(q.untouched(20 - 1, 12 - 1));  // shape (6, 6) is transparent
}

TEST(koPointerDraw, ColoursMaskTheShapeChannels) {
  Picture black(16, 16), red(16, 16), own(16, 16), green(16, 16);
  ASSERT_TRUE(drawAt(black, 1, 0, 0.0f, 0.0f));
  ASSERT_TRUE(drawAt(red, 0, 4, 0.0f, 0.0f));
  ASSERT_TRUE(drawAt(own, 1, 7, 0.0f, 0.0f));
  ASSERT_TRUE(drawAt(green, 1, 2, 0.0f, 0.0f));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (!black.untouched(x, y)) {
        EXPECT_EQ(black.at(x, y), kBlack);
      }
    }
  EXPECT_EQ(black.touchedCount(), own.touchedCount());
  EXPECT_EQ(red.at(1, 1), (BGR{0, 0, 255}));  // white becomes full red
  EXPECT_EQ(red.at(1, 2), (BGR{0, 0, 192}));  // light grey a darker red
  EXPECT_EQ(red.at(0, 0), kBlack);
  // Feathered arrow in its own colours: orange (5, 4), dark brown (8, 10), grey (1, 2).
  EXPECT_EQ(own.at(5, 4), (BGR{64, 128, 255}));
  EXPECT_EQ(own.at(8, 10), (BGR{0, 46, 91}));
  EXPECT_EQ(own.at(1, 2), (BGR{128, 128, 128}));
  EXPECT_EQ(own.at(4, 4), (BGR{0, 64, 128}));  // brown
  EXPECT_EQ(green.at(5, 4), (BGR{0, 128, 0}));
  EXPECT_EQ(green.at(8, 10), (BGR{0, 46, 0}));

  Picture star(16, 16);
  ASSERT_TRUE(drawAt(star, 5, 7, 7.0f / 16, 7.0f / 16));
  EXPECT_EQ(star.at(7, 2), (BGR{0, 255, 255}));  // yellow
  EXPECT_EQ(star.at(0, 5), kWhite);
  EXPECT_TRUE(star.untouched(7, 6));
  Picture square(16, 16);
  ASSERT_TRUE(drawAt(square, 3, 6, 7.0f / 16, 7.0f / 16));
  EXPECT_EQ(square.at(7, 7), (BGR{0, 192, 192}));  // yellow-masked light grey
  EXPECT_EQ(square.at(1, 1), (BGR{0, 255, 255}));
  EXPECT_TRUE(square.untouched(5, 3));
  Picture cross(16, 16);
  ASSERT_TRUE(drawAt(cross, 4, 1, 7.0f / 16, 7.0f / 16));
  EXPECT_EQ(cross.at(4, 7), (BGR{255, 0, 0}));  // white cross arm, blue
  EXPECT_TRUE(cross.untouched(3, 7));
}

TEST(koPointerDraw, ClippedAtEveryEdgeMatchesUnclippedDrawing) {
  // Every shape and colour drawn partly outside a small picture equals the
  // same region of the same shape drawn whole into a large picture.
  for (int shape = 0; shape < 6; ++shape) {
    Picture whole(48, 48);
    ASSERT_TRUE(drawAt(whole, shape, 7, 24.0f / 48, 24.0f / 48));
    const int offsets[][2] = {{-5, -5}, {-5, 3}, {3, -5}, {-3, 2}, {2, -3}, {-12, -12}, {-20, -20}, {6, 6}, {30, 30}};
    for (const auto& o : offsets) {
      // Small picture 7 x 5 placed at (24 + ox, 24 + oy) of the whole one.
      const int sw = 7, sh = 5;
      Picture small(sw, sh);
      const int px = -o[0], py = -o[1];  // pointer pixel inside the small picture
      koPointerDraw d;
      d.setBitmapSize(sw, sh);
      d.setShape(shape);
      // Window so that the pointer lands exactly on pixel (px, py).
      d.setWindowPosition(0.0f, 0.0f);
      d.setWindowSize(1.0f, 1.0f);
      // Truncation goes towards zero, so aim half a pixel away from zero.
      const float hx = px < 0 ? -0.5f : 0.5f, hy = py < 0 ? -0.5f : 0.5f;
      d.setPosition((px + hx) / sw, (py + hy) / sh);
      ASSERT_TRUE(d.draw(small.bytes.data(), small.bytes.size()));
      for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
          const int wx = 24 + o[0] + x, wy = 24 + o[1] + y;
          const BGR expect = (wx >= 0 && wx < 48 && wy >= 0 && wy < 48) ? whole.at(wx, wy) : BGR{kBack, kBack, kBack};
          ASSERT_EQ(small.at(x, y), expect) << "shape " << shape << " offset " << o[0] << "," << o[1];
        }
    }
  }
}

TEST(koPointerDraw, WindowMapsThePosition) {
  Picture p(20, 20);
  koPointerDraw d;
  d.setBitmapSize(20, 20);
  d.setWindowPosition(0.5f, 0.5f);
  d.setWindowSize(0.5f, 0.5f);
  d.setPosition(0.75f, 0.75f);  // middle of the window: pixel (10, 10)
  ASSERT_TRUE(d.draw(p.bytes.data(), p.bytes.size()));
  EXPECT_EQ(p.at(10, 10), kBlack);
  EXPECT_EQ(p.at(11, 11), kWhite);
  EXPECT_TRUE(p.untouched(9, 10));
  EXPECT_TRUE(p.untouched(10, 9));
}

TEST(koPointerDraw, BadInputDrawsNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float bad[][2] = {{nan, 0.5f}, {0.5f, nan}, {inf, 0.5f}, {-inf, -inf}, {1e30f, 1e30f}, {-1e30f, 0.5f},
                          {7.0f, 0.5f}, {-5.0f, -5.0f}};
  for (const auto& b : bad) {
    Picture p(10, 10);
    drawAt(p, 2, 7, b[0], b[1]);
    EXPECT_EQ(p.touchedCount(), 0) << b[0] << "," << b[1];
  }
  // A zero window size divides by zero: nothing is drawn.
  Picture p(10, 10);
  koPointerDraw d;
  d.setBitmapSize(10, 10);
  d.setWindowSize(0.0f, 0.0f);
  d.setPosition(0.5f, 0.5f);
  EXPECT_FALSE(d.draw(p.bytes.data(), p.bytes.size()));
  EXPECT_EQ(p.touchedCount(), 0);

  // A length that is not width x height x 3, sizes of zero or below, no data.
  koPointerDraw e;
  e.setPosition(0.5f, 0.5f);
  e.setBitmapSize(10, 10);
  EXPECT_FALSE(e.draw(p.bytes.data(), p.bytes.size() - 3));
  EXPECT_FALSE(e.draw(p.bytes.data(), p.bytes.size() + 3));
  EXPECT_FALSE(e.draw(nullptr, p.bytes.size()));
  e.setBitmapSize(-10, -10);
  EXPECT_FALSE(e.draw(p.bytes.data(), p.bytes.size()));
  e.setBitmapSize(0, 10);
  EXPECT_FALSE(e.draw(p.bytes.data(), 0));
  e.setBitmapSize(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
  EXPECT_FALSE(e.draw(p.bytes.data(), p.bytes.size()));
  EXPECT_EQ(p.touchedCount(), 0);

  // One-pixel picture: only the pixel under the hot spot.
  Picture one(1, 1);
  ASSERT_TRUE(drawAt(one, 0, 7, 0.0f, 0.0f));
  EXPECT_EQ(one.at(0, 0), kBlack);
}
