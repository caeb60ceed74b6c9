// The video capture sources of the platform: class identifiers, the
// built-in devices' friendly names, and the control interfaces.
//
// Devices in the video input category, in this order:
//   1. V4L2 cameras found on the machine now, named by the card name the
//      driver reports (a second camera with the same card name gets " (2)"
//      appended, and so on); instance text is the device path.
//   2. "Test Pattern Camera": the built-in moving test picture
//      (test_pattern_image.h) with its frame number in the pixels
//      (test_pattern_code.h).
//   3. "Screen Capture": the X11 desktop, or one window of it.
// The built-in names never change, so settings files can store them.
//
// Every capture source has two output pins, "Capture" (index 0) and
// "Preview" (index 1), with the pin categories capture and preview
// (IKsPropertySet), buffer negotiation on both (IAMBufferNegotiation), the
// analog-decoder interface (all three kinds deliver uncompressed pictures),
// and the property page CLSID_CapturePropertyPage.
#pragma once
#include "platform/media/control_interfaces.h"
#include "platform/media/media_type.h"

inline constexpr CLSID CLSID_V4l2Camera = makeGuid("{4B9E0F79-DEFB-4507-BDC3-68F3125EEBD5}");
inline constexpr CLSID CLSID_TestPatternCamera = makeGuid("{076F5212-4054-409A-875E-B71060FC1D10}");
inline constexpr CLSID CLSID_ScreenCapture = makeGuid("{53A56287-BD4E-4F54-9A5F-B0C82BE2CC96}");
inline constexpr CLSID CLSID_CapturePropertyPage = makeGuid("{14E64628-1CB2-4280-88FE-FCBD8C8E6E4C}");

inline constexpr const char* kTestPatternCameraName = "Test Pattern Camera";
// The test-pattern camera with its capture pin alone, as an analog device
// without a preview pin looks. Its class is registered, but it is not a
// member of the video input category: tests that need such a device add
// the membership to a registry of their own.
inline constexpr CLSID CLSID_TestPatternCaptureOnly = makeGuid("{076F5212-4054-409A-875E-B71060FC1D11}");
inline constexpr const char* kTestPatternCaptureOnlyName = "Test Pattern Camera (Capture Only)";
inline constexpr const char* kScreenCaptureName = "Screen Capture";

inline constexpr IID IID_IVideoCaptureControl = makeGuid("{A151E657-823F-4F44-B9E2-4B3F5AE08241}");
inline constexpr IID IID_IScreenCaptureControl = makeGuid("{20CD5C9B-9902-47D7-B030-18C194033BC5}");

struct IVideoCaptureControl : IUnknown {
  // The formats the pins offer, preferred first.
  virtual HRESULT GetFormatCount(LONG* count) = 0;  // 3
  // A copy of format index (free it with FreeMediaType).
  virtual HRESULT GetFormat(LONG index, AM_MEDIA_TYPE* mt) = 0;  // 4
  // Makes one of the offered formats the preferred one (offered first by
  // both pins); VFW_E_TYPE_NOT_ACCEPTED for any other format.
  virtual HRESULT SetFormat(const AM_MEDIA_TYPE* mt) = 0;  // 5
  // Time between frames in 100 ns units; kept between 1 and 120 frames per
  // second. Takes effect at the next start.
  virtual HRESULT SetFrameInterval(REFERENCE_TIME interval) = 0;   // 6
  virtual HRESULT GetFrameInterval(REFERENCE_TIME* interval) = 0;  // 7
  // Frames captured and frames dropped (late or not taken by the capture
  // pin) since the last start from stopped.
  virtual HRESULT GetStatistics(uint64_t* captured, uint64_t* dropped) = 0;  // 8
  // The friendly name (UTF-8, always terminated).
  virtual HRESULT GetDeviceName(char* name, ULONG size) = 0;  // 9
  // TRUE after the device disappeared or refused to start; the pins have
  // ended their streams. Cleared by the next start from stopped.
  virtual HRESULT IsDeviceLost(BOOL* lost) = 0;  // 10

 protected:
  ~IVideoCaptureControl() = default;
};
PLATFORM_INTERFACE_ID(IVideoCaptureControl, IID_IVideoCaptureControl);

struct IScreenCaptureControl : IUnknown {
  // The window to capture (an X11 window id); 0, the default, captures the
  // whole desktop. Takes effect at the next start.
  virtual HRESULT SetCaptureWindow(OAHWND window) = 0;   // 3
  virtual HRESULT GetCaptureWindow(OAHWND* window) = 0;  // 4

 protected:
  ~IScreenCaptureControl() = default;
};
PLATFORM_INTERFACE_ID(IScreenCaptureControl, IID_IScreenCaptureControl);
