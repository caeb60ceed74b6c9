// The six pointer shapes (16 x 16 pixel bitmaps) and the eight pointer colours.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int koPointerShapeSide = 16;
inline constexpr int koPointerShapeCount = 6;
inline constexpr int koPointerColourCount = 8;

// A shape: the hot spot (x, then y counted in rows from the top of the shape),
// then 16 rows of 16 pixels, 3 bytes each (blue, green, red), stored
// bottom-up like the pictures: pixels[0] is the lowest row. The pixel
// blue 255, green 0, red 255 (magenta) is transparent.
struct koPointerShapeBitmap {
  int32_t hotX;
  int32_t hotY;
  uint8_t pixels[koPointerShapeSide * koPointerShapeSide * 3];
};

// The shape of index 0 to 5; nullptr for any other index.
const koPointerShapeBitmap* koPointerShape(int index);

inline bool koIsTransparent(const uint8_t* bgr) { return bgr[0] == 255 && bgr[1] == 0 && bgr[2] == 255; }

struct koPointerColour {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  std::string_view label;    // shown by the user interfaces
  std::string_view iniName;  // written to settings files
};

// The colour of index 0 to 7; nullptr for any other index.
const koPointerColour* koPointerColourAt(int index);
