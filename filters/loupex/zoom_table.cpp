#include "filters/loupex/zoom_table.h"

#include <algorithm>
#include <cmath>

namespace {

// Boundary offsets never reach kInside: |gx| <= a and |gy| <= b, halves of
// at most 65535.
int16_t toInt16(double v) {
  return static_cast<int16_t>(std::clamp(std::trunc(v), -32767.0, 32767.0));
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
  const size_t n = static_cast<size_t>(kWidth) * kHeight + kPadding;
  inside_.assign(n, 0);
  gx_.resize(n, 0);
  gy_.resize(n, 0);

  const int a = width_ / 2;
  const int b = height_ / 2;
  const double scale = static_cast<double>(height_) / width_;
  std::vector<double> e(kWidth);
  for (int i = 0; i < kWidth; ++i) e[i] = std::trunc(scale * (i - kHalfWidth));

  for (int oy = -kHalfHeight; oy < kHalfHeight; ++oy) {
    const size_t rowStart = static_cast<size_t>(oy + kHalfHeight) * kWidth;
    int16_t* gx = gx_.data() + rowStart;
    int16_t* gy = gy_.data() + rowStart;
    const double oy2 = static_cast<double>(oy) * oy;
    for (int i = 0; i < kWidth; ++i) {
      const double r = std::trunc(std::sqrt(e[i] * e[i] + oy2));
      if (r == 0.0) {
        gx[i] = 0;
        gy[i] = 0;
      } else {
        gx[i] = toInt16(e[i] / r * a);
        gy[i] = toInt16(oy / r * b);
      }
    }
    int first = 0, last = -1;
    if (insideRow(oy, first, last)) {
      first = std::max(first, -kHalfWidth);
      last = std::min(last, kHalfWidth - 1);
      std::fill(inside_.begin() + static_cast<ptrdiff_t>(rowStart) + (first + kHalfWidth),
                inside_.begin() + static_cast<ptrdiff_t>(rowStart) + (last + kHalfWidth) + 1, int16_t{1});
    }
  }

  gxMarked_.resize(n, 0);
  gyMarked_.resize(n, 0);
  for (size_t i = 0; i < n; ++i) {
    gxMarked_[i] = inside_[i] ? kInside : gx_[i];
    gyMarked_[i] = inside_[i] ? kInside : gy_[i];
  }
}

int16_t ZoomTable::markedGx(int ox, int oy) const {
  const Entry e = at(ox, oy);
  return e.inside ? kInside : e.gx;
}

int16_t ZoomTable::markedGy(int ox, int oy) const {
  const Entry e = at(ox, oy);
  return e.inside ? kInside : e.gy;
}
