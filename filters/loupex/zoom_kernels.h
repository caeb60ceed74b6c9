// Vector kernels of the ellipse zoom (internal to ZoomTransform). For a span
// of output pixels they work out the byte offset in the input of the pixel
// each one takes (-1: left as it is), with exactly the arithmetic of the
// scalar loops, and copy those pixels, eight at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoomkernels {

// True when the processor runs the vector kernels.
bool available();

// One row of the bottom or top ellipse triangle, columns from..to.
struct RowSpan {
  const int16_t* inside;  // table planes, indexed by output column
  const int16_t* gy;
  int32_t from, to;
  int32_t dx, inW;
  int32_t directOff;  // input offset of the 1:1 row, -1 when outside
  const float* s2;    // weights, indexed by gy
  const float* kx;
  const int32_t* off;  // input offset of the weight's source row, -1 when outside
  const uint8_t* in;   // the input picture, inLength bytes
  size_t inLength;
  uint8_t* dst;   // the output row
  int32_t* work;  // room for 8 offsets
};
void drawRow(const RowSpan& job);

// One row of a side triangle, output columns xs..xe; the triangle column of
// output column x is colOrigin + colStep * x, and the weights of triangle
// column i sit at colBase[i] + gx.
struct SideSpan {
  const int16_t* inside;  // table planes, indexed by output column
  const int16_t* gx;
  int32_t xs, xe;
  int32_t colOrigin, colStep;
  const int32_t* colBase;
  int32_t dx, inW, inH, stride;
  float fy, fyy;      // y + dy and y as floats
  int32_t directOff;  // input offset of the 1:1 row, -1 when outside
  const float* s2;    // weights
  const float* ky;
  const int32_t* sxOff;  // 3 * source column, -1 when outside
  const uint8_t* in;     // the input picture, inLength bytes
  size_t inLength;
  uint8_t* dst;   // the output row
  int32_t* work;  // room for 8 offsets
};
void drawSide(const SideSpan& job);

}  // namespace zoomkernels
