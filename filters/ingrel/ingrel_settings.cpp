#include "filters/ingrel/ingrel_settings.h"

#include <cstring>

void IngrelSettings::write(ByteWriter& out) const {
  out.u8(automaticType ? 1 : 0);
  out.u8(timestampReset ? 1 : 0);
  out.f32(x);
  out.f32(y);
  out.f32(width);
  out.f32(height);
  const uint32_t a = static_cast<uint32_t>(address.size() > 1023 ? 1023 : address.size());
  out.u32(a);
  out.bytes(address.data(), a);
  out.u8(0);
  out.u16(port);
  out.u32(timeToLive);
  for (int code : {kind, videoFormat, resolution, audioFormat, bitCount, frequency, channels}) out.i32(code);
}

bool IngrelSettings::read(ByteReader& in) {
  automaticType = in.u8() != 0;
  timestampReset = in.u8() != 0;
  x = in.f32();
  y = in.f32();
  width = in.f32();
  height = in.f32();
  const uint32_t a = in.u32();
  if (in.failed() || a > 1023) return false;
  const uint8_t* text = in.take(a + 1);
  if (!text || text[a] != 0) return false;
  address.assign(reinterpret_cast<const char*>(text), strnlen(reinterpret_cast<const char*>(text), a));
  port = in.u16();
  timeToLive = in.u32();
  for (int* code : {&kind, &videoFormat, &resolution, &audioFormat, &bitCount, &frequency, &channels})
    *code = in.i32();
  return in.ok();
}
