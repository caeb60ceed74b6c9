// The test-pattern camera's picture for frame n, at any size, in RGB24
// (bottom-up), YUY2 or I420. It is a pure function of the frame number and
// the format, so tests can compute what they should receive:
//   - the frame-number code band at the top (test_pattern_code.h);
//   - below it, eight colour bars (white, yellow, cyan, green, magenta, red,
//     blue, black) that scroll left by width/80 pixels per frame;
//   - a grey square, 1/6 of the height, that moves right by width/106
//     pixels per frame across the middle;
//   - the frame number as eight decimal digits, white on black, at the
//     bottom left.
// YUY2 and I420 use BT.601 studio range; their chroma comes from the left
// (YUY2) or top-left (I420) pixel of each pair or 2x2 group.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/filters/capture/video_format.h"

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Colour of pixel (x, y), y from the top.
Rgb testPatternPixel(uint64_t frame, int width, int height, int x, int y);
// Writes the picture; false when the format is not one of ours or size is
// smaller than pictureBytes(format).
bool renderTestPattern(uint64_t frame, const VideoFormat& format, uint8_t* dst, size_t size);

// BT.601 studio-range conversion used for YUY2 and I420.
void rgbToYuv(Rgb c, uint8_t* y, uint8_t* u, uint8_t* v);
