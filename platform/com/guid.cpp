#include "platform/com/guid.h"

#include <cstdio>
#include <cstring>

std::string guidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return buf;
}

bool guidFromString(const char* text, GUID& g) {
  if (!text) return false;
  GUID parsed;
  if (!guid_detail::parse(text, std::strlen(text), parsed)) return false;
  g = parsed;
  return true;
}

void guidToBytes(const GUID& g, uint8_t out[16]) {
  out[0] = uint8_t(g.Data1);
  out[1] = uint8_t(g.Data1 >> 8);
  out[2] = uint8_t(g.Data1 >> 16);
  out[3] = uint8_t(g.Data1 >> 24);
  out[4] = uint8_t(g.Data2);
  out[5] = uint8_t(g.Data2 >> 8);
  out[6] = uint8_t(g.Data3);
  out[7] = uint8_t(g.Data3 >> 8);
  std::memcpy(out + 8, g.Data4, 8);
}

GUID guidFromBytes(const uint8_t in[16]) {
  GUID g;
  g.Data1 = uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
  g.Data2 = uint16_t(in[4] | (in[5] << 8));
  g.Data3 = uint16_t(in[6] | (in[7] << 8));
  std::memcpy(g.Data4, in + 8, 8);
  return g;
}
