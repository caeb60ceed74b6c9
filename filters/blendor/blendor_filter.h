// Pointer mixer filter: copies each RGB24 frame from its video input to its
// video output and draws one pointer into it for every pointer input that
// has received a valid record. There is always exactly one free pointer
// input: connecting it adds another, disconnecting a pointer input removes it.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "filters/blendor/IBlendorControl.h"
#include "filters/blendor/koPointerDraw.h"
#include "filters/pointer/pointer_info.h"
#include "koBase/koArray.h"
#include "platform/media/transform_filter.h"

class BlendorFilter;

// One pointer input: keeps the last record it received.
class BlendorPointerPin final : public BaseInputPin {
 public:
  BlendorPointerPin(BlendorFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT completeConnect(IPin* peer) override;
  HRESULT breakConnect() override;
  HRESULT receive(IMediaSample* sample) override;

  pointing::POINTER_INFO record();

 private:
  BlendorFilter* blendor_;
  std::mutex recordLock_;
  pointing::POINTER_INFO record_;  // all zero until the first record: nothing drawn
};

class BlendorFilter final : public TransformFilter, public IBlendorControl {
 public:
  static constexpr uint32_t kMaxPointerInputs = 1024;

  BlendorFilter();
  ~BlendorFilter() override;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return TransformFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return TransformFilter::AddRef(); }
  ULONG Release() override { return TransformFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Pins: 0 "XForm In", 1 "XForm Out", then the pointer inputs in order.
  int pinCount() override;
  BasePin* pin(int index) override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  HRESULT Stop() override;

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT setMediaType(PIN_DIRECTION dir, const MediaType& mt) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;

  int settingsVersion() const override { return 1; }
  // The size of the current settings; while loading, the largest there can be.
  uint64_t settingsSizeMax() const override;
  HRESULT Load(IStream* stream) override;
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
  std::vector<CLSID> propertyPages() const override { return {CLSID_BlendorPropertyPage}; }

  HRESULT getWindowPosition(float* x, float* y) override;
  HRESULT setWindowPosition(float x, float y) override;
  HRESULT getWindowSize(float* x, float* y) override;
  HRESULT setWindowSize(float x, float y) override;
  HRESULT getMappingPosition(float* x, float* y) override;
  HRESULT setMappingPosition(float x, float y) override;
  HRESULT getMappingSize(float* x, float* y) override;
  HRESULT setMappingSize(float x, float y) override;
  HRESULT getNumPointerInput(int32_t* count) override;
  HRESULT getPointerColor(uint32_t index, int32_t* colour) override;
  HRESULT setPointerColor(uint32_t index, int32_t colour) override;

  // From the pointer inputs (under the filter lock).
  void pointerConnected(BlendorPointerPin* pin);
  void pointerDisconnecting(BlendorPointerPin* pin);

 private:
  void addPointerInput();
  void removePointerInput(BlendorPointerPin* pin);
  void drawPointers(uint8_t* picture, size_t length);

  // The pointer inputs change only while the graph is stopped (under the
  // filter lock); the frame loop walks them without it.
  koArray<BlendorPointerPin*> pointerPins_;
  uint32_t created_ = 0;  // pointer inputs made so far, for their names
  std::atomic<bool> loading_{false};

  // The drawer's settings and the colour of each pointer input, read by
  // the frame loop and written by the control interface.
  mutable std::mutex drawLock_;
  koArray<int32_t> colours_;
  koPointerDraw draw_;
  int32_t width_ = 0, height_ = 0;  // the output picture
  std::vector<uint8_t> packed_;     // rows without padding, for widths that need it
};
