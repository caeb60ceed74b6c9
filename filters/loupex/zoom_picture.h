// A packed 24-bit RGB picture (blue, green, red per pixel) in a caller's
// buffer, rows bottom-up: row 0 is the lowest row, at the start of the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

template <typename Byte>
struct RgbPictureOf {
  Byte* data = nullptr;
  size_t length = 0;  // bytes available at data
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;  // bytes from one row to the next, at least width * 3

  // A picture without row padding.
  static RgbPictureOf packed(Byte* data, size_t length, int32_t width, int32_t height) {
    return {data, length, width, height, width > 0 ? static_cast<size_t>(width) * 3 : 0};
  }

  bool isEmpty() const { return width <= 0 || height <= 0; }
  // The declared size lies inside the buffer.
  bool fits() const {
    if (width < 0 || height < 0) return false;
    if (isEmpty()) return true;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    if (data == nullptr || stride < rowBytes) return false;
    if (length < rowBytes) return false;
    // rows * stride + rowBytes <= length, without overflow.
    const size_t rows = static_cast<size_t>(height) - 1;
    return rows == 0 || stride <= (length - rowBytes) / rows;
  }
  Byte* row(int32_t y) const { return data + static_cast<size_t>(y) * stride; }
};

using RgbPicture = RgbPictureOf<uint8_t>;
using RgbConstPicture = RgbPictureOf<const uint8_t>;
