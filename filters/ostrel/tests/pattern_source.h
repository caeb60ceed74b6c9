// A synthetic source for the multicast filter tests (test plug-in module
// multicast_test_plugin): one output pin whose type is built from the media
// classification codes, frames of known content and known times and flags.
//
// Frame n: bytes patternByte(n, i); media times n, n + 1; time stamps
// n × interval to (n + 1) × interval (start only, or none, per time mode);
// sync point on even frames, discontinuity on frame 0, preroll never.
// Without an interval frames follow each other as fast as downstream takes
// them; with one the source waits in real time between frames.
#pragma once
#include <cstdint>

#include "platform/media/filter_interfaces.h"

inline constexpr CLSID CLSID_PatternSource = makeGuid("{8A1C4E20-6B3D-4F5A-9E21-3C7D5B0A1F01}");
inline constexpr IID IID_IPatternSource = makeGuid("{8A1C4E20-6B3D-4F5A-9E21-3C7D5B0A1F10}");

enum PatternTimeMode : int { PatternTimes_StartStop = 0, PatternTimes_StartOnly = 1, PatternTimes_None = 2 };

inline uint8_t patternByte(uint64_t frame, uint64_t i) {
  if (i < 4) return static_cast<uint8_t>(frame >> (8 * i));
  return static_cast<uint8_t>(frame * 31 + i * 7 + (i >> 8));
}

struct IPatternSource : IUnknown {
  // Before connecting: kind, then the codes that apply (media classification).
  virtual HRESULT SetType(int kind, int videoFormat, int resolution, int audioFormat, int frequency,
                          int channels, int bitCount) = 0;                      // 3
  virtual HRESULT SetFrameCount(uint32_t frames) = 0;                            // 4: 0 = endless
  virtual HRESULT SetFrameInterval(int64_t interval) = 0;                        // 5: 100 ns units
  virtual HRESULT SetTimeMode(int mode) = 0;                                     // 6
  virtual HRESULT GetFramesSent(uint64_t* frames) = 0;                           // 7
  // While held, the source sends nothing (the stream stalls).
  virtual HRESULT SetHold(BOOL hold) = 0;                                        // 8
  // Data length of each frame for types without fixed-size samples.
  virtual HRESULT SetDataLength(uint32_t bytes) = 0;                             // 9
  // Called with the steady-clock time (ns) just before each frame is delivered.
  virtual HRESULT SetSendHook(void (*hook)(void* context, uint64_t frame), void* context) = 0;  // 10
  // Light fill: only the frame number (first 4 bytes) is written, the rest
  // of the buffer stays as it was (for measurements, not content checks).
  virtual HRESULT SetLightFill(BOOL light) = 0;  // 11

 protected:
  ~IPatternSource() = default;
};
PLATFORM_INTERFACE_ID(IPatternSource, IID_IPatternSource);
