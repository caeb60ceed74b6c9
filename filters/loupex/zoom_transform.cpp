#include "filters/loupex/zoom_transform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// trunc(v) as an integer; NaN gives 0 and values beyond +-2^40 are limited
// to that, which lies outside every picture, so that no conversion overflows.
int64_t truncLimited(long double v) {
  if (std::isnan(v)) return 0;
  constexpr long double kLimit = 1099511627776.0L;  // 2^40
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

inline void copyPixel(uint8_t* d, const uint8_t* s) {
  std::memcpy(d, s, 2);
  d[2] = s[2];
}

// Weight of an ellipse pixel: num / den, 0 at the picture edge and 1 on the
// ellipse boundary. Kept within 0..1; a boundary at or beyond the edge
// (den <= 0) counts as the boundary itself.
inline float ellipseWeight(float num, float den) {
  if (!(den > 0.0f)) return 1.0f;
  return std::clamp(num / den, 0.0f, 1.0f);
}

inline bool inside(int64_t v, int64_t extent) { return static_cast<uint64_t>(v) < static_cast<uint64_t>(extent); }

// The blended source coordinate of output coordinate v along one axis:
// trunc((v + d) * s^2 + v * (1 - s^2) * R), with k = (1 - s^2) * R.
inline int64_t blend(int64_t v, int64_t d, float s2, float k) {
  return static_cast<int64_t>(static_cast<float>(v + d) * s2 + static_cast<float>(v) * k);
}

// Everything a frame's pixel loops need.
struct Frame {
  const RgbConstPicture& in;
  const RgbPicture& out;
  const ZoomGeometry& g;
  int64_t inW, inH, outW, outH;

  // Output row y, columns from..to, all with weight s^2 = s2 (so one source row).
  void rowSpan(int64_t y, int64_t from, int64_t to, float s2) const {
    const float one = 1.0f - s2;
    const int64_t sy = blend(y, g.dy, s2, one * g.ry);
    if (!inside(sy, inH)) return;
    const uint8_t* src = in.row(static_cast<int32_t>(sy));
    uint8_t* dst = out.row(static_cast<int32_t>(y));
    const float kx = one * g.rx;
    // x and x + dx counted in floats: exact, as every coordinate is below 2^24.
    float fx = static_cast<float>(from), fxd = static_cast<float>(from + g.dx);
    const uint64_t w = static_cast<uint64_t>(inW);
    for (uint8_t* d = dst + from * 3; d <= dst + to * 3; d += 3, fx += 1.0f, fxd += 1.0f) {
      const int64_t sx = static_cast<int64_t>(fxd * s2 + fx * kx);
      if (static_cast<uint64_t>(sx) < w) copyPixel(d, src + sx * 3);
    }
  }

  // Output column x with weight s^2 = s2 over the rows lo..hi (so one source column).
  ZoomTransform::Column column(int64_t x, float s2, int64_t lo, int64_t hi) const {
    const float one = 1.0f - s2;
    int64_t sx = blend(x, g.dx, s2, one * g.rx);
    if (!inside(sx, inW)) sx = -1;
    return {lo, hi, x, sx, s2, one * g.ry};
  }

  // Draws a band of n columns row by row. The columns are ordered from the
  // picture edge inwards; their row spans shrink inwards, so the columns of
  // one row form a run from the edge.
  void columnRuns(const ZoomTransform::Column* cols, int64_t n) const {
    for (int64_t y = 0; y < outH; ++y) {
      uint8_t* dst = out.row(static_cast<int32_t>(y));
      const float fy = static_cast<float>(y + g.dy), fyy = static_cast<float>(y);
      const uint64_t h = static_cast<uint64_t>(inH);
      const uint8_t* base = in.data;
      const size_t stride = in.stride;
      for (const ZoomTransform::Column* c = cols; c < cols + n && c->lo <= y && y <= c->hi; ++c) {
        if (c->sx < 0) continue;
        const int64_t sy = static_cast<int64_t>(fy * c->s2 + fyy * c->ky);
        if (static_cast<uint64_t>(sy) < h) copyPixel(dst + c->x * 3, base + static_cast<size_t>(sy) * stride + c->sx * 3);
      }
    }
  }

  // The source row of the 1:1 copy for output row y, null when outside the input.
  const uint8_t* directRow(int64_t y) const {
    const int64_t sy = y + g.dy;
    return inside(sy, inH) ? in.row(static_cast<int32_t>(sy)) : nullptr;
  }
  // Output pixel x of row dst, 1:1 from source row src.
  void direct(uint8_t* dst, const uint8_t* src, int64_t x) const {
    const int64_t sx = x + g.dx;
    if (src && inside(sx, inW)) copyPixel(dst + x * 3, src + sx * 3);
  }

  ZoomTransform::RowWeight rowWeight(int64_t y, float s) const {
    const float s2 = s * s, one = 1.0f - s2;
    const int64_t sy = blend(y, g.dy, s2, one * g.ry);
    return {s2, one * g.rx, inside(sy, inH) ? in.row(static_cast<int32_t>(sy)) : nullptr};
  }
  ZoomTransform::ColumnWeight columnWeight(int64_t x, float s) const {
    const float s2 = s * s, one = 1.0f - s2;
    const int64_t sx = blend(x, g.dx, s2, one * g.rx);
    return {s2, one * g.ry, inside(sx, inW) ? sx : -1};
  }
};

}  // namespace

ZoomGeometry ZoomTransform::geometry(const ZoomSettings& s, int32_t inWidth, int32_t inHeight, int32_t outWidth,
                                     int32_t outHeight) {
  ZoomGeometry g;
  const int64_t inW = std::max(inWidth, 1), inH = std::max(inHeight, 1);
  const int64_t outW = std::max(outWidth, 1), outH = std::max(outHeight, 1);
  const int64_t a = std::clamp<int64_t>(s.maskWidth, 1, std::min(inW, outW));
  const int64_t b = std::clamp<int64_t>(s.maskHeight, 1, std::min(inH, outH));

  // Focus corner in the input, y from the top.
  int64_t left = s.fixedX, top = s.fixedY;
  if (!s.fixedMode && s.pointerConnected) {
    left = truncLimited(static_cast<long double>(inW) * s.pointerX);
    top = truncLimited(static_cast<long double>(inH) * s.pointerY);
  }
  // Focus window in the input, clamped inside the picture; yin is its bottom row.
  const int64_t xin = std::clamp<int64_t>(left, 0, inW - a);
  const int64_t yin = std::clamp<int64_t>(inH - top - b, 0, inH - b);
  // At the same relative place in the output.
  const long double fx = inW > a ? static_cast<long double>(outW - a) / (inW - a) : 0.0L;
  const long double fy = inH > b ? static_cast<long double>(outH - b) / (inH - b) : 0.0L;
  const int64_t x0 = std::clamp<int64_t>(truncLimited(fx * xin), 0, outW - a);
  const int64_t y0 = std::clamp<int64_t>(truncLimited(fy * yin), 0, outH - b);

  g.maskWidth = static_cast<int32_t>(a);
  g.maskHeight = static_cast<int32_t>(b);
  g.xin = static_cast<int32_t>(xin);
  g.yin = static_cast<int32_t>(yin);
  g.x0 = static_cast<int32_t>(x0);
  g.y0 = static_cast<int32_t>(y0);
  g.dx = static_cast<int32_t>(xin - x0);
  g.dy = static_cast<int32_t>(yin - y0);
  g.rx = static_cast<float>(inW) / static_cast<float>(outW);
  g.ry = static_cast<float>(inH) / static_cast<float>(outH);
  return g;
}

bool ZoomTransform::transform(const ZoomSettings& settings, const RgbConstPicture& in, const RgbPicture& out) {
  if (!out.fits()) return false;
  if (out.isEmpty()) return in.fits();
  const size_t outRowBytes = static_cast<size_t>(out.width) * 3;
  auto clear = [&] {
    for (int32_t y = 0; y < out.height; ++y) std::memset(out.row(y), 0, outRowBytes);
  };
  if (!in.fits()) {
    clear();
    return false;
  }
  if (in.isEmpty()) {
    clear();
    return true;
  }

  // Equal sizes: a plain copy, no focus window at all.
  if (in.width == out.width && in.height == out.height) {
    for (int32_t y = 0; y < out.height; ++y) std::memcpy(out.row(y), in.row(y), outRowBytes);
    return true;
  }

  // The pixel loops count coordinates in floats, exact below 2^24.
  if (in.width > kMaxSide || in.height > kMaxSide || out.width > kMaxSide || out.height > kMaxSide) {
    clear();
    return false;
  }
  const ZoomGeometry g = geometry(settings, in.width, in.height, out.width, out.height);
  clear();
  switch (settings.maskType) {
    case kZoomMaskRectangle:
      drawRectangle(g, in, out);
      break;
    case kZoomMaskEllipse:
      if (tableStale_ || !table_.isBuiltFor(g.maskWidth, g.maskHeight)) {
        table_.build(g.maskWidth, g.maskHeight);
        tableStale_ = false;
      }
      drawEllipse(g, in, out);
      break;
    default:
      break;  // unknown mask type: the picture stays black
  }
  return true;
}

void ZoomTransform::drawRectangle(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out) {
  const Frame f{in, out, g, in.width, in.height, out.width, out.height};
  const int64_t W = out.width, H = out.height;
  const int64_t x0 = g.x0, y0 = g.y0;
  const int64_t x1 = x0 + g.maskWidth, y1 = y0 + g.maskHeight;

  // Bottom band: rows 0 to y0, weight y / y0.
  if (y0 > 0) {
    for (int64_t y = 0; y <= y0; ++y) {
      const float s = static_cast<float>(y) / static_cast<float>(y0);
      const int64_t from = y * x0 / y0, to = W - 1 - y * (W - x1) / y0;
      f.rowSpan(y, from, to, s * s);
    }
  }

  // Right band: columns W - 1 down to x1, weight (W - x) / N; column i = W - 1 - x.
  const int64_t N = W - x1;
  if (N > 0) {
    columns_.resize(static_cast<size_t>(N));
    for (int64_t i = 0; i < N; ++i) {
      const float s = static_cast<float>(W - (W - 1 - i)) / static_cast<float>(N);
      columns_[i] = f.column(W - 1 - i, s * s, i * y0 / N, H - 1 - i * (H - y1) / N);
    }
    f.columnRuns(columns_.data(), N);
  }

  // Top band: rows H - 1 down to y1, weight (H - y) / M.
  const int64_t M = H - y1;
  if (M > 0) {
    for (int64_t y = H - 1; y >= y1; --y) {
      const int64_t k = H - 1 - y;
      const float s = static_cast<float>(H - y) / static_cast<float>(M);
      f.rowSpan(y, k * x0 / M, W - 1 - k * (W - x1) / M, s * s);
    }
  }

  // Left band: columns 0 to x0, weight x / x0.
  if (x0 > 0) {
    columns_.resize(static_cast<size_t>(x0) + 1);
    for (int64_t x = 0; x <= x0; ++x) {
      const float s = static_cast<float>(x) / static_cast<float>(x0);
      columns_[x] = f.column(x, s * s, x * y0 / x0, H - 1 - x * (H - y1) / x0);
    }
    f.columnRuns(columns_.data(), x0 + 1);
  }

  // The focus window itself, 1:1.
  const size_t windowBytes = static_cast<size_t>(g.maskWidth) * 3;
  for (int64_t y = y0; y < y1; ++y) {
    std::memcpy(out.row(static_cast<int32_t>(y)) + x0 * 3, in.row(static_cast<int32_t>(g.yin + (y - y0))) + g.xin * 3,
                windowBytes);
  }
}

namespace {

// The pixel loops below take everything by value: the output bytes they
// write may alias any memory as far as the compiler knows, so values read
// through references would be reloaded after every pixel.

// Computing a weight is the rare path of the pixel loops; kept out of line so
// that the loops keep their values in registers.
[[gnu::noinline, gnu::cold]] void learnRowWeight(const Frame& f, int64_t y, float num, int64_t den,
                                                 ZoomTransform::RowWeight& w, uint8_t& known) {
  w = f.rowWeight(y, ellipseWeight(num, static_cast<float>(den)));
  known = 1;
}
[[gnu::noinline, gnu::cold]] void learnColumnWeight(const Frame& f, int64_t x, int64_t num, int64_t den,
                                                    ZoomTransform::ColumnWeight& w, uint8_t& known) {
  w = f.columnWeight(x, ellipseWeight(static_cast<float>(num), static_cast<float>(den)));
  known = 1;
}

// One row of the bottom or top ellipse triangle, columns from..to. The weight
// of a pixel depends only on its boundary offset gy; weights[gy + b] is
// computed on first use (known[gy + b]).
void ellipseTriangleRow(const Frame& f, int64_t y, int64_t from, int64_t to, const ZoomTable::Entry* entries,
                        float num, int64_t denBase, int64_t gySign, int64_t b, uint8_t* known,
                        ZoomTransform::RowWeight* weights) {
  uint8_t* const dst = f.out.row(static_cast<int32_t>(y));
  const uint8_t* const src = f.directRow(y);
  const int64_t dx = f.g.dx;
  const uint64_t inW = static_cast<uint64_t>(f.inW);
  // x and x + dx counted in floats: exact, as every coordinate is below 2^24.
  float fx = static_cast<float>(from), fxd = static_cast<float>(from + dx);
  for (int64_t x = from; x <= to; ++x, fx += 1.0f, fxd += 1.0f) {
    const ZoomTable::Entry e = entries[x];
    if (e.inside) {
      if (src && static_cast<uint64_t>(x + dx) < inW) copyPixel(dst + x * 3, src + (x + dx) * 3);
      continue;
    }
    const size_t k = static_cast<size_t>(e.gy + b);
    if (!known[k]) learnRowWeight(f, y, num, denBase + gySign * e.gy, weights[k], known[k]);
    const ZoomTransform::RowWeight w = weights[k];
    if (!w.src) continue;
    const int64_t sx = static_cast<int64_t>(fxd * w.s2 + fx * w.kx);
    if (static_cast<uint64_t>(sx) < inW) copyPixel(dst + x * 3, w.src + sx * 3);
  }
}

// One row of a strip of the left (Sign +1) or right (Sign -1) ellipse
// triangle: strip columns i = 0 .. run - 1, output column x = x0 + Sign * i.
// The weight of a pixel depends only on its column and boundary offset gx;
// weights[i * gxSpan + gx + a] is computed on first use.
template <int Sign>
void ellipseSideRow(const Frame& f, int64_t y, int64_t x0, int64_t run, const ZoomTable::Entry* entries,
                    int64_t span, int64_t a, size_t gxSpan, uint8_t* known, ZoomTransform::ColumnWeight* weights) {
  uint8_t* const dst = f.out.row(static_cast<int32_t>(y));
  const uint8_t* const src = f.directRow(y);
  const int64_t dx = f.g.dx;
  const int64_t W = f.outW;
  const uint64_t inW = static_cast<uint64_t>(f.inW), inH = static_cast<uint64_t>(f.inH);
  const uint8_t* const base = f.in.data;
  const size_t stride = f.in.stride;
  const float fy = static_cast<float>(y + f.g.dy), fyy = static_cast<float>(y);
  for (int64_t i = 0; i < run; ++i) {
    const int64_t x = x0 + Sign * i;
    const ZoomTable::Entry e = entries[x];
    if (e.inside) {
      if (src && static_cast<uint64_t>(x + dx) < inW) copyPixel(dst + x * 3, src + (x + dx) * 3);
      continue;
    }
    const size_t k = static_cast<size_t>(i) * gxSpan + static_cast<size_t>(e.gx + a);
    if (!known[k]) learnColumnWeight(f, x, Sign > 0 ? x : W - x, span + Sign * e.gx, weights[k], known[k]);
    const ZoomTransform::ColumnWeight w = weights[k];
    if (w.sx < 0) continue;
    const int64_t sy = static_cast<int64_t>(fy * w.s2 + fyy * w.ky);
    if (static_cast<uint64_t>(sy) < inH) copyPixel(dst + x * 3, base + static_cast<size_t>(sy) * stride + w.sx * 3);
  }
}

}  // namespace

void ZoomTransform::drawEllipse(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out) {
  const Frame f{in, out, g, in.width, in.height, out.width, out.height};
  const int64_t W = out.width, H = out.height;
  const int64_t cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
  // Boundary offsets never exceed the half axes: |gx| <= a, |gy| <= b.
  const int64_t a = g.maskWidth / 2, b = g.maskHeight / 2;
  const ZoomTable& table = table_;

  // Table entries of row y, indexable by output column over from..to: the
  // table's own row when its grid covers them (the usual case), else computed.
  auto rowEntries = [&](int64_t y, int64_t from, int64_t to) -> const ZoomTable::Entry* {
    const int64_t oy = y - cy;
    if (oy >= -ZoomTable::kHalfHeight && oy < ZoomTable::kHalfHeight && from - cx >= -ZoomTable::kHalfWidth &&
        to - cx < ZoomTable::kHalfWidth)
      return table.row(static_cast<int>(oy)) + (ZoomTable::kHalfWidth - cx);
    entries_.resize(static_cast<size_t>(W));
    for (int64_t x = from; x <= to; ++x) entries_[x] = table.at(static_cast<int>(x - cx), static_cast<int>(oy));
    return entries_.data();
  };

  // Bottom and top triangles, row by row.
  const size_t gySpan = static_cast<size_t>(2 * b + 1);
  const size_t gxSpan = static_cast<size_t>(2 * a + 1);
  rowWeights_.resize(gySpan);
  columnWeights_.resize(static_cast<size_t>(kStrip) * gxSpan);
  known_.resize(std::max(gySpan, static_cast<size_t>(kStrip) * gxSpan));
  // Bottom: rows 0 to cy - 1, weight y / (cy + gy).
  for (int64_t y = 0; y < cy; ++y) {
    const int64_t from = y * cx / cy, to = W - 1 - y * (W - cx) / cy;
    std::fill_n(known_.begin(), gySpan, 0);
    ellipseTriangleRow(f, y, from, to, rowEntries(y, from, to), static_cast<float>(y), cy, +1, b, known_.data(),
                       rowWeights_.data());
  }
  // Top: rows H - 1 down to cy, weight (H - y) / (H - cy - gy).
  const int64_t T = H - cy;
  for (int64_t y = H - 1; y >= cy; --y) {
    const int64_t k = H - 1 - y;
    const int64_t from = k * cx / T, to = W - 1 - k * (W - cx) / T;
    std::fill_n(known_.begin(), gySpan, 0);
    ellipseTriangleRow(f, y, from, to, rowEntries(y, from, to), static_cast<float>(H - y), T, -1, b, known_.data(),
                       rowWeights_.data());
  }

  // Left and right triangles, in strips of kStrip columns from the picture
  // edge inwards, each strip row by row. Column i (x = i on the left,
  // x = W - 1 - i on the right) spans the rows lo_[i]..hi_[i], which shrink
  // as i grows, so the columns of a row within a strip are a run from the
  // strip's outer column.
  auto sideTriangle = [&](int64_t n, int sign) {
    const int64_t span = sign > 0 ? cx : W - cx;
    lo_.resize(static_cast<size_t>(n));
    hi_.resize(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
      lo_[i] = i * cy / span;
      hi_[i] = H - 1 - i * (H - cy) / span;
    }
    for (int64_t s0 = 0; s0 < n; s0 += kStrip) {
      const int64_t s1 = std::min(n, s0 + kStrip);
      std::fill_n(known_.begin(), static_cast<size_t>(s1 - s0) * gxSpan, 0);
      const int64_t xa = sign > 0 ? s0 : W - s1, xb = sign > 0 ? s1 - 1 : W - 1 - s0;
      // The run of row y is min(columns with lo <= y, columns with hi >= y);
      // the first grows and the second shrinks with y, so both are kept
      // from row to row.
      int64_t byLo = 0, byHi = s1 - s0;
      for (int64_t y = lo_[s0]; y <= hi_[s0]; ++y) {
        while (s0 + byLo < s1 && lo_[s0 + byLo] <= y) ++byLo;
        while (byHi > 0 && hi_[s0 + byHi - 1] < y) --byHi;
        const int64_t run = std::min(byLo, byHi);
        const ZoomTable::Entry* entries = rowEntries(y, xa, xb);
        if (sign > 0)
          ellipseSideRow<+1>(f, y, s0, run, entries, span, a, gxSpan, known_.data(), columnWeights_.data());
        else
          ellipseSideRow<-1>(f, y, W - 1 - s0, run, entries, span, a, gxSpan, known_.data(), columnWeights_.data());
      }
    }
  };
  if (cx > 0) sideTriangle(cx, +1);
  sideTriangle(W - cx, -1);
}
