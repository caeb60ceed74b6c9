// The multicast filter tests' plug-in module: the pattern source.
#include "filters/ostrel/tests/pattern_source.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "filters/mediaclass/mediaclass.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"
#include "platform/media/source_filter.h"

namespace {

class PatternSource;

class PatternStream final : public SourceStream {
 public:
  explicit PatternStream(PatternSource* owner);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override {
    frame_ = 0;
    next_ = std::chrono::steady_clock::now();
    return S_OK;
  }

 private:
  PatternSource* owner_;
  uint64_t frame_ = 0;
  std::chrono::steady_clock::time_point next_;
};

class PatternSource final : public SourceFilter, public IPatternSource {
 public:
  PatternSource() : SourceFilter(CLSID_PatternSource) {
    codes_.videoFormat = VideoFormat_RGB24;
    codes_.resolution = Resolution_QCIF;
    codes_.buildMediaType();
    addStream(new PatternStream(this));
  }
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IPatternSource) return getInterface(static_cast<IPatternSource*>(this), object);
    return SourceFilter::nonDelegatingQueryInterface(iid, object);
  }

  HRESULT SetType(int kind, int videoFormat, int resolution, int audioFormat, int frequency, int channels,
                  int bitCount) override {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (streams_[0]->isConnected()) return VFW_E_ALREADY_CONNECTED;
    MediaClassification c;
    c.kind = kind;
    c.videoFormat = videoFormat;
    c.resolution = resolution;
    c.audioFormat = audioFormat;
    c.frequency = frequency;
    c.channels = channels;
    c.bitCount = bitCount;
    if (kind == MediaKind_Unknown || !c.buildMediaType()) return E_INVALIDARG;
    codes_ = c;
    return S_OK;
  }
  HRESULT SetFrameCount(uint32_t frames) override {
    frames_ = frames;
    return S_OK;
  }
  HRESULT SetFrameInterval(int64_t interval) override {
    interval_ = interval;
    return S_OK;
  }
  HRESULT SetTimeMode(int mode) override {
    timeMode_ = mode;
    return S_OK;
  }
  HRESULT GetFramesSent(uint64_t* frames) override {
    if (!frames) return E_POINTER;
    *frames = sent_.load();
    return S_OK;
  }
  HRESULT SetHold(BOOL hold) override {
    hold_ = hold != 0;
    return S_OK;
  }
  HRESULT SetDataLength(uint32_t bytes) override {
    dataLength_ = bytes;
    return S_OK;
  }
  HRESULT SetSendHook(void (*hook)(void*, uint64_t), void* context) override {
    hookContext_ = context;
    hook_ = hook;
    return S_OK;
  }

  HRESULT SetLightFill(BOOL light) override {
    light_ = light != 0;
    return S_OK;
  }

  MediaType type() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return codes_.mediaType();
  }

  MediaClassification codes_;
  std::atomic<uint32_t> frames_{0};
  std::atomic<int64_t> interval_{0};
  std::atomic<int> timeMode_{PatternTimes_StartStop};
  std::atomic<uint64_t> sent_{0};
  std::atomic<bool> hold_{false};
  std::atomic<uint32_t> dataLength_{1000};
  std::atomic<bool> light_{false};
  std::atomic<void (*)(void*, uint64_t)> hook_{nullptr};
  std::atomic<void*> hookContext_{nullptr};
};

PatternStream::PatternStream(PatternSource* owner) : SourceStream(owner, u"Out"), owner_(owner) {}

HRESULT PatternStream::checkMediaType(const MediaType& mt) {
  return mt == owner_->type() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PatternStream::getMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = owner_->type();
  return S_OK;
}

HRESULT PatternStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
  const MediaType& mt = currentMediaType();
  LONG size = mt.fixedSizeSamples() ? static_cast<LONG>(mt.sampleSize()) : 200000;
  return setAllocatorProperties(allocator, {4, size, 1, 0}, 1, size);
}

HRESULT PatternStream::fillBuffer(IMediaSample* sample) {
  const uint32_t limit = owner_->frames_.load();
  if (limit && frame_ >= limit) return S_FALSE;
  while (owner_->hold_.load() && owner_->state() == State_Running)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const int64_t interval = owner_->interval_.load();
  if (interval > 0) {
    next_ += std::chrono::nanoseconds(interval * 100);
    std::this_thread::sleep_until(next_);
  }
  const MediaType& mt = currentMediaType();
  LONG length = mt.fixedSizeSamples() ? static_cast<LONG>(mt.sampleSize()) : static_cast<LONG>(owner_->dataLength_);
  length = std::min(length, sample->GetSize());
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const LONG fill = owner_->light_.load() ? std::min<LONG>(length, 4) : length;
  for (LONG i = 0; i < fill; ++i) data[i] = patternByte(frame_, static_cast<uint64_t>(i));
  sample->SetActualDataLength(length);
  REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frame_) * interval, stop = start + interval;
  switch (owner_->timeMode_.load()) {
    case PatternTimes_StartStop:
      sample->SetTime(&start, &stop);
      break;
    case PatternTimes_StartOnly:
      sample->SetTime(&start, nullptr);
      break;
    default:
      sample->SetTime(nullptr, nullptr);
  }
  int64_t ms = static_cast<int64_t>(frame_), me = ms + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(frame_ % 2 == 0);
  sample->SetDiscontinuity(frame_ == 0);
  sample->SetPreroll(FALSE);
  if (auto hook = owner_->hook_.load()) hook(owner_->hookContext_.load(), frame_);
  ++frame_;
  owner_->sent_.fetch_add(1);
  return S_OK;
}

const ServerPinType kAnyType[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kPins[] = {{true, 1, kAnyType}};
const ServerClass kClasses[] = {
    {&CLSID_PatternSource, "Pattern Source", MERIT_DO_NOT_USE, nullptr, 1, kPins, createObject<PatternSource>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
