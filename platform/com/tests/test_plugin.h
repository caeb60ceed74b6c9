// The interface of the component model's test plug-in.
#pragma once
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_ComTestObject = makeGuid("{8D3A51C0-6E3B-4F3A-9B8E-3C1D2A7B9E01}");
inline constexpr CLSID CLSID_ComTestFailing = makeGuid("{8D3A51C0-6E3B-4F3A-9B8E-3C1D2A7B9E02}");
inline constexpr IID IID_ITestCounter = makeGuid("{8D3A51C0-6E3B-4F3A-9B8E-3C1D2A7B9E10}");

struct ITestCounter : IUnknown {
  virtual HRESULT Add(int32_t amount) = 0;      // slot 3
  virtual HRESULT Get(int32_t* value) = 0;      // slot 4
  virtual HRESULT Name(const char** text) = 0;  // slot 5

 protected:
  ~ITestCounter() = default;
};
PLATFORM_INTERFACE_ID(ITestCounter, IID_ITestCounter);
