// ZoomTable: the ellipse geometry of the focus window, computed once per mask
// size so that the per-pixel work of the ellipse zoom is a look-up.
//
// For each offset (ox, oy) from the ellipse centre, ox = -720 to 719 and
// oy = -480 to 479, an entry holds whether the offset lies inside the ellipse
// and the offset (gx, gy) of the ellipse boundary on the ray from the centre
// through it. Offsets outside that grid are computed on demand with the same
// rules, so pictures larger than the grid still work (slowly).
#pragma once

#include <climits>
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
    return isBuilt() && maskWidth == width_ && maskHeight == height_;
  }
  bool isBuilt() const { return !inside_.empty(); }
  int32_t maskWidth() const { return width_; }
  int32_t maskHeight() const { return height_; }
  size_t sizeInBytes() const { return isBuilt() ? static_cast<size_t>(kWidth) * kHeight * sizeof(Entry) : 0; }

  // The entry for the offset (ox, oy) from the centre (rows counted upwards).
  Entry at(int ox, int oy) const {
    if (ox >= -kHalfWidth && ox < kHalfWidth && oy >= -kHalfHeight && oy < kHalfHeight) {
      const size_t i = static_cast<size_t>(oy + kHalfHeight) * kWidth + static_cast<size_t>(ox + kHalfWidth);
      return {inside_[i], gx_[i], gy_[i]};
    }
    return compute(ox, oy);
  }

  // The entries are kept as three planes (inside flags, gx, gy). For the
  // pixel loops two more planes hold gx and gy with the inside entries
  // marked kInside instead, so that a loop reads one value per pixel. A row
  // of a plane for oy (which must lie in the grid) starts at ox = -720; each
  // plane is followed by kPadding readable entries, so that loops may read a
  // few entries past a row's end.
  static constexpr int16_t kInside = INT16_MIN;  // no boundary offset takes it
  static constexpr size_t kPadding = 16;
  struct Row {
    const int16_t* gx;  // gx, or kInside
    const int16_t* gy;  // gy, or kInside
  };
  Row row(int oy) const {
    const size_t i = static_cast<size_t>(oy + kHalfHeight) * kWidth;
    return {gxMarked_.data() + i, gyMarked_.data() + i};
  }
  // The marked gx and gy of any offset.
  int16_t markedGx(int ox, int oy) const;
  int16_t markedGy(int ox, int oy) const;

 private:
  Entry compute(int ox, int oy) const;
  bool insideRow(int oy, int& first, int& last) const;

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<int16_t> inside_;
  std::vector<int16_t> gx_;
  std::vector<int16_t> gy_;
  std::vector<int16_t> gxMarked_;
  std::vector<int16_t> gyMarked_;
};
