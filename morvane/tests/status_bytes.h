// A sender's status record as it travels, laid out and read byte by byte by
// the tests themselves, independent of the library's own record class:
// 1 byte running; int32 focus display; per stream a text (uint32 length and
// the bytes) and a uint16 port, the video streams with two int32 (format,
// resolution), the audio stream with one int32 (format); then seven int32.
// Little-endian, unaligned, no padding.
#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
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

  bool operator==(const TestStatus&) const = default;

  // Calls f on every field in wire order.
  template <class S, class F>
  static void fields(S& s, F&& f) {
    f(s.running), f(s.focusDisplay);
    f(s.mainVideoAddress), f(s.mainVideoPort), f(s.mainVideoFormat), f(s.mainVideoResolution);
    f(s.subVideoAddress), f(s.subVideoPort), f(s.subVideoFormat), f(s.subVideoResolution);
    f(s.audioAddress), f(s.audioPort), f(s.audioFormat), f(s.pointerAddress), f(s.pointerPort);
    f(s.loupexVideoFormat), f(s.loupexMaskType), f(s.loupexMaskWidth), f(s.loupexMaskHeight);
    f(s.videoFormat), f(s.compoundMaskType), f(s.compoundBlendingType);
  }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> b;
    auto number = [&](uint32_t v, size_t size) {
      for (size_t i = 0; i < size; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    fields(*this, [&](const auto& v) {
      if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>) {
        number(uint32_t(v.size()), 4);
        b.insert(b.end(), v.begin(), v.end());
      } else {
        number(uint32_t(v), sizeof v);
      }
    });
    return b;
  }

  // The record of a message; nothing for one cut short or too long.
  static std::optional<TestStatus> decode(const std::vector<uint8_t>& m) {
    TestStatus s;
    size_t at = 0;
    bool ok = true;
    auto number = [&](size_t size) {
      uint32_t v = 0;
      ok = ok && m.size() - at >= size;
      for (size_t i = 0; ok && i < size; ++i) v |= uint32_t(m[at++]) << (8 * i);
      return v;
    };
    fields(s, [&](auto& v) {
      using T = std::decay_t<decltype(v)>;
      if constexpr (std::is_same_v<T, std::string>) {
        const uint32_t n = number(4);
        ok = ok && m.size() - at >= n;
        if (ok) v.assign(m.begin() + long(at), m.begin() + long(at + n)), at += n;
      } else {
        v = T(number(sizeof v));
      }
    });
    if (!ok || at != m.size()) return std::nullopt;
    return s;
  }
};

inline std::ostream& operator<<(std::ostream& out, const TestStatus& s) {
  out << "{";
  TestStatus::fields(s, [&](const auto& v) {
    if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
      out << " " << v;
    else
      out << " " << int64_t(v);
  });
  return out << " }";
}
