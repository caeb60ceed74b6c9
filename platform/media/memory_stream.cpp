#include "platform/media/memory_stream.h"

#include <cstring>

MemoryStream* MemoryStream::create(std::vector<uint8_t> bytes) {
  auto* s = new MemoryStream(std::move(bytes));
  s->AddRef();
  return s;
}

HRESULT MemoryStream::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IStream) return getInterface(static_cast<IStream*>(this), object);
  return E_NOINTERFACE;
}

HRESULT MemoryStream::Read(void* data, ULONG size, ULONG* read) {
  if (!data && size) return E_POINTER;
  size_t n = pos_ < bytes_.size() ? std::min<size_t>(size, bytes_.size() - pos_) : 0;
  if (n) std::memcpy(data, bytes_.data() + pos_, n);
  pos_ += n;
  if (read) *read = static_cast<ULONG>(n);
  return n == size ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void* data, ULONG size, ULONG* written) {
  if (!data && size) return E_POINTER;
  if (pos_ + size > bytes_.size()) bytes_.resize(pos_ + size);
  if (size) std::memcpy(bytes_.data() + pos_, data, size);
  pos_ += size;
  if (written) *written = size;
  return S_OK;
}

HRESULT MemoryStream::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
  int64_t base = origin == 0   ? 0
                 : origin == 1 ? static_cast<int64_t>(pos_)
                 : origin == 2 ? static_cast<int64_t>(bytes_.size())
                               : -1;
  if (base < 0) return E_INVALIDARG;
  int64_t target = base + move;
  if (target < 0) return E_INVALIDARG;
  pos_ = static_cast<size_t>(target);
  if (newPosition) *newPosition = pos_;
  return S_OK;
}
