#include "platform/filters/outside/image_extract.h"

#include <algorithm>

#include "platform/filters/outside/picture.h"
#include "platform/media/results.h"

using namespace outside;

ImageExtract::ImageExtract() : TransformFilter(CLSID_ImageExtract) {}

ImageExtract::~ImageExtract() {
  if (pointer_) pointer_->ownerRelease();
}

HRESULT ImageExtract::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IImageExtractControl) return getInterface(static_cast<IImageExtractControl*>(this), object);
  return TransformFilter::nonDelegatingQueryInterface(iid, object);
}

void ImageExtract::createPins() {
  input_ = new TransformInputPin(this, u"Video");
  output_ = new TransformOutputPin(this, u"Out");
  pointer_ = new PointerInputPin(this, u"Pointer", &focus_);
  pointer_->ownerAddRef();
}

BasePin* ImageExtract::pin(int index) {
  TransformFilter::pin(0);  // makes the pins on first use
  switch (index) {
    case 0:
      return input_;
    case 1:
      return pointer_;
    case 2:
      return output_;
    default:
      return nullptr;
  }
}

void ImageExtract::outputSize(int inWidth, int inHeight, int* width, int* height) const {
  if (!videoFormatSize(outputFormat_.load(), width, height)) {
    *width = inWidth;
    *height = inHeight;
  }
}

HRESULT ImageExtract::checkInputType(const MediaType& mt) {
  int w = 0, h = 0;
  return rgb24Size(mt, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ImageExtract::checkTransform(const MediaType& in, const MediaType& out) {
  int iw = 0, ih = 0, w = 0, h = 0, ow = 0, oh = 0;
  if (!rgb24Size(in, &iw, &ih)) return VFW_E_TYPE_NOT_ACCEPTED;
  outputSize(iw, std::abs(ih), &w, &h);
  return rgb24Size(out, &ow, &oh) && ow == w && oh == h ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ImageExtract::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  int iw = 0, ih = 0, w = 0, h = 0;
  if (!rgb24Size(inputPin()->currentMediaType(), &iw, &ih)) return E_UNEXPECTED;
  VideoInfoHeader vih;
  videoInfoOf(inputPin()->currentMediaType().get(), vih);
  outputSize(iw, std::abs(ih), &w, &h);
  *mt = rgb24Type(w, h, vih.avgTimePerFrame);
  return S_OK;
}

HRESULT ImageExtract::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  int w = 0, h = 0;
  if (!rgb24Size(outputPin()->currentMediaType(), &w, &h)) return E_UNEXPECTED;
  LONG size = static_cast<LONG>(dibStride(w, 24) * size_t(std::abs(h)));
  ALLOCATOR_PROPERTIES props{std::max<LONG>(2, request->cBuffers), size, std::max<LONG>(1, request->cbAlign),
                             request->cbPrefix};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT ImageExtract::transform(IMediaSample* inSample, IMediaSample* outSample) {
  int iw = 0, ih = 0, ow = 0, oh = 0;
  if (!rgb24Size(inputPin()->currentMediaType(), &iw, &ih) || !rgb24Size(outputPin()->currentMediaType(), &ow, &oh))
    return S_FALSE;
  uint8_t *src = nullptr, *dst = nullptr;
  inSample->GetPointer(&src);
  outSample->GetPointer(&dst);
  PictureView in, out;
  if (!viewRgb24(src, size_t(std::max<LONG>(0, inSample->GetActualDataLength())), iw, ih, &in) ||
      !viewRgb24(dst, size_t(outSample->GetSize()), ow, oh, &out))
    return S_FALSE;  // a short picture is dropped
  float fx = 0, fy = 0;
  focus_.get(&fx, &fy);
  int left = placeWindow(in.width, out.width, fx), top = placeWindow(in.height, out.height, fy);
  cutWindow(in, left, top, out);
  {
    std::lock_guard<std::mutex> g(windowLock_);
    window_[0] = left;
    window_[1] = top;
    window_[2] = out.width;
    window_[3] = out.height;
  }
  outSample->SetActualDataLength(static_cast<LONG>(dibStride(ow, 24) * size_t(out.height)));
  return S_OK;
}

HRESULT ImageExtract::GetOutputVideoFormat(int* code) {
  if (!code) return E_POINTER;
  *code = outputFormat_.load();
  return S_OK;
}

HRESULT ImageExtract::SetOutputVideoFormat(int code) {
  outputFormat_ = clampVideoFormat(code);
  return S_OK;
}

HRESULT ImageExtract::GetFocus(float* x, float* y) {
  if (!x || !y) return E_POINTER;
  focus_.get(x, y);
  return S_OK;
}

HRESULT ImageExtract::GetWindow(LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  *left = window_[0];
  *top = window_[1];
  *width = window_[2];
  *height = window_[3];
  return S_OK;
}
