// Byte streams of the transport base: koOutputByteStream serialises a record
// into a growing buffer that is kept across clears; koInputByteStream reads
// one back from borrowed bytes with bounds checks.
//
// Multi-byte values are little-endian on the wire; the typed calls convert
// explicitly, so the bytes are the same on any host.
#pragma once

#include <cstdint>

class koOutputByteStream {
 public:
  static constexpr uint32_t kGrowStep = 1024;

  koOutputByteStream() = default;
  virtual ~koOutputByteStream();
  koOutputByteStream(const koOutputByteStream&) = delete;
  koOutputByteStream& operator=(const koOutputByteStream&) = delete;

  // Length back to 0; the buffer stays allocated.
  void clear() { _length = 0; }

  // Appends n bytes and returns n; 0 (nothing written) when the stream
  // would pass 4 GiB.
  uint32_t writeBytes(const void* data, uint32_t n);
  // count little-endian 32-bit / 64-bit values.
  uint32_t write32(const uint32_t* values, uint32_t count);
  uint32_t write64(const uint64_t* values, uint32_t count);

  void writeU8(uint8_t v) { writeBytes(&v, 1); }
  void writeU16(uint16_t v);
  void writeU32(uint32_t v) { write32(&v, 1); }
  void writeU64(uint64_t v) { write64(&v, 1); }
  void writeI64(int64_t v) { writeU64(static_cast<uint64_t>(v)); }

  // Valid until the next write or clear.
  const uint8_t* data() const { return _data; }
  uint32_t length() const { return _length; }
  uint32_t capacity() const { return _capacity; }
  void getBuffer(const uint8_t*& data, uint32_t& length) const {
    data = _data;
    length = _length;
  }

 private:
  uint8_t* _data = nullptr;
  uint32_t _length = 0;
  uint32_t _capacity = 0;
};

class koInputByteStream {
 public:
  koInputByteStream() = default;
  koInputByteStream(const void* data, uint32_t size) { attach(data, size); }
  virtual ~koInputByteStream();

  // Reads from the start of data; the stream does not own it. Clears the
  // error flag.
  void attach(const void* data, uint32_t size);

  // A read that would pass the end copies nothing, leaves the position
  // unchanged, returns false and sets the (sticky) error flag.
  bool readBytes(void* destination, uint32_t n);
  bool read32(uint32_t* values, uint32_t count);
  bool read64(uint64_t* values, uint32_t count);
  bool skip(uint32_t n);

  // Typed reads: 0 when they fail (check failed() once at the end).
  uint8_t readU8();
  uint16_t readU16();
  uint32_t readU32();
  uint64_t readU64();
  int64_t readI64() { return static_cast<int64_t>(readU64()); }

  bool failed() const { return _failed; }
  uint32_t position() const { return _position; }
  uint32_t size() const { return _size; }
  uint32_t remaining() const { return _size - _position; }

 private:
  const uint8_t* _data = nullptr;
  uint32_t _size = 0;
  uint32_t _position = 0;
  bool _failed = false;
};
