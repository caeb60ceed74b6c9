// FrameConverter: keeps the newest picture a device delivered (in the
// device's own pixel layout) and converts it, scaled, into any of the
// capture formats with libswscale. Thread-safe: the producer stores while
// the pins convert.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/filters/capture/video_format.h"

struct SwsContext;

class FrameConverter {
 public:
  // Source layouts the devices deliver.
  enum class Layout { Bgr24, Bgrx32 };

  FrameConverter() = default;
  FrameConverter(const FrameConverter&) = delete;
  FrameConverter& operator=(const FrameConverter&) = delete;
  ~FrameConverter();

  // Copies a top-down picture in (rows of stride bytes).
  void store(Layout layout, int width, int height, size_t stride, const uint8_t* pixels);
  // Converts the stored picture into dst; false when nothing is stored yet,
  // the format is not ours, or the scaler cannot be made.
  bool convert(const VideoFormat& f, uint8_t* dst, size_t size);
  void clear();

 private:
  std::mutex lock_;
  Layout layout_ = Layout::Bgr24;
  int width_ = 0, height_ = 0;
  size_t stride_ = 0;
  std::vector<uint8_t> pixels_;
  // Scalers by (source layout, source size, target format).
  std::map<std::tuple<int, int, int, int, int, uint32_t>, SwsContext*> scalers_;
};
