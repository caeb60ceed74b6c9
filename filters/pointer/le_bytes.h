// Little-endian byte reader and writer over a caller's buffer.
//
// Both keep a sticky error flag: once a read or write would pass the end of
// the buffer, nothing more is read or written, reads yield zero, and ok()
// stays false. Callers check ok() once after a whole record.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pointing {

class LeReader {
 public:
  LeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return ok_ ? size_ - pos_ : 0; }

  uint8_t u8() { return static_cast<uint8_t>(take(1)); }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32() { return static_cast<uint32_t>(take(4)); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32() { return std::bit_cast<float>(u32()); }

  // Copies n bytes into out; on a short buffer out is zero-filled.
  void bytes(uint8_t* out, size_t n) {
    if (!need(n)) {
      std::memset(out, 0, n);
      return;
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
  }

 private:
  bool need(size_t n) {
    if (!ok_ || n > size_ - pos_) ok_ = false;
    return ok_;
  }
  uint64_t take(size_t n) {
    if (!need(n)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class LeWriter {
 public:
  LeWriter(uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }

  void u8(uint8_t v) { put(v, 1); }
  void u16(uint16_t v) { put(v, 2); }
  void i16(int16_t v) { put(static_cast<uint16_t>(v), 2); }
  void u32(uint32_t v) { put(v, 4); }
  void i32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
  void f32(float v) { put(std::bit_cast<uint32_t>(v), 4); }
  void bytes(const uint8_t* in, size_t n) {
    if (!need(n)) return;
    std::memcpy(data_ + pos_, in, n);
    pos_ += n;
  }

 private:
  bool need(size_t n) {
    if (!ok_ || n > size_ - pos_) ok_ = false;
    return ok_;
  }
  void put(uint64_t v, size_t n) {
    if (!need(n)) return;
    for (size_t i = 0; i < n; ++i) data_[pos_ + i] = static_cast<uint8_t>(v >> (8 * i));
    pos_ += n;
  }

  uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace pointing
