// The outside filters' test module: a push source, capture device stand-ins
// and codec stand-ins (see outside_test_plugin.h).
#include "platform/filters/outside/tests/outside_test_plugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/com/module_server.h"
#include "platform/filters/outside/outside_interfaces.h"
#include "platform/media/base_filter.h"
#include "platform/media/guids.h"
#include "platform/media/pin_category.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

namespace {

std::atomic<int> g_dvDisplay{0};
std::atomic<int> g_codecsCreated{0};

// An output pin that offers one type and takes the buffers suggested to it.
class FixedOutputPin final : public BaseOutputPin {
 public:
  FixedOutputPin(BaseFilter* filter, const char16_t* name, const GUID* category = nullptr)
      : BaseOutputPin(filter, name), category_(category), props_(this) {}
  HRESULT checkMediaType(const MediaType& mt) override { return mt == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
  HRESULT getMediaType(int position, MediaType* mt) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *mt = type;
    return S_OK;
  }
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    LONG size = type.sampleSize() ? LONG(type.sampleSize()) : 4096;
    ALLOCATOR_PROPERTIES props{std::max<LONG>(1, request->cBuffers), size, 1, 0};
    const ALLOCATOR_PROPERTIES& s = suggestedProperties();
    if (s.cBuffers > 0) props.cBuffers = s.cBuffers;
    if (s.cbBuffer > 0) props.cbBuffer = s.cbBuffer;
    if (s.cbAlign > 0) props.cbAlign = s.cbAlign;
    if (s.cbPrefix > 0) props.cbPrefix = s.cbPrefix;
    return setAllocatorProperties(allocator, props, 1, 1);
  }
  bool offersBufferNegotiation() const override { return category_ != nullptr; }
  HRESULT queryPinInterface(REFIID iid, void** object) override {
    if (iid == IID_IKsPropertySet && category_) {
      *object = static_cast<IKsPropertySet*>(&props_);
      AddRef();
      return S_OK;
    }
    return BaseOutputPin::queryPinInterface(iid, object);
  }

  MediaType type;

 private:
  // The pin category, read through IKsPropertySet (its counting goes to the pin).
  struct Props final : IKsPropertySet {
    explicit Props(FixedOutputPin* owner) : owner_(owner) {}
    FixedOutputPin* pin() { return owner_; }
    FixedOutputPin* owner_;
    HRESULT QueryInterface(REFIID iid, void** object) override { return pin()->QueryInterface(iid, object); }
    ULONG AddRef() override { return pin()->AddRef(); }
    ULONG Release() override { return pin()->Release(); }
    HRESULT Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) override { return pinCategorySet(set); }
    HRESULT Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD length, DWORD* returned) override {
      return pinCategoryGet(*pin()->category_, set, id, data, length, returned);
    }
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* s) override { return pinCategoryQuerySupported(set, id, s); }
  };
  const GUID* category_;
  Props props_;
};

MediaType videoType(int width, int height) {
  VideoInfoHeader vih;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = 24;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  MediaType mt(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}

class FilterWithPins : public BaseFilter {
 public:
  using BaseFilter::BaseFilter;
  ~FilterWithPins() override {
    for (BasePin* p : pins_) p->ownerRelease();
  }
  int pinCount() override { return int(pins_.size()); }
  BasePin* pin(int index) override { return index >= 0 && index < pinCount() ? pins_[index] : nullptr; }

 protected:
  void addPin(BasePin* p) {
    p->ownerAddRef();
    pins_.push_back(p);
  }
  std::vector<BasePin*> pins_;
};

class PushSource final : public FilterWithPins, public IPushSource {
 public:
  PushSource() : FilterWithPins(CLSID_PushSource) {
    out_ = new FixedOutputPin(this, u"Out");
    addPin(out_);
  }
  HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return BaseFilter::AddRef(); }
  ULONG Release() override { return BaseFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IPushSource) return getInterface(static_cast<IPushSource*>(this), object);
    return BaseFilter::nonDelegatingQueryInterface(iid, object);
  }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override {
    if (!mt) return E_POINTER;
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (out_->isConnected()) return VFW_E_ALREADY_CONNECTED;
    out_->type = *mt;
    return S_OK;
  }
  HRESULT Push(const uint8_t* data, LONG length, const REFERENCE_TIME* start) override {
    IMediaSample* sample = nullptr;
    HRESULT hr = out_->getDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    LONG n = std::min(length, sample->GetSize());
    if (data) std::memcpy(p, data, size_t(n));
    sample->SetActualDataLength(n);
    if (start) {
      REFERENCE_TIME stop = *start + 1;
      sample->SetTime(start, &stop);
    }
    hr = out_->deliver(sample);
    sample->Release();
    return hr;
  }

 private:
  FixedOutputPin* out_;
};

class TestCamera final : public FilterWithPins, public IAMAnalogVideoDecoder {
 public:
  explicit TestCamera(bool analog) : FilterWithPins(analog ? CLSID_TestAnalogCamera : CLSID_TestDvCamera), analog_(analog) {
    auto* capture = new FixedOutputPin(this, u"Capture", &PIN_CATEGORY_CAPTURE);
    capture->type = videoType(64, 48);
    addPin(capture);
    if (analog) {
      auto* preview = new FixedOutputPin(this, u"Preview", &PIN_CATEGORY_PREVIEW);
      preview->type = videoType(64, 48);
      addPin(preview);
    }
  }
  HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return BaseFilter::AddRef(); }
  ULONG Release() override { return BaseFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IAMAnalogVideoDecoder && analog_)
      return getInterface(static_cast<IAMAnalogVideoDecoder*>(this), object);
    return BaseFilter::nonDelegatingQueryInterface(iid, object);
  }
  HRESULT get_AvailableTVFormats(LONG* formats) override {
    if (!formats) return E_POINTER;
    *formats = 1;
    return S_OK;
  }
  std::vector<CLSID> propertyPages() const override {
    if (!analog_) return {};
    return {CLSID_TestCameraPage};
  }

 private:
  bool analog_;
};

class AnyInputPin final : public BaseInputPin {
 public:
  using BaseInputPin::BaseInputPin;
  HRESULT checkMediaType(const MediaType&) override { return S_OK; }
  HRESULT receive(IMediaSample*) override { return S_OK; }
};

class TestCodec final : public FilterWithPins, public IIPDVDec {
 public:
  explicit TestCodec(const CLSID& clsid, bool dvDecoder = false) : FilterWithPins(clsid), dv_(dvDecoder) {
    addPin(new AnyInputPin(this, u"In"));
    auto* out = new FixedOutputPin(this, u"Out");
    out->type = videoType(16, 16);
    addPin(out);
    g_codecsCreated.fetch_add(1);
  }
  HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return BaseFilter::AddRef(); }
  ULONG Release() override { return BaseFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IIPDVDec && dv_) return getInterface(static_cast<IIPDVDec*>(this), object);
    return BaseFilter::nonDelegatingQueryInterface(iid, object);
  }
  HRESULT get_IPDisplay(int* display) override {
    if (!display) return E_POINTER;
    *display = display_;
    return S_OK;
  }
  HRESULT put_IPDisplay(int display) override {
    display_ = display;
    g_dvDisplay = display;
    return S_OK;
  }

 private:
  bool dv_;
  int display_ = 500;
};

template <const CLSID& C, bool Dv = false>
UnknownBase* makeCodec(HRESULT*) {
  return new TestCodec(C, Dv);
}
UnknownBase* makeAnalogCamera(HRESULT*) {
  return new TestCamera(true);
}
UnknownBase* makeDvCamera(HRESULT*) {
  return new TestCamera(false);
}

const ServerPinType kAny[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kSourcePins[] = {{true, 1, kAny}};
const ServerPin kCodecPins[] = {{false, 1, kAny}, {true, 1, kAny}};

const ServerClass kClasses[] = {
    {&CLSID_PushSource, "Push Source", MERIT_DO_NOT_USE, nullptr, 1, kSourcePins, createObject<PushSource>},
    {&CLSID_TestAnalogCamera, kTestAnalogCameraName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 1,
     kSourcePins, makeAnalogCamera},
    {&CLSID_TestDvCamera, kTestDvCameraName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 1, kSourcePins,
     makeDvCamera},
    {&CLSID_TestMicrophone, kTestMicrophoneName, MERIT_DO_NOT_USE, &CLSID_AudioInputDeviceCategory, 1, kSourcePins,
     makeDvCamera},
    {&CLSID_TestOtherVideoEncoder, "Some Video Codec", MERIT_DO_NOT_USE, &CLSID_VideoCompressorCategory, 2,
     kCodecPins, makeCodec<CLSID_TestOtherVideoEncoder>},
    {&CLSID_TestMpeg4Encoder, "Microsoft MPEG-4 Video Codec V2", MERIT_DO_NOT_USE, &CLSID_VideoCompressorCategory,
     2, kCodecPins, makeCodec<CLSID_TestMpeg4Encoder>},
    {&CLSID_TestDvEncoder, "DV Video Encoder", MERIT_DO_NOT_USE, &CLSID_VideoCompressorCategory, 2, kCodecPins,
     makeCodec<CLSID_TestDvEncoder>},
    {&CLSID_TestMp3Encoder, "MPEG Layer-3", MERIT_DO_NOT_USE, &CLSID_AudioCompressorCategory, 2, kCodecPins,
     makeCodec<CLSID_TestMp3Encoder>},
    {&CLSID_TestOtherAudioEncoder, "Some Audio Codec", MERIT_DO_NOT_USE, &CLSID_AudioCompressorCategory, 2,
     kCodecPins, makeCodec<CLSID_TestOtherAudioEncoder>},
    {&CLSID_TestOtherDecoder, "Some Decoder", MERIT_PREFERRED, nullptr, 2, kCodecPins,
     makeCodec<CLSID_TestOtherDecoder>},
    {&CLSID_TestMpeg4Decoder, "Mpeg4 Decoder DMO", MERIT_NORMAL, nullptr, 2, kCodecPins,
     makeCodec<CLSID_TestMpeg4Decoder>},
    {&CLSID_TestDvDecoder, "DV Video Decoder", MERIT_NORMAL, nullptr, 2, kCodecPins,
     makeCodec<CLSID_TestDvDecoder, true>},
    {&CLSID_TestWeakDvDecoder, "DV Video Decoder", 0x100000, nullptr, 2, kCodecPins,
     makeCodec<CLSID_TestWeakDvDecoder, true>},
    {&CLSID_TestMp3Decoder, "MPEG Layer-3 Decoder", MERIT_NORMAL, nullptr, 2, kCodecPins,
     makeCodec<CLSID_TestMp3Decoder>},
    {&CLSID_ImageCompound, kImpostorName, MERIT_DO_NOT_USE, nullptr, 2, kCodecPins, makeCodec<CLSID_ImageCompound>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)

extern "C" __attribute__((visibility("default"))) int TestDvDisplay() {
  return g_dvDisplay.load();
}
extern "C" __attribute__((visibility("default"))) int TestCodecsCreated() {
  return g_codecsCreated.load();
}
