// The multicast client filter: a live source with one output pin "Out". Its
// receiver is open from creation to destruction; each frame received is
// parsed into a sample, kept only when its type classifies as the output
// type the owner chose, and queued (at most four, the oldest dropped) while
// the filter streams. The pin delivers queued samples and, when nothing
// arrives for 3 s, a filler sample made for the output type.
//
// Locks: the filter lock serialises control calls, Run/Stop and loading;
// the receive lock guards what the frame callback and the pin share (it is
// never held while the receiver is closed, so closing cannot wait on a
// callback that waits for it); the pin's own lock covers a delivery; the
// queue has its own. Order: filter, receive, queue; pin, receive, queue.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "filters/ingrel/IIngrelControl.h"
#include "filters/ingrel/ingrel_delivery.h"
#include "filters/ingrel/ingrel_queue.h"
#include "filters/ingrel/ingrel_settings.h"
#include "filters/mediaclass/mediaclass.h"
#include "koBase/koMulticastReceiver.h"
#include "platform/media/source_filter.h"

class IngrelFilter;

class IngrelStream final : public SourceStream {
 public:
  explicit IngrelStream(IngrelFilter* filter);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT breakConnect() override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT inactive() override;

  // Sum of the sample durations delivered since the pin became active.
  int64_t streamTime() const { return delivery_.streamTime(); }

 private:
  IngrelFilter* owner_;
  std::mutex lock_;
  IngrelDelivery delivery_;
};

class IngrelFilter final : public SourceFilter, public IIngrelControl {
 public:
  // How long the pin waits for a sample before it delivers a filler.
  static constexpr int kStallMs = 3000;
  // Buffer size asked for types without fixed-size samples.
  static constexpr uint32_t kVariableBufferSize = 100000;
  // Kernel receive buffer asked for (the kernel may grant less).
  static constexpr uint32_t kReceiveBufferSize = 4u << 20;

  IngrelFilter();
  ~IngrelFilter() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;

  int settingsVersion() const override { return IngrelSettings::kVersion; }
  uint64_t settingsSizeMax() const override { return IngrelSettings::kSizeMax; }
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
  std::vector<CLSID> propertyPages() const override;

  // IIngrelControl
  HRESULT GetSocketOpen(BOOL* open) override;
  HRESULT GetReceiving(BOOL* receiving) override;
  HRESULT GetTypesMatch(BOOL* match) override;
  HRESULT GetTimestamp(int64_t* clockTime) override;
  HRESULT GetReceiveRate(uint32_t* bitsPerSecond) override;
  HRESULT GetFrameRate(uint32_t* framesPerSecond) override;
  HRESULT GetPacketSize(uint32_t* bytes) override;
  HRESULT GetPacketsReceived(uint32_t* packets) override;
  HRESULT GetFramesReceived(uint32_t* frames) override;
  HRESULT GetDroppedPackets(uint32_t* packets) override;
  HRESULT GetDroppedFrames(uint32_t* frames) override;
  HRESULT GetDiscardedSamples(uint32_t* samples) override;
  HRESULT GetUserData(uint8_t* data, uint32_t* length) override;
  HRESULT GetReceivedTypeText(char* text) override;
  HRESULT GetAddress(char* address) override;
  HRESULT SetAddress(const char* address) override;
  HRESULT GetPort(uint16_t* port) override;
  HRESULT SetPort(uint16_t port) override;
  HRESULT GetTimeToLive(uint32_t* ttl) override;
  HRESULT SetTimeToLive(uint32_t ttl) override;
  HRESULT GetIPv6InterfaceNo(uint32_t* number) override;
  HRESULT SetIPv6InterfaceNo(uint32_t number) override;
  HRESULT GetOutputMediaKind(int* code) override;
  HRESULT SetOutputMediaKind(int code) override;
  HRESULT GetOutputVideoFormat(int* code) override;
  HRESULT SetOutputVideoFormat(int code) override;
  HRESULT GetOutputResolution(int* code) override;
  HRESULT SetOutputResolution(int code) override;
  HRESULT GetOutputAudioFormat(int* code) override;
  HRESULT SetOutputAudioFormat(int code) override;
  HRESULT GetOutputFrequency(int* code) override;
  HRESULT SetOutputFrequency(int code) override;
  HRESULT GetOutputChannels(int* code) override;
  HRESULT SetOutputChannels(int code) override;
  HRESULT GetOutputBitCount(int* code) override;
  HRESULT SetOutputBitCount(int code) override;
  HRESULT GetAutomaticType(BOOL* automatic) override;
  HRESULT SetAutomaticType(BOOL automatic) override;
  HRESULT GetTimestampReset(BOOL* reset) override;
  HRESULT SetTimestampReset(BOOL reset) override;
  HRESULT GetPicturePosition(float* x, float* y) override;
  HRESULT SetPicturePosition(float x, float y) override;
  HRESULT GetPictureSize(float* width, float* height) override;
  HRESULT SetPictureSize(float width, float height) override;
  HRESULT GetRefusedRecords(uint32_t* malformed, uint32_t* mismatched) override;
  HRESULT GetFillerCount(uint32_t* fillers) override;

  // For the pin and tests.
  void handleFrame(const uint8_t* frame, uint32_t length);
  MediaClassification outputClassification();
  bool isStreaming() const { return streaming_.load(); }
  IngrelQueue& queue() { return queue_; }
  IngrelStream* stream() { return stream_; }

 private:
  friend class IngrelStream;
  static void onFrame(const uint8_t* frame, uint32_t length, void* self);
  // Under the filter lock: close the receiver, let change apply, reopen.
  template <typename Change>
  void reconfigure(Change change);
  HRESULT setCode(int MediaClassification::*code, int value);
  HRESULT getCode(int* out, int MediaClassification::*code);

  IngrelStream* stream_;
  koMulticastReceiver receiver_;
  IngrelQueue queue_;

  // Receive state, under recvLock_.
  std::mutex recvLock_;
  MediaClassification codes_;   // what the owner set
  MediaClassification output_;  // the output type actually built, classified
  MediaClassification connected_;
  bool pinConnected_ = false;
  uint32_t bufferSize_ = 0;  // granted by the downstream allocator
  MediaClassification received_;
  int64_t lastSampleNumber_ = -1;
  bool pendingDiscontinuity_ = false;  // a record was refused since the last sample
  uint32_t userDataLength_ = 0;
  uint8_t userData_[kIngrelMaxUserData] = {};
  bool automaticType_ = false;
  bool typesMatch_ = false;

  std::atomic<bool> streaming_{false};
  std::atomic<bool> receiving_{false};
  std::atomic<int64_t> timestamp_{0};
  std::atomic<uint32_t> discarded_{0};
  std::atomic<uint32_t> malformed_{0};
  std::atomic<uint32_t> mismatched_{0};
  std::atomic<uint32_t> fillers_{0};

  // Stored settings without effect on the stream, under the filter lock.
  bool timestampReset_ = true;
  float x_ = 0, y_ = 0, width_ = 1, height_ = 1;
};
