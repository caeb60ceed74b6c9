// Feeds whole datagram sequences to the frame receiver's reading procedure:
// raw datagrams, and frame headers and fragments whose fields come from the
// input, so that counts, indexes, offsets, lengths and frame numbers of every
// size meet the assembler, with counter resets in between. Delivered frames
// must be within the limits and the counters must add up.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "koBase/koFrameFormat.h"
#include "koBase/koMulticastReceiver.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool empty() const { return pos >= size; }
  uint8_t u8() { return pos < size ? data[pos++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
  uint32_t u32() { return u16() | static_cast<uint32_t>(u16()) << 16; }
};

constexpr uint32_t kMaxFrame = 1u << 20;

void onFrame(const uint8_t* frame, uint32_t length, void*) {
  if (length > kMaxFrame) std::abort();
  volatile uint8_t sink = 0;
  if (length) sink = frame[0] ^ frame[length - 1];
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  koMulticastReceiver receiver;
  receiver.setMaxFrameLength(kMaxFrame);
  receiver.setFrameCallback(onFrame, nullptr);
  Input in{data, size};
  std::vector<uint8_t> datagram;
  for (int n = 0; n < 512 && !in.empty(); ++n) {
    const uint8_t code = in.u8();
    if (code >= 250) {  // the owner resets the counters (a filter does at Run)
      receiver.resetStatistics();
      continue;
    }
    const uint8_t op = code % 3;
    if (op == 0) {  // raw bytes
      datagram.resize(in.u16() % (koFrame::kMaxPacketSize + 16));
      for (auto& b : datagram) b = in.u8();
    } else if (op == 1) {  // frame header with chosen fields
      datagram.assign(koFrame::kHeaderSize, 0);
      koFrame::FrameHeader h;
      h.frameNumber = in.u8();
      h.frameLength = in.u32();
      h.packetSize = in.u8() & 1 ? in.u32() : 512u + (in.u16() % 7681u);
      if (in.u8() & 1) {
        h.frameLength %= 64 * 1024;
        h.fragmentCount = static_cast<uint32_t>(koFrame::fragmentCountFor(h.frameLength, koFrame::clampPacketSize(h.packetSize)));
      } else {
        h.fragmentCount = in.u32();
      }
      koFrame::writeFrameHeader(datagram.data(), h);
    } else {  // fragment with chosen fields
      const uint32_t size = in.u8() & 1 ? 33u + in.u16() % 8200u : 512u + (in.u16() % 7681u);
      datagram.assign(size, 0);
      koFrame::FragmentHeader f;
      f.frameNumber = in.u8();
      f.fragmentCount = in.u8() & 1 ? in.u32() : in.u8();
      f.index = in.u8() & 1 ? in.u32() : in.u8();
      f.offset = in.u32();
      f.dataLength = in.u8() & 1 ? in.u32() : in.u16();
      f.endMark = in.u8() & 1;
      koFrame::writeFragmentHeader(datagram.data(), f);
      for (uint32_t i = 33; i < size && !in.empty() && i < 64; ++i) datagram[i] = in.u8();
    }
    receiver.processDatagram(datagram.data(), static_cast<uint32_t>(datagram.size()));
  }
  // Every finished frame is counted at most once as received, dropped or a
  // copy, and a count taken back never goes below 0.
  if (uint64_t{receiver.getFramesReceived()} + receiver.getDroppedFrames() + receiver.getDuplicateFrames() >
          512 ||
      receiver.getDroppedFragments() > 512u * 4096u)
    std::abort();
  return 0;
}
