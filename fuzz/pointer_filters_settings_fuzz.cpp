// Feeds arbitrary settings streams to the zoom, pointer position and pointer
// mixer filters (the first byte picks the filter; a valid version prefix is
// put in front of the rest), and checks that whatever a filter accepted it
// saves again within its announced size and loads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/blendor/blendor_filter.h"
#include "filters/loupex/loupex_filter.h"
#include "filters/tracion/tracion_filter.h"
#include "platform/com/com_ptr.h"
#include "platform/media/memory_stream.h"

namespace {

std::vector<uint8_t> withPrefix(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes;
  for (char c : std::string("00000000001 ")) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
  }
  bytes.insert(bytes.end(), data, data + size);
  return bytes;
}

std::vector<uint8_t> save(IPersistStream* ps) {
  ComPtr<MemoryStream> out = ComPtr<MemoryStream>::adopt(MemoryStream::create());
  if (ps->Save(out.get(), TRUE) != S_OK) std::abort();
  uint64_t max = 0;
  ps->GetSizeMax(&max);
  if (out->bytes().size() > max) std::abort();
  return out->bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static ComPtr<IBaseFilter> filters[3] = {ComPtr<IBaseFilter>(new LoupexFilter),
                                           ComPtr<IBaseFilter>(new TracionFilter(":65002")),
                                           ComPtr<IBaseFilter>(new BlendorFilter)};
  IBaseFilter* f = filters[data[0] % 3].get();
  ComPtr<IPersistStream> ps = ComPtr<IBaseFilter>(f).as<IPersistStream>();
  ComPtr<MemoryStream> in = ComPtr<MemoryStream>::adopt(MemoryStream::create(withPrefix(data + 1, size - 1)));
  if (ps->Load(in.get()) != S_OK) return 0;
  const std::vector<uint8_t> first = save(ps.get());
  ComPtr<MemoryStream> again = ComPtr<MemoryStream>::adopt(MemoryStream::create(first));
  if (ps->Load(again.get()) != S_OK) std::abort();
  if (save(ps.get()) != first) std::abort();
  return 0;
}
