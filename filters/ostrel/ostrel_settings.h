// The server filter's persisted settings, written and read field by field
// (after the framework's version prefix): user data length and bytes,
// address length and text with its zero, port, time-to-live, packet size,
// maximum rate, repeat count, system buffer size, clock minimum interval.
#pragma once
#include <cstdint>
#include <string>

#include "platform/media/byte_io.h"

struct OstrelSettings {
  static constexpr int kVersion = 1;
  // 4 + 64 + 4 + 1024 + 2 + 4 * 5 + 4 bytes.
  static constexpr uint64_t kSizeMax = 1122;

  uint32_t userDataLength = 64;
  uint8_t userData[64] = {};
  static constexpr uint32_t kMaxAddressLength = 1023;
  std::string address = "234.5.6.7";
  uint16_t port = 8190;
  uint32_t timeToLive = 1;
  uint32_t packetSize = 1024;
  uint32_t maximumRate = 0x40000000;
  uint32_t repeatCount = 1;
  uint32_t systemBufferSize = 0x20000;
  float clockMinimumInterval = 0.001f;

  void write(ByteWriter& out) const;
  // Reads every field into this record; false (the record is then
  // unspecified) when the data is cut short, the user data length is above
  // 64, the address is longer than 1023 characters or lacks its zero.
  bool read(ByteReader& in);
};
