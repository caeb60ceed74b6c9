// Non-linear zoom filter: a video transform that reduces RGB24 pictures to
// one of the output formats of ILoupexControl.h with the region around the
// pointer kept at full resolution. A third pin, "PointerIn", takes pointer
// records; their position becomes the centre of the focus window.
#pragma once
#include <mutex>

#include "filters/loupex/ILoupexControl.h"
#include "filters/loupex/zoom_transform.h"
#include "platform/media/transform_filter.h"

class LoupexFilter;

// Takes pointer records (one 71-byte record per sample) for the zoom.
class LoupexPointerPin final : public BaseInputPin {
 public:
  LoupexPointerPin(LoupexFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT receive(IMediaSample* sample) override;

 private:
  LoupexFilter* loupex_;
};

class LoupexFilter final : public TransformFilter, public ILoupexControl {
 public:
  LoupexFilter();
  ~LoupexFilter() override;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return TransformFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return TransformFilter::AddRef(); }
  ULONG Release() override { return TransformFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Pins: 0 "XForm In", 1 "XForm Out", 2 "PointerIn".
  int pinCount() override { return 3; }
  BasePin* pin(int index) override;
  void createPins() override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  HRESULT Stop() override;

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT setMediaType(PIN_DIRECTION dir, const MediaType& mt) override;
  HRESULT completeConnect(PIN_DIRECTION dir, IPin* peer) override;

  int settingsVersion() const override { return 1; }
  uint64_t settingsSizeMax() const override { return 25; }
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
  std::vector<CLSID> propertyPages() const override { return {CLSID_LoupexPropertyPage}; }

  // ILoupexControl
  HRESULT getOutputVideoFormat(int32_t* format) override;
  HRESULT setOutputVideoFormat(int32_t format) override;
  HRESULT getMask(int32_t* type) override;
  HRESULT setMask(int32_t type) override;
  HRESULT getMaskPosition(int32_t* x, int32_t* y) override;
  HRESULT setMaskPosition(int32_t x, int32_t y) override;
  HRESULT getMaskSize(int32_t* width, int32_t* height) override;
  HRESULT setMaskSize(int32_t width, int32_t height) override;
  HRESULT getPointerInputDisabled(uint8_t* disabled) override;
  HRESULT setPointerInputDisabled(uint8_t disabled) override;

  // From the pointer pin: a record moved the point of attention.
  void pointerMoved(float x, float y);
  // The last accepted pointer position.
  void pointerPosition(float& x, float& y);

 private:
  // Reduces the mask to below the picture size of a connected video pin.
  void fitMaskTo(const MediaType& mt);
  void reconnectOutput();

  LoupexPointerPin* pointer_ = nullptr;

  // Settings, guarded by settingsLock_ (taken after receiveLock_).
  std::recursive_mutex settingsLock_;
  int32_t outputFormat_ = 0;
  ZoomSettings zoom_;  // mask type, size, fixed position, fixed mode
  ZoomTransform transform_;

  // The pointer position, guarded by receiveLock_, which a frame also
  // holds throughout so that it sees one position.
  std::mutex receiveLock_;
  float pointerX_ = 0.0f;
  float pointerY_ = 0.0f;
};
