// The optimised zoom against a plain, literal rendition of the algorithm
// (whole picture, band by band and triangle by triangle, column by column
// where the algorithm walks columns, one pixel at a time), over many
// geometries: sizes, masks, positions, both mask types.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "filters/loupex/zoom_transform.h"

namespace {

struct Ref {
  const std::vector<uint8_t>& in;
  int inW, inH;
  std::vector<uint8_t>& out;
  int W, H;
  ZoomGeometry g;

  void put(int x, int y, long sx, long sy) {
    if (sx < 0 || sx >= inW || sy < 0 || sy >= inH) return;
    for (int c = 0; c < 3; ++c) out[(static_cast<size_t>(y) * W + x) * 3 + c] = in[(sy * inW + sx) * 3 + c];
  }
  void mapped(int x, int y, float s) {
    const float s2 = s * s;
    const float one = 1.0f - s2;
    const long sx = static_cast<long>(static_cast<float>(x + g.dx) * s2 + static_cast<float>(x) * (one * g.rx));
    const long sy = static_cast<long>(static_cast<float>(y + g.dy) * s2 + static_cast<float>(y) * (one * g.ry));
    put(x, y, sx, sy);
  }
  static float weight(float num, float den) { return den > 0.0f ? std::clamp(num / den, 0.0f, 1.0f) : 1.0f; }

  void rectangle() {
    const long x0 = g.x0, y0 = g.y0, x1 = x0 + g.maskWidth, y1 = y0 + g.maskHeight;
    if (y0 > 0)
      for (long y = 0; y <= y0; ++y)
        for (long x = y * x0 / y0; x <= W - 1 - y * (W - x1) / y0; ++x)
          mapped(x, y, static_cast<float>(y) / static_cast<float>(y0));
    const long N = W - x1;
    if (N > 0)
      for (long x = W - 1; x >= x1; --x) {
        const long n = W - 1 - x;
        for (long y = n * y0 / N; y <= H - 1 - n * (H - y1) / N; ++y)
          mapped(x, y, static_cast<float>(W - x) / static_cast<float>(N));
      }
    const long M = H - y1;
    if (M > 0)
      for (long y = H - 1; y >= y1; --y) {
        const long n = H - 1 - y;
        for (long x = n * x0 / M; x <= W - 1 - n * (W - x1) / M; ++x)
          mapped(x, y, static_cast<float>(H - y) / static_cast<float>(M));
      }
    if (x0 > 0)
      for (long x = 0; x <= x0; ++x)
        for (long y = x * y0 / x0; y <= H - 1 - x * (H - y1) / x0; ++y)
          mapped(x, y, static_cast<float>(x) / static_cast<float>(x0));
    for (long y = y0; y < y1; ++y)
      for (long x = x0; x < x1; ++x) put(x, y, g.xin + (x - x0), g.yin + (y - y0));
  }

  void ellipse(const ZoomTable& t) {
    const long cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
    auto pixel = [&](long x, long y, float num, float den) {
      if (t.at(x - cx, y - cy).inside)
        put(x, y, x + g.dx, y + g.dy);
      else
        mapped(x, y, weight(num, den));
    };
    for (long y = 0; y < cy; ++y)
      for (long x = y * cx / cy; x <= W - 1 - y * (W - cx) / cy; ++x)
        pixel(x, y, static_cast<float>(y), static_cast<float>(cy + t.at(x - cx, y - cy).gy));
    for (long y = H - 1; y >= cy; --y) {
      const long n = H - 1 - y;
      for (long x = n * cx / (H - cy); x <= W - 1 - n * (W - cx) / (H - cy); ++x)
        pixel(x, y, static_cast<float>(H - y), static_cast<float>(H - cy - t.at(x - cx, y - cy).gy));
    }
    for (long x = 0; x < cx; ++x)
      for (long y = x * cy / cx; y <= H - 1 - x * (H - cy) / cx; ++y)
        pixel(x, y, static_cast<float>(x), static_cast<float>(cx + t.at(x - cx, y - cy).gx));
    for (long x = W - 1; x >= cx; --x) {
      const long n = W - 1 - x;
      for (long y = n * cy / (W - cx); y <= H - 1 - n * (H - cy) / (W - cx); ++y)
        pixel(x, y, static_cast<float>(W - x), static_cast<float>(W - cx - t.at(x - cx, y - cy).gx));
    }
  }
};

}  // namespace

TEST(ZoomReference, OptimisedLoopsMatchTheLiteralAlgorithm) {
  std::mt19937 rng(4711);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ZoomTransform zoom;
  for (int round = 0; round < 203; ++round) {
    // The last rounds are wider and taller than the ellipse table's grid.
    const bool huge = round >= 200;
    const int inW = huge ? pick(1500, 3200) : pick(2, 200), inH = huge ? pick(2, 12) : pick(2, 150);
    const int W = huge ? pick(1450, inW) : round % 10 == 0 ? pick(1, 260) : pick(1, inW),
              H = huge ? pick(1, inH) : round % 10 == 0 ? pick(1, 200) : pick(1, inH);
    if (W == inW && H == inH) continue;
    std::vector<uint8_t> in(static_cast<size_t>(inW) * inH * 3);
    for (auto& v : in) v = static_cast<uint8_t>(rng());
    ZoomSettings s;
    s.maskType = huge ? 1 : round % 2;
    s.maskWidth = pick(-2, inW + 10);
    s.maskHeight = pick(-2, inH + 10);
    s.pointerConnected = round % 3 != 0;
    s.fixedMode = round % 7 == 0;
    s.fixedX = pick(-50, inW + 50);
    s.fixedY = pick(-50, inH + 50);
    s.pointerX = std::uniform_real_distribution<float>(-0.3f, 1.3f)(rng);
    s.pointerY = std::uniform_real_distribution<float>(-0.3f, 1.3f)(rng);

    std::vector<uint8_t> fast(static_cast<size_t>(W) * H * 3, 0xee), slow(fast.size(), 0);
    std::vector<uint8_t> scalar(fast.size(), 0xee);
    zoom.setVectorKernels(false);
    ASSERT_TRUE(zoom.transform(s, RgbConstPicture::packed(in.data(), in.size(), inW, inH),
                               RgbPicture::packed(scalar.data(), scalar.size(), W, H)));
    zoom.setVectorKernels(true);
    ASSERT_TRUE(zoom.transform(s, RgbConstPicture::packed(in.data(), in.size(), inW, inH),
                               RgbPicture::packed(fast.data(), fast.size(), W, H)));
    ASSERT_EQ(fast, scalar) << "vector and scalar loops differ in round " << round;
    Ref ref{in, inW, inH, slow, W, H, ZoomTransform::geometry(s, inW, inH, W, H)};
    if (s.maskType == 0) {
      ref.rectangle();
    } else {
      // The transform's own table (tested on its own), built for this mask.
      ASSERT_TRUE(zoom.table().isBuiltFor(ref.g.maskWidth, ref.g.maskHeight));
      ref.ellipse(zoom.table());
    }
    ASSERT_EQ(fast, slow) << "round " << round << ": " << inW << "x" << inH << " -> " << W << "x" << H << " mask "
                          << s.maskType << " " << ref.g.maskWidth << "x" << ref.g.maskHeight << " x0 " << ref.g.x0
                          << " y0 " << ref.g.y0;
  }
}
