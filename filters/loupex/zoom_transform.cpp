#include "filters/loupex/zoom_transform.h"

#include "filters/loupex/zoom_kernels.h"

#include <algorithm>
#include <climits>
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
      // The ellipse loops address the input with 32-bit offsets.
      if (in.length > static_cast<size_t>(INT32_MAX)) return false;
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

// One row of the bottom or top ellipse triangle, columns from..to; the
// weight of a blended pixel is the one of its boundary offset gy.
void ellipseRowScalar(uint8_t* dst, const uint8_t* in, const ZoomTable::Row planes, int64_t from, int64_t to,
                      int64_t dx, int64_t inW, int64_t directOff, const float* s2, const float* kx, const int32_t* off) {
  // x and x + dx counted in floats: exact, as every coordinate is below 2^24.
  float fx = static_cast<float>(from), fxd = static_cast<float>(from + dx);
  for (int64_t x = from; x <= to; ++x, fx += 1.0f, fxd += 1.0f) {
    if (planes.inside[x]) {
      if (directOff >= 0 && inside(x + dx, inW)) copyPixel(dst + x * 3, in + directOff + (x + dx) * 3);
      continue;
    }
    const int k = planes.gy[x];
    if (off[k] < 0) continue;
    const int64_t sx = static_cast<int64_t>(fxd * s2[k] + fx * kx[k]);
    if (inside(sx, inW)) copyPixel(dst + x * 3, in + off[k] + sx * 3);
  }
}

// One row of a side triangle, output columns xs..xe; the weights of the
// triangle column colOrigin + colStep * x sit at colBase[column] + gx.
void ellipseSideScalar(uint8_t* dst, const uint8_t* in, const ZoomTable::Row planes, int64_t xs, int64_t xe,
                       int64_t colOrigin, int64_t colStep, const int32_t* colBase, int64_t dx, int64_t inW,
                       int64_t inH, int64_t stride, float fy, float fyy, int64_t directOff, const float* s2,
                       const float* ky, const int32_t* sxOff) {
  for (int64_t x = xs; x <= xe; ++x) {
    if (planes.inside[x]) {
      if (directOff >= 0 && inside(x + dx, inW)) copyPixel(dst + x * 3, in + directOff + (x + dx) * 3);
      continue;
    }
    const int64_t k = colBase[colOrigin + colStep * x] + planes.gx[x];
    if (sxOff[k] < 0) continue;
    const int64_t sy = static_cast<int64_t>(fy * s2[k] + fyy * ky[k]);
    if (inside(sy, inH)) copyPixel(dst + x * 3, in + sy * stride + sxOff[k]);
  }
}

}  // namespace

void ZoomTransform::drawEllipse(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out) {
  const Frame f{in, out, g, in.width, in.height, out.width, out.height};
  const int64_t W = out.width, H = out.height;
  const int64_t cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
  const int64_t b = g.maskHeight / 2;  // |gy| never exceeds the half height
  const ZoomTable& table = table_;
  const bool vector = useVectorKernels_ && zoomkernels::available();
  const int64_t stride = static_cast<int64_t>(in.stride);
  offsets_.resize(8);

  // The table planes of row y, indexable by output column over from..to:
  // the table's own row when its grid covers them (the usual case), else
  // computed into a buffer. Both stay readable a few columns past to.
  auto planes = [&](int64_t y, int64_t from, int64_t to) -> ZoomTable::Row {
    const int64_t oy = y - cy;
    const int64_t shift = ZoomTable::kHalfWidth - cx;  // from table column to output column
    const int64_t rowStart = (oy + ZoomTable::kHalfHeight) * ZoomTable::kWidth;
    // The shifted row pointers must stay inside the planes, too.
    if (oy >= -ZoomTable::kHalfHeight && oy < ZoomTable::kHalfHeight && from - cx >= -ZoomTable::kHalfWidth &&
        to - cx < ZoomTable::kHalfWidth && rowStart + shift >= 0) {
      const ZoomTable::Row r = table.row(static_cast<int>(oy));
      return {r.inside + shift, r.gx + shift, r.gy + shift};
    }
    const size_t n = static_cast<size_t>(W) + ZoomTable::kPadding;
    planeInside_.assign(n, 0);
    planeGx_.assign(n, 0);
    planeGy_.assign(n, 0);
    for (int64_t x = from; x <= to; ++x) {
      const ZoomTable::Entry e = table.at(static_cast<int>(x - cx), static_cast<int>(oy));
      planeInside_[x] = e.inside;
      planeGx_[x] = e.gx;
      planeGy_[x] = e.gy;
    }
    return {planeInside_.data(), planeGx_.data(), planeGy_.data()};
  };
  auto directOffset = [&](int64_t y) -> int64_t {
    const int64_t sy = y + g.dy;
    return inside(sy, f.inH) ? sy * stride : -1;
  };

  // Bottom and top triangles, row by row. A row's numerator is fixed, so a
  // weight depends only on gy. Along a row |gy| only shrinks with the
  // distance from the centre column, so the row's gy values lie between
  // those at its ends and at the column nearest the centre; the weights of
  // that range are worked out first.
  const size_t gySpan = static_cast<size_t>(2 * b + 1);
  rowS2_.resize(gySpan);
  rowK_.resize(gySpan);
  rowOff_.resize(gySpan);
  float* const s2ByGy = rowS2_.data() + b;
  float* const kxByGy = rowK_.data() + b;
  int32_t* const offByGy = rowOff_.data() + b;
  auto triangleRow = [&](int64_t y, int64_t from, int64_t to, float num, int64_t denBase, int64_t gySign) {
    if (from > to) return;
    const ZoomTable::Row p = planes(y, from, to);
    const int64_t near = std::clamp(cx, from, to);
    const int64_t lo = std::min({p.gy[from], p.gy[to], p.gy[near]});
    const int64_t hi = std::max({p.gy[from], p.gy[to], p.gy[near]});
    for (int64_t gy = lo; gy <= hi; ++gy) {
      const RowWeight w = f.rowWeight(y, ellipseWeight(num, static_cast<float>(denBase + gySign * gy)));
      s2ByGy[gy] = w.s2;
      kxByGy[gy] = w.kx;
      offByGy[gy] = w.src ? static_cast<int32_t>(w.src - in.data) : -1;
    }
    uint8_t* dst = out.row(static_cast<int32_t>(y));
    if (vector) {
      const zoomkernels::RowSpan job{p.inside,
                                     p.gy,
                                     static_cast<int32_t>(from),
                                     static_cast<int32_t>(to),
                                     g.dx,
                                     in.width,
                                     static_cast<int32_t>(directOffset(y)),
                                     s2ByGy,
                                     kxByGy,
                                     offByGy,
                                     in.data,
                                     in.length,
                                     dst,
                                     offsets_.data()};
      zoomkernels::drawRow(job);
    } else {
      ellipseRowScalar(dst, in.data, p, from, to, g.dx, f.inW, directOffset(y), s2ByGy, kxByGy, offByGy);
    }
  };
  // Bottom: rows 0 to cy - 1, weight y / (cy + gy).
  for (int64_t y = 0; y < cy; ++y)
    triangleRow(y, y * cx / cy, W - 1 - y * (W - cx) / cy, static_cast<float>(y), cy, +1);
  // Top: rows H - 1 down to cy, weight (H - y) / (H - cy - gy).
  const int64_t T = H - cy;
  for (int64_t y = H - 1; y >= cy; --y) {
    const int64_t k = H - 1 - y;
    triangleRow(y, k * cx / T, W - 1 - k * (W - cx) / T, static_cast<float>(H - y), T, -1);
  }

  // Left and right triangles, row by row. Column i (x = i on the left,
  // x = W - 1 - i on the right) spans the rows lo_[i]..hi_[i], which shrink
  // as i grows, so the columns of a row are a run from the picture edge. A
  // column's numerator is fixed, so a weight depends only on the column and
  // gx; down a column |gx| only shrinks with the distance from the centre
  // row, so each column needs the weights between the gx at its ends and at
  // the row nearest the centre, worked out first and kept one range after
  // the other (column i's weight for gx at colBase_[i] + gx).
  auto sideTriangle = [&](int64_t n, int64_t sign) {
    const int64_t span = sign > 0 ? cx : W - cx;
    lo_.resize(static_cast<size_t>(n));
    hi_.resize(static_cast<size_t>(n));
    colBase_.resize(static_cast<size_t>(n));
    gxLo_.resize(static_cast<size_t>(n));
    gxHi_.resize(static_cast<size_t>(n));
    int64_t total = 0;
    for (int64_t i = 0; i < n; ++i) {
      lo_[i] = i * cy / span;
      hi_[i] = H - 1 - i * (H - cy) / span;
      const int x = static_cast<int>(sign > 0 ? i : W - 1 - i);
      const int ox = static_cast<int>(x - cx);
      const int nearRow = static_cast<int>(std::clamp(cy, lo_[i], hi_[i]));
      const int16_t g1 = table.at(ox, static_cast<int>(lo_[i] - cy)).gx;
      const int16_t g2 = table.at(ox, static_cast<int>(hi_[i] - cy)).gx;
      const int16_t g3 = table.at(ox, static_cast<int>(nearRow - cy)).gx;
      gxLo_[i] = std::min({g1, g2, g3});
      gxHi_[i] = std::max({g1, g2, g3});
      colBase_[i] = static_cast<int32_t>(total - gxLo_[i]);
      total += gxHi_[i] - gxLo_[i] + 1;
    }
    colS2_.resize(static_cast<size_t>(total));
    colK_.resize(static_cast<size_t>(total));
    colOff_.resize(static_cast<size_t>(total));
    for (int64_t i = 0; i < n; ++i) {
      const int64_t x = sign > 0 ? i : W - 1 - i;
      const float num = static_cast<float>(sign > 0 ? x : W - x);
      for (int64_t gx = gxLo_[i]; gx <= gxHi_[i]; ++gx) {
        const ColumnWeight w = f.columnWeight(x, ellipseWeight(num, static_cast<float>(span + sign * gx)));
        const size_t k = static_cast<size_t>(colBase_[i] + gx);
        colS2_[k] = w.s2;
        colK_[k] = w.ky;
        colOff_[k] = w.sx >= 0 ? static_cast<int32_t>(w.sx * 3) : -1;
      }
    }
    // The run of row y is min(columns with lo <= y, columns with hi >= y);
    // the first grows and the second shrinks with y, so both are kept from
    // row to row.
    int64_t byLo = 0, byHi = n;
    for (int64_t y = 0; y < H; ++y) {
      while (byLo < n && lo_[byLo] <= y) ++byLo;
      while (byHi > 0 && hi_[byHi - 1] < y) --byHi;
      const int64_t run = std::min(byLo, byHi);
      if (run <= 0) continue;
      // Output columns of the run, left to right, and the column index of x.
      const int64_t xs = sign > 0 ? 0 : W - run, xe = sign > 0 ? run - 1 : W - 1;
      const int64_t colOrigin = sign > 0 ? 0 : W - 1, colStep = sign;
      const ZoomTable::Row p = planes(y, xs, xe);
      uint8_t* dst = out.row(static_cast<int32_t>(y));
      const float fy = static_cast<float>(y + g.dy), fyy = static_cast<float>(y);
      if (vector) {
        const zoomkernels::SideSpan job{p.inside,
                                        p.gx,
                                        static_cast<int32_t>(xs),
                                        static_cast<int32_t>(xe),
                                        static_cast<int32_t>(colOrigin),
                                        static_cast<int32_t>(colStep),
                                        colBase_.data(),
                                        g.dx,
                                        in.width,
                                        in.height,
                                        static_cast<int32_t>(stride),
                                        fy,
                                        fyy,
                                        static_cast<int32_t>(directOffset(y)),
                                        colS2_.data(),
                                        colK_.data(),
                                        colOff_.data(),
                                        in.data,
                                        in.length,
                                        dst,
                                        offsets_.data()};
        zoomkernels::drawSide(job);
      } else {
        ellipseSideScalar(dst, in.data, p, xs, xe, colOrigin, colStep, colBase_.data(), g.dx, f.inW, f.inH, stride,
                          fy, fyy, directOffset(y), colS2_.data(), colK_.data(), colOff_.data());
      }
    }
  };
  if (cx > 0) sideTriangle(cx, +1);
  sideTriangle(W - cx, -1);
}
