// The test plug-in holding the queue source (see queue_source.h).
#include "filters/loupex/tests/queue_source.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/com/module_server.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"
#include "platform/media/source_filter.h"

namespace {

class QueueSource;

class QueueStream final : public SourceStream {
 public:
  explicit QueueStream(QueueSource* filter);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;
  HRESULT active() override;

 private:
  QueueSource* source_;
  int64_t number_ = 0;
};

class QueueSource final : public SourceFilter, public ITestQueueSource {
 public:
  QueueSource() : SourceFilter(CLSID_TestQueueSource) { addStream(new QueueStream(this)); }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return SourceFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return SourceFilter::AddRef(); }
  ULONG Release() override { return SourceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_ITestQueueSource) return getInterface(static_cast<ITestQueueSource*>(this), object);
    return SourceFilter::nonDelegatingQueryInterface(iid, object);
  }

  HRESULT SetType(const AM_MEDIA_TYPE* mt, LONG bufferSize) override {
    if (!mt || bufferSize < 0) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (streams_[0]->isConnected()) return VFW_E_ALREADY_CONNECTED;
    type_ = MediaType(*mt);
    bufferSize_ = bufferSize;
    return S_OK;
  }
  HRESULT Queue(const uint8_t* data, LONG length) override {
    if ((!data && length > 0) || length < 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> g(queueLock_);
    queue_.emplace_back(data, data + length);
    wake_.notify_all();
    return S_OK;
  }
  HRESULT GetDelivered(uint64_t* count) override {
    if (!count) return E_POINTER;
    std::lock_guard<std::mutex> g(queueLock_);
    *count = delivered_;
    return S_OK;
  }
  HRESULT WaitDelivered(uint64_t count, ULONG timeoutMs) override {
    std::unique_lock<std::mutex> g(queueLock_);
    return wake_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return delivered_ >= count; })
               ? S_OK
               : S_FALSE;
  }

  HRESULT Stop() override {
    {
      std::lock_guard<std::mutex> g(queueLock_);
      stopping_ = true;
      wake_.notify_all();
    }
    return SourceFilter::Stop();
  }

  LONG bufferSize() const { return bufferSize_ > 0 ? bufferSize_ : std::max<LONG>(1, type_.sampleSize()); }

  MediaType type_{MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None};
  LONG bufferSize_ = 0;
  std::mutex queueLock_;
  std::condition_variable wake_;
  std::deque<std::vector<uint8_t>> queue_;
  bool stopping_ = false;
  uint64_t delivered_ = 0;
};

QueueStream::QueueStream(QueueSource* filter) : SourceStream(filter, u"Out"), source_(filter) {}

HRESULT QueueStream::checkMediaType(const MediaType& mt) {
  return mt == source_->type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT QueueStream::getMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = source_->type_;
  return S_OK;
}

HRESULT QueueStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  LONG size = source_->bufferSize();
  ALLOCATOR_PROPERTIES props{std::max<LONG>(2, request->cBuffers), size, 1, 0};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT QueueStream::onThreadStart() {
  number_ = 0;
  return S_OK;
}

HRESULT QueueStream::active() {
  {
    std::lock_guard<std::mutex> g(source_->queueLock_);
    source_->stopping_ = false;
  }
  return SourceStream::active();
}

HRESULT QueueStream::fillBuffer(IMediaSample* sample) {
  std::vector<uint8_t> bytes;
  {
    std::unique_lock<std::mutex> g(source_->queueLock_);
    // A sample filled here is counted as delivered when the next one is
    // asked for, that is once the downstream Receive has returned.
    if (number_ > 0) {
      ++source_->delivered_;
      source_->wake_.notify_all();
    }
    source_->wake_.wait(g, [&] { return source_->stopping_ || !source_->queue_.empty(); });
    if (source_->stopping_) return S_FALSE;
    bytes = std::move(source_->queue_.front());
    source_->queue_.pop_front();
  }
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  LONG n = std::min<LONG>(static_cast<LONG>(bytes.size()), sample->GetSize());
  if (n > 0) std::memcpy(data, bytes.data(), n);
  sample->SetActualDataLength(n);
  REFERENCE_TIME start = number_, stop = number_ + 1;
  sample->SetTime(&start, &stop);
  int64_t ms = number_, me = number_ + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(number_ == 0);
  ++number_;
  return S_OK;
}

const ServerPinType kAny[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kPins[] = {{true, 1, kAny}};
const ServerClass kClasses[] = {
    {&CLSID_TestQueueSource, "Test Queue Source", MERIT_DO_NOT_USE, nullptr, 1, kPins,
     createObject<QueueSource>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
