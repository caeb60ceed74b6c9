// The multicast server filter ("Multicast Server"): class identifier, the
// control interface its owners call, and its property pages.
//
// IOstrelControl: every operation returns S_OK (E_POINTER for a missing
// out-argument) and passes values through pointers. The operations are in
// slot order; slots 0 to 2 are those of IUnknown. Setters clamp rather than
// fail. Address, port and time-to-live changes reopen the sender only while
// the filter runs.
#pragma once
#include <cstdint>

#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_OstrelFilter = makeGuid("{FFF4CBF9-0DAE-4990-88D2-8186340EFEC1}");
inline constexpr IID IID_IOstrelControl = makeGuid("{A03D4F80-2A7F-4388-B061-7906DB1CE83B}");
inline constexpr CLSID CLSID_OstrelCommunicationPage = makeGuid("{F990271E-74C1-4D1C-A67C-BD2EAF44C594}");
inline constexpr CLSID CLSID_OstrelFrameControlPage = makeGuid("{65CA1A0A-262C-45A7-A606-DAA8686B645C}");
inline constexpr CLSID CLSID_OstrelUserDataPage = makeGuid("{0375753A-60BC-450D-AE8D-8E3DC6F58499}");

// Addresses are at most this many characters; text getters need an area of
// kOstrelAddressArea bytes.
inline constexpr uint32_t kOstrelMaxAddress = 1023;
inline constexpr uint32_t kOstrelAddressArea = 1024;
inline constexpr uint32_t kOstrelMaxUserData = 64;

struct IOstrelControl : IUnknown {
  virtual HRESULT GetSocketOpen(BOOL* open) = 0;                   // 3
  virtual HRESULT GetTimestamp(int64_t* clockTime) = 0;            // 4: of the last sample sent
  virtual HRESULT GetTransmittingRate(uint32_t* bitsPerSecond) = 0;  // 5: restarts the window
  virtual HRESULT GetFrameRate(uint32_t* framesPerSecond) = 0;     // 6: restarts the window
  virtual HRESULT GetPacketsSent(uint32_t* packets) = 0;           // 7: since the last open/close
  virtual HRESULT GetFramesSent(uint32_t* frames) = 0;             // 8
  virtual HRESULT GetInputMediaKind(int* code) = 0;                // 9: 3 when not connected
  virtual HRESULT GetInputVideoFormat(int* code) = 0;              // 10: 8
  virtual HRESULT GetInputVideoResolution(int* code) = 0;          // 11: 9
  virtual HRESULT GetInputAudioFormat(int* code) = 0;              // 12: 3
  virtual HRESULT GetInputAudioFrequency(int* code) = 0;           // 13: 6
  virtual HRESULT GetInputAudioChannels(int* code) = 0;            // 14: 2
  virtual HRESULT GetInputAudioBitCount(int* code) = 0;            // 15: 3
  virtual HRESULT GetAddress(char* address) = 0;                   // 16: area of 1024 bytes; "-" when empty
  virtual HRESULT SetAddress(const char* address) = 0;             // 17
  virtual HRESULT GetPort(uint16_t* port) = 0;                     // 18
  virtual HRESULT SetPort(uint16_t port) = 0;                      // 19
  virtual HRESULT GetTimeToLive(uint32_t* ttl) = 0;                // 20
  virtual HRESULT SetTimeToLive(uint32_t ttl) = 0;                 // 21
  virtual HRESULT GetRepeatCount(uint32_t* count) = 0;             // 22
  virtual HRESULT SetRepeatCount(uint32_t count) = 0;              // 23: 0 becomes 1
  virtual HRESULT GetMaximumRate(uint32_t* bitsPerSecond) = 0;     // 24
  virtual HRESULT SetMaximumRate(uint32_t bitsPerSecond) = 0;      // 25: 0 becomes 1
  virtual HRESULT GetSystemBufferSize(uint32_t* bits) = 0;         // 26
  virtual HRESULT SetSystemBufferSize(uint32_t bits) = 0;          // 27: 0 becomes 1
  virtual HRESULT GetClockMinimumInterval(float* seconds) = 0;     // 28
  virtual HRESULT SetClockMinimumInterval(float seconds) = 0;      // 29
  virtual HRESULT MeasureClock() = 0;                              // 30
  virtual HRESULT GetPacketSize(uint32_t* bytes) = 0;              // 31
  virtual HRESULT SetPacketSize(uint32_t bytes) = 0;               // 32: clamped to 512..8192
  virtual HRESULT GetUserDataLength(uint32_t* length) = 0;         // 33
  virtual HRESULT SetUserDataLength(uint32_t length) = 0;          // 34: above 64 becomes 64
  virtual HRESULT GetUserData(uint8_t* data) = 0;                  // 35: user-data-length bytes
  virtual HRESULT SetUserData(const uint8_t* data) = 0;            // 36: user-data-length bytes

 protected:
  ~IOstrelControl() = default;
};
PLATFORM_INTERFACE_ID(IOstrelControl, IID_IOstrelControl);
