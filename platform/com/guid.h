// 16-byte globally unique identifiers: the braced text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and the binary order in which the
// platform stores them (first three fields little-endian, last eight bytes
// as they are).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
  friend constexpr bool operator<(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    return false;
  }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

namespace guid_detail {
constexpr int hexValue(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
// Parses the braced form; returns false on any deviation (length, braces,
// dashes, non-hex digits).
constexpr bool parse(const char* s, size_t n, GUID& g) {
  if (n != 38 || s[0] != '{' || s[37] != '}') return false;
  if (s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-') return false;
  uint8_t b[16] = {};
  int k = 0;
  for (size_t i = 1; i < 37; ++i) {
    if (i == 9 || i == 14 || i == 19 || i == 24) continue;
    int hi = hexValue(s[i]), lo = hexValue(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    b[k++] = static_cast<uint8_t>(hi * 16 + lo);
    ++i;
  }
  g.Data1 = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
  g.Data2 = static_cast<uint16_t>((b[4] << 8) | b[5]);
  g.Data3 = static_cast<uint16_t>((b[6] << 8) | b[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
  return true;
}
}  // namespace guid_detail

// Compile-time GUID from its braced text; a malformed literal does not compile.
consteval GUID makeGuid(const char (&text)[39]) {
  GUID g;
  if (!guid_detail::parse(text, 38, g)) throw "malformed GUID literal";
  return g;
}

inline constexpr GUID GUID_NULL{};

// Text form, upper-case hex, with braces.
std::string guidToString(const GUID& g);
// Parses the braced text form (either case); false leaves g unchanged.
bool guidFromString(const char* text, GUID& g);
// The platform's 16-byte binary order.
void guidToBytes(const GUID& g, uint8_t out[16]);
GUID guidFromBytes(const uint8_t in[16]);

template <>
struct std::hash<GUID> {
  size_t operator()(const GUID& g) const noexcept {
    uint64_t a = (uint64_t(g.Data1) << 32) | (uint32_t(g.Data2) << 16) | g.Data3;
    uint64_t b = 0;
    for (int i = 0; i < 8; ++i) b = (b << 8) | g.Data4[i];
    return std::hash<uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b);
  }
};
