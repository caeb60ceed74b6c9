#include "filters/blendor/koPointerDraw.h"

#include <cmath>

namespace {

// Pointer pixel along one axis: trunc((position - window position) /
// window size * extent) in extended precision. Returns false when the result
// is not a finite number; results far outside the picture are pulled in to
// a value that still lies outside it, so that the conversion cannot overflow.
bool pointerPixel(float position, float windowPosition, float windowSize, int32_t extent, int64_t& out) {
  const long double v =
      (static_cast<long double>(position) - windowPosition) / windowSize * static_cast<long double>(extent);
  if (!std::isfinite(v)) return false;
  const long double margin = 4 * koPointerShapeSide;
  const long double lo = -margin;
  const long double hi = static_cast<long double>(extent) + margin;
  out = static_cast<int64_t>(v < lo ? lo : (v > hi ? hi : v));
  return true;
}

}  // namespace

koPointerDraw::koPointerDraw() : _pointerShapeBitmap(koPointerShape(0)) {}

void koPointerDraw::setPosition(float x, float y) {
  _positionX = x;
  _positionY = y;
}

void koPointerDraw::getPosition(float& x, float& y) const {
  x = _positionX;
  y = _positionY;
}

void koPointerDraw::setShape(int32_t shape) {
  const koPointerShapeBitmap* bitmap = koPointerShape(shape);
  if (!bitmap) return;
  _shape = shape;
  _pointerShapeBitmap = bitmap;
}

void koPointerDraw::setColor(int32_t colour) {
  const koPointerColour* c = koPointerColourAt(colour);
  if (!c) return;
  _colour = colour;
  _blueMask = c->blue;
  _greenMask = c->green;
  _redMask = c->red;
}

void koPointerDraw::setBitmapSize(int32_t width, int32_t height) {
  _bitmapWidth = width;
  _bitmapHeight = height;
}

void koPointerDraw::getBitmapSize(int32_t& width, int32_t& height) const {
  width = _bitmapWidth;
  height = _bitmapHeight;
}

void koPointerDraw::setWindowPosition(float x, float y) {
  _windowPositionX = x;
  _windowPositionY = y;
}
void koPointerDraw::getWindowPosition(float& x, float& y) const {
  x = _windowPositionX;
  y = _windowPositionY;
}
void koPointerDraw::setWindowSize(float x, float y) {
  _windowSizeX = x;
  _windowSizeY = y;
}
void koPointerDraw::getWindowSize(float& x, float& y) const {
  x = _windowSizeX;
  y = _windowSizeY;
}
void koPointerDraw::setMappingPosition(float x, float y) {
  _mappingPositionX = x;
  _mappingPositionY = y;
}
void koPointerDraw::getMappingPosition(float& x, float& y) const {
  x = _mappingPositionX;
  y = _mappingPositionY;
}
void koPointerDraw::setMappingSize(float x, float y) {
  _mappingSizeX = x;
  _mappingSizeY = y;
}
void koPointerDraw::getMappingSize(float& x, float& y) const {
  x = _mappingSizeX;
  y = _mappingSizeY;
}

bool koPointerDraw::draw(uint8_t* data, size_t dataLength) const {
  // The caller passes exactly one picture of the bitmap size; anything else
  // would write outside it, so it is refused.
  if (data == nullptr || _pointerShapeBitmap == nullptr || _bitmapWidth <= 0 || _bitmapHeight <= 0) return false;
  const int64_t width = _bitmapWidth;
  const int64_t height = _bitmapHeight;
  // Cannot overflow: both factors are below 2^31.
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3u != dataLength) return false;

  int64_t xp = 0, yp = 0;
  if (!pointerPixel(_positionX, _windowPositionX, _windowSizeX, _bitmapWidth, xp) ||
      !pointerPixel(_positionY, _windowPositionY, _windowSizeY, _bitmapHeight, yp))
    return false;

  const koPointerShapeBitmap& shape = *_pointerShapeBitmap;
  const int64_t left = xp - shape.hotX;
  const int64_t top = yp - shape.hotY;
  for (int c = 0; c < koPointerShapeSide; ++c) {
    const int64_t x = left + c;
    if (x < 0 || x >= width) continue;
    for (int stored = 0; stored < koPointerShapeSide; ++stored) {
      const int t = koPointerShapeSide - 1 - stored;  // row from the top of the shape
      const int64_t y = top + t;                      // row from the top of the picture
      if (y < 0 || y >= height) continue;
      const uint8_t* src = shape.pixels + (stored * koPointerShapeSide + c) * 3;
      if (koIsTransparent(src)) continue;
      uint8_t* dst = data + ((height - 1 - y) * width + x) * 3;
      dst[0] = src[0] & _blueMask;
      dst[1] = src[1] & _greenMask;
      dst[2] = src[2] & _redMask;
    }
  }
  return true;
}
