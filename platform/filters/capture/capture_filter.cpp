#include "platform/filters/capture/capture_filter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/com/log.h"
#include "platform/media/clock.h"
#include "platform/media/guids.h"
#include "platform/media/pin_category.h"
#include "platform/media/results.h"

namespace {

constexpr LONG kDefaultBuffers = 3;

}  // namespace

// ---------------------------------------------------------------- CapturePin

// With POINTSHARE_CAPTURE_LOG=FILE set, every grabbed frame is noted there
// as "<frame number> <CLOCK_MONOTONIC ns>", so that a measurement outside
// the process can time each picture from its capture on. A grabbed frame
// the capture pin never took (its thread was busy and took a newer one) is
// noted once more with 0: it was never sent on, like a slot dropped late.
class CaptureLog {
 public:
  CaptureLog() {
    const char* path = std::getenv("POINTSHARE_CAPTURE_LOG");
    if (path && *path && (file_ = std::fopen(path, "a"))) std::setvbuf(file_, nullptr, _IOLBF, 0);
  }
  ~CaptureLog() {
    if (file_) std::fclose(file_);
  }
  CaptureLog(const CaptureLog&) = delete;
  CaptureLog& operator=(const CaptureLog&) = delete;
  void note(uint64_t frame) {
    if (!file_) return;
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    std::fprintf(file_, "%llu %lld\n", static_cast<unsigned long long>(frame),
                 static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec);
  }
  // Frames [first, end) that were not taken.
  void noteNotTaken(uint64_t first, uint64_t end) {
    if (!file_) return;
    for (uint64_t f = first; f < end; ++f) std::fprintf(file_, "%llu 0\n", static_cast<unsigned long long>(f));
  }

 private:
  FILE* file_ = nullptr;
};


CapturePin::CapturePin(CaptureFilter* filter, const char16_t* name, const GUID& category)
    : SourceStream(filter, name), capture_(filter), category_(category) {}

HRESULT CapturePin::checkMediaType(const MediaType& mt) {
  VideoFormat f;
  if (!videoFormatOf(mt.get(), &f)) return VFW_E_TYPE_NOT_ACCEPTED;
  std::vector<VideoFormat> offered = capture_->offeredFormats();
  return std::find(offered.begin(), offered.end(), f) != offered.end() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CapturePin::getMediaType(int position, MediaType* mt) {
  std::vector<VideoFormat> offered = capture_->offeredFormats();
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int>(offered.size())) return VFW_S_NO_MORE_ITEMS;
  *mt = videoFormatMediaType(offered[size_t(position)], capture_->frameInterval());
  return S_OK;
}

HRESULT CapturePin::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  VideoFormat f;
  if (!format(&f)) return VFW_E_NOT_CONNECTED;
  LONG size = static_cast<LONG>(pictureBytes(f));
  ALLOCATOR_PROPERTIES props{kDefaultBuffers, size, 1, 0};
  if (request) {
    props.cBuffers = std::max(props.cBuffers, request->cBuffers);
    props.cbAlign = std::max<LONG>(1, request->cbAlign);
    props.cbPrefix = std::max<LONG>(0, request->cbPrefix);
  }
  // What was suggested through IAMBufferNegotiation wins where it is usable.
  const ALLOCATOR_PROPERTIES& s = suggestedProperties();
  if (s.cBuffers > 0) props.cBuffers = s.cBuffers;
  if (s.cbBuffer > size) props.cbBuffer = s.cbBuffer;
  if (s.cbAlign > 0) props.cbAlign = s.cbAlign;
  if (s.cbPrefix > 0) props.cbPrefix = s.cbPrefix;
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT CapturePin::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IKsPropertySet) {
    AddRef();
    *object = static_cast<IKsPropertySet*>(this);
    return S_OK;
  }
  return SourceStream::queryPinInterface(iid, object);
}

bool CapturePin::format(VideoFormat* f) const {
  return isConnected() && videoFormatOf(currentMediaType().get(), f);
}

HRESULT CapturePin::onThreadStart() {
  lastSeq_ = 0;
  return S_OK;
}

HRESULT CapturePin::fillBuffer(IMediaSample* sample) {
  CaptureFilter::Frame frame;
  // The stream ends (end of stream downstream) on stop or when the device is gone.
  if (!capture_->waitFrame(lastSeq_, &frame)) return S_FALSE;
  if (category_ == PIN_CATEGORY_CAPTURE && lastSeq_ != 0 && frame.seq > lastSeq_ + 1) {
    capture_->countDropped(frame.seq - lastSeq_ - 1);
    capture_->noteNotTaken(lastNumber_ + 1, frame.number);
  }
  VideoFormat f;
  uint8_t* data = nullptr;
  if (!format(&f) || FAILED(sample->GetPointer(&data)) || !data) return E_UNEXPECTED;
  size_t bytes = pictureBytes(f);
  if (sample->GetSize() < static_cast<LONG>(bytes)) return VFW_E_BUFFER_OVERFLOW;
  if (!capture_->copyFrame(frame, f, data, bytes)) return E_FAIL;
  sample->SetActualDataLength(static_cast<LONG>(bytes));
  sample->SetTime(&frame.start, &frame.stop);
  int64_t ms = static_cast<int64_t>(frame.number), me = ms + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(lastSeq_ == 0);
  lastSeq_ = frame.seq;
  lastNumber_ = frame.number;
  return S_OK;
}

HRESULT CapturePin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
  return pinCategorySet(set);
}

HRESULT CapturePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength, DWORD* returned) {
  return pinCategoryGet(category_, set, id, data, dataLength, returned);
}

HRESULT CapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  return pinCategoryQuerySupported(set, id, support);
}

// ------------------------------------------------------------- CaptureFilter

CaptureFilter::CaptureFilter(const CLSID& clsid, std::unique_ptr<CaptureDevice> device, std::string name,
                             bool withPreview)
    : SourceFilter(clsid), device_(std::move(device)), name_(std::move(name)),
      captureLog_(std::make_unique<CaptureLog>()) {
  capturePin_ = new CapturePin(this, u"Capture", PIN_CATEGORY_CAPTURE);
  previewPin_ = withPreview ? new CapturePin(this, u"Preview", PIN_CATEGORY_PREVIEW) : nullptr;
  addStream(capturePin_);
  if (previewPin_) addStream(previewPin_);
}

CaptureFilter::~CaptureFilter() {
  stopProducer();
}

HRESULT CaptureFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IVideoCaptureControl) return getInterface(static_cast<IVideoCaptureControl*>(this), object);
  if (iid == IID_IAMAnalogVideoDecoder)
    return getInterface(static_cast<IAMAnalogVideoDecoder*>(this), object);
  return SourceFilter::nonDelegatingQueryInterface(iid, object);
}

std::vector<VideoFormat> CaptureFilter::offeredFormats() {
  std::lock_guard<std::mutex> g(formatsLock_);
  if (!formatsRead_) {
    formats_ = device_->formats();
    formatsRead_ = true;
  }
  std::vector<VideoFormat> out = formats_;
  auto it = std::find(out.begin(), out.end(), preferred_);
  if (it != out.end()) std::rotate(out.begin(), it, it + 1);
  return out;
}

void CaptureFilter::invalidateFormats() {
  std::lock_guard<std::mutex> g(formatsLock_);
  formatsRead_ = false;
}

HRESULT CaptureFilter::Pause() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    VideoFormat primary;
    bool any = capturePin_->format(&primary) || (previewPin_ && previewPin_->format(&primary));
    stopProducer();
    {
      std::lock_guard<std::mutex> s(shelfLock_);
      quit_ = false;
      running_ = false;
      ending_ = false;
      stopping_ = false;
      latest_ = {0, 0, 0, 0};
      runClock_.reset();
    }
    lost_ = false;
    captured_ = 0;
    dropped_ = 0;
    if (any) {
      REFERENCE_TIME interval = interval_.load();
      producer_ = std::thread([this, primary, interval] { producerMain(primary, interval); });
    }
  } else if (state_ == State_Running) {
    std::lock_guard<std::mutex> s(shelfLock_);
    running_ = false;
  }
  return SourceFilter::Pause();
}

HRESULT CaptureFilter::Run(REFERENCE_TIME start) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  HRESULT hr = SourceFilter::Run(start);
  if (FAILED(hr)) return hr;
  {
    std::lock_guard<std::mutex> s(shelfLock_);
    runClock_ = ComPtr<IReferenceClock>(clock_);
    runStart_ = start;
    if (!runClock_ && monotonicBase_ == 0) monotonicBase_ = monotonicTime100ns();
    running_ = true;
  }
  shelfChanged_.notify_all();
  return hr;
}

HRESULT CaptureFilter::Stop() {
  {
    std::lock_guard<std::mutex> s(shelfLock_);
    ending_ = true;
    stopping_ = true;
  }
  shelfChanged_.notify_all();
  stopProducer();
  HRESULT hr = SourceFilter::Stop();
  std::lock_guard<std::mutex> s(shelfLock_);
  runClock_.reset();
  monotonicBase_ = 0;
  return hr;
}

void CaptureFilter::stopProducer() {
  {
    std::lock_guard<std::mutex> s(shelfLock_);
    quit_ = true;
  }
  shelfChanged_.notify_all();
  if (producer_.joinable()) producer_.join();
}

REFERENCE_TIME CaptureFilter::streamNowLocked() {
  REFERENCE_TIME now = 0;
  if (runClock_ && SUCCEEDED(runClock_->GetTime(&now))) return now - runStart_;
  return monotonicTime100ns() - monotonicBase_;
}

void CaptureFilter::endStream(const std::string& why) {
  platformLog(PlatformLogLevel::Error, "capture device \"%s\": %s; capture stopped", name_.c_str(),
              why.c_str());
  lost_ = true;
  {
    std::lock_guard<std::mutex> s(shelfLock_);
    ending_ = true;
  }
  shelfChanged_.notify_all();
}


void CaptureFilter::producerMain(VideoFormat format, REFERENCE_TIME interval) {
  std::string error;
  if (!device_->open(format, interval, &error)) {
    endStream("cannot start " + describeVideoFormat(format) + " (" + error + ")");
    return;
  }
  const bool paced = device_->pacedByClock();
  uint64_t slot = 0;
  for (;;) {
    REFERENCE_TIME now;
    {
      std::unique_lock<std::mutex> s(shelfLock_);
      shelfChanged_.wait(s, [&] { return quit_ || running_; });
      if (quit_) break;
      now = streamNowLocked();
      if (paced) {
        REFERENCE_TIME due = REFERENCE_TIME(slot) * interval;
        if (now < due) {
          auto wait = std::chrono::microseconds(std::min<REFERENCE_TIME>((due - now) / 10 + 1, 20000));
          shelfChanged_.wait_for(s, wait);
          continue;
        }
        // Slots that passed while this thread was late are dropped.
        uint64_t current = static_cast<uint64_t>(now / interval);
        if (current > slot) {
          dropped_.fetch_add(current - slot);
          slot = current;
        }
      }
    }
    GrabResult r = device_->grab(slot, &error);
    if (r == GrabResult::Lost) {
      endStream(error);
      break;
    }
    if (r == GrabResult::NoFrame) {
      // A clock-paced device that has nothing now gives up this slot.
      if (paced) {
        dropped_.fetch_add(1);
        ++slot;
      }
      continue;
    }
    {
      std::lock_guard<std::mutex> s(shelfLock_);
      REFERENCE_TIME start = paced ? REFERENCE_TIME(slot) * interval : now;
      latest_ = {latest_.seq + 1, slot, start, start + interval};
    }
    captureLog_->note(slot);
    captured_.fetch_add(1);
    shelfChanged_.notify_all();
    ++slot;
  }
  device_->close();
}

void CaptureFilter::noteNotTaken(uint64_t first, uint64_t end) { captureLog_->noteNotTaken(first, end); }

bool CaptureFilter::waitFrame(uint64_t after, Frame* frame) {
  std::unique_lock<std::mutex> s(shelfLock_);
  shelfChanged_.wait(s, [&] { return ending_ || latest_.seq > after; });
  // After a device loss the last frame is still delivered; a stop ends at once.
  if (stopping_ || latest_.seq <= after) return false;
  *frame = latest_;
  return true;
}

bool CaptureFilter::copyFrame(const Frame& frame, const VideoFormat& f, uint8_t* dst, size_t size) {
  return device_->copyFrame(frame.number, f, dst, size);
}

HRESULT CaptureFilter::GetFormatCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = static_cast<LONG>(offeredFormats().size());
  return S_OK;
}

HRESULT CaptureFilter::GetFormat(LONG index, AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  std::vector<VideoFormat> offered = offeredFormats();
  if (index < 0 || index >= static_cast<LONG>(offered.size())) return E_INVALIDARG;
  MediaType type = videoFormatMediaType(offered[size_t(index)], interval_.load());
  return CopyMediaType(mt, type.ptr());
}

HRESULT CaptureFilter::SetFormat(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  VideoFormat f;
  if (!videoFormatOf(*mt, &f)) return VFW_E_TYPE_NOT_ACCEPTED;
  std::vector<VideoFormat> offered = offeredFormats();
  if (std::find(offered.begin(), offered.end(), f) == offered.end()) return VFW_E_TYPE_NOT_ACCEPTED;
  std::lock_guard<std::mutex> g(formatsLock_);
  preferred_ = f;
  return S_OK;
}

HRESULT CaptureFilter::SetFrameInterval(REFERENCE_TIME interval) {
  interval_ = clampFrameInterval(interval);
  return S_OK;
}

HRESULT CaptureFilter::GetFrameInterval(REFERENCE_TIME* interval) {
  if (!interval) return E_POINTER;
  *interval = interval_.load();
  return S_OK;
}

HRESULT CaptureFilter::GetStatistics(uint64_t* captured, uint64_t* dropped) {
  if (captured) *captured = captured_.load();
  if (dropped) *dropped = dropped_.load();
  return S_OK;
}

HRESULT CaptureFilter::GetDeviceName(char* name, ULONG size) {
  if (!name || size == 0) return E_POINTER;
  std::snprintf(name, size, "%s", name_.c_str());
  return S_OK;
}

HRESULT CaptureFilter::IsDeviceLost(BOOL* lost) {
  if (!lost) return E_POINTER;
  *lost = lost_.load() ? TRUE : FALSE;
  return S_OK;
}

HRESULT CaptureFilter::get_AvailableTVFormats(LONG* formats) {
  if (!formats) return E_POINTER;
  *formats = static_cast<LONG>(device_->tvFormats());
  return S_OK;
}
