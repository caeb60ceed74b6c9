// Well-known identifiers of the media framework: media types, subtypes,
// format types, device categories, pin categories and the classes the
// engines create by identifier. These are fixed values of the platform.
#pragma once
#include "platform/com/guid.h"
#include "platform/com/result.h"

// Subtype for a four-character code: {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID fourccSubtype(uint32_t fourcc) {
  GUID g{};
  g.Data1 = fourcc;
  g.Data2 = 0x0000;
  g.Data3 = 0x0010;
  const uint8_t tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  for (int i = 0; i < 8; ++i) g.Data4[i] = tail[i];
  return g;
}
constexpr uint32_t makeFourcc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}

// Major types.
inline constexpr GUID MEDIATYPE_Video = makeGuid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Audio = makeGuid("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Stream = makeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIATYPE_Interleaved = makeGuid("{73766169-0000-0010-8000-00AA00389B71}");

// Subtypes.
inline constexpr GUID MEDIASUBTYPE_RGB1 = makeGuid("{E436EB78-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB4 = makeGuid("{E436EB79-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB8 = makeGuid("{E436EB7A-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB565 = makeGuid("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB555 = makeGuid("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB24 = makeGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = makeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_PCM = makeGuid("{00000001-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload = makeGuid("{00000050-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_MP3 = makeGuid("{00000055-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_dvsd = fourccSubtype(makeFourcc('d', 'v', 's', 'd'));
inline constexpr GUID MEDIASUBTYPE_MP42 = fourccSubtype(makeFourcc('M', 'P', '4', '2'));
inline constexpr GUID MEDIASUBTYPE_MP43 = fourccSubtype(makeFourcc('M', 'P', '4', '3'));
inline constexpr GUID MEDIASUBTYPE_MJPG = fourccSubtype(makeFourcc('M', 'J', 'P', 'G'));
inline constexpr GUID MEDIASUBTYPE_YUY2 = fourccSubtype(makeFourcc('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_I420 = fourccSubtype(makeFourcc('I', '4', '2', '0'));
// The pointer record stream of this system.
inline constexpr GUID MEDIASUBTYPE_PointerInfo = makeGuid("{F7195551-5EAF-44C0-89A4-BB0F3FBD7294}");

// Format types.
inline constexpr GUID FORMAT_None = makeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_VideoInfo = makeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_WaveFormatEx = makeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_MPEGVideo = makeGuid("{05589F82-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_DvInfo = makeGuid("{05589F84-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_VideoInfo2 = makeGuid("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");

// Device and filter categories.
inline constexpr GUID CLSID_VideoInputDeviceCategory = makeGuid("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
inline constexpr GUID CLSID_AudioInputDeviceCategory = makeGuid("{33D9A762-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr GUID CLSID_VideoCompressorCategory = makeGuid("{33D9A760-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr GUID CLSID_AudioCompressorCategory = makeGuid("{33D9A761-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr GUID CLSID_AudioRendererCategory = makeGuid("{E0F158E1-CB04-11D0-BD4E-00A0C911CE86}");
inline constexpr GUID CLSID_LegacyAmFilterCategory = makeGuid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");

// Pin categories (read through IKsPropertySet, property set AMPROPSETID_Pin).
inline constexpr GUID AMPROPSETID_Pin = makeGuid("{9B00F101-1567-11D1-B3F1-00AA003761C5}");
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;
inline constexpr GUID PIN_CATEGORY_CAPTURE = makeGuid("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID PIN_CATEGORY_PREVIEW = makeGuid("{FB6C4282-0353-11D1-905F-0000C0CC16BA}");

// Classes of the framework and of the platform filters.
inline constexpr CLSID CLSID_FilterGraph = makeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_SystemClock = makeGuid("{E436EBB1-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_SystemDeviceEnum = makeGuid("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");
inline constexpr CLSID CLSID_FilterMapper2 = makeGuid("{CDA42200-BD88-11D0-BD4E-00A0C911CE86}");
inline constexpr CLSID CLSID_MemoryAllocator = makeGuid("{1E651CC0-B199-11D0-8212-00C04FC32C45}");
inline constexpr CLSID CLSID_SmartTee = makeGuid("{CC58E280-8AA1-11D1-B3F1-00AA003761C5}");
inline constexpr CLSID CLSID_InfTee = makeGuid("{F8388A40-D5BB-11D0-BE5A-0080C706568E}");
inline constexpr CLSID CLSID_VideoRenderer = makeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID CLSID_NullRenderer = makeGuid("{C1F400A4-3F08-11D3-9F0B-006008039E37}");
inline constexpr CLSID CLSID_DSoundRender = makeGuid("{79376820-07D0-11CF-A24D-0020AFD79767}");

// Merits.
inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;
inline constexpr DWORD MERIT_SW_COMPRESSOR = 0x100000;
inline constexpr DWORD MERIT_HW_COMPRESSOR = 0x100050;
