// A test module of its own (never registered in the build's registry): a
// source that delivers the pictures or records a test pushes into it, on the
// test's thread, and stand-ins for capture devices and codecs in the
// categories the enumerators read.
#pragma once
#include "platform/media/filter_interfaces.h"

inline constexpr CLSID CLSID_PushSource = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E01}");
inline constexpr IID IID_IPushSource = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E02}");

// Capture devices: an analog camera with a capture pin and a preview pin
// (offering the analog-decoder interface and a property page), a DV camera
// with a capture pin only, and a microphone.
inline constexpr CLSID CLSID_TestAnalogCamera = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E10}");
inline constexpr CLSID CLSID_TestDvCamera = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E11}");
inline constexpr CLSID CLSID_TestMicrophone = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E12}");
inline constexpr CLSID CLSID_TestCameraPage = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E13}");
inline constexpr const char* kTestAnalogCameraName = "Test Analog Camera";
inline constexpr const char* kTestDvCameraName = "Test DV Camera";
inline constexpr const char* kTestMicrophoneName = "Test Microphone";

// Codecs: one input and one output pin each, under the accepted names and a
// few others that the codec enumerator must skip.
inline constexpr CLSID CLSID_TestMpeg4Encoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E20}");
inline constexpr CLSID CLSID_TestDvEncoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E21}");
inline constexpr CLSID CLSID_TestOtherVideoEncoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E22}");
inline constexpr CLSID CLSID_TestMp3Encoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E23}");
inline constexpr CLSID CLSID_TestOtherAudioEncoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E24}");
inline constexpr CLSID CLSID_TestMpeg4Decoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E30}");
inline constexpr CLSID CLSID_TestDvDecoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E31}");
inline constexpr CLSID CLSID_TestMp3Decoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E32}");
inline constexpr CLSID CLSID_TestOtherDecoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E33}");
// Named "DV Video Decoder" but with a merit of 0x100000, too low to be listed.
inline constexpr CLSID CLSID_TestWeakDvDecoder = makeGuid("{0A7E5C21-6B3D-4F19-8E24-3C5D7A9B1E34}");

// The image compounder's class identifier served by a plain filter without
// its control interface, so that a wrapper can be seen to drop such a filter.
// Register the real module after this one where the real filter is wanted.
inline constexpr const char* kImpostorName = "Image Compound Without Control";

// Exported by the module: the display size last set on any DV decoder
// stand-in (0 before any), and how many stand-in codecs were created.
extern "C" {
using TestDvDisplayFn = int (*)();
using TestCodecsCreatedFn = int (*)();
}

struct IPushSource : IUnknown {
  // The type offered on the output pin (before connecting).
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) = 0;  // 3
  // Delivers one sample with these bytes (and start time, when given) on
  // the calling thread; returns what the downstream pin answered.
  virtual HRESULT Push(const uint8_t* data, LONG length, const REFERENCE_TIME* start) = 0;  // 4

 protected:
  ~IPushSource() = default;
};
PLATFORM_INTERFACE_ID(IPushSource, IID_IPushSource);
