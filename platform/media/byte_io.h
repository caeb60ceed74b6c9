// Little-endian byte records: a writer that appends to a byte vector and a
// bounds-checked reader with a sticky error flag. A read past the end sets
// the flag, yields zero and never touches memory outside the input; once set,
// every further read yields zero.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/com/guid.h"

class ByteReader {
 public:
  ByteReader(const void* data, size_t size) : p_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

  uint8_t u8() { return static_cast<uint8_t>(read(1)); }
  uint16_t u16() { return static_cast<uint16_t>(read(2)); }
  uint32_t u32() { return static_cast<uint32_t>(read(4)); }
  uint64_t u64() { return read(8); }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  int64_t i64() { return static_cast<int64_t>(u64()); }
  float f32() {
    uint32_t v = u32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  GUID guid() {
    const uint8_t* b = take(16);
    return b ? guidFromBytes(b) : GUID{};
  }
  // Copies n bytes; on a short input copies nothing and sets the flag.
  bool bytes(void* out, size_t n) {
    const uint8_t* b = take(n);
    if (b && n) std::memcpy(out, b, n);
    return b != nullptr;
  }
  // Pointer to the next n bytes, or nullptr (flag set) if fewer remain.
  const uint8_t* take(size_t n) {
    if (error_ || n > size_ - pos_) {
      error_ = true;
      return nullptr;
    }
    const uint8_t* b = p_ + pos_;
    pos_ += n;
    return b;
  }
  void skip(size_t n) { take(n); }
  // A counted text: its length n (u32, at most maxLength), n bytes and a
  // zero. The text ends at its first zero, as a C string would. False (flag
  // set) when the length is over maxLength or the zero is missing.
  bool countedText(std::string& out, uint32_t maxLength) {
    const uint32_t n = u32();
    if (error_ || n > maxLength) {
      error_ = true;
      return false;
    }
    const uint8_t* text = take(size_t(n) + 1);
    if (!text || text[n] != 0) {
      error_ = true;
      return false;
    }
    out.assign(reinterpret_cast<const char*>(text), strnlen(reinterpret_cast<const char*>(text), n));
    return true;
  }

  bool ok() const { return !error_; }
  bool failed() const { return error_; }
  void fail() { error_ = true; }
  size_t position() const { return pos_; }
  size_t remaining() const { return error_ ? 0 : size_ - pos_; }
  size_t size() const { return size_; }

 private:
  uint64_t read(size_t n) {
    const uint8_t* b = take(n);
    if (!b) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint64_t(b[i]) << (8 * i);
    return v;
  }
  const uint8_t* p_;
  size_t size_;
  size_t pos_ = 0;
  bool error_ = false;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void u8(uint8_t v) { out_.push_back(v); }
  void u16(uint16_t v) { put(v, 2); }
  void u32(uint32_t v) { put(v, 4); }
  void u64(uint64_t v) { put(v, 8); }
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void i64(int64_t v) { u64(static_cast<uint64_t>(v)); }
  void f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
  void guid(const GUID& g) {
    uint8_t b[16];
    guidToBytes(g, b);
    bytes(b, 16);
  }
  void bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    if (n) out_.insert(out_.end(), b, b + n);
  }
  void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  // The counted text ByteReader::countedText reads, cut to maxLength bytes.
  void countedText(const std::string& text, uint32_t maxLength) {
    const uint32_t n = text.size() > maxLength ? maxLength : static_cast<uint32_t>(text.size());
    u32(n);
    bytes(text.data(), n);
    u8(0);
  }
  size_t size() const { return out_.size(); }

 private:
  void put(uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t>& out_;
};
