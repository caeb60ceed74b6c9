// The stored frames a client delivers when its stream stalls: one MPEG-4 v2
// key frame and, per resolution code, one Motion-JPEG picture (a complete
// JPEG with an "AVI1" application segment), all of a plain dark picture.
#pragma once
#include <cstdint>
#include <vector>

inline constexpr uint32_t kMpeg4FillerSize = 137;

const uint8_t* ingrelMpeg4Filler();  // kMpeg4FillerSize bytes
// The JPEG of a resolution code (0..8), empty for any other code. Sizes by
// code: 384, 592, 1984, 512, 576, 1392, 1576, 5200, 5792 bytes.
const std::vector<uint8_t>& ingrelJpegFiller(int resolution);
