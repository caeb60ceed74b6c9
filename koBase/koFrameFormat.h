// The frame transport on a multicast group: one frame (an application
// message of any length) travels as one 1024-byte frame header datagram and
// fragment datagrams of the frame's packet size, each with a 33-byte
// fragment header. Little-endian throughout; three magic words tell the
// kind of a datagram.
//
// Frame header (1024 bytes): magic1 magic2 0xAAAAAAAA, frame number, frame
// length, packet size, fragment count (7 x u32), then zeros.
// Fragment (packet-size bytes): magic1 magic2 0xEEEEEEEE, frame number,
// fragment count, index, offset, data length (8 x u32), end mark (u8), data,
// zeros up to the packet size.
#pragma once

#include <cstdint>

namespace koFrame {

constexpr uint32_t kMagic1 = 0xFDFDFDFD;
constexpr uint32_t kMagic2 = 0xDFDFDFDF;
constexpr uint32_t kHeaderKind = 0xAAAAAAAA;
constexpr uint32_t kFragmentKind = 0xEEEEEEEE;
constexpr uint32_t kHeaderSize = 1024;
constexpr uint32_t kHeaderUsedSize = 28;
constexpr uint32_t kFragmentHeaderSize = 33;
constexpr uint32_t kMinPacketSize = 512;
constexpr uint32_t kMaxPacketSize = 8192;
constexpr uint32_t kDefaultPacketSize = 1024;

struct FrameHeader {
  uint32_t frameNumber = 0;
  uint32_t frameLength = 0;
  uint32_t packetSize = 0;
  uint32_t fragmentCount = 0;
};

struct FragmentHeader {
  uint32_t frameNumber = 0;
  uint32_t fragmentCount = 0;
  uint32_t index = 0;
  uint32_t offset = 0;
  uint32_t dataLength = 0;
  uint8_t endMark = 0;
};

inline uint32_t clampPacketSize(uint32_t size) {
  return size < kMinPacketSize ? kMinPacketSize : size > kMaxPacketSize ? kMaxPacketSize : size;
}

// Fragments of a frame of length bytes (0 for an empty frame).
inline uint64_t fragmentCountFor(uint64_t length, uint32_t packetSize) {
  const uint32_t piece = packetSize - kFragmentHeaderSize;
  return (length + piece - 1) / piece;
}

// Writes the 28 used bytes of a frame header (the caller zeroes the rest).
void writeFrameHeader(uint8_t* out, const FrameHeader& header);
// True for a datagram of exactly 1024 bytes with the header magic words.
bool parseFrameHeader(const uint8_t* datagram, uint32_t length, FrameHeader* header);

void writeFragmentHeader(uint8_t* out, const FragmentHeader& header);
// True for a datagram of at least 33 bytes with the fragment magic words.
bool parseFragmentHeader(const uint8_t* datagram, uint32_t length, FragmentHeader* header);

}  // namespace koFrame
