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
  d[0] = s[0];
  d[1] = s[1];
  d[2] = s[2];
}

// Everything a frame's pixel loops need.
struct Frame {
  const RgbConstPicture& in;
  const RgbPicture& out;
  const ZoomGeometry& g;
  int64_t inW, inH, outW, outH;

  // The blended source coordinate of output coordinate v along one axis:
  // trunc((v + d) * s^2 + v * (1 - s^2) * R), with k = (1 - s^2) * R.
  static inline int64_t blend(int64_t v, int64_t d, float s2, float k) {
    return static_cast<int64_t>(static_cast<float>(v + d) * s2 + static_cast<float>(v) * k);
  }

  // Output pixel (x, y) from the blended source pixel with weight s^2 = s2;
  // stays black when the source lies outside the input.
  inline void mapped(uint8_t* dstRow, int64_t x, int64_t y, float s2) const {
    const float one = 1.0f - s2;
    const int64_t sx = blend(x, g.dx, s2, one * g.rx);
    const int64_t sy = blend(y, g.dy, s2, one * g.ry);
    if (sx < 0 || sx >= inW || sy < 0 || sy >= inH) return;
    copyPixel(dstRow + x * 3, in.row(static_cast<int32_t>(sy)) + sx * 3);
  }

  // Output pixel (x, y) copied 1:1 from (x + dx, y + dy) when that lies in the input.
  inline void direct(uint8_t* dstRow, int64_t x, int64_t y) const {
    const int64_t sx = x + g.dx, sy = y + g.dy;
    if (sx < 0 || sx >= inW || sy < 0 || sy >= inH) return;
    copyPixel(dstRow + x * 3, in.row(static_cast<int32_t>(sy)) + sx * 3);
  }
};

// Weight of an ellipse pixel: num / den, 0 at the picture edge and 1 on the
// ellipse boundary. Kept within 0..1; a boundary at or beyond the edge
// (den <= 0) counts as the boundary itself.
inline float ellipseWeight(float num, float den) {
  if (!(den > 0.0f)) return 1.0f;
  return std::clamp(num / den, 0.0f, 1.0f);
}

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
      const float s2 = s * s;
      uint8_t* row = out.row(static_cast<int32_t>(y));
      const int64_t from = y * x0 / y0, to = W - 1 - y * (W - x1) / y0;
      for (int64_t x = from; x <= to; ++x) f.mapped(row, x, y, s2);
    }
  }

  // Right band: columns W - 1 down to x1, weight (W - x) / N. Each column
  // spans the rows lo..hi; drawn row by row, the columns of a row form a run
  // from the outer edge inwards because the spans shrink towards the window.
  const int64_t N = W - x1;
  if (N > 0) {
    const size_t n = static_cast<size_t>(N);
    lo_.resize(n);
    hi_.resize(n);
    weight_.resize(n);
    for (size_t i = 0; i < n; ++i) {  // i = W - 1 - x
      const int64_t x = W - 1 - static_cast<int64_t>(i);
      const float s = static_cast<float>(W - x) / static_cast<float>(N);
      weight_[i] = s * s;
      lo_[i] = static_cast<int64_t>(i) * y0 / N;
      hi_[i] = H - 1 - static_cast<int64_t>(i) * (H - y1) / N;
    }
    for (int64_t y = 0; y < H; ++y) {
      uint8_t* row = out.row(static_cast<int32_t>(y));
      for (size_t i = 0; i < n && lo_[i] <= y && y <= hi_[i]; ++i) f.mapped(row, W - 1 - static_cast<int64_t>(i), y, weight_[i]);
    }
  }

  // Top band: rows H - 1 down to y1, weight (H - y) / M.
  const int64_t M = H - y1;
  if (M > 0) {
    for (int64_t y = H - 1; y >= y1; --y) {
      const int64_t k = H - 1 - y;
      const float s = static_cast<float>(H - y) / static_cast<float>(M);
      const float s2 = s * s;
      uint8_t* row = out.row(static_cast<int32_t>(y));
      const int64_t from = k * x0 / M, to = W - 1 - k * (W - x1) / M;
      for (int64_t x = from; x <= to; ++x) f.mapped(row, x, y, s2);
    }
  }

  // Left band: columns 0 to x0, weight x / x0.
  if (x0 > 0) {
    const size_t n = static_cast<size_t>(x0) + 1;
    lo_.resize(n);
    hi_.resize(n);
    weight_.resize(n);
    for (size_t x = 0; x < n; ++x) {
      const float s = static_cast<float>(x) / static_cast<float>(x0);
      weight_[x] = s * s;
      lo_[x] = static_cast<int64_t>(x) * y0 / x0;
      hi_[x] = H - 1 - static_cast<int64_t>(x) * (H - y1) / x0;
    }
    for (int64_t y = 0; y < H; ++y) {
      uint8_t* row = out.row(static_cast<int32_t>(y));
      for (size_t x = 0; x < n && lo_[x] <= y && y <= hi_[x]; ++x) f.mapped(row, static_cast<int64_t>(x), y, weight_[x]);
    }
  }

  // The focus window itself, 1:1.
  const size_t windowBytes = static_cast<size_t>(g.maskWidth) * 3;
  for (int64_t y = y0; y < y1; ++y) {
    std::memcpy(out.row(static_cast<int32_t>(y)) + x0 * 3, in.row(static_cast<int32_t>(g.yin + (y - y0))) + g.xin * 3,
                windowBytes);
  }
}

void ZoomTransform::drawEllipse(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out) {
  const Frame f{in, out, g, in.width, in.height, out.width, out.height};
  const int64_t W = out.width, H = out.height;
  const int64_t cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
  const ZoomTable& table = table_;

  auto pixel = [&](uint8_t* row, int64_t x, int64_t y, const ZoomTable::Entry& e, float num, float den) {
    if (e.inside) {
      f.direct(row, x, y);
    } else {
      const float s = ellipseWeight(num, den);
      f.mapped(row, x, y, s * s);
    }
  };
  auto entry = [&](int64_t x, int64_t y) {
    return table.at(static_cast<int>(x - cx), static_cast<int>(y - cy));
  };

  // Bottom triangle: rows 0 to cy - 1, weight y / (cy + gy).
  for (int64_t y = 0; y < cy; ++y) {
    uint8_t* row = out.row(static_cast<int32_t>(y));
    const int64_t from = y * cx / cy, to = W - 1 - y * (W - cx) / cy;
    for (int64_t x = from; x <= to; ++x) {
      const ZoomTable::Entry e = entry(x, y);
      pixel(row, x, y, e, static_cast<float>(y), static_cast<float>(cy + e.gy));
    }
  }

  // Top triangle: rows H - 1 down to cy, weight (H - y) / (H - cy - gy).
  const int64_t T = H - cy;
  for (int64_t y = H - 1; y >= cy; --y) {
    const int64_t k = H - 1 - y;
    uint8_t* row = out.row(static_cast<int32_t>(y));
    const int64_t from = k * cx / T, to = W - 1 - k * (W - cx) / T;
    for (int64_t x = from; x <= to; ++x) {
      const ZoomTable::Entry e = entry(x, y);
      pixel(row, x, y, e, static_cast<float>(H - y), static_cast<float>(H - cy - e.gy));
    }
  }

  // Left triangle: columns 0 to cx - 1, weight x / (cx + gx); drawn row by
  // row, each row's columns are a run from the left edge.
  if (cx > 0) {
    const size_t n = static_cast<size_t>(cx);
    lo_.resize(n);
    hi_.resize(n);
    for (size_t x = 0; x < n; ++x) {
      lo_[x] = static_cast<int64_t>(x) * cy / cx;
      hi_[x] = H - 1 - static_cast<int64_t>(x) * (H - cy) / cx;
    }
    for (int64_t y = 0; y < H; ++y) {
      uint8_t* row = out.row(static_cast<int32_t>(y));
      for (size_t i = 0; i < n && lo_[i] <= y && y <= hi_[i]; ++i) {
        const int64_t x = static_cast<int64_t>(i);
        const ZoomTable::Entry e = entry(x, y);
        pixel(row, x, y, e, static_cast<float>(x), static_cast<float>(cx + e.gx));
      }
    }
  }

  // Right triangle: columns W - 1 down to cx, weight (W - x) / (W - cx - gx).
  const int64_t R = W - cx;
  {
    const size_t n = static_cast<size_t>(R);
    lo_.resize(n);
    hi_.resize(n);
    for (size_t i = 0; i < n; ++i) {  // i = W - 1 - x
      lo_[i] = static_cast<int64_t>(i) * cy / R;
      hi_[i] = H - 1 - static_cast<int64_t>(i) * (H - cy) / R;
    }
    for (int64_t y = 0; y < H; ++y) {
      uint8_t* row = out.row(static_cast<int32_t>(y));
      for (size_t i = 0; i < n && lo_[i] <= y && y <= hi_[i]; ++i) {
        const int64_t x = W - 1 - static_cast<int64_t>(i);
        const ZoomTable::Entry e = entry(x, y);
        pixel(row, x, y, e, static_cast<float>(W - x), static_cast<float>(W - cx - e.gx));
      }
    }
  }
}
