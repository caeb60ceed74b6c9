// Pixel loops of the ellipse zoom (internal to ZoomTransform). One call draws
// a run of output pixels of one row that all lie in the same triangle: each
// pixel inside the ellipse is copied 1:1, each other one takes the input
// pixel that the blend with its own weight s = num / den points to.
//
// The loops come in a plain form and in vector forms for processors that
// have them; all forms do exactly the same single-precision arithmetic, one
// division per pixel, so they give the same pictures byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filters/loupex/zoom_table.h"

namespace zoomkernels {

enum class Level {
  kScalar,  // any processor
  kAvx2,    // eight pixels at a time
  kAvx512,  // sixteen pixels at a time (with byte permutes)
};

// True when the processor runs the loops of the level.
bool supports(Level level);
// The widest level the processor runs.
Level widest();

// A weight the plain loop worked out, for a run of pixels that share their
// source row (along a row of the bottom and top triangles) or their source
// column (down a column of a side triangle): the boundary offset g it
// belongs to (INT32_MIN: none yet), s^2, (1 - s^2) * R along the other axis,
// and the input offset of the shared source row or column (-1: outside).
struct Weight {
  int32_t g;
  float s2, k;
  int64_t off;
};

// A run of output row y, columns from..to.
struct Span {
  // The table's boundary offsets the weight uses (gy or gx) for this row,
  // indexed by output column; ZoomTable::kInside inside the ellipse.
  const int16_t* bound;
  int32_t from, to;
  // Weight of column x: num = numBase + numStep * x, den = denBase +
  // denSign * bound[x], s = num / den kept within 0..1, and 1 when den <= 0.
  int32_t numBase, numStep;
  int32_t denBase, denSign;
  int32_t y;
  int32_t dx, dy;  // the focus window's shift from output to input
  float rx, ry;    // input size / output size
  int32_t inW, inH, stride;
  int32_t directOff;  // input offset of row y + dy (the 1:1 copy), -1 when outside
  const uint8_t* in;  // the input picture, inLength bytes (at most INT32_MAX)
  size_t inLength;
  uint8_t* dst;  // output row y
  // Side triangles: one weight per output column that the plain loop keeps
  // from row to row (the vector loops work every pixel out afresh); null in
  // the bottom and top triangles.
  Weight* columns;
};

// The plain loop reads bound at from..to only; the AVX2 loop reads up to
// seven entries past to, the AVX-512 loop none.
void drawScalar(const Span& span);
void drawAvx2(const Span& span);
void drawAvx512(const Span& span);

}  // namespace zoomkernels
