// The receiver's status listener on arbitrary messages: the input is a run
// of messages, each a 16-bit little-endian length and that many bytes. A
// message is either rejected (counted, nothing changes) or taken; when
// taken, the change procedure is called exactly when something differs,
// the first time with the first-record bit, and the stored record then
// reads back as the message read on its own.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gravet/rsGraphStatus.h"
#include "morvane/rsGraphStatusReceiver.h"
#include "pellum/mxNotify.h"

namespace {

struct Seen {
  int calls = 0;
  uint32_t mask = 0;
};

void onChange(int mask, void* data) {
  auto* seen = static_cast<Seen*>(data);
  ++seen->calls;
  seen->mask = uint32_t(mask);
}

std::vector<unsigned char> image(rsGraphStatus r) {
  unsigned char* bytes = nullptr;
  unsigned n = 0;
  r.toByteArray(bytes, n);
  return std::vector<unsigned char>(bytes, bytes + n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    mxNotify::setOutput(static_cast<mxNotify::OutputEnum>(99));  // no output
    return true;
  }();
  (void)quiet;
  Seen seen;
  mxObjectPtr<rsGraphStatusReceiver> receiver = new rsGraphStatusReceiver(onChange, &seen);
  uint32_t rejected = 0;
  bool first = true;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t length = std::min<size_t>(size_t(data[at]) | size_t(data[at + 1]) << 8, size - at - 2);
    const unsigned char* message = data + at + 2;
    at += 2 + length;

    const rsGraphStatus before = receiver->getStatus();
    rsGraphStatus alone;
    const bool whole = alone.fromByteArray(message, unsigned(length));
    const int calls = seen.calls;
    receiver->receiveStatus(message, unsigned(length));
    if (!whole) {
      ++rejected;
      if (seen.calls != calls || image(receiver->getStatus()) != image(before)) std::abort();
      continue;
    }
    const uint32_t expected = rsGraphStatusChangeMask(before, alone, first);
    first = false;
    if ((expected != 0) != (seen.calls == calls + 1) || (expected != 0 && seen.mask != expected))
      std::abort();
    if (image(receiver->getStatus()) != image(alone)) std::abort();
  }
  if (receiver->getRejectedRecords() != rejected) std::abort();
  return 0;
}
