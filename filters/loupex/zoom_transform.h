// ZoomTransform: the non-linear zoom ("focus display"). Reduces an input
// picture to a smaller output picture in which a focus window (a rectangle or
// an ellipse of mask size) around the point of attention keeps one input
// pixel per output pixel, while the rest is squeezed the more strongly the
// nearer it lies to the picture edges, so that the whole input still fits.
//
// Pictures are packed 24-bit RGB, rows bottom-up (see zoom_picture.h); rows
// are counted from the bottom everywhere here, x from the left.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/loupex/zoom_kernels.h"
#include "filters/loupex/zoom_picture.h"
#include "filters/loupex/zoom_table.h"

enum ZoomMaskType : int32_t {
  kZoomMaskRectangle = 0,
  kZoomMaskEllipse = 1,
  // Any other value gives a black output picture.
};

struct ZoomSettings {
  int32_t maskType = kZoomMaskRectangle;
  int32_t maskWidth = 128;  // focus window in pixels, the same in input and output
  int32_t maskHeight = 96;
  int32_t fixedX = 0;  // top-left corner of the focus window in input pixels, y from the top
  int32_t fixedY = 0;
  bool fixedMode = false;         // use the fixed position even with a pointer
  bool pointerConnected = false;  // a pointer stream feeds pointerX, pointerY
  float pointerX = 0.0f;          // normalised pointer position, y downwards
  float pointerY = 0.0f;
};

// Where the focus window lies for one frame.
struct ZoomGeometry {
  int32_t maskWidth = 0;  // the mask as used: at least 1, at most both pictures' size
  int32_t maskHeight = 0;
  int32_t xin = 0;  // focus window in the input: left column, bottom row
  int32_t yin = 0;
  int32_t x0 = 0;  // focus window in the output: left column, bottom row
  int32_t y0 = 0;
  int32_t dx = 0;   // xin - x0
  int32_t dy = 0;   // yin - y0
  float rx = 0.0f;  // input width / output width
  float ry = 0.0f;
};

class ZoomTransform {
 public:
  // The focus window for the given settings and picture sizes (all sizes at
  // least 1). A mask larger than either picture is reduced to fit.
  static ZoomGeometry geometry(const ZoomSettings& settings, int32_t inWidth, int32_t inHeight,
                               int32_t outWidth, int32_t outHeight);

  // Marks the ellipse table for rebuilding before the next ellipse frame (the
  // owner calls it when the mask size changes). The table is also rebuilt
  // whenever a frame needs it for another mask size.
  void invalidateTable() { tableStale_ = true; }

  // Largest picture width or height the zoom takes (equal sizes copy any size).
  static constexpr int32_t kMaxSide = 65535;

  // Transforms one frame. Equal sizes copy the input. Returns false, with a
  // black output, when the input does not fit its buffer or a side exceeds
  // kMaxSide (or, for the ellipse, the input exceeds 2 GiB); returns false
  // without writing when the output does not fit its buffer.
  bool transform(const ZoomSettings& settings, const RgbConstPicture& in, const RgbPicture& out);

  const ZoomTable& table() const { return table_; }

  // The ellipse runs the widest pixel loops the processor has; tests pick
  // each level in turn to check that all give the same pictures. A level the
  // processor lacks falls back to the widest it has.
  using Kernels = zoomkernels::Level;
  void setKernels(Kernels level) { kernels_ = zoomkernels::supports(level) ? level : zoomkernels::widest(); }

  // Work record of the rectangle's pixel loops (internal), kept between frames.
  struct Column {    // one output column of a rectangle side band
    int64_t lo, hi;  // its rows
    int64_t x;       // output column
    int64_t sx;      // source column, -1 when outside the input
    float s2, ky;    // weight s^2 and (1 - s^2) * Ry
  };

 private:
  void drawRectangle(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out);
  void drawEllipse(const ZoomGeometry& g, const RgbConstPicture& in, const RgbPicture& out);

  ZoomTable table_;
  bool tableStale_ = true;
  std::vector<Column> columns_;
  std::vector<int16_t> planeGx_, planeGy_;          // table rows computed outside its grid
  std::vector<int32_t> lo_, hi_;                    // rows of each side-triangle column
  std::vector<zoomkernels::Weight> columnWeights_;  // the plain loop's weights of each column
  Kernels kernels_ = zoomkernels::widest();
};
