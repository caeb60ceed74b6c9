// koPointerDraw: draws one pointer (normalised position, shape, colour) into
// a packed 24-bit picture (blue, green, red; rows bottom-up; no row padding).
#pragma once

#include <cstddef>
#include <cstdint>

#include "filters/blendor/koPointerShapes.h"

class koPointerDraw {
 public:
  koPointerDraw();

  void setPosition(float x, float y);
  void getPosition(float& x, float& y) const;
  // An index outside 0 to 5 keeps the previous shape.
  void setShape(int32_t shape);
  int32_t getShape() const { return _shape; }
  // An index outside 0 to 7 keeps the previous colour.
  void setColor(int32_t colour);
  int32_t getColor() const { return _colour; }
  // Pixel size of the pictures that draw() will be given.
  void setBitmapSize(int32_t width, int32_t height);
  void getBitmapSize(int32_t& width, int32_t& height) const;

  // Normalised place and size of the displayed picture: the pointer position
  // is taken relative to this window.
  void setWindowPosition(float x, float y);
  void getWindowPosition(float& x, float& y) const;
  void setWindowSize(float x, float y);
  void getWindowSize(float& x, float& y) const;
  // Stored and reported for the mixer's settings; no effect on drawing.
  void setMappingPosition(float x, float y);
  void getMappingPosition(float& x, float& y) const;
  void setMappingSize(float x, float y);
  void getMappingSize(float& x, float& y) const;

  // Draws the pointer into the picture in place, clipped pixel by pixel at
  // every edge. The picture must be exactly width x height x 3 bytes of the
  // bitmap size set before; otherwise (and for a position that is not a
  // finite number) nothing is drawn and false is returned.
  bool draw(uint8_t* data, size_t dataLength) const;

 private:
  float _positionX = 0.0f;
  float _positionY = 0.0f;
  int32_t _shape = 0;
  int32_t _colour = 7;
  int32_t _bitmapWidth = 0;
  int32_t _bitmapHeight = 0;
  float _windowPositionX = 0.0f;
  float _windowPositionY = 0.0f;
  float _windowSizeX = 1.0f;
  float _windowSizeY = 1.0f;
  float _mappingPositionX = 0.0f;
  float _mappingPositionY = 0.0f;
  float _mappingSizeX = 1.0f;
  float _mappingSizeY = 1.0f;
  const koPointerShapeBitmap* _pointerShapeBitmap;
  uint8_t _blueMask = 255;
  uint8_t _greenMask = 255;
  uint8_t _redMask = 255;
};
