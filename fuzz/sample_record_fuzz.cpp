// Reads a sample record from arbitrary bytes: it must either be refused or
// give a format block and data inside the input, and write back to a record
// of the length it read.
#include <cstdint>
#include <cstdlib>

#include "koBase/koByteStream.h"
#include "koBase/koSampleRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  koInputByteStream in(data, static_cast<uint32_t>(size));
  koSampleRecord record;
  if (!koReadSampleRecord(in, &record)) return 0;
  const uint8_t* end = data + size;
  if (record.userDataLength > 64) std::abort();
  if (record.format < data || record.format + record.formatLength > end) std::abort();
  if (record.data < data || record.data + record.dataLength > end) std::abort();
  koOutputByteStream out;
  if (!koWriteSampleRecord(out, record) || out.length() != in.position()) std::abort();
  return 0;
}
