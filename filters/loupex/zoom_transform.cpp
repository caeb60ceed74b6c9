#include "filters/loupex/zoom_transform.h"

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

inline bool inside(int64_t v, int64_t extent) {
  return static_cast<uint64_t>(v) < static_cast<uint64_t>(extent);
}

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
        if (static_cast<uint64_t>(sy) < h)
          copyPixel(dst + c->x * 3, base + static_cast<size_t>(sy) * stride + c->sx * 3);
      }
    }
  }
};

}  // namespace

ZoomGeometry ZoomTransform::geometry(const ZoomSettings& s, int32_t inWidth, int32_t inHeight,
                                     int32_t outWidth, int32_t outHeight) {
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

bool ZoomTransform::transform(const ZoomSettings& settings, const RgbConstPicture& in,
                              const RgbPicture& out) {
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
    std::memcpy(out.row(static_cast<int32_t>(y)) + x0 * 3,
                in.row(static_cast<int32_t>(g.yin + (y - y0))) + g.xin * 3, windowBytes);
  }
}

void ZoomTransform::drawEllipse(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out) {
  const int64_t W = out.width, H = out.height;
  const int64_t cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
  const ZoomTable& table = table_;
  void (*const draw)(const zoomkernels::Span&) = kernels_ == Kernels::kAvx512 ? zoomkernels::drawAvx512
                                                 : kernels_ == Kernels::kAvx2 ? zoomkernels::drawAvx2
                                                                              : zoomkernels::drawScalar;

  // The marked gx and gy of row y, indexable by output column over
  // from..to: the table's own rows when its grid covers them (the usual
  // case), else computed into buffers. Both stay readable a few columns past to.
  auto planes = [&](int64_t y, int64_t from, int64_t to) -> ZoomTable::Row {
    const int64_t oy = y - cy;
    const int64_t shift = ZoomTable::kHalfWidth - cx;  // from table column to output column
    const int64_t rowStart = (oy + ZoomTable::kHalfHeight) * ZoomTable::kWidth;
    // The shifted row pointers must stay inside the planes, too.
    if (oy >= -ZoomTable::kHalfHeight && oy < ZoomTable::kHalfHeight && from - cx >= -ZoomTable::kHalfWidth &&
        to - cx < ZoomTable::kHalfWidth && rowStart + shift >= 0) {
      const ZoomTable::Row r = table.row(static_cast<int>(oy));
      return {r.gx + shift, r.gy + shift};
    }
    const size_t n = static_cast<size_t>(W) + ZoomTable::kPadding;
    planeGx_.assign(n, 0);
    planeGy_.assign(n, 0);
    for (int64_t x = from; x <= to; ++x) {
      planeGx_[x] = table.markedGx(static_cast<int>(x - cx), static_cast<int>(oy));
      planeGy_[x] = table.markedGy(static_cast<int>(x - cx), static_cast<int>(oy));
    }
    return {planeGx_.data(), planeGy_.data()};
  };

  // One run of row y, columns from..to, in a triangle whose weight is
  // (numBase + numStep * x) / (denBase + denSign * boundary offset), the
  // offset being gy in the bottom and top triangles, gx in the side ones.
  zoomkernels::Span job{};
  job.dx = g.dx;
  job.dy = g.dy;
  job.rx = g.rx;
  job.ry = g.ry;
  job.inW = in.width;
  job.inH = in.height;
  job.stride = static_cast<int32_t>(in.stride);
  job.in = in.data;
  job.inLength = in.length;
  auto run = [&](int64_t y, int64_t from, int64_t to, bool byGy, int64_t numBase, int64_t numStep,
                 int64_t denBase, int64_t denSign) {
    if (from > to) return;
    const ZoomTable::Row p = planes(y, from, to);
    const int64_t sy = y + g.dy;
    job.bound = byGy ? p.gy : p.gx;
    job.from = static_cast<int32_t>(from);
    job.to = static_cast<int32_t>(to);
    job.numBase = static_cast<int32_t>(numBase);
    job.numStep = static_cast<int32_t>(numStep);
    job.denBase = static_cast<int32_t>(denBase);
    job.denSign = static_cast<int32_t>(denSign);
    job.y = static_cast<int32_t>(y);
    job.directOff = inside(sy, in.height) ? static_cast<int32_t>(sy * job.stride) : -1;
    job.dst = out.row(static_cast<int32_t>(y));
    job.columns = byGy ? nullptr : columnWeights_.data();
    draw(job);
  };

  // Bottom: rows 0 to cy - 1, weight y / (cy + gy).
  for (int64_t y = 0; y < cy; ++y) run(y, y * cx / cy, W - 1 - y * (W - cx) / cy, true, y, 0, cy, +1);
  // Top: rows H - 1 down to cy, weight (H - y) / (H - cy - gy).
  const int64_t T = H - cy;
  for (int64_t y = H - 1; y >= cy; --y) {
    const int64_t k = H - 1 - y;
    run(y, k * cx / T, W - 1 - k * (W - cx) / T, true, H - y, 0, T, -1);
  }

  // Left (weight x / (cx + gx)) and right (weight (W - x) / (W - cx - gx))
  // triangles, row by row. Column i (x = i on the left, x = W - 1 - i on the
  // right) spans the rows lo_[i]..hi_[i], which shrink as i grows, so the
  // columns of a row are a run from the picture edge.
  auto sideTriangle = [&](int64_t n, int64_t sign) {
    const int64_t span = sign > 0 ? cx : W - cx;
    lo_.resize(static_cast<size_t>(n));
    hi_.resize(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
      lo_[i] = static_cast<int32_t>(i * cy / span);
      hi_[i] = static_cast<int32_t>(H - 1 - i * (H - cy) / span);
    }
    // The run of row y is min(columns with lo <= y, columns with hi >= y);
    // the first grows and the second shrinks with y, so both are kept from
    // row to row.
    int64_t byLo = 0, byHi = n;
    for (int64_t y = 0; y < H; ++y) {
      while (byLo < n && lo_[byLo] <= y) ++byLo;
      while (byHi > 0 && hi_[byHi - 1] < y) --byHi;
      const int64_t columns = std::min(byLo, byHi);
      if (columns <= 0) continue;
      if (sign > 0)
        run(y, 0, columns - 1, false, 0, +1, span, +1);
      else
        run(y, W - columns, W - 1, false, W, -1, span, -1);
    }
  };
  columnWeights_.assign(static_cast<size_t>(W), zoomkernels::Weight{INT32_MIN, 0.0f, 0.0f, -1});
  if (cx > 0) sideTriangle(cx, +1);
  sideTriangle(W - cx, -1);
}
