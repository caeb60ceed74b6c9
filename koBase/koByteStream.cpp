#include "koBase/koByteStream.h"

#include <cstring>

namespace {
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}
uint64_t get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}
}  // namespace

koOutputByteStream::~koOutputByteStream() { delete[] _data; }

uint32_t koOutputByteStream::writeBytes(const void* data, uint32_t n) {
  if (n == 0) return 0;
  const uint64_t needed = static_cast<uint64_t>(_length) + n;
  if (needed > 0xFFFFFFFFull - kGrowStep) return 0;
  if (_capacity < needed) {
    uint64_t capacity = _capacity;
    while (capacity < needed) capacity += kGrowStep;
    auto* grown = new uint8_t[capacity];
    if (_length) std::memcpy(grown, _data, _length);
    delete[] _data;
    _data = grown;
    _capacity = static_cast<uint32_t>(capacity);
  }
  std::memcpy(_data + _length, data, n);
  _length += n;
  return n;
}

uint32_t koOutputByteStream::write32(const uint32_t* values, uint32_t count) {
  uint32_t written = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t bytes[4];
    put32(bytes, values[i]);
    written += writeBytes(bytes, 4);
  }
  return written;
}

uint32_t koOutputByteStream::write64(const uint64_t* values, uint32_t count) {
  uint32_t written = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t bytes[8];
    put64(bytes, values[i]);
    written += writeBytes(bytes, 8);
  }
  return written;
}

void koOutputByteStream::writeU16(uint16_t v) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  writeBytes(bytes, 2);
}

koInputByteStream::~koInputByteStream() = default;

void koInputByteStream::attach(const void* data, uint32_t size) {
  _data = static_cast<const uint8_t*>(data);
  _size = data ? size : 0;
  _position = 0;
  _failed = false;
}

bool koInputByteStream::readBytes(void* destination, uint32_t n) {
  if (n > _size - _position) {
    _failed = true;
    return false;
  }
  if (n) std::memcpy(destination, _data + _position, n);
  _position += n;
  return true;
}

bool koInputByteStream::skip(uint32_t n) {
  if (n > _size - _position) {
    _failed = true;
    return false;
  }
  _position += n;
  return true;
}

bool koInputByteStream::read32(uint32_t* values, uint32_t count) {
  if (count > (_size - _position) / 4) {
    _failed = true;
    return false;
  }
  for (uint32_t i = 0; i < count; ++i, _position += 4) values[i] = get32(_data + _position);
  return true;
}

bool koInputByteStream::read64(uint64_t* values, uint32_t count) {
  if (count > (_size - _position) / 8) {
    _failed = true;
    return false;
  }
  for (uint32_t i = 0; i < count; ++i, _position += 8) values[i] = get64(_data + _position);
  return true;
}

uint8_t koInputByteStream::readU8() {
  uint8_t v = 0;
  return readBytes(&v, 1) ? v : 0;
}

uint16_t koInputByteStream::readU16() {
  uint8_t b[2] = {0, 0};
  if (!readBytes(b, 2)) return 0;
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t koInputByteStream::readU32() {
  uint32_t v = 0;
  return read32(&v, 1) ? v : 0;
}

uint64_t koInputByteStream::readU64() {
  uint64_t v = 0;
  return read64(&v, 1) ? v : 0;
}
