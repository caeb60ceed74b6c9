// A sender's status record as the tests write it: the fields in wire order
// and an encoder that lays them out byte by byte (little-endian, texts as a
// 32-bit length and the bytes), independent of the library's own writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TestStatus {
  uint8_t running = 1;
  int32_t focusDisplay = 0;
  std::string mainVideoAddress = "234.5.6.7";
  uint16_t mainVideoPort = 8190;
  int32_t mainVideoFormat = 1;
  int32_t mainVideoResolution = 2;
  std::string subVideoAddress = "234.5.6.7";
  uint16_t subVideoPort = 8191;
  int32_t subVideoFormat = 1;
  int32_t subVideoResolution = 1;
  std::string audioAddress = "234.5.6.7";
  uint16_t audioPort = 8192;
  int32_t audioFormat = 1;
  std::string pointerAddress = "234.5.6.7";
  uint16_t pointerPort = 8193;
  int32_t loupexVideoFormat = 4;
  int32_t loupexMaskType = 1;
  int32_t loupexMaskWidth = 160;
  int32_t loupexMaskHeight = 120;
  int32_t videoFormat = 2;
  int32_t compoundMaskType = 1;
  int32_t compoundBlendingType = 0;

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> b;
    auto u8 = [&](uint8_t v) { b.push_back(v); };
    auto u16 = [&](uint16_t v) {
      u8(uint8_t(v));
      u8(uint8_t(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
      u16(uint16_t(v));
      u16(uint16_t(v >> 16));
    };
    auto text = [&](const std::string& s) {
      u32(uint32_t(s.size()));
      b.insert(b.end(), s.begin(), s.end());
    };
    u8(running);
    u32(uint32_t(focusDisplay));
    text(mainVideoAddress);
    u16(mainVideoPort);
    u32(uint32_t(mainVideoFormat));
    u32(uint32_t(mainVideoResolution));
    text(subVideoAddress);
    u16(subVideoPort);
    u32(uint32_t(subVideoFormat));
    u32(uint32_t(subVideoResolution));
    text(audioAddress);
    u16(audioPort);
    u32(uint32_t(audioFormat));
    text(pointerAddress);
    u16(pointerPort);
    for (int32_t v : {loupexVideoFormat, loupexMaskType, loupexMaskWidth, loupexMaskHeight, videoFormat,
                      compoundMaskType, compoundBlendingType})
      u32(uint32_t(v));
    return b;
  }
};
