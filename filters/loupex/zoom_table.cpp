#include "filters/loupex/zoom_table.h"

#include <algorithm>
#include <cmath>

namespace {

int16_t toInt16(double v) {
  return static_cast<int16_t>(std::clamp(std::trunc(v), -32768.0, 32767.0));
}

}  // namespace

// The ellipse rows: for the table row oy = k - b (k = 0 to 2b - 1) the
// inside offsets run from inset - a to A - inset - a - 1, where the inset
// follows the circle 1 - sqrt(1 - (2f - 1)^2) with f = k / (B - 1).
bool ZoomTable::insideRow(int oy, int& first, int& last) const {
  const int a = width_ / 2;
  const int b = height_ / 2;
  const int k = oy + b;
  if (k < 0 || k > 2 * b - 1) return false;
  const double f = static_cast<double>(k) / (height_ - 1);
  const double t = 2.0 * f - 1.0;
  const int inset = static_cast<int>(a * (1.0 - std::sqrt(std::max(0.0, 1.0 - t * t))));
  first = inset - a;
  last = width_ - inset - a - 1;
  return first <= last;
}

ZoomTable::Entry ZoomTable::compute(int ox, int oy) const {
  Entry entry{0, 0, 0};
  const int a = width_ / 2;
  const int b = height_ / 2;
  // Scale x so that the ellipse becomes a circle of radius b.
  const double e = std::trunc(static_cast<double>(height_) / width_ * ox);
  const double r = std::trunc(std::sqrt(e * e + static_cast<double>(oy) * oy));
  if (r != 0.0) {
    entry.gx = toInt16(e / r * a);
    entry.gy = toInt16(oy / r * b);
  }
  int first = 0, last = -1;
  if (insideRow(oy, first, last) && ox >= first && ox <= last) entry.inside = 1;
  return entry;
}

void ZoomTable::build(int32_t maskWidth, int32_t maskHeight) {
  width_ = std::max(maskWidth, 1);
  height_ = std::max(maskHeight, 1);
  entries_.resize(static_cast<size_t>(kWidth) * kHeight);

  const int a = width_ / 2;
  const int b = height_ / 2;
  const double scale = static_cast<double>(height_) / width_;
  std::vector<double> e(kWidth);
  for (int i = 0; i < kWidth; ++i) e[i] = std::trunc(scale * (i - kHalfWidth));

  for (int oy = -kHalfHeight; oy < kHalfHeight; ++oy) {
    Entry* out = entries_.data() + static_cast<size_t>(oy + kHalfHeight) * kWidth;
    const double oy2 = static_cast<double>(oy) * oy;
    for (int i = 0; i < kWidth; ++i) {
      const double r = std::trunc(std::sqrt(e[i] * e[i] + oy2));
      Entry& entry = out[i];
      entry.inside = 0;
      if (r == 0.0) {
        entry.gx = 0;
        entry.gy = 0;
      } else {
        entry.gx = toInt16(e[i] / r * a);
        entry.gy = toInt16(oy / r * b);
      }
    }
    int first = 0, last = -1;
    if (insideRow(oy, first, last)) {
      first = std::max(first, -kHalfWidth);
      last = std::min(last, kHalfWidth - 1);
      for (int ox = first; ox <= last; ++ox) out[ox + kHalfWidth].inside = 1;
    }
  }
}
