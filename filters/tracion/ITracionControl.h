// ITracionControl: the control interface of the pointer position filter,
// with its class identifiers. Operations sit at the slots given in the
// comments; every operation returns S_OK (E_POINTER for a null pointer).
#pragma once
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_TracionFilter = makeGuid("{F7B72700-6DD6-4BC2-B9BB-6A75485F8F31}");
inline constexpr CLSID CLSID_TracionPropertyPage = makeGuid("{2AC82B1E-1989-4FA6-BC2C-67592E942B56}");
inline constexpr IID IID_ITracionControl = makeGuid("{59A4C998-6993-4A9F-8EB8-A76ED66B1E26}");

struct ITracionControl : IUnknown {
  virtual HRESULT getScreenSize(int32_t* width, int32_t* height) = 0;  // 3
  virtual HRESULT getTracion(int32_t* x, int32_t* y) = 0;              // 4: pointer in desktop pixels
  virtual HRESULT getButtonStatus(uint16_t* buttons) = 0;              // 5
  virtual HRESULT getWheelStatus(uint16_t* wheel) = 0;                 // 6
  virtual HRESULT getNormalizedTracion(float* x, float* y) = 0;        // 7
  virtual HRESULT getPointerShape(int32_t* shape) = 0;                 // 8
  virtual HRESULT setPointerShape(int32_t shape) = 0;                  // 9
  virtual HRESULT getNormalizedOrigin(float* x, float* y) = 0;         // 10
  virtual HRESULT setNormalizedOrigin(float x, float y) = 0;           // 11
  virtual HRESULT getNormalizedSize(float* x, float* y) = 0;           // 12
  virtual HRESULT setNormalizedSize(float x, float y) = 0;             // 13
  virtual HRESULT getOutputInterval(uint32_t* ms) = 0;                 // 14
  virtual HRESULT setOutputInterval(uint32_t ms) = 0;                  // 15: kept within 1 to 100
  // The caller's area holds at least 16 bytes.
  virtual HRESULT getCommand(char* text) = 0;        // 16
  virtual HRESULT setCommand(const char* text) = 0;  // 17: at most 15 characters are kept
  virtual HRESULT sendCommand() = 0;                 // 18

 protected:
  ~ITracionControl() = default;
};
PLATFORM_INTERFACE_ID(ITracionControl, IID_ITracionControl);
