#include "koBase/koFrameFormat.h"

namespace koFrame {

namespace {
void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
bool hasMagic(const uint8_t* p, uint32_t kind) {
  return get32(p) == kMagic1 && get32(p + 4) == kMagic2 && get32(p + 8) == kind;
}
}  // namespace

void writeFrameHeader(uint8_t* out, const FrameHeader& h) {
  put32(out, kMagic1);
  put32(out + 4, kMagic2);
  put32(out + 8, kHeaderKind);
  put32(out + 12, h.frameNumber);
  put32(out + 16, h.frameLength);
  put32(out + 20, h.packetSize);
  put32(out + 24, h.fragmentCount);
}

bool parseFrameHeader(const uint8_t* d, uint32_t length, FrameHeader* h) {
  if (length != kHeaderSize || !hasMagic(d, kHeaderKind)) return false;
  h->frameNumber = get32(d + 12);
  h->frameLength = get32(d + 16);
  h->packetSize = get32(d + 20);
  h->fragmentCount = get32(d + 24);
  return true;
}

void writeFragmentHeader(uint8_t* out, const FragmentHeader& h) {
  put32(out, kMagic1);
  put32(out + 4, kMagic2);
  put32(out + 8, kFragmentKind);
  put32(out + 12, h.frameNumber);
  put32(out + 16, h.fragmentCount);
  put32(out + 20, h.index);
  put32(out + 24, h.offset);
  put32(out + 28, h.dataLength);
  out[32] = h.endMark;
}

bool parseFragmentHeader(const uint8_t* d, uint32_t length, FragmentHeader* h) {
  if (length < kFragmentHeaderSize || !hasMagic(d, kFragmentKind)) return false;
  h->frameNumber = get32(d + 12);
  h->fragmentCount = get32(d + 16);
  h->index = get32(d + 20);
  h->offset = get32(d + 24);
  h->dataLength = get32(d + 28);
  h->endMark = d[32];
  return true;
}

}  // namespace koFrame
