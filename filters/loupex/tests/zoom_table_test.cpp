// The ellipse table: size, symmetry, boundary and inside rows.
#include "filters/loupex/zoom_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>

TEST(ZoomTable, SymmetryBoundaryAndInside) {
  ZoomTable t;
  EXPECT_FALSE(t.isBuilt());
  t.build(128, 96);
  ASSERT_TRUE(t.isBuiltFor(128, 96));
  EXPECT_EQ(t.sizeInBytes(), 1440u * 960u * 6u);

  // Boundary points: on the axes at the half axes; the centre has no
  // direction (and (1, 0) is still the centre: trunc(0.75) = 0); offsets
  // beyond the grid are computed with the same rules.
  const int boundary[][4] = {{5, 0, 64, 0}, {-300, 0, -64, 0}, {0, 10, 0, 48},   {0, -479, 0, -48},
                             {0, 0, 0, 0},  {1, 0, 0, 0},      {5000, 0, 64, 0}, {0, -3000, 0, -48}};
  const auto toward = [&t](int ox, int oy) { return std::pair<int, int>(t.at(ox, oy).gx, t.at(ox, oy).gy); };
  for (const auto& b : boundary) EXPECT_EQ(toward(b[0], b[1]), std::pair(b[2], b[3])) << b[0] << "," << b[1];

  long inside = 0;
  for (int oy = -480; oy < 480; ++oy) {
    for (int ox = -720; ox < 720; ++ox) {
      const ZoomTable::Entry e = t.at(ox, oy);
      // Boundary offsets mirror with the offsets.
      const ZoomTable::Entry mx = t.at(-ox, oy);
      if (ox > -720) {
        ASSERT_EQ(mx.gx, -e.gx) << ox << "," << oy;
        ASSERT_EQ(mx.gy, e.gy) << ox << "," << oy;
      }
      if (oy > -480) {
        const ZoomTable::Entry my = t.at(ox, -oy);
        ASSERT_EQ(my.gy, -e.gy) << ox << "," << oy;
      }
      // Inside rows and columns are symmetric about the centre pixel's corner.
      if (ox < 719 && oy < 479) {
        ASSERT_EQ(e.inside, t.at(-1 - ox, -1 - oy).inside) << ox << "," << oy;
      }
      // The boundary point lies on the ellipse, within the truncations
      // (coarse near the centre, where the ray's direction is a few pixels).
      if (ox * ox + oy * oy >= 40 * 40) {
        const double q = (e.gx / 64.0) * (e.gx / 64.0) + (e.gy / 48.0) * (e.gy / 48.0);
        ASSERT_GT(q, 0.85) << ox << "," << oy;
        ASSERT_LT(q, 1.2) << ox << "," << oy;
      }
      inside += e.inside;
      // Nothing outside the mask is inside.
      if (ox < -64 || ox > 63 || oy < -48 || oy > 47) {
        ASSERT_EQ(e.inside, 0);
      }
    }
  }
  // About the ellipse's area, pi * 64 * 48.
  EXPECT_NEAR(static_cast<double>(inside), M_PI * 64 * 48, 0.03 * M_PI * 64 * 48);

  // Middle row spans the whole mask width, the outermost rows nothing. Row
  // -47 (k = 1): inset trunc(64 * (1 - sqrt(1 - (2/95 - 1)^2))) = 50,
  // offsets -14..13.
  const int insideAt[][3] = {{-64, 0, 1},  {63, 0, 1},    {64, 0, 0},   {-65, 0, 0},
                             {0, -48, 0},  {0, 47, 0},    {0, -47, 1},  {-14, -47, 1},
                             {13, -47, 1}, {-15, -47, 0}, {14, -47, 0}, {5000, 0, 0}};
  for (const auto& i : insideAt) EXPECT_EQ(t.at(i[0], i[1]).inside, i[2]) << i[0] << "," << i[1];

  // A rebuild for another size replaces everything.
  t.build(8, 6);
  EXPECT_TRUE(t.isBuiltFor(8, 6));
  EXPECT_FALSE(t.isBuiltFor(128, 96));
  for (const auto& i : {std::array{-4, -2, 1}, {3, 1, 1}, {-4, -3, 0}, {4, 0, 0}, {0, 2, 0}})
    EXPECT_EQ(t.at(i[0], i[1]).inside, i[2]) << i[0] << "," << i[1];
  EXPECT_EQ(toward(-6, -1), std::pair(-4, 0));

  // Degenerate masks build without dividing by zero.
  for (auto [w, h] : {std::pair{1, 1}, {1, 2}, {2, 1}, {1440, 960}, {3000, 2000}}) {
    ZoomTable d;
    d.build(w, h);
    EXPECT_TRUE(d.isBuiltFor(w, h));
  }
}
