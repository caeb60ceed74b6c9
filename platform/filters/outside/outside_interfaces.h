// The format transform, the image extractor and the image compounder: their
// class identifiers, control interfaces (operations in slot order; slots 0
// to 2 are the IUnknown operations) and the codes they take.
//
// Video format codes (picture sizes), used by all three filters:
//   0 SQCIF 128x96, 1 QCIF 176x144, 2 CIF 352x288, 3 160x120, 4 320x240,
//   5 360x240, 6 640x480, 7 720x480, 8 Through (the input's own size).
//   As an input format, 8 accepts any size and 0..7 only that size. An
//   actual format is the code of the size in force, 8 when the size is none
//   of 0..7 (or nothing is connected). Setters clamp codes into 0..8.
//
// Colour format codes of the format transform's input:
//   0 RGB555, 1 RGB24, 2 RGB32, 3 Any (whatever upstream offers among the
//   others), 4 RGB565, 5 YUY2, 6 UYVY, 7 I420, 8 YV12.
//   Setters clamp codes into 0..8. The actual colour format is the code of
//   the connected input, 3 when nothing is connected.
//
// Output pictures of all three filters are RGB24, bottom-up (positive
// height), rows padded to 4 bytes. The extractor and the compounder take
// RGB24 pictures of either orientation.
//
// Image compounder mask codes: 0 Rectangle, 1 Ellipse (inscribed in the
// cut-out), 2 Checkers (the cut-out shown on the squares of an 8x8-pixel
// checkerboard whose first square is at the cut-out's top left corner, the
// base picture on the others). Blending codes: 0 Simple (cut-out pixels
// replace base pixels inside the mask), 1 Vaguely (inside the mask the
// cut-out is mixed with the base, fully opaque in the middle and fading to
// the base over an 8-pixel band along the mask's edge; checkers squares are
// mixed half and half). Setters clamp into these ranges.
#pragma once
#include "platform/media/pin_interfaces.h"

inline constexpr CLSID CLSID_FormatTransform = makeGuid("{72AE0C79-3FEF-4529-A029-56B2C58E59E1}");
inline constexpr IID IID_IFormatTransformControl = makeGuid("{4073C6BC-9BFD-4A07-A1CE-A81147CEC8F4}");
inline constexpr CLSID CLSID_ImageExtract = makeGuid("{FA25A260-B89A-4688-8897-681E51A7BBEC}");
inline constexpr IID IID_IImageExtractControl = makeGuid("{CB9E80F7-E556-4B40-B619-D7A8D9FF9FA7}");
inline constexpr CLSID CLSID_ImageCompound = makeGuid("{C65C2248-FED6-4977-9364-115E7626B6ED}");
inline constexpr IID IID_IImageCompoundControl = makeGuid("{DEC92EFC-4F94-4C70-86A1-F529D58A1397}");

namespace outside {

enum VideoFormat : int {
  kSQCIF = 0,
  kQCIF = 1,
  kCIF = 2,
  k160x120 = 3,
  k320x240 = 4,
  k360x240 = 5,
  k640x480 = 6,
  k720x480 = 7,
  kThrough = 8,
};
inline constexpr int kVideoFormatCount = 9;

enum ColorFormat : int {
  kRGB555 = 0,
  kRGB24 = 1,
  kRGB32 = 2,
  kAnyColor = 3,
  kRGB565 = 4,
  kYUY2 = 5,
  kUYVY = 6,
  kI420 = 7,
  kYV12 = 8,
};
inline constexpr int kColorFormatCount = 9;

enum Mask : int { kMaskRectangle = 0, kMaskEllipse = 1, kMaskCheckers = 2 };
enum Blending : int { kBlendSimple = 0, kBlendVaguely = 1 };

}  // namespace outside

struct IFormatTransformControl : IUnknown {
  virtual HRESULT GetInputVideoFormat(int* code) = 0;                               // 3
  virtual HRESULT SetInputVideoFormat(int code) = 0;                                // 4
  virtual HRESULT GetVideoFormatName(int code, char* text, ULONG size) = 0;         // 5
  virtual HRESULT GetInputVideoFormatColor(int* code) = 0;                          // 6
  virtual HRESULT SetInputVideoFormatColor(int code) = 0;                           // 7
  virtual HRESULT GetColorFormatName(int code, char* text, ULONG size) = 0;         // 8
  virtual HRESULT GetOutputVideoFormat(int* code) = 0;                              // 9
  virtual HRESULT SetOutputVideoFormat(int code) = 0;                               // 10
  virtual HRESULT GetActualOutputVideoSize(LONG* width, LONG* height) = 0;          // 11
  virtual HRESULT GetActualInputVideoFormat(int* code) = 0;                         // 12
  virtual HRESULT GetActualInputVideoFormatColor(int* code) = 0;                    // 13
  virtual HRESULT GetActualOutputVideoFormat(int* code) = 0;                        // 14

 protected:
  ~IFormatTransformControl() = default;
};
PLATFORM_INTERFACE_ID(IFormatTransformControl, IID_IFormatTransformControl);

struct IImageExtractControl : IUnknown {
  virtual HRESULT GetOutputVideoFormat(int* code) = 0;  // 3
  virtual HRESULT SetOutputVideoFormat(int code) = 0;   // 4
  // The pointer position followed (normalised, 0..1 of the picture).
  virtual HRESULT GetFocus(float* x, float* y) = 0;  // 5
  // The window of the last cut-out, in input pixels from the top left.
  virtual HRESULT GetWindow(LONG* left, LONG* top, LONG* width, LONG* height) = 0;  // 6

 protected:
  ~IImageExtractControl() = default;
};
PLATFORM_INTERFACE_ID(IImageExtractControl, IID_IImageExtractControl);

struct IImageCompoundControl : IUnknown {
  virtual HRESULT GetBaseVideoSize(LONG* width, LONG* height) = 0;        // 3
  virtual HRESULT GetAdditionalVideoSize(LONG* width, LONG* height) = 0;  // 4
  virtual HRESULT GetFocus(float* x, float* y) = 0;                       // 5
  // Where the cut-out was placed last, in output pixels from the top left.
  virtual HRESULT GetPlacement(LONG* left, LONG* top, LONG* width, LONG* height) = 0;  // 6
  virtual HRESULT GetFramesDelivered(ULONG* frames) = 0;                              // 7
  // Base pictures left out to keep to the frame rate.
  virtual HRESULT GetFramesSkipped(ULONG* frames) = 0;  // 8
  // Most pictures delivered per second (0: every base picture).
  virtual HRESULT GetFrameRate(int* rate) = 0;  // 9
  virtual HRESULT SetFrameRate(int rate) = 0;   // 10
  virtual HRESULT GetMask(int* code) = 0;       // 11
  virtual HRESULT SetMask(int code) = 0;        // 12
  virtual HRESULT GetBlending(int* code) = 0;   // 13
  virtual HRESULT SetBlending(int code) = 0;    // 14

 protected:
  ~IImageCompoundControl() = default;
};
PLATFORM_INTERFACE_ID(IImageCompoundControl, IID_IImageCompoundControl);
