// IBlendorControl: the control interface of the pointer mixer filter, with
// its class identifiers. Operations sit at the slots given in the comments;
// every operation returns S_OK (E_POINTER for a null out-parameter).
#pragma once
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_BlendorFilter = makeGuid("{0DA8A340-73DE-471D-80E6-091DD4288C10}");
inline constexpr CLSID CLSID_BlendorPropertyPage = makeGuid("{F49F17B4-EF66-404C-841E-68F2282F0CC9}");
inline constexpr IID IID_IBlendorControl = makeGuid("{F8DD203D-089A-4AB9-BEBB-ABEDAB87F2BC}");

struct IBlendorControl : IUnknown {
  virtual HRESULT getWindowPosition(float* x, float* y) = 0;   // 3
  virtual HRESULT setWindowPosition(float x, float y) = 0;     // 4
  virtual HRESULT getWindowSize(float* x, float* y) = 0;       // 5
  virtual HRESULT setWindowSize(float x, float y) = 0;         // 6
  virtual HRESULT getMappingPosition(float* x, float* y) = 0;  // 7
  virtual HRESULT setMappingPosition(float x, float y) = 0;    // 8
  virtual HRESULT getMappingSize(float* x, float* y) = 0;      // 9
  virtual HRESULT setMappingSize(float x, float y) = 0;        // 10
  // The pointer inputs less the one free input: the connected ones.
  virtual HRESULT getNumPointerInput(int32_t* count) = 0;                // 11
  virtual HRESULT getPointerColor(uint32_t index, int32_t* colour) = 0;  // 12: 0 past the list
  virtual HRESULT setPointerColor(uint32_t index, int32_t colour) = 0;   // 13: nothing past the list

 protected:
  ~IBlendorControl() = default;
};
PLATFORM_INTERFACE_ID(IBlendorControl, IID_IBlendorControl);
