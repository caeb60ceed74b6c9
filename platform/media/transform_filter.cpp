#include "platform/media/transform_filter.h"

#include <cstring>

#include "platform/com/com_ptr.h"
#include "platform/media/results.h"

// ---------------------------------------------------------------- pins

TransformInputPin::TransformInputPin(TransformFilter* filter, const char16_t* name)
    : BaseInputPin(filter, name), transform_(filter) {}

HRESULT TransformInputPin::checkMediaType(const MediaType& mt) {
  return transform_->checkInputType(mt);
}

HRESULT TransformInputPin::setMediaType(const MediaType& mt) {
  HRESULT hr = BaseInputPin::setMediaType(mt);
  return FAILED(hr) ? hr : transform_->setMediaType(PINDIR_INPUT, mt);
}

HRESULT TransformInputPin::completeConnect(IPin* peer) {
  HRESULT hr = BaseInputPin::completeConnect(peer);
  return FAILED(hr) ? hr : transform_->completeConnect(PINDIR_INPUT, peer);
}

HRESULT TransformInputPin::breakConnect() {
  transform_->breakConnect(PINDIR_INPUT);
  return BaseInputPin::breakConnect();
}

HRESULT TransformInputPin::receive(IMediaSample* sample) {
  std::lock_guard<std::mutex> g(receiveLock_);
  if (checkStreaming() != S_OK) return checkStreaming();
  return transform_->receive(sample);
}

HRESULT TransformInputPin::EndOfStream() {
  if (checkStreaming() != S_OK) return checkStreaming();
  TransformOutputPin* out = transform_->outputPin();
  return out && out->isConnected() ? out->deliverEndOfStream() : S_OK;
}

HRESULT TransformInputPin::BeginFlush() {
  BaseInputPin::BeginFlush();
  TransformOutputPin* out = transform_->outputPin();
  return out && out->isConnected() ? out->deliverBeginFlush() : S_OK;
}

HRESULT TransformInputPin::EndFlush() {
  BaseInputPin::EndFlush();
  TransformOutputPin* out = transform_->outputPin();
  return out && out->isConnected() ? out->deliverEndFlush() : S_OK;
}

HRESULT TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TransformOutputPin* out = transform_->outputPin();
  return out && out->isConnected() ? out->deliverNewSegment(start, stop, rate) : S_OK;
}

TransformOutputPin::TransformOutputPin(TransformFilter* filter, const char16_t* name)
    : BaseOutputPin(filter, name), transform_(filter) {}

HRESULT TransformOutputPin::checkMediaType(const MediaType& mt) {
  TransformInputPin* in = transform_->inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  return transform_->checkTransform(in->currentMediaType(), mt);
}

HRESULT TransformOutputPin::getMediaType(int position, MediaType* mt) {
  TransformInputPin* in = transform_->inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  return transform_->getMediaType(position, mt);
}

HRESULT TransformOutputPin::setMediaType(const MediaType& mt) {
  HRESULT hr = BaseOutputPin::setMediaType(mt);
  return FAILED(hr) ? hr : transform_->setMediaType(PINDIR_OUTPUT, mt);
}

HRESULT TransformOutputPin::checkConnect(IPin* peer) {
  TransformInputPin* in = transform_->inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  return BaseOutputPin::checkConnect(peer);
}

HRESULT TransformOutputPin::completeConnect(IPin* peer) {
  HRESULT hr = BaseOutputPin::completeConnect(peer);
  return FAILED(hr) ? hr : transform_->completeConnect(PINDIR_OUTPUT, peer);
}

HRESULT TransformOutputPin::breakConnect() {
  transform_->breakConnect(PINDIR_OUTPUT);
  return BaseOutputPin::breakConnect();
}

HRESULT TransformOutputPin::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return transform_->decideBufferSize(allocator, request);
}

// ---------------------------------------------------------------- TransformFilter

TransformFilter::TransformFilter(const CLSID& clsid) : BaseFilter(clsid) {}

TransformFilter::~TransformFilter() {
  if (input_) input_->ownerRelease();
  if (output_) output_->ownerRelease();
}

void TransformFilter::createPins() {
  input_ = new TransformInputPin(this, u"XForm In");
  output_ = new TransformOutputPin(this, u"XForm Out");
}

int TransformFilter::pinCount() {
  return 2;
}

BasePin* TransformFilter::pin(int index) {
  if (!input_) {
    createPins();
    input_->ownerAddRef();
    output_->ownerAddRef();
  }
  return index == 0 ? static_cast<BasePin*>(input_) : index == 1 ? static_cast<BasePin*>(output_) : nullptr;
}

HRESULT TransformFilter::setMediaType(PIN_DIRECTION, const MediaType&) {
  return S_OK;
}
HRESULT TransformFilter::completeConnect(PIN_DIRECTION, IPin*) {
  return S_OK;
}
HRESULT TransformFilter::breakConnect(PIN_DIRECTION) {
  return S_OK;
}

HRESULT TransformFilter::Pause() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    HRESULT hr = startStreaming();
    if (FAILED(hr)) return hr;
  }
  return BaseFilter::Pause();
}

HRESULT TransformFilter::Stop() {
  HRESULT hr;
  {
    std::lock_guard<std::recursive_mutex> g(lock_);
    bool wasActive = state_ != State_Stopped;
    hr = BaseFilter::Stop();
    if (wasActive) {
      // Wait for a sample still being transformed on the streaming thread.
      if (TransformInputPin* in = inputPin()) std::lock_guard<std::mutex> r(in->receiveLock());
      stopStreaming();
    }
  }
  return hr;
}

void TransformFilter::copySampleProperties(IMediaSample* from, IMediaSample* to) {
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT hr = from->GetTime(&start, &stop);
  if (hr == S_OK)
    to->SetTime(&start, &stop);
  else if (hr == VFW_S_NO_STOP_TIME)
    to->SetTime(&start, nullptr);
  else
    to->SetTime(nullptr, nullptr);
  int64_t ms = 0, me = 0;
  if (from->GetMediaTime(&ms, &me) == S_OK)
    to->SetMediaTime(&ms, &me);
  else
    to->SetMediaTime(nullptr, nullptr);
  to->SetSyncPoint(from->IsSyncPoint() == S_OK);
  to->SetPreroll(from->IsPreroll() == S_OK);
  to->SetDiscontinuity(from->IsDiscontinuity() == S_OK);
}

HRESULT TransformFilter::receive(IMediaSample* sample) {
  TransformOutputPin* out = outputPin();
  if (!out || !out->isConnected()) return S_OK;  // nothing downstream: the sample goes nowhere
  IMediaSample* outSample = nullptr;
  HRESULT hr = out->getDeliveryBuffer(&outSample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  copySampleProperties(sample, outSample);
  hr = transform(sample, outSample);
  if (hr == S_OK)
    hr = out->deliver(outSample);
  else if (hr == S_FALSE)
    hr = S_OK;  // dropped by the transform
  outSample->Release();
  return hr;
}

// ---------------------------------------------------------------- in place

HRESULT TransformInPlaceOutputPin::completeConnect(IPin* peer) {
  // Share upstream's allocator with downstream when downstream accepts it.
  TransformInputPin* in = transform_->inputPin();
  if (!inputPin_ && FAILED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&inputPin_)))) {
    inputPin_ = nullptr;
    return E_NOINTERFACE;
  }
  if (in && in->allocator() && !in->readOnly() &&
      SUCCEEDED(inputPin_->NotifyAllocator(in->allocator(), FALSE))) {
    allocator_ = in->allocator();
    allocator_->AddRef();
    return transform_->completeConnect(PINDIR_OUTPUT, peer);
  }
  return TransformOutputPin::completeConnect(peer);
}

TransformInPlaceFilter::TransformInPlaceFilter(const CLSID& clsid) : TransformFilter(clsid) {}

void TransformInPlaceFilter::createPins() {
  input_ = new TransformInputPin(this, u"XForm In");
  output_ = new TransformInPlaceOutputPin(this, u"XForm Out");
}

HRESULT TransformInPlaceFilter::checkTransform(const MediaType& in, const MediaType& out) {
  return in == out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TransformInPlaceFilter::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = inputPin()->currentMediaType();
  return S_OK;
}

HRESULT TransformInPlaceFilter::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES props{1, static_cast<LONG>(inputPin()->currentMediaType().sampleSize()), 1, 0};
  if (IMemAllocator* up = inputPin()->allocator()) up->GetProperties(&props);
  if (request->cBuffers > props.cBuffers) props.cBuffers = request->cBuffers;
  if (request->cbBuffer > props.cbBuffer) props.cbBuffer = request->cbBuffer;
  if (props.cbBuffer <= 0) props.cbBuffer = 1;
  return setAllocatorProperties(allocator, props, 1, props.cbBuffer);
}

HRESULT TransformInPlaceFilter::transform(IMediaSample*, IMediaSample*) {
  return E_UNEXPECTED;
}

HRESULT TransformInPlaceFilter::receive(IMediaSample* sample) {
  TransformOutputPin* out = outputPin();
  if (!out || !out->isConnected()) return S_OK;
  IMemAllocator* shared = out->allocator();
  IMemAllocator* upstream = inputPin()->allocator();
  if (shared && shared == upstream && !inputPin()->readOnly()) {
    HRESULT hr = transform(sample);
    if (hr == S_FALSE) return S_OK;
    return FAILED(hr) ? hr : out->deliver(sample);
  }
  // Separate allocators: copy into a downstream buffer, then change that.
  IMediaSample* copy = nullptr;
  HRESULT hr = out->getDeliveryBuffer(&copy, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  uint8_t *src = nullptr, *dst = nullptr;
  sample->GetPointer(&src);
  copy->GetPointer(&dst);
  LONG n = sample->GetActualDataLength();
  if (n > copy->GetSize()) n = copy->GetSize();
  if (n > 0) std::memcpy(dst, src, n);
  copy->SetActualDataLength(n);
  copySampleProperties(sample, copy);
  hr = transform(copy);
  if (hr == S_OK)
    hr = out->deliver(copy);
  else if (hr == S_FALSE)
    hr = S_OK;
  copy->Release();
  return hr;
}
