// A stream over a growable byte buffer, for saving and loading filter
// settings (IPersistStream) in memory, in files or in ini values.
#pragma once
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/control_interfaces.h"

class MemoryStream final : public IStream, public UnknownBase {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT Read(void* data, ULONG size, ULONG* read) override;
  HRESULT Write(const void* data, ULONG size, ULONG* written) override;
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  // A new stream with one reference.
  static MemoryStream* create(std::vector<uint8_t> bytes = {});

 private:
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
};
