// The multicast client filter ("Multicast Client"): class identifier, the
// control interface its owners call, and its property pages.
//
// IIngrelControl: every operation returns S_OK (E_POINTER for a missing
// out-argument) and passes values through pointers; slots 0 to 2 are those
// of IUnknown. The output codes are those of the media classification; each
// setter rebuilds the output media type (codes that name no type leave the
// previous type in place). Address, port and time-to-live changes close and
// reopen the receiver whatever the run state.
#pragma once
#include <cstdint>

#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_IngrelFilter = makeGuid("{5D74D554-4D9A-47A0-956C-B8A0BC4AD32B}");
inline constexpr IID IID_IIngrelControl = makeGuid("{6113A5E7-D566-4DD6-8A1F-CBE55991A77F}");
inline constexpr CLSID CLSID_IngrelCommunicationPage = makeGuid("{D67B81D1-D324-427A-AE68-F29D03416BB3}");
inline constexpr CLSID CLSID_IngrelMediaTypePage = makeGuid("{61DE7A8E-124F-4C3F-981A-77D51F8204F0}");
inline constexpr CLSID CLSID_IngrelFrameControlPage = makeGuid("{3E2038C3-F410-4E87-8FEA-5F068AAD8B87}");
inline constexpr CLSID CLSID_IngrelAdditionalInfoPage = makeGuid("{3D9464B1-BE89-48D2-976E-EB1F7D338F35}");

inline constexpr uint32_t kIngrelMaxAddress = 1023;
inline constexpr uint32_t kIngrelAddressArea = 1024;
inline constexpr uint32_t kIngrelMaxUserData = 64;
inline constexpr uint32_t kIngrelTypeTextArea = 16;

struct IIngrelControl : IUnknown {
  virtual HRESULT GetSocketOpen(BOOL* open) = 0;                      // 3
  virtual HRESULT GetReceiving(BOOL* receiving) = 0;                  // 4: last delivery came from the network
  virtual HRESULT GetTypesMatch(BOOL* match) = 0;                     // 5: last received type = output type
  virtual HRESULT GetTimestamp(int64_t* clockTime) = 0;               // 6: of the last matching record
  virtual HRESULT GetReceiveRate(uint32_t* bitsPerSecond) = 0;        // 7: restarts the window
  virtual HRESULT GetFrameRate(uint32_t* framesPerSecond) = 0;        // 8: restarts the window
  virtual HRESULT GetPacketSize(uint32_t* bytes) = 0;                 // 9: of the last frame header
  virtual HRESULT GetPacketsReceived(uint32_t* packets) = 0;          // 10
  virtual HRESULT GetFramesReceived(uint32_t* frames) = 0;            // 11: minus samples discarded
  virtual HRESULT GetDroppedPackets(uint32_t* packets) = 0;           // 12
  virtual HRESULT GetDroppedFrames(uint32_t* frames) = 0;             // 13: plus samples discarded
  virtual HRESULT GetDiscardedSamples(uint32_t* samples) = 0;         // 14: from the full queue since Run
  virtual HRESULT GetUserData(uint8_t* data, uint32_t* length) = 0;   // 15: area of 64 bytes
  virtual HRESULT GetReceivedTypeText(char* text) = 0;                // 16: area of 16 bytes
  virtual HRESULT GetAddress(char* address) = 0;                      // 17: area of 1024 bytes; "-" when empty
  virtual HRESULT SetAddress(const char* address) = 0;                // 18
  virtual HRESULT GetPort(uint16_t* port) = 0;                        // 19
  virtual HRESULT SetPort(uint16_t port) = 0;                         // 20
  virtual HRESULT GetTimeToLive(uint32_t* ttl) = 0;                   // 21
  virtual HRESULT SetTimeToLive(uint32_t ttl) = 0;                    // 22
  virtual HRESULT GetIPv6InterfaceNo(uint32_t* number) = 0;           // 23: always 0
  virtual HRESULT SetIPv6InterfaceNo(uint32_t number) = 0;            // 24: accepted, ignored
  virtual HRESULT GetOutputMediaKind(int* code) = 0;                  // 25
  virtual HRESULT SetOutputMediaKind(int code) = 0;                   // 26
  virtual HRESULT GetOutputVideoFormat(int* code) = 0;                // 27
  virtual HRESULT SetOutputVideoFormat(int code) = 0;                 // 28
  virtual HRESULT GetOutputResolution(int* code) = 0;                 // 29
  virtual HRESULT SetOutputResolution(int code) = 0;                  // 30
  virtual HRESULT GetOutputAudioFormat(int* code) = 0;                // 31
  virtual HRESULT SetOutputAudioFormat(int code) = 0;                 // 32
  virtual HRESULT GetOutputFrequency(int* code) = 0;                  // 33
  virtual HRESULT SetOutputFrequency(int code) = 0;                   // 34
  virtual HRESULT GetOutputChannels(int* code) = 0;                   // 35
  virtual HRESULT SetOutputChannels(int code) = 0;                    // 36
  virtual HRESULT GetOutputBitCount(int* code) = 0;                   // 37
  virtual HRESULT SetOutputBitCount(int code) = 0;                    // 38
  virtual HRESULT GetAutomaticType(BOOL* automatic) = 0;              // 39
  virtual HRESULT SetAutomaticType(BOOL automatic) = 0;               // 40
  virtual HRESULT GetTimestampReset(BOOL* reset) = 0;                 // 41
  virtual HRESULT SetTimestampReset(BOOL reset) = 0;                  // 42
  virtual HRESULT GetPicturePosition(float* x, float* y) = 0;         // 43
  virtual HRESULT SetPicturePosition(float x, float y) = 0;           // 44
  virtual HRESULT GetPictureSize(float* width, float* height) = 0;    // 45
  virtual HRESULT SetPictureSize(float width, float height) = 0;      // 46
  // Records refused since Run: malformed (lengths that do not add up, user
  // data above 64, data that does not fit the output buffer) and records
  // of a type other than the output type. Fillers delivered since Run.
  virtual HRESULT GetRefusedRecords(uint32_t* malformed, uint32_t* mismatched) = 0;  // 47
  virtual HRESULT GetFillerCount(uint32_t* fillers) = 0;                              // 48

 protected:
  ~IIngrelControl() = default;
};
PLATFORM_INTERFACE_ID(IIngrelControl, IID_IIngrelControl);
