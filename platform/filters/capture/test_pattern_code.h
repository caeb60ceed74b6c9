// The frame number that the test-pattern camera carries in its pixels, and
// how to read it back from a picture (header-only, for tests anywhere).
//
// The top band of the picture holds 32 blocks, 16 across and 2 down; the
// band is 1/6 of the picture height, each block 1/16 of its width, so the
// blocks stay large at every size and survive scaling and lossy coding.
// Block i (row i / 16, column i % 16) is white for bit i set and black for
// bit i clear, where the 32-bit code is
//   bits 0..23   the frame number modulo 2^24 (counted from 0 at each start)
//   bits 24..31  CRC-8 (polynomial 0x07, initial value 0xFF, final XOR 0x5A)
//                of the three frame-number bytes, low byte first.
// A reader takes the mean brightness of the middle half of each block and
// compares it with mid-grey; the checksum rejects pictures that are not a
// test pattern (an all-black or all-white band fails it).
#pragma once
#include <cstddef>
#include <cstdint>

namespace test_pattern {

inline constexpr int kCodeColumns = 16;
inline constexpr int kCodeRows = 2;
inline constexpr int kCodeBits = kCodeColumns * kCodeRows;
inline constexpr uint32_t kFrameMask = 0xFFFFFF;

inline uint8_t codeChecksum(uint32_t frame) {
  uint8_t crc = 0xFF;
  for (int i = 0; i < 3; ++i) {
    crc ^= static_cast<uint8_t>(frame >> (8 * i));
    for (int b = 0; b < 8; ++b) crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return static_cast<uint8_t>(crc ^ 0x5A);
}

inline uint32_t encodeFrameCode(uint64_t frame) {
  uint32_t f = static_cast<uint32_t>(frame) & kFrameMask;
  return f | (uint32_t(codeChecksum(f)) << 24);
}

// False when the checksum does not match.
inline bool decodeFrameCode(uint32_t code, uint32_t* frame) {
  uint32_t f = code & kFrameMask;
  if (codeChecksum(f) != (code >> 24)) return false;
  *frame = f;
  return true;
}

// Height of one row of blocks (the band is two rows).
inline int codeRowHeight(int height) {
  return height / 12 > 0 ? height / 12 : 1;
}
inline int codeBandHeight(int height) {
  return kCodeRows * codeRowHeight(height);
}

struct BlockRect {
  int x0, x1, y0, y1;  // half-open, y counted from the top of the picture
};
inline BlockRect codeBlock(int index, int width, int height) {
  int col = index % kCodeColumns, row = index / kCodeColumns;
  int rh = codeRowHeight(height);
  return {col * width / kCodeColumns, (col + 1) * width / kCodeColumns, row * rh, (row + 1) * rh};
}

// Reads the frame number through luma(x, y) (0..255, y from the top).
template <typename LumaAt>
bool readFrameNumber(int width, int height, LumaAt luma, uint32_t* frame) {
  if (width < kCodeColumns || height < 12) return false;
  uint32_t code = 0;
  for (int i = 0; i < kCodeBits; ++i) {
    BlockRect b = codeBlock(i, width, height);
    int w = b.x1 - b.x0, h = b.y1 - b.y0;
    int x0 = b.x0 + w / 4, x1 = b.x1 - w / 4, y0 = b.y0 + h / 4, y1 = b.y1 - h / 4;
    if (x1 <= x0) x1 = x0 + 1;
    if (y1 <= y0) y1 = y0 + 1;
    long sum = 0, n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x, ++n) sum += luma(x, y);
    if (sum >= 128 * n) code |= 1u << i;
  }
  return decodeFrameCode(code, frame);
}

// RGB24 rows padded to 4 bytes, bottom-up (the usual bitmap order) unless topDown.
inline bool readFrameNumberRgb24(const uint8_t* data, int width, int height, uint32_t* frame,
                                 bool topDown = false) {
  size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
  return readFrameNumber(
      width, height,
      [&](int x, int y) {
        const uint8_t* p = data + stride * static_cast<size_t>(topDown ? y : height - 1 - y) + 3 * size_t(x);
        return (29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8;  // B, G, R
      },
      frame);
}

// Packed R G B pixels, top-down, no row padding (a PNG's or a streamed
// picture's layout).
inline bool readFrameNumberRgb(const uint8_t* rgb, int width, int height, uint32_t* frame) {
  return readFrameNumber(
      width, height,
      [&](int x, int y) {
        const uint8_t* p = rgb + (static_cast<size_t>(y) * width + x) * 3;
        return (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
      },
      frame);
}

// An 8-bit luma plane (the Y plane of I420, or any grey picture), top-down.
inline bool readFrameNumberLuma(const uint8_t* y, int width, int height, ptrdiff_t stride, uint32_t* frame) {
  return readFrameNumber(
      width, height, [&](int x, int row) { return int(y[row * stride + x]); }, frame);
}

// YUY2 (Y0 U Y1 V), top-down.
inline bool readFrameNumberYuy2(const uint8_t* data, int width, int height, uint32_t* frame) {
  return readFrameNumber(
      width, height, [&](int x, int row) { return int(data[(size_t(row) * width + x) * 2]); }, frame);
}

}  // namespace test_pattern
