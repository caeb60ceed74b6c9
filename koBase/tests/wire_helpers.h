// Test helpers: plain sockets on a group to capture or forge datagrams,
// hand-built frame datagrams and hand-built sample records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wire {

using Bytes = std::vector<uint8_t>;

// A plain UDP socket on a group: joined when receiving, looping back when
// sending. Large receive buffer: captures do not drop.
class RawGroup {
 public:
  RawGroup(const std::string& group, uint16_t port, bool receive, const std::string& interfaceName = "");
  ~RawGroup();
  RawGroup(const RawGroup&) = delete;
  RawGroup& operator=(const RawGroup&) = delete;
  bool ok() const { return fd_ >= 0; }
  // Every datagram until none arrives for quietMs.
  std::vector<Bytes> drain(int quietMs);
  void send(const Bytes& datagram);

 private:
  int fd_ = -1;
  std::vector<uint8_t> address_;
};

// Little-endian fields appended to, or written into, a byte image.
void add32(Bytes& b, uint32_t v);
void add64(Bytes& b, int64_t v);
void put32(Bytes& b, size_t at, uint32_t v);

Bytes header(uint32_t number, uint32_t length, uint32_t packetSize, uint32_t count);
Bytes fragment(uint32_t packetSize, uint32_t number, uint32_t count, uint32_t index, uint32_t offset,
               const Bytes& piece, uint8_t end);
// Deterministic content; the first four bytes carry the tag when n >= 4.
Bytes pattern(size_t n, uint32_t tag);
Bytes slice(const Bytes& b, size_t from, size_t n);

// A sample record built by hand: the fields in the order they go on the
// wire, each length in front of what it counts.
struct HandRecord {
  uint32_t sampleNumber = 0;
  Bytes userData;
  Bytes mediaType;  // the 72-byte type record
  Bytes format;
  int64_t previousClock = -1, clock = 0;
  bool startValid = false, stopValid = false;
  int64_t start = 0, stop = 0;
  bool mediaStartValid = false, mediaStopValid = false;
  int64_t mediaStart = 0, mediaStop = 0;
  bool syncPoint = false, discontinuity = false, preroll = false;
  Bytes data;
  Bytes bytes() const;
};

}  // namespace wire
