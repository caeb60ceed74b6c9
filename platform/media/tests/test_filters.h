// Filters of the media framework's test plug-in: a synthetic RGB video
// source and an in-place transform, both built on the base classes.
#pragma once
#include "platform/media/filter_interfaces.h"

inline constexpr CLSID CLSID_TestSource = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E01}");
inline constexpr CLSID CLSID_TestInPlace = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E02}");
// The same source registered as a device class: its module lists two
// devices at run time ("Test Device A" /dev/test-a, "Test Device B" /dev/test-b).
inline constexpr CLSID CLSID_TestDeviceSource = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E03}");
// A copying transform: output type = input type, one output buffer; the
// frame is copied and byte 8 set to 7.
inline constexpr CLSID CLSID_TestCopy = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E04}");
inline constexpr IID IID_ITestSource = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E10}");
inline constexpr IID IID_ITestInPlace = makeGuid("{5E2B7C10-1A4D-4C8E-9F03-7D6A2B1C0E11}");

// Frames are RGB (24 or 32 bits, bottom-up). Unless a solid colour is set,
// each frame starts with its frame number (8 bytes, little-endian) and the
// rest is left as it is. Frame n carries time stamps n × interval to
// (n + 1) × interval (none when the interval is 0) and media times n, n + 1.
struct ITestSource : IUnknown {
  virtual HRESULT SetFormat(LONG width, LONG height, LONG bitCount) = 0;            // 3
  virtual HRESULT SetFrameCount(ULONG frames) = 0;                                  // 4: 0 = endless
  virtual HRESULT SetFrameInterval(REFERENCE_TIME interval) = 0;                    // 5
  virtual HRESULT SetSolidColor(BOOL enable, uint8_t r, uint8_t g, uint8_t b) = 0;  // 6
  virtual HRESULT GetFramesSent(uint64_t* frames) = 0;                              // 7
  virtual HRESULT SetBufferCount(LONG buffers) = 0;                                 // 8
  // The device path loaded from the device's property bag ("" when none).
  virtual HRESULT GetDevicePath(char* path, ULONG size) = 0;  // 9

 protected:
  ~ITestSource() = default;
};
PLATFORM_INTERFACE_ID(ITestSource, IID_ITestSource);

// Adds 1 to byte 8 of every sample (just past the frame number).
struct ITestInPlace : IUnknown {
  virtual HRESULT GetSamplesSeen(uint64_t* samples) = 0;  // 3

 protected:
  ~ITestInPlace() = default;
};
PLATFORM_INTERFACE_ID(ITestInPlace, IID_ITestInPlace);
