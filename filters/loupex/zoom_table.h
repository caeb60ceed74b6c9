// ZoomTable: the ellipse geometry of the focus window, computed once per mask
// size so that the per-pixel work of the ellipse zoom is a look-up.
//
// For each offset (ox, oy) from the ellipse centre, ox = -720 to 719 and
// oy = -480 to 479, an entry holds whether the offset lies inside the ellipse
// and the offset (gx, gy) of the ellipse boundary on the ray from the centre
// through it. Offsets outside that grid are computed on demand with the same
// rules, so pictures larger than the grid still work (slowly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ZoomTable {
 public:
  static constexpr int kHalfWidth = 720;
  static constexpr int kHalfHeight = 480;
  static constexpr int kWidth = 2 * kHalfWidth;
  static constexpr int kHeight = 2 * kHalfHeight;

  struct Entry {
    int16_t inside;  // 1 inside the ellipse, else 0
    int16_t gx;      // boundary offset along the ray
    int16_t gy;
  };
  static_assert(sizeof(Entry) == 6);

  // Builds the table for a mask of width x height pixels (both at least 1),
  // allocating it on first use.
  void build(int32_t maskWidth, int32_t maskHeight);
  bool isBuiltFor(int32_t maskWidth, int32_t maskHeight) const {
    return !entries_.empty() && maskWidth == width_ && maskHeight == height_;
  }
  bool isBuilt() const { return !entries_.empty(); }
  int32_t maskWidth() const { return width_; }
  int32_t maskHeight() const { return height_; }
  size_t sizeInBytes() const { return entries_.size() * sizeof(Entry); }

  // The entry for the offset (ox, oy) from the centre (rows counted upwards).
  Entry at(int ox, int oy) const {
    if (ox >= -kHalfWidth && ox < kHalfWidth && oy >= -kHalfHeight && oy < kHalfHeight)
      return entries_[static_cast<size_t>(oy + kHalfHeight) * kWidth + static_cast<size_t>(ox + kHalfWidth)];
    return compute(ox, oy);
  }
  // The row of entries for oy, starting at ox = -720; oy must lie in the grid.
  const Entry* row(int oy) const { return entries_.data() + static_cast<size_t>(oy + kHalfHeight) * kWidth; }

 private:
  Entry compute(int ox, int oy) const;
  bool insideRow(int oy, int& first, int& last) const;

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<Entry> entries_;
};
