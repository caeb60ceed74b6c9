#include "koBase/koSampleRecord.h"

#include "koBase/koByteStream.h"

bool koWriteSampleRecord(koOutputByteStream& out, const koSampleRecord& r) {
  if (r.userDataLength > koSampleRecord::kMaxUserData) return false;
  const uint32_t start = out.length();
  out.writeU32(r.sampleNumber);
  out.writeU32(r.userDataLength);
  out.writeBytes(r.userData, r.userDataLength);
  out.writeBytes(r.mediaType, koSampleRecord::kMediaTypeSize);
  out.writeU32(r.formatLength);
  out.writeBytes(r.format, r.formatLength);
  out.writeI64(r.previousClockTime);
  out.writeI64(r.clockTime);
  out.writeU8(r.startTimeValid ? 1 : 0);
  out.writeU8(r.stopTimeValid ? 1 : 0);
  out.writeI64(r.startTime);
  out.writeI64(r.stopTime);
  out.writeU8(r.mediaStartValid ? 1 : 0);
  out.writeU8(r.mediaStartValid ? 1 : 0);
  out.writeI64(r.mediaStart);
  out.writeI64(r.mediaStop);
  out.writeU8(r.syncPoint ? 1 : 0);
  out.writeU8(r.discontinuity ? 1 : 0);
  out.writeU8(r.preroll ? 1 : 0);
  out.writeU32(r.dataLength);
  out.writeBytes(r.data, r.dataLength);
  const uint64_t expected = 4 + 4 + r.userDataLength + 72 + 4 + static_cast<uint64_t>(r.formatLength) + 8 + 8 +
                            2 + 16 + 2 + 16 + 3 + 4 + r.dataLength;
  return out.length() - start == expected;
}

namespace {
// A view of the next n bytes, or null (and the stream's error set).
const uint8_t* borrow(koInputByteStream& in, const uint8_t* base, uint32_t n) {
  const uint32_t at = in.position();
  if (!in.skip(n)) return nullptr;
  return base + at;
}
}  // namespace

bool koReadSampleRecord(koInputByteStream& in, koSampleRecord* r) {
  // The stream reads from memory it was attached to; its bytes start where
  // position 0 is.
  const uint8_t* base = in.base();
  r->sampleNumber = in.readU32();
  r->userDataLength = in.readU32();
  if (in.failed() || r->userDataLength > koSampleRecord::kMaxUserData) return false;
  if (!in.readBytes(r->userData, r->userDataLength)) return false;
  if (!in.readBytes(r->mediaType, koSampleRecord::kMediaTypeSize)) return false;
  r->formatLength = in.readU32();
  if (in.failed()) return false;
  r->format = borrow(in, base, r->formatLength);
  if (!r->format) return false;
  r->previousClockTime = in.readI64();
  r->clockTime = in.readI64();
  r->startTimeValid = in.readU8() != 0;
  r->stopTimeValid = in.readU8() != 0;
  r->startTime = in.readI64();
  r->stopTime = in.readI64();
  r->mediaStartValid = in.readU8() != 0;
  r->mediaStopValid = in.readU8() != 0;
  r->mediaStart = in.readI64();
  r->mediaStop = in.readI64();
  r->syncPoint = in.readU8() != 0;
  r->discontinuity = in.readU8() != 0;
  r->preroll = in.readU8() != 0;
  r->dataLength = in.readU32();
  if (in.failed()) return false;
  r->data = borrow(in, base, r->dataLength);
  return r->data != nullptr;
}
