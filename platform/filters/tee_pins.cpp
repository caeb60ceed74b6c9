#include "platform/filters/tee_pins.h"

#include <algorithm>
#include <cstring>

#include "platform/media/results.h"
#include "platform/media/transform_filter.h"

TeeInputPin::TeeInputPin(TeeFilter* filter, const char16_t* name)
    : BaseInputPin(filter, name), tee_(filter) {}

HRESULT TeeInputPin::checkMediaType(const MediaType& mt) {
  // Any type, as long as the outputs already connected can carry it too.
  for (int i = 1; i < tee_->pinCount(); ++i) {
    BasePin* out = tee_->pin(i);
    if (out && out->isConnected() && out->connected()->QueryAccept(mt.ptr()) != S_OK)
      return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT TeeInputPin::receive(IMediaSample* sample) {
  std::lock_guard<std::mutex> g(receiveLock_);
  HRESULT hr = checkStreaming();
  if (hr != S_OK) return hr;
  return tee_->deliverToOutputs(sample);
}

HRESULT TeeInputPin::EndOfStream() {
  for (int i = 1; i < tee_->pinCount(); ++i)
    if (auto* out = static_cast<TeeOutputPin*>(tee_->pin(i)); out && out->isConnected())
      out->deliverEndOfStream();
  return S_OK;
}

HRESULT TeeInputPin::BeginFlush() {
  BaseInputPin::BeginFlush();
  for (int i = 1; i < tee_->pinCount(); ++i)
    if (auto* out = static_cast<TeeOutputPin*>(tee_->pin(i)); out && out->isConnected())
      out->deliverBeginFlush();
  return S_OK;
}

HRESULT TeeInputPin::EndFlush() {
  BaseInputPin::EndFlush();
  for (int i = 1; i < tee_->pinCount(); ++i)
    if (auto* out = static_cast<TeeOutputPin*>(tee_->pin(i)); out && out->isConnected())
      out->deliverEndFlush();
  return S_OK;
}

TeeOutputPin::TeeOutputPin(TeeFilter* filter, const char16_t* name)
    : BaseOutputPin(filter, name), tee_(filter) {}

HRESULT TeeOutputPin::checkConnect(IPin* peer) {
  if (!tee_->input()->isConnected()) return VFW_E_NOT_CONNECTED;
  return BaseOutputPin::checkConnect(peer);
}

HRESULT TeeOutputPin::checkMediaType(const MediaType& mt) {
  if (!tee_->input()->isConnected()) return VFW_E_NOT_CONNECTED;
  return mt == tee_->input()->currentMediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TeeOutputPin::getMediaType(int position, MediaType* mt) {
  if (!tee_->input()->isConnected()) return VFW_E_NOT_CONNECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = tee_->input()->currentMediaType();
  return S_OK;
}

HRESULT TeeOutputPin::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES props{1, static_cast<LONG>(tee_->input()->currentMediaType().sampleSize()), 1, 0};
  if (IMemAllocator* up = tee_->input()->allocator()) {
    ALLOCATOR_PROPERTIES upProps{};
    if (SUCCEEDED(up->GetProperties(&upProps)) && upProps.cbBuffer > 0) props = upProps;
  }
  props.cBuffers = std::max(props.cBuffers, request->cBuffers);
  props.cbBuffer = std::max({props.cbBuffer, request->cbBuffer, LONG(1)});
  if (request->cbAlign > props.cbAlign) props.cbAlign = request->cbAlign;
  props.cbPrefix = std::max(props.cbPrefix, request->cbPrefix);
  return setAllocatorProperties(allocator, props, 1, props.cbBuffer);
}

HRESULT TeeOutputPin::completeConnect(IPin* peer) {
  HRESULT hr = BaseOutputPin::completeConnect(peer);
  if (SUCCEEDED(hr)) tee_->outputConnected(this);
  return hr;
}

HRESULT TeeOutputPin::breakConnect() {
  bool wasConnected = connected_ != nullptr;
  BaseOutputPin::breakConnect();
  if (wasConnected) tee_->outputDisconnected(this);
  return S_OK;
}

HRESULT TeeOutputPin::deliverCopy(IMediaSample* in, DWORD flags, IMediaSample** keep) {
  IMediaSample* out = nullptr;
  HRESULT hr = getDeliveryBuffer(&out, nullptr, nullptr, flags);
  if (FAILED(hr)) return hr;
  uint8_t *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  LONG n = std::min(in->GetActualDataLength(), out->GetSize());
  if (n > 0) std::memcpy(dst, src, n);
  out->SetActualDataLength(n);
  TransformFilter::copySampleProperties(in, out);
  if (keep) {
    *keep = out;  // the caller delivers it later
    return S_OK;
  }
  hr = deliver(out);
  out->Release();
  return hr;
}

TeeFilter::TeeFilter(const CLSID& clsid) : BaseFilter(clsid) {
  input_ = new TeeInputPin(this, u"Input");
  input_->ownerAddRef();
}

TeeFilter::~TeeFilter() {
  input_->ownerRelease();
  for (TeeOutputPin* p : outputs_) p->ownerRelease();
}

int TeeFilter::pinCount() {
  return 1 + static_cast<int>(outputs_.size());
}

BasePin* TeeFilter::pin(int index) {
  if (index == 0) return input_;
  if (index > 0 && index <= static_cast<int>(outputs_.size())) return outputs_[index - 1];
  return nullptr;
}

HRESULT TeeFilter::Stop() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  bool wasActive = state_ != State_Stopped;
  HRESULT hr = BaseFilter::Stop();
  if (wasActive) std::lock_guard<std::mutex> r(input_->receiveLock());  // let a sample in flight finish
  return hr;
}

void TeeFilter::addOutput(TeeOutputPin* pin) {
  pin->ownerAddRef();
  outputs_.push_back(pin);
  incrementPinVersion();
}

void TeeFilter::removeOutput(TeeOutputPin* pin) {
  auto it = std::find(outputs_.begin(), outputs_.end(), pin);
  if (it == outputs_.end()) return;
  outputs_.erase(it);
  incrementPinVersion();
  pin->ownerRelease();
}
