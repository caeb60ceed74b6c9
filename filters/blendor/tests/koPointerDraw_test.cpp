#include "filters/blendor/koPointerDraw.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

namespace {

constexpr uint8_t kBack = 0x11;  // picture background, never a shape colour
using BGR = std::array<uint8_t, 3>;
const BGR kBlack{0, 0, 0}, kWhite{255, 255, 255}, kLight{192, 192, 192}, kNone{kBack, kBack, kBack};

struct Picture {
  int w, h;
  std::vector<uint8_t> bytes;
  Picture(int w_, int h_) : w(w_), h(h_), bytes(static_cast<size_t>(w_) * h_ * 3, kBack) {}
  // Pixel (x, y) counted from the top-left; the picture is stored bottom-up.
  BGR at(int x, int y) const {
    const size_t o = (static_cast<size_t>(h - 1 - y) * w + x) * 3;
    return {bytes[o], bytes[o + 1], bytes[o + 2]};
  }
  int touchedCount() const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += at(x, y) != kNone;
    return n;
  }
};

struct Window {
  float x = 0, y = 0, w = 1, h = 1;
};

bool drawAt(Picture& p, int shape, int colour, float x, float y, Window win = {}) {
  koPointerDraw d;
  d.setBitmapSize(p.w, p.h);
  d.setWindowPosition(win.x, win.y);
  d.setWindowSize(win.w, win.h);
  d.setShape(shape);
  d.setColor(colour);
  d.setPosition(x, y);
  return d.draw(p.bytes.data(), p.bytes.size());
}

}  // namespace

TEST(koPointerDraw, ShapeAndColourSelection) {
  koPointerDraw d;
  d.setShape(4);
  d.setShape(6);
  d.setShape(-1);
  EXPECT_EQ(d.getShape(), 4);
  d.setColor(2);
  d.setColor(8);
  d.setColor(-3);
  EXPECT_EQ(d.getColor(), 2);
  EXPECT_EQ(koPointerColourAt(3)->iniName, "SkyBlue");
  EXPECT_EQ(koPointerColourAt(6)->label, "黄色");
  EXPECT_EQ(koPointerColourAt(8), nullptr);
  EXPECT_EQ(koPointerShape(6), nullptr);
}

// Every shape and colour on bottom-up rows, clipped at the edges, and the
// window mapping.
TEST(koPointerDraw, PixelsOfEveryShapeAndColour) {
  struct Case {
    int w, h, shape, colour;
    float x, y;
    Window win;
    int lastX, lastY;  // pixels right of or below stay untouched (-1: nothing is drawn)
  };
  const float c7 = 7.0f / 16;
  const Case cases[] = {
      {20, 20, 0, 7, 0, 0, {}, 15, 15},                                // 0 arrow, tip at the top-left
      {20, 12, 2, 7, 0, 0, {}, 8, 8},                                  // 1 circle: lower-right quarter
      {20, 12, 0, 7, 1, 1, {}, -1, -1},                                // 2 arrow off the bottom-right
      {20, 12, 2, 7, 1, 1, {}, 19, 11},                                // 3 circle: upper-left part
      {16, 16, 0, 4, 0, 0, {}, 15, 15},                                // 4 red arrow
      {16, 16, 1, 7, 0, 0, {}, 15, 15},                                // 5 feathered arrow, own colours
      {16, 16, 1, 2, 0, 0, {}, 15, 15},                                // 6 green feathered arrow
      {16, 16, 5, 7, c7, c7, {}, 15, 15},                              // 7 star
      {16, 16, 3, 6, c7, c7, {}, 15, 15},                              // 8 yellow square
      {16, 16, 4, 1, c7, c7, {}, 15, 15},                              // 9 blue crosshair
      {20, 20, 0, 7, 0.75f, 0.75f, {0.5f, 0.5f, 0.5f, 0.5f}, 19, 19},  // 10 middle of the window
  };
  // Pixels worked out by hand from the shape bitmaps: hot spots,
  // transparency, colour masks on white, light grey and the feathered
  // arrow's own colours (orange, dark brown, grey, brown).
  const struct {
    int c, x, y;
    BGR colour;
  } probes[] = {
      {0, 0, 0, kBlack},         {0, 1, 1, kWhite},        {0, 1, 2, kLight},
      {0, 13, 0, kBlack},        {0, 14, 0, kNone},        {0, 15, 10, kBlack},
      {0, 4, 10, kNone},         {0, 10, 15, kBlack},      {0, 11, 15, kNone},
      {1, 0, 0, kLight},         {1, 8, 0, kWhite},        {1, 0, 8, kWhite},
      {1, 1, 1, kLight},         {1, 2, 2, kNone},         {3, 13, 10, kLight},
      {3, 14, 10, kWhite},       {3, 12, 10, kNone},       {3, 19, 11, kNone},
      {4, 1, 1, {0, 0, 255}},    {4, 1, 2, {0, 0, 192}},   {4, 0, 0, kBlack},
      {5, 5, 4, {64, 128, 255}}, {5, 8, 10, {0, 46, 91}},  {5, 1, 2, {128, 128, 128}},
      {5, 4, 4, {0, 64, 128}},   {6, 5, 4, {0, 128, 0}},   {6, 8, 10, {0, 46, 0}},
      {7, 7, 2, {0, 255, 255}},  {7, 0, 5, kWhite},        {7, 7, 6, kNone},
      {8, 7, 7, {0, 192, 192}},  {8, 1, 1, {0, 255, 255}}, {8, 5, 3, kNone},
      {9, 4, 7, {255, 0, 0}},    {9, 3, 7, kNone},         {10, 10, 10, kBlack},
      {10, 11, 11, kWhite},      {10, 9, 10, kNone},       {10, 10, 9, kNone},
  };
  std::vector<Picture> pictures;
  for (const Case& c : cases) {
    Picture& p = pictures.emplace_back(c.w, c.h);
    ASSERT_TRUE(drawAt(p, c.shape, c.colour, c.x, c.y, c.win));
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
        if (x > c.lastX || y > c.lastY) {
          ASSERT_EQ(p.at(x, y), kNone) << &c - cases << ": " << x << "," << y;
        }
  }
  for (const auto& q : probes)
    EXPECT_EQ(pictures[q.c].at(q.x, q.y), q.colour) << q.c << ": " << q.x << "," << q.y;
  // The top-left pixel is the last row in memory.
  Picture arrow(20, 20);
  drawAt(arrow, 0, 7, 0, 0);
  EXPECT_EQ(arrow.bytes[(19 * 20 + 0) * 3 + 0], 0);
  // Black masks every channel: the same pixels as the own colours, all black.
  Picture black(16, 16), own(16, 16);
  drawAt(black, 1, 0, 0, 0);
  drawAt(own, 1, 7, 0, 0);
  EXPECT_EQ(black.touchedCount(), own.touchedCount());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (black.at(x, y) != kNone) {
        EXPECT_EQ(black.at(x, y), kBlack);
      }
}

TEST(koPointerDraw, ClippedAtEveryEdgeMatchesUnclippedDrawing) {
  // Every shape drawn partly outside a small picture equals the same region
  // of the same shape drawn whole into a large picture.
  for (int shape = 0; shape < 6; ++shape) {
    Picture whole(48, 48);
    ASSERT_TRUE(drawAt(whole, shape, 7, 24.0f / 48, 24.0f / 48));
    const int offsets[][2] = {{-5, -5},   {-5, 3},    {3, -5}, {-3, 2}, {2, -3},
                              {-12, -12}, {-20, -20}, {6, 6},  {30, 30}};
    for (const auto& o : offsets) {
      // Small picture 7 x 5 placed at (24 + ox, 24 + oy) of the whole one;
      // the pointer lands exactly on pixel (px, py) of it. Truncation goes
      // towards zero, so aim half a pixel away from zero.
      const int sw = 7, sh = 5, px = -o[0], py = -o[1];
      Picture small(sw, sh);
      const float hx = px < 0 ? -0.5f : 0.5f, hy = py < 0 ? -0.5f : 0.5f;
      ASSERT_TRUE(drawAt(small, shape, 7, (px + hx) / sw, (py + hy) / sh));
      for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
          const int wx = 24 + o[0] + x, wy = 24 + o[1] + y;
          const BGR expect = (wx >= 0 && wx < 48 && wy >= 0 && wy < 48) ? whole.at(wx, wy) : kNone;
          ASSERT_EQ(small.at(x, y), expect) << "shape " << shape << " offset " << o[0] << "," << o[1];
        }
    }
  }
}

TEST(koPointerDraw, BadInputDrawsNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float bad[][2] = {{nan, 0.5f},    {0.5f, nan},    {inf, 0.5f},  {-inf, -inf},
                          {1e30f, 1e30f}, {-1e30f, 0.5f}, {7.0f, 0.5f}, {-5.0f, -5.0f}};
  for (const auto& b : bad) {
    Picture p(10, 10);
    drawAt(p, 2, 7, b[0], b[1]);
    EXPECT_EQ(p.touchedCount(), 0) << b[0] << "," << b[1];
  }
  // A zero window size divides by zero: nothing is drawn.
  Picture p(10, 10);
  EXPECT_FALSE(drawAt(p, 0, 7, 0.5f, 0.5f, {0, 0, 0, 0}));
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
