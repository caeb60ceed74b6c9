// Image compounder: lays the cut-out (the additional picture) over the base
// picture, centred at the pointer position that arrives on its pointer input
// and kept inside the picture, through a mask and a blending type. Each base
// picture gives one output picture of the base's size with the latest
// cut-out on it (none until the first arrives), at most frame-rate pictures
// a second (0: every one). Pins in order: "Base" (RGB24 in), "Additional"
// (RGB24 in), "Pointer" (pointer records in), "Out" (RGB24, bottom-up).
//
// The base and the cut-out are taken at the same pixel scale: a cut-out
// made by the image extractor from a picture of the base's size lands where
// the extractor cut it.
#pragma once
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/pointer_pin.h"
#include "platform/media/transform_filter.h"

class ImageCompound;

namespace outside {

// Keeps a copy of the latest additional picture (top-down, packed rows).
class AdditionalInputPin final : public BaseInputPin {
 public:
  AdditionalInputPin(BaseFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT breakConnect() override;

  // Copies the latest picture out; false when there is none.
  bool latest(std::vector<uint8_t>* pixels, int* width, int* height);
  void clear();

 private:
  std::mutex lock_;
  std::vector<uint8_t> pixels_;
  int width_ = 0, height_ = 0;
};

}  // namespace outside

class ImageCompound final : public TransformFilter, public IImageCompoundControl {
 public:
  ImageCompound();
  ~ImageCompound() override;
  HRESULT QueryInterface(REFIID iid, void** object) override { return TransformFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return TransformFilter::AddRef(); }
  ULONG Release() override { return TransformFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  int pinCount() override { return 4; }
  BasePin* pin(int index) override;
  void createPins() override;

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT startStreaming() override;

  HRESULT GetBaseVideoSize(LONG* width, LONG* height) override;
  HRESULT GetAdditionalVideoSize(LONG* width, LONG* height) override;
  HRESULT GetFocus(float* x, float* y) override;
  HRESULT GetPlacement(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT GetFramesDelivered(ULONG* frames) override;
  HRESULT GetFramesSkipped(ULONG* frames) override;
  HRESULT GetFrameRate(int* rate) override;
  HRESULT SetFrameRate(int rate) override;
  HRESULT GetMask(int* code) override;
  HRESULT SetMask(int code) override;
  HRESULT GetBlending(int* code) override;
  HRESULT SetBlending(int code) override;

 private:
  // Whether a base picture at this time (100 ns units) is delivered.
  bool admit(int64_t time);

  std::atomic<int> frameRate_{0};
  std::atomic<int> mask_{outside::kMaskRectangle};
  std::atomic<int> blending_{outside::kBlendSimple};
  std::atomic<ULONG> delivered_{0}, skipped_{0};
  outside::Focus focus_;
  outside::AdditionalInputPin* additional_ = nullptr;
  outside::PointerInputPin* pointer_ = nullptr;

  // Streaming thread only.
  bool timed_ = false;
  int64_t lastTime_ = 0, nextDue_ = 0;
  std::vector<uint8_t> cutOut_;
  std::vector<uint16_t> weights_;
  int weightsKey_[4] = {-1, -1, -1, -1};

  std::mutex placementLock_;
  LONG placement_[4] = {0, 0, 0, 0};
};
