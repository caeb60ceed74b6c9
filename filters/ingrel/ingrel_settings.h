// The client filter's persisted settings, written and read field by field
// (after the framework's version prefix): automatic-type and
// timestamp-reset flags, picture position and size, address length and
// text with its zero, port, time-to-live, then the output codes kind, video
// format, resolution, audio format, bit count, frequency, channels.
#pragma once
#include <cstdint>
#include <string>

#include "platform/media/byte_io.h"

struct IngrelSettings {
  static constexpr int kVersion = 1;
  // 1 + 1 + 16 + 4 + 1024 + 2 + 4 + 7 * 4 bytes.
  static constexpr uint64_t kSizeMax = 1080;

  bool automaticType = false;
  bool timestampReset = true;
  float x = 0, y = 0, width = 1, height = 1;
  static constexpr uint32_t kMaxAddressLength = 1023;
  std::string address = "234.5.6.7";
  uint16_t port = 8190;
  uint32_t timeToLive = 1;
  int kind = 0, videoFormat = 4, resolution = 8, audioFormat = 0, bitCount = 2, frequency = 5, channels = 0;

  void write(ByteWriter& out) const;
  // False (the record is then unspecified) when the data is cut short or
  // the address is longer than 1023 characters or lacks its zero.
  bool read(ByteReader& in);
};
