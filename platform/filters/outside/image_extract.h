// Image extractor: cuts a window of the output video format's size out of
// the picture, centred at the pointer position that arrives on its pointer
// input and kept inside the picture (parts of a window larger than the
// picture are black). Pins in order: "Video" (RGB24 in), "Pointer"
// (pointer records in), "Out" (RGB24, bottom-up). Output format 8 (Through)
// passes the whole picture. Until a pointer record arrives the window is
// centred; the last position is kept from one run to the next.
#pragma once
#include <atomic>
#include <mutex>

#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/pointer_pin.h"
#include "platform/media/transform_filter.h"

class ImageExtract final : public TransformFilter, public IImageExtractControl {
 public:
  ImageExtract();
  ~ImageExtract() override;
  HRESULT QueryInterface(REFIID iid, void** object) override { return TransformFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return TransformFilter::AddRef(); }
  ULONG Release() override { return TransformFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  int pinCount() override { return 3; }
  BasePin* pin(int index) override;
  void createPins() override;

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;

  HRESULT GetOutputVideoFormat(int* code) override;
  HRESULT SetOutputVideoFormat(int code) override;
  HRESULT GetFocus(float* x, float* y) override;
  HRESULT GetWindow(LONG* left, LONG* top, LONG* width, LONG* height) override;

 private:
  void outputSize(int inWidth, int inHeight, int* width, int* height) const;

  std::atomic<int> outputFormat_{outside::kQCIF};
  outside::Focus focus_;
  outside::PointerInputPin* pointer_ = nullptr;
  std::mutex windowLock_;
  LONG window_[4] = {0, 0, 0, 0};
};
