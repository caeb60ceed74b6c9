// ILoupexControl: the control interface of the non-linear zoom filter, with
// its class identifiers. Operations sit at the slots given in the comments;
// every operation returns S_OK (E_POINTER for a null out-parameter).
#pragma once
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_LoupexFilter = makeGuid("{E32DBEEE-EF96-4017-AAAB-5271C07ED413}");
inline constexpr CLSID CLSID_LoupexPropertyPage = makeGuid("{EC3A757E-30EA-4AF0-8954-516CA41C922C}");
inline constexpr IID IID_ILoupexControl = makeGuid("{C83D778A-713B-4E0D-8F35-E7B2FADFC519}");

struct ILoupexControl : IUnknown {
  virtual HRESULT getOutputVideoFormat(int32_t* format) = 0;         // 3
  virtual HRESULT setOutputVideoFormat(int32_t format) = 0;          // 4
  virtual HRESULT getMask(int32_t* type) = 0;                        // 5
  virtual HRESULT setMask(int32_t type) = 0;                         // 6
  virtual HRESULT getMaskPosition(int32_t* x, int32_t* y) = 0;       // 7
  virtual HRESULT setMaskPosition(int32_t x, int32_t y) = 0;         // 8
  virtual HRESULT getMaskSize(int32_t* width, int32_t* height) = 0;  // 9
  virtual HRESULT setMaskSize(int32_t width, int32_t height) = 0;    // 10
  virtual HRESULT getPointerInputDisabled(uint8_t* disabled) = 0;    // 11
  virtual HRESULT setPointerInputDisabled(uint8_t disabled) = 0;     // 12

 protected:
  ~ILoupexControl() = default;
};
PLATFORM_INTERFACE_ID(ILoupexControl, IID_ILoupexControl);

// The output video formats the filter offers, by index.
struct LoupexOutputFormat {
  const char* label;
  int32_t width;
  int32_t height;
};
inline constexpr int32_t kLoupexOutputFormatCount = 8;
inline constexpr LoupexOutputFormat kLoupexOutputFormats[kLoupexOutputFormatCount] = {
    {"SQCIF", 128, 96},    {"QCIF", 176, 144},    {"CIF", 352, 288},     {"160x120", 160, 120},
    {"320x240", 320, 240}, {"360x240", 360, 240}, {"640x480", 640, 480}, {"720x480", 720, 480},
};
