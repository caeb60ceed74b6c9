#include "platform/media/allocator.h"

#include <cstdlib>
#include <cstring>

#include "platform/com/log.h"
#include "platform/media/results.h"

MediaSample::MediaSample(MemAllocator* owner, uint8_t* buffer, LONG size)
    : owner_(owner), buffer_(buffer), size_(size) {}

MediaSample::~MediaSample() {
  DeleteMediaType(type_);
}

HRESULT MediaSample::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMediaSample) {
    AddRef();
    *object = static_cast<IMediaSample*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MediaSample::AddRef() {
  return refs_.fetch_add(1) + 1;
}

ULONG MediaSample::Release() {
  ULONG left = refs_.fetch_sub(1) - 1;
  if (left == 0) owner_->ReleaseBuffer(this);
  return left;
}

void MediaSample::resetProperties() {
  actual_ = 0;
  timeValid_ = stopValid_ = mediaTimeValid_ = false;
  sync_ = preroll_ = discontinuity_ = false;
  if (type_) {
    DeleteMediaType(type_);
    type_ = nullptr;
  }
}

HRESULT MediaSample::GetPointer(uint8_t** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = buffer_;
  return S_OK;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (!timeValid_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (start) *start = start_;
  if (!stopValid_) {
    if (stop) *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  if (stop) *stop = stop_;
  return S_OK;
}

HRESULT MediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
  timeValid_ = start != nullptr;
  stopValid_ = start != nullptr && stop != nullptr;
  if (start) start_ = *start;
  if (stopValid_) stop_ = *stop;
  return S_OK;
}

HRESULT MediaSample::SetSyncPoint(BOOL sync) {
  sync_ = sync != 0;
  return S_OK;
}

HRESULT MediaSample::SetPreroll(BOOL preroll) {
  preroll_ = preroll != 0;
  return S_OK;
}

HRESULT MediaSample::SetDiscontinuity(BOOL discontinuity) {
  discontinuity_ = discontinuity != 0;
  return S_OK;
}

HRESULT MediaSample::SetActualDataLength(LONG length) {
  if (length < 0) return E_INVALIDARG;
  if (length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  *mt = nullptr;
  if (!type_) return S_FALSE;
  *mt = CreateMediaType(type_);
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(const AM_MEDIA_TYPE* mt) {
  DeleteMediaType(type_);
  type_ = nullptr;
  if (!mt) return S_OK;
  type_ = CreateMediaType(mt);
  return type_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::GetMediaTime(int64_t* start, int64_t* stop) {
  if (!mediaTimeValid_) return VFW_E_MEDIA_TIME_NOT_SET;
  if (start) *start = mediaStart_;
  if (stop) *stop = mediaStop_;
  return S_OK;
}

HRESULT MediaSample::SetMediaTime(const int64_t* start, const int64_t* stop) {
  if (!start || !stop) {
    mediaTimeValid_ = false;
    return S_OK;
  }
  mediaStart_ = *start;
  mediaStop_ = *stop;
  mediaTimeValid_ = true;
  return S_OK;
}

MemAllocator::MemAllocator() = default;

MemAllocator::~MemAllocator() {
  for (MediaSample* s : all_) delete s;
  std::free(memory_);
}

IMemAllocator* MemAllocator::create() {
  auto* a = new MemAllocator;
  a->AddRef();
  return a;
}

HRESULT MemAllocator::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IMemAllocator)
    return getInterface(static_cast<IMemAllocator*>(this), object);
  return E_NOINTERFACE;
}

HRESULT MemAllocator::SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  std::lock_guard<std::mutex> g(lock_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (free_.size() != all_.size()) return VFW_E_BUFFERS_OUTSTANDING;
  LONG align = request->cbAlign <= 0 ? 1 : request->cbAlign;
  if ((align & (align - 1)) != 0) {
    platformLog(PlatformLogLevel::Warn, "allocator: alignment %d is not a power of two", request->cbAlign);
    return VFW_E_BADALIGN;
  }
  if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
  // Each buffer and its prefix are rounded up to the alignment, so that the
  // data pointer of every sample is aligned.
  int64_t slot = (int64_t(request->cbPrefix) + align - 1) / align * align +
                 (int64_t(request->cbBuffer) + align - 1) / align * align;
  if (slot * request->cBuffers > kMaxTotalBytes) {
    platformLog(PlatformLogLevel::Warn, "allocator: %d buffers of %d bytes exceed the limit",
                request->cBuffers, request->cbBuffer);
    return E_OUTOFMEMORY;
  }
  props_ = *request;
  props_.cbAlign = align;
  propsSet_ = true;
  *actual = props_;
  return S_OK;
}

HRESULT MemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard<std::mutex> g(lock_);
  *props = props_;
  return S_OK;
}

HRESULT MemAllocator::Commit() {
  std::lock_guard<std::mutex> g(lock_);
  if (committed_) return S_OK;
  if (!propsSet_ || props_.cBuffers <= 0 || props_.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  if (!memory_) {
    // Buffers still out from an earlier commit are waited for by the free list.
    if (free_.size() != all_.size()) return VFW_E_BUFFERS_OUTSTANDING;
    for (MediaSample* s : all_) delete s;
    all_.clear();
    free_.clear();
    size_t align = static_cast<size_t>(props_.cbAlign);
    size_t prefix = (size_t(props_.cbPrefix) + align - 1) / align * align;
    size_t slot = prefix + (size_t(props_.cbBuffer) + align - 1) / align * align;
    size_t total = slot * props_.cBuffers;
    // aligned_alloc wants a size that is a multiple of the alignment.
    size_t blockAlign = align < alignof(std::max_align_t) ? alignof(std::max_align_t) : align;
    memory_ = static_cast<uint8_t*>(
        std::aligned_alloc(blockAlign, (total + blockAlign - 1) / blockAlign * blockAlign));
    if (!memory_) return E_OUTOFMEMORY;
    all_.reserve(props_.cBuffers);
    free_.reserve(props_.cBuffers);
    for (LONG i = 0; i < props_.cBuffers; ++i) {
      // The prefix lies just before the (aligned) pointer the sample hands out.
      uint8_t* data = memory_ + i * slot + prefix;
      auto* s = new MediaSample(this, data, props_.cbBuffer);
      all_.push_back(s);
      free_.push_back(s);
    }
  }
  committed_ = true;
  return S_OK;
}

HRESULT MemAllocator::Decommit() {
  std::lock_guard<std::mutex> g(lock_);
  if (!committed_) return S_OK;
  committed_ = false;
  freed_.notify_all();
  if (free_.size() == all_.size()) freeMemory();
  return S_OK;
}

void MemAllocator::freeMemory() {
  for (MediaSample* s : all_) delete s;
  all_.clear();
  free_.clear();
  std::free(memory_);
  memory_ = nullptr;
}

HRESULT MemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  std::unique_lock<std::mutex> g(lock_);
  for (;;) {
    if (!committed_) return VFW_E_NOT_COMMITTED;
    if (!free_.empty()) break;
    if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
    freed_.wait(g);
  }
  MediaSample* s = free_.back();
  free_.pop_back();
  s->refs_.store(1);
  g.unlock();
  AddRef();  // an outstanding sample keeps its allocator
  *sample = s;
  return S_OK;
}

HRESULT MemAllocator::ReleaseBuffer(IMediaSample* sample) {
  auto* s = static_cast<MediaSample*>(sample);
  {
    std::lock_guard<std::mutex> g(lock_);
    s->resetProperties();
    free_.push_back(s);
    if (!committed_ && free_.size() == all_.size())
      freeMemory();
    else
      freed_.notify_one();
  }
  Release();
  return S_OK;
}
