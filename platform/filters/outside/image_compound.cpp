#include "platform/filters/outside/image_compound.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/filters/outside/picture.h"
#include "platform/media/results.h"

using namespace outside;

namespace outside {

AdditionalInputPin::AdditionalInputPin(BaseFilter* filter, const char16_t* name) : BaseInputPin(filter, name) {}

HRESULT AdditionalInputPin::checkMediaType(const MediaType& mt) {
  int w = 0, h = 0;
  return rgb24Size(mt, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AdditionalInputPin::receive(IMediaSample* sample) {
  int w = 0, h = 0;
  if (!rgb24Size(currentMediaType(), &w, &h)) return S_OK;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  PictureView in;
  if (!viewRgb24(data, size_t(std::max<LONG>(0, sample->GetActualDataLength())), w, h, &in))
    return S_OK;  // a short picture is ignored
  std::lock_guard<std::mutex> g(lock_);
  pixels_.resize(size_t(in.width) * in.height * 3);
  for (int y = 0; y < in.height; ++y)
    std::memcpy(&pixels_[size_t(y) * in.width * 3], in.row(y), size_t(in.width) * 3);
  width_ = in.width;
  height_ = in.height;
  return S_OK;
}

HRESULT AdditionalInputPin::breakConnect() {
  clear();
  return BaseInputPin::breakConnect();
}

bool AdditionalInputPin::latest(std::vector<uint8_t>* pixels, int* width, int* height) {
  std::lock_guard<std::mutex> g(lock_);
  if (width_ == 0) return false;
  pixels->assign(pixels_.begin(), pixels_.end());
  *width = width_;
  *height = height_;
  return true;
}

void AdditionalInputPin::clear() {
  std::lock_guard<std::mutex> g(lock_);
  pixels_.clear();
  width_ = height_ = 0;
}

}  // namespace outside

ImageCompound::ImageCompound() : TransformFilter(CLSID_ImageCompound) {}

ImageCompound::~ImageCompound() {
  if (additional_) additional_->ownerRelease();
  if (pointer_) pointer_->ownerRelease();
}

HRESULT ImageCompound::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IImageCompoundControl) return getInterface(static_cast<IImageCompoundControl*>(this), object);
  return TransformFilter::nonDelegatingQueryInterface(iid, object);
}

void ImageCompound::createPins() {
  input_ = new TransformInputPin(this, u"Base");
  output_ = new TransformOutputPin(this, u"Out");
  additional_ = new AdditionalInputPin(this, u"Additional");
  additional_->ownerAddRef();
  pointer_ = new PointerInputPin(this, u"Pointer", &focus_);
  pointer_->ownerAddRef();
}

BasePin* ImageCompound::pin(int index) {
  TransformFilter::pin(0);  // makes the pins on first use
  switch (index) {
    case 0:
      return input_;
    case 1:
      return additional_;
    case 2:
      return pointer_;
    case 3:
      return output_;
    default:
      return nullptr;
  }
}

HRESULT ImageCompound::checkInputType(const MediaType& mt) {
  int w = 0, h = 0;
  return rgb24Size(mt, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ImageCompound::checkTransform(const MediaType& in, const MediaType& out) {
  int iw = 0, ih = 0, ow = 0, oh = 0;
  if (!rgb24Size(in, &iw, &ih)) return VFW_E_TYPE_NOT_ACCEPTED;
  return rgb24Size(out, &ow, &oh) && ow == iw && oh == std::abs(ih) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ImageCompound::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  int w = 0, h = 0;
  if (!rgb24Size(inputPin()->currentMediaType(), &w, &h)) return E_UNEXPECTED;
  VideoInfoHeader vih;
  videoInfoOf(inputPin()->currentMediaType().get(), vih);
  *mt = rgb24Type(w, std::abs(h), vih.avgTimePerFrame);
  return S_OK;
}

HRESULT ImageCompound::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  int w = 0, h = 0;
  if (!rgb24Size(outputPin()->currentMediaType(), &w, &h)) return E_UNEXPECTED;
  LONG size = static_cast<LONG>(dibStride(w, 24) * size_t(std::abs(h)));
  ALLOCATOR_PROPERTIES props{std::max<LONG>(2, request->cBuffers), size, std::max<LONG>(1, request->cbAlign),
                             request->cbPrefix};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT ImageCompound::startStreaming() {
  timed_ = false;
  return S_OK;
}

bool ImageCompound::admit(int64_t time) {
  int rate = frameRate_.load();
  if (rate <= 0) return true;
  int64_t period = 10000000 / rate;
  if (!timed_ || time < lastTime_) {  // first picture, or time went backwards (a new run)
    timed_ = true;
    lastTime_ = time;
    nextDue_ = time + period;
    return true;
  }
  // A little early still counts, so that a source at exactly the frame rate
  // with some jitter is not thinned out.
  if (time + period / 8 < nextDue_) return false;
  lastTime_ = time;
  nextDue_ += period;
  if (nextDue_ <= time) nextDue_ = time + period;  // after a gap, no burst to catch up
  return true;
}

HRESULT ImageCompound::receive(IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  int64_t time;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) {
    time = start;
  } else {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    time = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
  }
  if (!admit(time)) {
    skipped_.fetch_add(1);
    return S_OK;
  }
  HRESULT hr = TransformFilter::receive(sample);
  if (hr == S_OK) delivered_.fetch_add(1);
  return hr;
}

HRESULT ImageCompound::transform(IMediaSample* inSample, IMediaSample* outSample) {
  int iw = 0, ih = 0, ow = 0, oh = 0;
  if (!rgb24Size(inputPin()->currentMediaType(), &iw, &ih) || !rgb24Size(outputPin()->currentMediaType(), &ow, &oh))
    return S_FALSE;
  uint8_t *src = nullptr, *dst = nullptr;
  inSample->GetPointer(&src);
  outSample->GetPointer(&dst);
  PictureView in, out;
  if (!viewRgb24(src, size_t(std::max<LONG>(0, inSample->GetActualDataLength())), iw, ih, &in) ||
      !viewRgb24(dst, size_t(outSample->GetSize()), ow, oh, &out) || out.width != in.width ||
      out.height != in.height)
    return S_FALSE;  // a short picture is dropped
  cutWindow(in, 0, 0, out);
  outSample->SetActualDataLength(static_cast<LONG>(dibStride(ow, 24) * size_t(out.height)));

  int aw = 0, ah = 0;
  if (!additional_->latest(&cutOut_, &aw, &ah)) return S_OK;
  int mask = mask_.load(), blending = blending_.load();
  if (weightsKey_[0] != aw || weightsKey_[1] != ah || weightsKey_[2] != mask || weightsKey_[3] != blending) {
    weights_ = maskWeights(aw, ah, mask, blending);
    weightsKey_[0] = aw;
    weightsKey_[1] = ah;
    weightsKey_[2] = mask;
    weightsKey_[3] = blending;
  }
  float fx = 0, fy = 0;
  focus_.get(&fx, &fy);
  int left = placeWindow(out.width, aw, fx), top = placeWindow(out.height, ah, fy);
  PictureView add{cutOut_.data(), aw, ah, ptrdiff_t(aw) * 3};
  blendWindow(add, weights_, out, left, top);
  std::lock_guard<std::mutex> g(placementLock_);
  placement_[0] = left;
  placement_[1] = top;
  placement_[2] = aw;
  placement_[3] = ah;
  return S_OK;
}

HRESULT ImageCompound::GetBaseVideoSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  int w = 0, h = 0;
  if (!inputPin()->isConnected() || !rgb24Size(inputPin()->currentMediaType(), &w, &h)) w = h = 0;
  *width = w;
  *height = std::abs(h);
  return S_OK;
}

HRESULT ImageCompound::GetAdditionalVideoSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  int w = 0, h = 0;
  pin(1);
  if (!additional_->isConnected() || !rgb24Size(additional_->currentMediaType(), &w, &h)) w = h = 0;
  *width = w;
  *height = std::abs(h);
  return S_OK;
}

HRESULT ImageCompound::GetFocus(float* x, float* y) {
  if (!x || !y) return E_POINTER;
  focus_.get(x, y);
  return S_OK;
}

HRESULT ImageCompound::GetPlacement(LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  std::lock_guard<std::mutex> g(placementLock_);
  *left = placement_[0];
  *top = placement_[1];
  *width = placement_[2];
  *height = placement_[3];
  return S_OK;
}

HRESULT ImageCompound::GetFramesDelivered(ULONG* frames) {
  if (!frames) return E_POINTER;
  *frames = delivered_.load();
  return S_OK;
}

HRESULT ImageCompound::GetFramesSkipped(ULONG* frames) {
  if (!frames) return E_POINTER;
  *frames = skipped_.load();
  return S_OK;
}

HRESULT ImageCompound::GetFrameRate(int* rate) {
  if (!rate) return E_POINTER;
  *rate = frameRate_.load();
  return S_OK;
}

HRESULT ImageCompound::SetFrameRate(int rate) {
  frameRate_ = std::clamp(rate, 0, 1000);
  return S_OK;
}

HRESULT ImageCompound::GetMask(int* code) {
  if (!code) return E_POINTER;
  *code = mask_.load();
  return S_OK;
}

HRESULT ImageCompound::SetMask(int code) {
  mask_ = std::clamp(code, 0, 2);
  return S_OK;
}

HRESULT ImageCompound::GetBlending(int* code) {
  if (!code) return E_POINTER;
  *code = blending_.load();
  return S_OK;
}

HRESULT ImageCompound::SetBlending(int code) {
  blending_ = std::clamp(code, 0, 1);
  return S_OK;
}
