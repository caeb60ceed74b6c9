// Test helpers: plain sockets on a group to capture or forge datagrams, and
// hand-built frame datagrams.
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

Bytes header(uint32_t number, uint32_t length, uint32_t packetSize, uint32_t count);
Bytes fragment(uint32_t packetSize, uint32_t number, uint32_t count, uint32_t index, uint32_t offset,
               const Bytes& piece, uint8_t end);
// Deterministic content; the first four bytes carry the tag when n >= 4.
Bytes pattern(size_t n, uint32_t tag);
Bytes slice(const Bytes& b, size_t from, size_t n);

}  // namespace wire
