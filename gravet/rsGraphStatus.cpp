#include "gravet/rsGraphStatus.h"

#include <cstring>

#include "pellum/mxNotify.h"
#include "platform/media/byte_io.h"

namespace {

void writeText(ByteWriter& out, const mxString& text) {
  out.u32(text.length());
  out.bytes(text.c_str(), text.length());
}

// Reads a length-prefixed text; fails the reader on a text that does not fit
// the input or is MaxTextLength bytes or longer.
mxString readText(ByteReader& in) {
  uint32_t length = in.u32();
  if (length >= rsGraphStatus::MaxTextLength) {
    in.fail();
    return mxString();
  }
  const uint8_t* bytes = in.take(length);
  if (!bytes) return mxString();
  return mxString(reinterpret_cast<const char*>(bytes), length);
}

bool sameText(const mxString& a, const mxString& b) {
  unsigned n = a.length();
  return n == b.length() && (n == 0 || std::memcmp(a.c_str(), b.c_str(), n) == 0);
}

}  // namespace

rsGraphStatus::rsGraphStatus()
    : mainVideoAddress("-"), subVideoAddress("-"), audioAddress("-"), pointerAddress("-") {
  buffer_.reserve(1024);
}

rsGraphStatus::rsGraphStatus(const rsGraphStatus& other) = default;
rsGraphStatus& rsGraphStatus::operator=(const rsGraphStatus& other) = default;
rsGraphStatus::rsGraphStatus(rsGraphStatus&& other) noexcept = default;
rsGraphStatus& rsGraphStatus::operator=(rsGraphStatus&& other) noexcept = default;

void rsGraphStatus::toByteArray(unsigned char*& data, unsigned& size) {
  buffer_.clear();
  ByteWriter out(buffer_);
  out.u8(running);
  out.i32(focusDisplay);
  writeText(out, mainVideoAddress);
  out.u16(mainVideoPort);
  out.i32(mainVideoFormat);
  out.i32(mainVideoResolution);
  writeText(out, subVideoAddress);
  out.u16(subVideoPort);
  out.i32(subVideoFormat);
  out.i32(subVideoResolution);
  writeText(out, audioAddress);
  out.u16(audioPort);
  out.i32(audioFormat);
  writeText(out, pointerAddress);
  out.u16(pointerPort);
  out.i32(loupexVideoFormat);
  out.i32(loupexMaskType);
  out.i32(loupexMaskWidth);
  out.i32(loupexMaskHeight);
  out.i32(videoFormat);
  out.i32(compoundMaskType);
  out.i32(compoundBlendingType);
  data = buffer_.data();
  size = static_cast<unsigned>(buffer_.size());
}

bool rsGraphStatus::fromByteArray(const unsigned char* data, unsigned size) {
  // Read into a scratch record first so that a rejected image changes nothing.
  rsGraphStatus r;
  ByteReader in(data, size);
  r.running = in.u8();
  r.focusDisplay = in.i32();
  r.mainVideoAddress = readText(in);
  r.mainVideoPort = in.u16();
  r.mainVideoFormat = in.i32();
  r.mainVideoResolution = in.i32();
  r.subVideoAddress = readText(in);
  r.subVideoPort = in.u16();
  r.subVideoFormat = in.i32();
  r.subVideoResolution = in.i32();
  r.audioAddress = readText(in);
  r.audioPort = in.u16();
  r.audioFormat = in.i32();
  r.pointerAddress = readText(in);
  r.pointerPort = in.u16();
  r.loupexVideoFormat = in.i32();
  r.loupexMaskType = in.i32();
  r.loupexMaskWidth = in.i32();
  r.loupexMaskHeight = in.i32();
  r.videoFormat = in.i32();
  r.compoundMaskType = in.i32();
  r.compoundBlendingType = in.i32();
  if (in.failed()) {
    mxNotify::post(mxNotify::Error,
                   "rsGraphStatus::fromByteArray(); rejected a status record of %u bytes "
                   "(truncated, or a text of 1024 bytes or more)",
                   size);
    return false;
  }
  // The first-time flag and the serialisation buffer stay as they are.
  r.firstTime_ = firstTime_;
  r.buffer_.swap(buffer_);
  *this = std::move(r);
  return true;
}

bool rsGraphStatus::firstTime() {
  bool first = firstTime_;
  firstTime_ = false;
  return first;
}

uint32_t rsGraphStatusChangeMask(const rsGraphStatus& a, const rsGraphStatus& b, bool first) {
  const bool differs[rsGraphStatus::NumFields] = {
      a.running != b.running,
      a.focusDisplay != b.focusDisplay,
      !sameText(a.mainVideoAddress, b.mainVideoAddress),
      a.mainVideoPort != b.mainVideoPort,
      a.mainVideoFormat != b.mainVideoFormat,
      a.mainVideoResolution != b.mainVideoResolution,
      !sameText(a.subVideoAddress, b.subVideoAddress),
      a.subVideoPort != b.subVideoPort,
      a.subVideoFormat != b.subVideoFormat,
      a.subVideoResolution != b.subVideoResolution,
      !sameText(a.audioAddress, b.audioAddress),
      a.audioPort != b.audioPort,
      a.audioFormat != b.audioFormat,
      !sameText(a.pointerAddress, b.pointerAddress),
      a.pointerPort != b.pointerPort,
      a.loupexVideoFormat != b.loupexVideoFormat,
      a.loupexMaskType != b.loupexMaskType,
      a.loupexMaskWidth != b.loupexMaskWidth,
      a.loupexMaskHeight != b.loupexMaskHeight,
      a.videoFormat != b.videoFormat,
      a.compoundMaskType != b.compoundMaskType,
      a.compoundBlendingType != b.compoundBlendingType,
  };
  uint32_t mask = first ? rsGraphStatus::FirstRecordBit : 0;
  for (int n = 0; n < rsGraphStatus::NumFields; ++n)
    if (differs[n]) mask |= 1u << n;
  return mask;
}
