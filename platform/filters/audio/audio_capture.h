// Audio capture sources: one output pin "Capture" (pin category capture,
// buffer negotiation) that offers interleaved PCM at the rates 8 kHz to
// 48 kHz, stereo or mono, 16 or 8 bits (44.1 kHz stereo 16-bit first).
// Samples carry stream times from the position in the stream.
//
// AlsaCaptureFilter records from an ALSA capture PCM (the device path of its
// moniker, or "default"); a device that cannot be opened or fails while
// recording ends the stream with a log line, the rest of the graph runs on.
// ToneMicrophone is the built-in device: a sine tone, delivered in real time.
#pragma once
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/filters/audio/alsa_pcm.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/pcm_format.h"
#include "platform/media/device_interfaces.h"
#include "platform/media/source_filter.h"

class AudioCaptureFilter;

class AudioCapturePin final : public SourceStream, public IKsPropertySet {
 public:
  explicit AudioCapturePin(AudioCaptureFilter* filter);
  HRESULT QueryInterface(REFIID iid, void** object) override { return BasePin::QueryInterface(iid, object); }
  ULONG AddRef() override { return BasePin::AddRef(); }
  ULONG Release() override { return BasePin::Release(); }

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;
  HRESULT onThreadStop() override;
  bool offersBufferNegotiation() const override { return true; }
  HRESULT queryPinInterface(REFIID iid, void** object) override;

  // IKsPropertySet: the pin category (capture), read only.
  HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength) override;
  HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength,
              DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

 private:
  AudioCaptureFilter* capture_;
  uint64_t position_ = 0;  // sample frames delivered since the thread started
};

class AudioCaptureFilter : public SourceFilter, public IPersistPropertyBag {
 public:
  explicit AudioCaptureFilter(const CLSID& clsid);
  HRESULT QueryInterface(REFIID iid, void** object) override { return SourceFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return SourceFilter::AddRef(); }
  ULONG Release() override { return SourceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetClassID(CLSID* clsid) override { return SourceFilter::GetClassID(clsid); }

  // IPersistPropertyBag: the moniker's "DevicePath".
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, void* errorLog) override;
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
  // The filter's own stream Load and Save stay visible beside these.
  using SourceFilter::Load;
  using SourceFilter::Save;

  HRESULT Pause() override;
  HRESULT Stop() override;

  // For the pin (on the streaming thread): the stream begins / ends.
  virtual HRESULT startCapture(const PcmFormat& f) = 0;
  virtual void stopCapture() = 0;
  // Fills frames whole sample frames; S_FALSE ends the stream.
  virtual HRESULT capture(uint8_t* data, size_t frames, const PcmFormat& f) = 0;

  // Whether Stop has been asked for (waits end when it turns true).
  bool stopping() const { return stopping_.load(); }
  std::mutex& waitLock() { return waitLock_; }
  std::condition_variable& wake() { return wake_; }
  const std::string& devicePath() const { return devicePath_; }

 protected:
  std::string devicePath_;
  std::atomic<bool> stopping_{false};
  std::mutex waitLock_;
  std::condition_variable wake_;
};

class AlsaCaptureFilter final : public AudioCaptureFilter {
 public:
  AlsaCaptureFilter();
  HRESULT startCapture(const PcmFormat& f) override;
  void stopCapture() override;
  HRESULT capture(uint8_t* data, size_t frames, const PcmFormat& f) override;

 private:
  std::string pcmName() const { return devicePath_.empty() ? "default" : devicePath_; }
  AlsaPcm pcm_;
  bool failed_ = false;
};

class ToneMicrophone final : public AudioCaptureFilter, public ITestToneControl {
 public:
  ToneMicrophone();
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return AudioCaptureFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return AudioCaptureFilter::AddRef(); }
  ULONG Release() override { return AudioCaptureFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT startCapture(const PcmFormat& f) override;
  void stopCapture() override {}
  HRESULT capture(uint8_t* data, size_t frames, const PcmFormat& f) override;

  HRESULT SetFrequency(ULONG hertz) override;
  HRESULT GetFrequency(ULONG* hertz) override;
  HRESULT SetLevel(ULONG thousandths) override;
  HRESULT GetLevel(ULONG* thousandths) override;
  HRESULT GetFramesCaptured(uint64_t* n) override;

 private:
  std::atomic<ULONG> frequency_{1000};
  std::atomic<ULONG> level_{250};
  double phase_ = 0;  // in cycles, 0..1
  int64_t started_ = 0;
  std::atomic<uint64_t> frames_{0};
};
