// The saved settings of the multicast client and server filters, read from
// arbitrary bytes: a read never touches memory outside the input, and a
// record that reads is written back to bytes that read again to the same
// record (the same bytes a second time).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/ingrel/ingrel_settings.h"
#include "filters/ostrel/ostrel_settings.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

template <class Settings>
void roundTrip(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  Settings s;
  if (!s.read(in)) return;
  require(s.address.size() <= Settings::kMaxAddressLength);
  std::vector<uint8_t> once;
  ByteWriter w(once);
  s.write(w);
  require(once.size() <= Settings::kSizeMax);
  ByteReader again(once.data(), once.size());
  Settings t;
  require(t.read(again));
  require(again.remaining() == 0);
  std::vector<uint8_t> twice;
  ByteWriter w2(twice);
  t.write(w2);
  require(once == twice);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  roundTrip<IngrelSettings>(data, size);
  roundTrip<OstrelSettings>(data, size);
  return 0;
}
