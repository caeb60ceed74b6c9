// Class identifiers and control interfaces of the sound module: ALSA capture
// devices, the built-in test-tone microphone, the audio renderer (ALSA's
// default device with a clock-paced null output as fallback) and the MP3
// encoder and decoder.
#pragma once
#include "platform/media/filter_interfaces.h"

// ALSA capture devices found on this machine (one per card and capture
// device, friendly name "<card name>: <device name>"); without a device
// path the filter records from ALSA's "default" PCM.
inline constexpr CLSID CLSID_AlsaAudioCapture = makeGuid("{4D4D38DD-1941-4121-B3E8-17CFE61C3CFC}");
// The built-in microphone every machine has: a sine tone, paced by the clock.
inline constexpr CLSID CLSID_TestToneMicrophone = makeGuid("{A34C673B-3D86-4EE0-BD26-56C43D79BC88}");
inline constexpr const char* kTestToneMicrophoneName = "Test Tone Microphone";
inline constexpr const char* kAlsaAudioCaptureName = "ALSA Audio Capture";
inline constexpr const char* kAudioRendererName = "Audio Renderer";
// The encoder and decoder under the names the codec enumerator accepts.
inline constexpr CLSID CLSID_Mp3Encoder = makeGuid("{256644EA-26CA-4BD3-848B-34ADAFE69A06}");
inline constexpr CLSID CLSID_Mp3Decoder = makeGuid("{6DCF4ADF-8CE9-4719-8B43-979203CB2456}");
inline constexpr const char* kMp3EncoderName = "MPEG Layer-3";
inline constexpr const char* kMp3DecoderName = "MPEG Layer-3 Decoder";

// The test tone: frequency in Hz (1..24000; keep it below half the rate) and level as a fraction of full
// scale in thousandths (0..1000). Changes apply at once, also while running.
// The output format (rate, channels, bits) is chosen by the connection.
struct ITestToneControl : IUnknown {
  virtual HRESULT SetFrequency(ULONG hertz) = 0;       // 3
  virtual HRESULT GetFrequency(ULONG* hertz) = 0;      // 4
  virtual HRESULT SetLevel(ULONG thousandths) = 0;     // 5
  virtual HRESULT GetLevel(ULONG* thousandths) = 0;    // 6
  virtual HRESULT GetFramesCaptured(uint64_t* n) = 0;  // 7: sample frames delivered since the last start

 protected:
  ~ITestToneControl() = default;
};
inline constexpr IID IID_ITestToneControl = makeGuid("{07A073C4-4BAA-4F88-95FE-B0F3743C8E76}");
PLATFORM_INTERFACE_ID(ITestToneControl, IID_ITestToneControl);

enum AudioOutputKind : int32_t {
  AudioOutput_None = 0,  // not streaming yet
  AudioOutput_Alsa = 1,  // ALSA's default device
  AudioOutput_Null = 2,  // no usable device: samples are consumed in real time and dropped
};

// What the audio renderer plays on.
struct IAudioRendererInfo : IUnknown {
  virtual HRESULT GetOutputKind(AudioOutputKind* kind) = 0;       // 3
  virtual HRESULT GetDeviceName(char* name, ULONG size) = 0;      // 4: the ALSA PCM name tried
  virtual HRESULT GetFramesPlayed(uint64_t* frames) = 0;          // 5: since the last start
  virtual HRESULT SetDeviceName(const char* name) = 0;            // 6: before the next start ("default")

 protected:
  ~IAudioRendererInfo() = default;
};
inline constexpr IID IID_IAudioRendererInfo = makeGuid("{3936040B-77F0-4EB9-A007-4BF0AD6BC935}");
PLATFORM_INTERFACE_ID(IAudioRendererInfo, IID_IAudioRendererInfo);
