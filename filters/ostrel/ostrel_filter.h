// The multicast server filter: a renderer that turns each sample of its
// input into one sample record and multicasts it as one frame. The sender
// is open exactly while the filter runs (or after a control call reopened
// it then); samples arriving while it is closed are dropped.
//
// Locking: the send lock serialises the per-sample path, the sender's open
// and close at Run/Stop and every setter. It is taken after the
// framework's filter and receive locks, never before them (the renderer's
// Stop holds both while it waits for a sample in flight). A frame is paced
// under it, which at low rates takes seconds or minutes; so whoever needs
// it interrupts the pacing first (koMulticastSender): Stop and every
// setter that changes something cut the frame in flight short and get the
// lock at once. The values lock guards what the getters and the settings
// save read (addresses, parameters, user data, the input's codes); a writer
// holds both locks, so the sending thread reads under the send lock alone
// and a getter under the values lock alone, never behind a paced frame.
// The open flag and the statistics are read without a lock.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "filters/mediaclass/mediaclass.h"
#include "filters/ostrel/IOstrelControl.h"
#include "filters/ostrel/ostrel_settings.h"
#include "koBase/koByteStream.h"
#include "koBase/koMulticastSender.h"
#include "platform/media/renderer.h"

class OstrelFilter final : public BaseRenderer, public IOstrelControl {
 public:
  OstrelFilter();
  ~OstrelFilter() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // BaseRenderer
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT breakConnect() override;
  HRESULT doRenderSample(IMediaSample* sample) override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;

  // Persistence and pages
  int settingsVersion() const override { return OstrelSettings::kVersion; }
  uint64_t settingsSizeMax() const override { return OstrelSettings::kSizeMax; }
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
  std::vector<CLSID> propertyPages() const override;

  // IOstrelControl
  HRESULT GetSocketOpen(BOOL* open) override;
  HRESULT GetTimestamp(int64_t* clockTime) override;
  HRESULT GetTransmittingRate(uint32_t* bitsPerSecond) override;
  HRESULT GetFrameRate(uint32_t* framesPerSecond) override;
  HRESULT GetPacketsSent(uint32_t* packets) override;
  HRESULT GetFramesSent(uint32_t* frames) override;
  HRESULT GetInputMediaKind(int* code) override;
  HRESULT GetInputVideoFormat(int* code) override;
  HRESULT GetInputVideoResolution(int* code) override;
  HRESULT GetInputAudioFormat(int* code) override;
  HRESULT GetInputAudioFrequency(int* code) override;
  HRESULT GetInputAudioChannels(int* code) override;
  HRESULT GetInputAudioBitCount(int* code) override;
  HRESULT GetAddress(char* address) override;
  HRESULT SetAddress(const char* address) override;
  HRESULT GetPort(uint16_t* port) override;
  HRESULT SetPort(uint16_t port) override;
  HRESULT GetTimeToLive(uint32_t* ttl) override;
  HRESULT SetTimeToLive(uint32_t ttl) override;
  HRESULT GetRepeatCount(uint32_t* count) override;
  HRESULT SetRepeatCount(uint32_t count) override;
  HRESULT GetMaximumRate(uint32_t* bitsPerSecond) override;
  HRESULT SetMaximumRate(uint32_t bitsPerSecond) override;
  HRESULT GetSystemBufferSize(uint32_t* bits) override;
  HRESULT SetSystemBufferSize(uint32_t bits) override;
  HRESULT GetClockMinimumInterval(float* seconds) override;
  HRESULT SetClockMinimumInterval(float seconds) override;
  HRESULT MeasureClock() override;
  HRESULT GetPacketSize(uint32_t* bytes) override;
  HRESULT SetPacketSize(uint32_t bytes) override;
  HRESULT GetUserDataLength(uint32_t* length) override;
  HRESULT SetUserDataLength(uint32_t length) override;
  HRESULT GetUserData(uint8_t* data) override;
  HRESULT SetUserData(const uint8_t* data) override;

 private:
  class Change;
  HRESULT inputCode(int* out, int MediaClassification::*code, int unknown);
  // Under a Change: closes the sender / opens it, keeping open_ in step.
  void closeSender();
  void openSender();
  // Under the values lock: whether a setter would change nothing.
  template <typename T, typename Get>
  bool unchanged(Get get, T value);

  std::recursive_mutex sendLock_;
  std::mutex valuesLock_;
  std::atomic<bool> open_{false};
  koMulticastSender sender_;
  koOutputByteStream record_;
  std::vector<uint8_t> typeBytes_;
  bool running_ = false;
  uint32_t sampleNumber_ = 0;
  int64_t previousClockTime_ = -1;
  std::atomic<int64_t> clockTime_{0};
  uint32_t userDataLength_ = 64;
  uint8_t userData_[64] = {};
  bool connected_ = false;
  MediaType inputType_;
  MediaClassification input_;
};
