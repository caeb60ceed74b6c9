// The platform's video codecs and the built-in DV camera (module
// "platform_codecs", on libavcodec / libswscale):
//   - "Microsoft MPEG-4 Video Codec V2": encoder in the video compressor
//     category; RGB or YUV video in, MP42 out. Offers IVideoCompression.
//   - "Mpeg4 Decoder DMO": MP42 in, RGB24 (or RGB32) out; found by the filter
//     mapper through its merit and its input pin type.
//   - "DV Video Encoder": 720x480 (or 720x576) video in, dvsd frames out.
//   - "DV Video Decoder": dvsd in, RGB out; IIPDVDec chooses the display size.
//   - "Built-in DV Camera": a video input device delivering 720x480 dvsd
//     frames, made with the DV encoder, of the same moving picture as the
//     "Test Pattern Camera", frame number in the pixels included (read it
//     back with capture/test_pattern_code.h).
// Decoders drop a sample they cannot decode and then every sample up to the
// next key frame; a sample marked as a discontinuity (frames lost upstream)
// does the same unless it is a key frame itself.
#pragma once
#include "platform/media/control_interfaces.h"
#include "platform/media/guids.h"

inline constexpr CLSID CLSID_MP42Encoder = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A01}");
inline constexpr CLSID CLSID_MP42Decoder = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A02}");
inline constexpr CLSID CLSID_DVEncoder = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A03}");
inline constexpr CLSID CLSID_DVDecoder = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A04}");
inline constexpr CLSID CLSID_DVCamera = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A05}");

inline constexpr const char* kMP42EncoderName = "Microsoft MPEG-4 Video Codec V2";
inline constexpr const char* kMP42DecoderName = "Mpeg4 Decoder DMO";
inline constexpr const char* kDVEncoderName = "DV Video Encoder";
inline constexpr const char* kDVDecoderName = "DV Video Decoder";
inline constexpr const char* kDVCameraName = "Built-in DV Camera";
// The DV camera with a second, preview pin, as some DV devices have. Its
// class is registered, but it is not a member of the video input category:
// tests that need such a device add the membership to a registry of their
// own.
inline constexpr CLSID CLSID_DVCameraWithPreview = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A06}");
inline constexpr const char* kDVCameraWithPreviewName = "Built-in DV Camera (With Preview)";

// Merits: the decoders are found by the filter mapper (above "do not use");
// the encoders and the camera are found through their categories only.
inline constexpr DWORD kDecoderMerit = MERIT_NORMAL;
inline constexpr DWORD kEncoderMerit = MERIT_DO_NOT_USE;

// Display sizes of the DV decoder (IIPDVDec): full 720x480, half 360x240,
// quarter 180x120, DC 90x60 (for 720x576 frames the heights are 576, 288,
// 144, 72).
inline constexpr int DVRESOLUTION_HALF = 1001;
inline constexpr int DVRESOLUTION_QUARTER = 1002;
inline constexpr int DVRESOLUTION_DC = 1003;

// Compression settings of the MPEG-4 V2 encoder. Setters clamp values to
// their range. A change made while the encoder streams takes effect at once:
// the encoder restarts with the new settings and emits a key frame. The
// settings are saved with the filter (IPersistStream).
struct IVideoCompression : IUnknown {
  // Target bit rate in bits per second, 16000 .. 50000000 (default 1500000).
  virtual HRESULT SetBitRate(LONG bitsPerSecond) = 0;  // 3
  virtual HRESULT GetBitRate(LONG* bitsPerSecond) = 0;  // 4
  // A key frame every n frames, 1 .. 1000 (default 30).
  virtual HRESULT SetKeyFrameInterval(LONG frames) = 0;  // 5
  virtual HRESULT GetKeyFrameInterval(LONG* frames) = 0;  // 6
  // Quality 0 (smallest) .. 1 (best) at a constant quantiser, ignoring the
  // bit rate; any negative value (the default, -1) means: follow the bit rate.
  virtual HRESULT SetQuality(double quality) = 0;  // 7
  virtual HRESULT GetQuality(double* quality) = 0;  // 8

 protected:
  ~IVideoCompression() = default;
};
inline constexpr IID IID_IVideoCompression = makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A10}");
PLATFORM_INTERFACE_ID(IVideoCompression, IID_IVideoCompression);
