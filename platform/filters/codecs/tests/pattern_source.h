// A source of coded test pictures for the codec tests and benchmark: RGB24
// (bottom-up) or RGB32 frames of frame_code.h's moving picture with the
// frame number in its top rows, as fast as downstream takes them. Frame n
// carries the times n x interval .. (n + 1) x interval.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/media/source_filter.h"

inline constexpr CLSID CLSID_PatternSource = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A20}");

class PatternSource final : public SourceFilter {
 public:
  // frames: how many before the end of the stream (0: endless). cycle: when
  // above 0, that many pictures are drawn up front and repeated (for
  // benchmarks, so that drawing costs nothing while streaming).
  PatternSource(int width, int height, uint32_t frames, uint32_t cycle = 0, int bitCount = 24);

  int width() const { return width_; }
  int height() const { return height_; }
  int bitCount() const { return bitCount_; }
  uint32_t frames() const { return frames_; }
  static constexpr REFERENCE_TIME kInterval = 333333;
  // The reference picture n (top-down BGR24, width x 3 bytes per row).
  std::vector<uint8_t> reference(uint32_t n) const;
  // Fills a framework buffer with picture n.
  void fill(uint32_t n, uint8_t* buffer) const;

 private:
  int width_, height_, bitCount_;
  uint32_t frames_;
  std::vector<std::vector<uint8_t>> cache_;
};
