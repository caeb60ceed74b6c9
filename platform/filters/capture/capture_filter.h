// CaptureFilter: a live video source with a "Capture" and a "Preview"
// output pin over one CaptureDevice.
//
// While the filter runs, a producer thread takes one frame per frame
// interval (on the graph clock; late slots are dropped and counted) or as
// the device delivers them, and publishes it. Each connected pin's
// streaming thread waits for a frame newer than its last one and copies it
// in the pin's own format, so a slow preview never holds up the capture
// pin and each pin may use a different size or colour format. Samples carry
// stream-time stamps (start = frame slot × interval on the clock, or the
// capture time for self-paced devices), the frame number as media time,
// and are all key frames.
//
// When the device cannot start or disappears, the filter logs one error
// line, the pins end their streams (end of stream downstream), and the
// rest of the graph keeps running; IsDeviceLost tells it.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/capture/capture_device.h"
#include "platform/media/source_filter.h"

class CaptureFilter;
class CaptureLog;

class CapturePin final : public SourceStream, public IKsPropertySet {
 public:
  CapturePin(CaptureFilter* filter, const char16_t* name, const GUID& category);
  HRESULT QueryInterface(REFIID iid, void** object) override { return BasePin::QueryInterface(iid, object); }
  ULONG AddRef() override { return BasePin::AddRef(); }
  ULONG Release() override { return BasePin::Release(); }

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  bool offersBufferNegotiation() const override { return true; }
  HRESULT queryPinInterface(REFIID iid, void** object) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;

  // IKsPropertySet: the pin category (get only).
  HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
              DWORD dataLength) override;
  HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength,
              DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // The connected format (false when not connected).
  bool format(VideoFormat* f) const;

 private:
  CaptureFilter* capture_;
  GUID category_;
  uint64_t lastSeq_ = 0;
  uint64_t lastNumber_ = 0;  // frame number of lastSeq_
};

class CaptureFilter : public SourceFilter, public IVideoCaptureControl, public IAMAnalogVideoDecoder {
 public:
  // withPreview false: the "Capture" pin alone (a device without a preview pin).
  CaptureFilter(const CLSID& clsid, std::unique_ptr<CaptureDevice> device, std::string name,
                bool withPreview = true);
  ~CaptureFilter() override;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return SourceFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return SourceFilter::AddRef(); }
  ULONG Release() override { return SourceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;
  std::vector<CLSID> propertyPages() const override { return {CLSID_CapturePropertyPage}; }

  // IVideoCaptureControl
  HRESULT GetFormatCount(LONG* count) override;
  HRESULT GetFormat(LONG index, AM_MEDIA_TYPE* mt) override;
  HRESULT SetFormat(const AM_MEDIA_TYPE* mt) override;
  HRESULT SetFrameInterval(REFERENCE_TIME interval) override;
  HRESULT GetFrameInterval(REFERENCE_TIME* interval) override;
  HRESULT GetStatistics(uint64_t* captured, uint64_t* dropped) override;
  HRESULT GetDeviceName(char* name, ULONG size) override;
  HRESULT IsDeviceLost(BOOL* lost) override;
  // IAMAnalogVideoDecoder
  HRESULT get_AvailableTVFormats(LONG* formats) override;

  // For the pins.
  struct Frame {
    uint64_t seq;     // 1, 2, ... per start
    uint64_t number;  // frame number (slot) given to the device
    REFERENCE_TIME start, stop;
  };
  std::vector<VideoFormat> offeredFormats();
  REFERENCE_TIME frameInterval() const { return interval_.load(); }
  // Waits for a frame with seq > after; false when the stream ends.
  bool waitFrame(uint64_t after, Frame* frame);
  bool copyFrame(const Frame& frame, const VideoFormat& f, uint8_t* dst, size_t size);
  void countDropped(uint64_t n) { dropped_.fetch_add(n); }
  // Frames [first, end) the capture pin did not take (for the capture log).
  void noteNotTaken(uint64_t first, uint64_t end);
  const std::string& deviceName() const { return name_; }

 protected:
  CaptureDevice* device() { return device_.get(); }
  void setDeviceName(std::string name) { name_ = std::move(name); }
  // The device's format list changed (e.g. another device path): read it again.
  void invalidateFormats();

 private:
  void producerMain(VideoFormat format, REFERENCE_TIME interval);
  REFERENCE_TIME streamNowLocked();
  void endStream(const std::string& why);
  void stopProducer();

  std::unique_ptr<CaptureDevice> device_;
  std::string name_;
  CapturePin* capturePin_;
  CapturePin* previewPin_;  // null without a preview pin
  std::atomic<REFERENCE_TIME> interval_{kDefaultFrameInterval};
  std::mutex formatsLock_;
  std::vector<VideoFormat> formats_;  // cached from the device
  bool formatsRead_ = false;
  VideoFormat preferred_{};

  std::mutex shelfLock_;
  std::condition_variable shelfChanged_;
  std::thread producer_;
  bool quit_ = false;
  bool running_ = false;
  bool ending_ = false;    // the stream ends (stop or device lost)
  bool stopping_ = false;  // a stop is under way
  Frame latest_{0, 0, 0, 0};
  ComPtr<IReferenceClock> runClock_;
  REFERENCE_TIME runStart_ = 0;
  REFERENCE_TIME monotonicBase_ = 0;
  std::atomic<bool> lost_{false};
  std::atomic<uint64_t> captured_{0};
  std::atomic<uint64_t> dropped_{0};
  std::unique_ptr<CaptureLog> captureLog_;  // POINTSHARE_CAPTURE_LOG, see the source
};
