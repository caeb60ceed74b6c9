#include "filters/ostrel/ostrel_settings.h"

#include <cstring>

void OstrelSettings::write(ByteWriter& out) const {
  const uint32_t u = userDataLength > 64 ? 64 : userDataLength;
  out.u32(u);
  out.bytes(userData, u);
  out.countedText(address, kMaxAddressLength);
  out.u16(port);
  out.u32(timeToLive);
  out.u32(packetSize);
  out.u32(maximumRate);
  out.u32(repeatCount);
  out.u32(systemBufferSize);
  out.f32(clockMinimumInterval);
}

bool OstrelSettings::read(ByteReader& in) {
  userDataLength = in.u32();
  if (in.failed() || userDataLength > 64) return false;
  std::memset(userData, 0, sizeof userData);
  if (!in.bytes(userData, userDataLength)) return false;
  if (!in.countedText(address, kMaxAddressLength)) return false;
  port = in.u16();
  timeToLive = in.u32();
  packetSize = in.u32();
  maximumRate = in.u32();
  repeatCount = in.u32();
  systemBufferSize = in.u32();
  clockMinimumInterval = in.f32();
  return in.ok();
}
