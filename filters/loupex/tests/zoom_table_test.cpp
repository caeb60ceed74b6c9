// The ellipse table: size, symmetry, boundary and inside rows.
#include <gtest/gtest.h>

#include <cmath>

#include "filters/loupex/zoom_table.h"

TEST(ZoomTable, SymmetryBoundaryAndInside) {
  ZoomTable t;
  EXPECT_FALSE(t.isBuilt());
  t.build(128, 96);
  ASSERT_TRUE(t.isBuiltFor(128, 96));
  EXPECT_EQ(t.sizeInBytes(), 1440u * 960u * 6u);

  // On the axes the boundary lies at the half axes.
  EXPECT_EQ(t.at(5, 0).gx, 64);
  EXPECT_EQ(t.at(5, 0).gy, 0);
  EXPECT_EQ(t.at(-300, 0).gx, -64);
  EXPECT_EQ(t.at(0, 10).gx, 0);
  EXPECT_EQ(t.at(0, 10).gy, 48);
  EXPECT_EQ(t.at(0, -479).gy, -48);
  // The centre has no direction.
  EXPECT_EQ(t.at(0, 0).gx, 0);
  EXPECT_EQ(t.at(0, 0).gy, 0);
  EXPECT_EQ(t.at(1, 0).gx, 0) << "trunc(0.75) = 0: still the centre";

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

  // Middle row spans the whole mask width, the outermost rows nothing.
  EXPECT_EQ(t.at(-64, 0).inside, 1);
  EXPECT_EQ(t.at(63, 0).inside, 1);
  EXPECT_EQ(t.at(64, 0).inside, 0);
  EXPECT_EQ(t.at(-65, 0).inside, 0);
  EXPECT_EQ(t.at(0, -48).inside, 0);
  EXPECT_EQ(t.at(0, 47).inside, 0);
  EXPECT_EQ(t.at(0, -47).inside, 1);
  // Row -47 (k = 1): inset trunc(64 * (1 - sqrt(1 - (2/95 - 1)^2))) = 50, offsets -14..13.
  EXPECT_EQ(t.at(-14, -47).inside, 1);
  EXPECT_EQ(t.at(13, -47).inside, 1);
  EXPECT_EQ(t.at(-15, -47).inside, 0);
  EXPECT_EQ(t.at(14, -47).inside, 0);

  // Offsets beyond the grid are computed with the same rules.
  EXPECT_EQ(t.at(5000, 0).gx, 64);
  EXPECT_EQ(t.at(0, -3000).gy, -48);
  EXPECT_EQ(t.at(5000, 0).inside, 0);

  // A rebuild for another size replaces everything.
  t.build(8, 6);
  EXPECT_TRUE(t.isBuiltFor(8, 6));
  EXPECT_FALSE(t.isBuiltFor(128, 96));
  EXPECT_EQ(t.at(-4, -2).inside, 1);
  EXPECT_EQ(t.at(3, 1).inside, 1);
  EXPECT_EQ(t.at(-4, -3).inside, 0);
  EXPECT_EQ(t.at(4, 0).inside, 0);
  EXPECT_EQ(t.at(0, 2).inside, 0);
  EXPECT_EQ(t.at(-6, -1).gx, -4);
  EXPECT_EQ(t.at(-6, -1).gy, 0);

  // Degenerate masks build without dividing by zero.
  for (auto [w, h] : {std::pair{1, 1}, {1, 2}, {2, 1}, {1440, 960}, {3000, 2000}}) {
    ZoomTable d;
    d.build(w, h);
    EXPECT_TRUE(d.isBuiltFor(w, h));
  }
}
