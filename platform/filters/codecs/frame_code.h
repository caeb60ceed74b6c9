// The moving, deterministic picture of the built-in DV camera and the code
// of its frame number: 20 bits as 16x16 blocks across the top 16 rows (most
// significant bit first, white for 1, black for 0) and their complements in
// the 16 rows below, so that a reader can tell a damaged code from a number.
// The blocks sit on the 16-pixel grid of the codecs' macroblocks, so the
// code survives lossy coding. Pictures are 24-bit BGR; rows are reached
// through the top row's address and a (possibly negative) stride.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr int kFrameCodeBits = 20;
inline constexpr int kFrameCodeBlock = 16;
inline constexpr int kFrameCodeRows = 2 * kFrameCodeBlock;  // rows the code takes at the top
inline constexpr uint32_t kFrameCodeModulus = 1u << kFrameCodeBits;

// Draws picture number frame (width at least 320, height at least 96).
void drawCodedPicture(uint8_t* top, ptrdiff_t stride, int width, int height, uint32_t frame);
// Writes only the frame-number code (frame modulo 2^20).
void drawFrameCode(uint8_t* top, ptrdiff_t stride, int width, uint32_t frame);
// The coded frame number, or -1 when a block is unclear. bytesPerPixel: 3
// (BGR) or 4 (BGRX).
int32_t readFrameCode(const uint8_t* top, ptrdiff_t stride, int width, int height, int bytesPerPixel = 3);
