#include "platform/filters/codecs/frame_code.h"

#include <cstdlib>

namespace {

constexpr uint8_t kWhite = 235, kBlack = 16;

// A triangle wave 0..255..0 of period 512: smooth, so that it codes well.
inline uint8_t tri(int v) {
  v &= 511;
  return static_cast<uint8_t>(v < 256 ? v : 511 - v);
}

void fillBlock(uint8_t* top, ptrdiff_t stride, int x0, int y0, uint8_t value) {
  for (int y = y0; y < y0 + kFrameCodeBlock; ++y) {
    uint8_t* p = top + stride * y + 3 * x0;
    for (int x = 0; x < 3 * kFrameCodeBlock; ++x) p[x] = value;
  }
}

// Mean luminance of the central 8x8 pixels of a block.
int blockLevel(const uint8_t* top, ptrdiff_t stride, int x0, int y0, int bpp) {
  int sum = 0;
  for (int y = y0 + 4; y < y0 + 12; ++y) {
    const uint8_t* p = top + stride * y + bpp * (x0 + 4);
    for (int x = 0; x < 8; ++x, p += bpp) sum += (p[0] + 2 * p[1] + p[2]) / 4;
  }
  return sum / 64;
}

}  // namespace

void drawFrameCode(uint8_t* top, ptrdiff_t stride, int width, uint32_t frame) {
  if (width < kFrameCodeBits * kFrameCodeBlock) return;
  frame %= kFrameCodeModulus;
  for (int bit = 0; bit < kFrameCodeBits; ++bit) {
    bool one = (frame >> (kFrameCodeBits - 1 - bit)) & 1;
    fillBlock(top, stride, bit * kFrameCodeBlock, 0, one ? kWhite : kBlack);
    fillBlock(top, stride, bit * kFrameCodeBlock, kFrameCodeBlock, one ? kBlack : kWhite);
  }
  // The rest of the code rows stays mid grey.
  for (int y = 0; y < kFrameCodeRows; ++y) {
    uint8_t* p = top + stride * y;
    for (int x = 3 * kFrameCodeBits * kFrameCodeBlock; x < 3 * width; ++x) p[x] = 128;
  }
}

void drawCodedPicture(uint8_t* top, ptrdiff_t stride, int width, int height, uint32_t frame) {
  const int f = static_cast<int>(frame % kFrameCodeModulus);
  for (int y = kFrameCodeRows; y < height; ++y) {
    uint8_t* p = top + stride * y;
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = tri(x + 3 * f);
      p[1] = tri(y + 2 * f);
      p[2] = static_cast<uint8_t>(64 + tri(x + y + f) / 2);
    }
  }
  // A white square that travels across the picture.
  const int side = 48;
  if (width > side && height > kFrameCodeRows + side) {
    int sx = (4 * f) % (width - side), sy = kFrameCodeRows + (2 * f) % (height - kFrameCodeRows - side);
    for (int y = sy; y < sy + side; ++y) {
      uint8_t* p = top + stride * y + 3 * sx;
      for (int x = 0; x < 3 * side; ++x) p[x] = kWhite;
    }
  }
  drawFrameCode(top, stride, width, frame);
}

int32_t readFrameCode(const uint8_t* top, ptrdiff_t stride, int width, int height, int bytesPerPixel) {
  if (!top || width < kFrameCodeBits * kFrameCodeBlock || height < kFrameCodeRows) return -1;
  if (bytesPerPixel != 3 && bytesPerPixel != 4) return -1;
  int32_t value = 0;
  for (int bit = 0; bit < kFrameCodeBits; ++bit) {
    int a = blockLevel(top, stride, bit * kFrameCodeBlock, 0, bytesPerPixel);
    int b = blockLevel(top, stride, bit * kFrameCodeBlock, kFrameCodeBlock, bytesPerPixel);
    if (std::abs(a - b) < 96) return -1;
    value = (value << 1) | (a > b ? 1 : 0);
  }
  return value;
}
