// Samples and the memory allocator. The allocator owns a fixed set of
// buffers (count, size, alignment, prefix) made at Commit; GetBuffer hands
// out a free sample (waiting for one unless AM_GBF_NOWAIT), and the sample
// goes back to the free list when its last reference is released. Nothing is
// allocated per sample in steady state.
#pragma once
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/pin_interfaces.h"

class MemAllocator;

class MediaSample final : public IMediaSample {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetPointer(uint8_t** buffer) override;
  LONG GetSize() override { return size_; }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(BOOL sync) override;
  HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(BOOL preroll) override;
  LONG GetActualDataLength() override { return actual_; }
  HRESULT SetActualDataLength(LONG length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** mt) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
  HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(BOOL discontinuity) override;
  HRESULT GetMediaTime(int64_t* start, int64_t* stop) override;
  HRESULT SetMediaTime(const int64_t* start, const int64_t* stop) override;

 private:
  friend class MemAllocator;
  MediaSample(MemAllocator* owner, uint8_t* buffer, LONG size);
  ~MediaSample();
  void resetProperties();

  MemAllocator* owner_;
  uint8_t* buffer_;
  LONG size_;
  std::atomic<ULONG> refs_{0};
  LONG actual_ = 0;
  bool timeValid_ = false, stopValid_ = false, mediaTimeValid_ = false;
  bool sync_ = false, preroll_ = false, discontinuity_ = false;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  int64_t mediaStart_ = 0, mediaStop_ = 0;
  AM_MEDIA_TYPE* type_ = nullptr;
};

class MemAllocator : public IMemAllocator, public UnknownBase {
 public:
  MemAllocator();
  ~MemAllocator() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

  // New allocator with one reference.
  static IMemAllocator* create();
  // Largest total buffer memory one allocator accepts.
  static constexpr int64_t kMaxTotalBytes = int64_t(1) << 30;

 private:
  void freeMemory();  // caller holds lock_, all samples free

  std::mutex lock_;
  std::condition_variable freed_;
  ALLOCATOR_PROPERTIES props_{0, 0, 1, 0};
  bool propsSet_ = false;
  bool committed_ = false;
  uint8_t* memory_ = nullptr;
  std::vector<MediaSample*> all_;
  std::vector<MediaSample*> free_;
};
