#include "filters/ingrel/ingrel_settings.h"

void IngrelSettings::write(ByteWriter& out) const {
  out.u8(automaticType ? 1 : 0);
  out.u8(timestampReset ? 1 : 0);
  out.f32(x);
  out.f32(y);
  out.f32(width);
  out.f32(height);
  out.countedText(address, kMaxAddressLength);
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
  if (!in.countedText(address, kMaxAddressLength)) return false;
  port = in.u16();
  timeToLive = in.u32();
  for (int* code : {&kind, &videoFormat, &resolution, &audioFormat, &bitCount, &frequency, &channels})
    *code = in.i32();
  return in.ok();
}
