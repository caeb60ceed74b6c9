// Test helpers for filter settings: a filter's persisted bytes, loading
// bytes into a filter, and the version prefix every settings stream starts
// with (the text "00000000001 " as 16-bit characters).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/memory_stream.h"

inline std::vector<uint8_t> saveSettings(IUnknown* filter) {
  ComPtr<IPersistStream> persist;
  filter->QueryInterface(IID_IPersistStream, persist.putVoid());
  auto stream = ComPtr<MemoryStream>::adopt(MemoryStream::create());
  if (!persist || persist->Save(stream.get(), TRUE) != S_OK) return {};
  return stream->bytes();
}

inline HRESULT loadSettings(IUnknown* filter, std::vector<uint8_t> bytes) {
  ComPtr<IPersistStream> persist;
  filter->QueryInterface(IID_IPersistStream, persist.putVoid());
  if (!persist) return E_NOINTERFACE;
  auto stream = ComPtr<MemoryStream>::adopt(MemoryStream::create(std::move(bytes)));
  return persist->Load(stream.get());
}

inline std::vector<uint8_t> settingsPrefix() {
  std::vector<uint8_t> b;
  for (char c : std::string("00000000001 ")) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(0);
  }
  return b;
}
