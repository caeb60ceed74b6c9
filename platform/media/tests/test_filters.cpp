// The media framework's test plug-in module.
#include "platform/media/tests/test_filters.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/module_server.h"
#include "platform/media/device_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
#include "platform/media/results.h"
#include "platform/media/source_filter.h"
#include "platform/media/transform_filter.h"

namespace {

class TestSource;

class TestStream final : public SourceStream {
 public:
  TestStream(TestSource* filter);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;
  bool offersBufferNegotiation() const override { return true; }

 private:
  TestSource* source_;
  uint64_t frame_ = 0;
};

class TestSource final : public SourceFilter, public ITestSource, public IPersistPropertyBag {
 public:
  explicit TestSource(const CLSID& clsid = CLSID_TestSource) : SourceFilter(clsid) {
    addStream(new TestStream(this));
  }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return SourceFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return SourceFilter::AddRef(); }
  ULONG Release() override { return SourceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_ITestSource) return getInterface(static_cast<ITestSource*>(this), object);
    if (iid == IID_IPersistPropertyBag) return getInterface(static_cast<IPersistPropertyBag*>(this), object);
    return SourceFilter::nonDelegatingQueryInterface(iid, object);
  }
  HRESULT GetClassID(CLSID* clsid) override { return SourceFilter::GetClassID(clsid); }
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, void*) override {
    char path[256];
    if (bag && SUCCEEDED(bag->Read("DevicePath", path, sizeof path))) devicePath_ = path;
    return S_OK;
  }
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
  HRESULT GetDevicePath(char* path, ULONG size) override {
    if (!path || size == 0) return E_POINTER;
    std::snprintf(path, size, "%s", devicePath_.c_str());
    return S_OK;
  }
  std::string devicePath_;

  HRESULT SetFormat(LONG width, LONG height, LONG bitCount) override {
    if (width <= 0 || height == 0 || (bitCount != 24 && bitCount != 32)) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (streams_[0]->isConnected()) return VFW_E_ALREADY_CONNECTED;
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    return S_OK;
  }
  HRESULT SetFrameCount(ULONG frames) override {
    frameCount_ = frames;
    return S_OK;
  }
  HRESULT SetFrameInterval(REFERENCE_TIME interval) override {
    if (interval < 0) return E_INVALIDARG;
    interval_ = interval;
    return S_OK;
  }
  HRESULT SetSolidColor(BOOL enable, uint8_t r, uint8_t g, uint8_t b) override {
    solid_ = enable != 0;
    color_[0] = b;  // frames hold B, G, R
    color_[1] = g;
    color_[2] = r;
    return S_OK;
  }
  HRESULT GetFramesSent(uint64_t* frames) override {
    if (!frames) return E_POINTER;
    *frames = sent_.load();
    return S_OK;
  }
  HRESULT SetBufferCount(LONG buffers) override {
    if (buffers <= 0) return E_INVALIDARG;
    buffers_ = buffers;
    return S_OK;
  }

  MediaType makeType() const {
    VideoInfoHeader vih;
    vih.bmi.width = width_;
    vih.bmi.height = height_;
    vih.bmi.bitCount = static_cast<uint16_t>(bitCount_);
    vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
    vih.source = {0, 0, width_, height_ < 0 ? -height_ : height_};
    vih.avgTimePerFrame = interval_;
    MediaType mt(MEDIATYPE_Video, subtypeFromBitmapHeader(vih.bmi), FORMAT_VideoInfo);
    mt.setFormat(makeVideoInfoBlock(vih));
    mt.setSampleSize(vih.bmi.sizeImage);
    return mt;
  }

  LONG width_ = 64, height_ = 48, bitCount_ = 24, buffers_ = 2;
  std::atomic<ULONG> frameCount_{0};
  std::atomic<REFERENCE_TIME> interval_{0};
  std::atomic<bool> solid_{false};
  uint8_t color_[3] = {0, 0, 0};
  std::atomic<uint64_t> sent_{0};
};

TestStream::TestStream(TestSource* filter) : SourceStream(filter, u"Out"), source_(filter) {}

HRESULT TestStream::checkMediaType(const MediaType& mt) {
  return mt == source_->makeType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestStream::getMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = source_->makeType();
  return S_OK;
}

HRESULT TestStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  LONG size = static_cast<LONG>(currentMediaType().sampleSize());
  ALLOCATOR_PROPERTIES props{source_->buffers_, size, 16, 0};
  if (suggestedProperties().cBuffers > 0) props.cBuffers = suggestedProperties().cBuffers;
  if (request->cBuffers > props.cBuffers) props.cBuffers = request->cBuffers;
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT TestStream::onThreadStart() {
  frame_ = 0;
  return S_OK;
}

HRESULT TestStream::fillBuffer(IMediaSample* sample) {
  ULONG limit = source_->frameCount_.load();
  if (limit && frame_ >= limit) return S_FALSE;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  LONG size = static_cast<LONG>(currentMediaType().sampleSize());
  if (source_->solid_) {
    int bytes = source_->bitCount_ / 8;
    for (LONG i = 0; i + bytes <= size; i += bytes) std::memcpy(data + i, source_->color_, 3);
  } else {
    for (int i = 0; i < 8; ++i) data[i] = static_cast<uint8_t>(frame_ >> (8 * i));
    data[8] = 0;
  }
  sample->SetActualDataLength(size);
  REFERENCE_TIME interval = source_->interval_.load();
  if (interval > 0) {
    REFERENCE_TIME start = REFERENCE_TIME(frame_) * interval, stop = start + interval;
    sample->SetTime(&start, &stop);
  }
  int64_t ms = static_cast<int64_t>(frame_), me = ms + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(frame_ == 0);
  ++frame_;
  source_->sent_.fetch_add(1);
  return S_OK;
}

class TestInPlace final : public TransformInPlaceFilter, public ITestInPlace {
 public:
  TestInPlace() : TransformInPlaceFilter(CLSID_TestInPlace) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return TransformInPlaceFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return TransformInPlaceFilter::AddRef(); }
  ULONG Release() override { return TransformInPlaceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_ITestInPlace) return getInterface(static_cast<ITestInPlace*>(this), object);
    return TransformInPlaceFilter::nonDelegatingQueryInterface(iid, object);
  }
  HRESULT checkInputType(const MediaType& mt) override {
    return mt.majortype() == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  using TransformInPlaceFilter::transform;
  HRESULT transform(IMediaSample* sample) override {
    uint8_t* data = nullptr;
    sample->GetPointer(&data);
    if (sample->GetActualDataLength() > 8) data[8] = static_cast<uint8_t>(data[8] + 1);
    seen_.fetch_add(1);
    return S_OK;
  }
  HRESULT GetSamplesSeen(uint64_t* samples) override {
    if (!samples) return E_POINTER;
    *samples = seen_.load();
    return S_OK;
  }

 private:
  std::atomic<uint64_t> seen_{0};
};

class TestCopy final : public TransformFilter {
 public:
  TestCopy() : TransformFilter(CLSID_TestCopy) {}
  HRESULT checkInputType(const MediaType& mt) override {
    return mt.majortype() == MEDIATYPE_Video && mt.formattype() == FORMAT_VideoInfo ? S_OK
                                                                                    : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override {
    return in == out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT getMediaType(int position, MediaType* mt) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *mt = inputPin()->currentMediaType();
    return S_OK;
  }
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
    LONG size = static_cast<LONG>(inputPin()->currentMediaType().sampleSize());
    return setAllocatorProperties(allocator, {1, size, 1, 0}, 1, size);
  }
  HRESULT transform(IMediaSample* in, IMediaSample* out) override {
    uint8_t *src = nullptr, *dst = nullptr;
    in->GetPointer(&src);
    out->GetPointer(&dst);
    LONG n = std::min(in->GetActualDataLength(), out->GetSize());
    std::memcpy(dst, src, n);
    if (n > 8) dst[8] = 7;
    out->SetActualDataLength(n);
    return S_OK;
  }
};

UnknownBase* makeDeviceSource(HRESULT*) {
  return new TestSource(CLSID_TestDeviceSource);
}

const ServerPinType kVideoRgb[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const ServerPinType kVideoAny[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPin kSourcePins[] = {{true, 1, kVideoRgb}};
const ServerPin kInPlacePins[] = {{false, 1, kVideoAny}, {true, 1, kVideoAny}};

const ServerClass kClasses[] = {
    {&CLSID_TestSource, "Test Source", MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 1, kSourcePins,
     createObject<TestSource>},
    {&CLSID_TestInPlace, "Test In Place", 0x300000, nullptr, 2, kInPlacePins, createObject<TestInPlace>},
    {&CLSID_TestCopy, "Test Copy", MERIT_DO_NOT_USE, nullptr, 2, kInPlacePins, createObject<TestCopy>},
    {&CLSID_TestDeviceSource, "Test Devices", MERIT_DO_NOT_USE, &CLSID_AudioInputDeviceCategory, 1,
     kSourcePins, makeDeviceSource},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)

extern "C" __attribute__((visibility("default"))) HRESULT DllEnumerateDevices(const GUID* category,
                                                                              const CLSID* clsid,
                                                                              DeviceFoundFn found,
                                                                              void* context) {
  if (!category || !clsid || !found) return E_POINTER;
  if (*clsid != CLSID_TestDeviceSource || *category != CLSID_AudioInputDeviceCategory) return S_FALSE;
  found(context, "Test Device A", "/dev/test-a");
  found(context, "Test Device B", "/dev/test-b");
  return S_OK;
}
