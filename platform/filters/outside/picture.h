// Pictures as the three outside filters see them: the size codes, RGB24
// picture views of either row order, the window placed around a pointer, and
// the copy and blend steps of the image extractor and image compounder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/media_type.h"
#include "platform/media/records.h"

namespace outside {

// Size of a video format code 0..7; false for 8 (Through) and other codes.
bool videoFormatSize(int code, int* width, int* height);
// The code of a picture size, 8 (Through) when it is none of 0..7.
int videoFormatOf(int width, int height);
// Clamps a code into 0..8.
int clampVideoFormat(int code);
const char* videoFormatName(int code);  // nullptr out of range

// Largest picture side the filters take (a guard against absurd headers).
inline constexpr int kMaxSide = 8192;

// Row length of an RGB bitmap: bits per pixel times width, padded to 4 bytes.
size_t dibStride(int width, int bitCount);

// An RGB24 picture in memory. Row y counts from the top whatever the row
// order in memory: top points at the top row and pitch is negative for
// bottom-up pictures.
struct PictureView {
  uint8_t* top = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t pitch = 0;
  uint8_t* row(int y) const { return top + pitch * y; }
};

// A view of an RGB24 buffer of the given bitmap height (positive:
// bottom-up, negative: top-down); false when the buffer is too short.
bool viewRgb24(uint8_t* data, size_t length, int width, int bitmapHeight, PictureView* view);

// RGB24 video-info media type of a bottom-up picture of this size.
MediaType rgb24Type(int width, int height, int64_t avgTimePerFrame = 0);
// Width and bitmap height of an RGB24 video-info type; false when the type
// is not one (or its size is out of range).
bool rgb24Size(const MediaType& mt, int* width, int* bitmapHeight);

// Left (or top) edge of a window of length inner inside a picture of length
// outer, centred at the normalised position pos (0..1, clamped; NaN counts
// as 0) and kept inside the picture. A window longer than the picture is
// centred on it (the edge is then negative).
int placeWindow(int outer, int inner, float pos);

// Copies the part of src under dst placed at (left, top) of src into dst;
// pixels of dst outside src are black.
void cutWindow(const PictureView& src, int left, int top, const PictureView& dst);

// The weight (0..256) of the cut-out at each pixel of a w x h cut-out, row
// by row from the top, for a mask code and a blending code.
std::vector<uint16_t> maskWeights(int width, int height, int mask, int blending);

// Blends add over dst with its top left corner at (left, top) of dst,
// pixel by pixel: (add × w + dst × (256 − w) + 128) / 256 with the weights
// of maskWeights; the parts outside dst are left out.
void blendWindow(const PictureView& add, const std::vector<uint16_t>& weights, const PictureView& dst, int left,
                 int top);

}  // namespace outside
