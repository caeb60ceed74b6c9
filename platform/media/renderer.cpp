#include "platform/media/renderer.h"

#include <chrono>

#include "platform/media/clock.h"
#include "platform/media/results.h"

RendererInputPin::RendererInputPin(BaseRenderer* renderer, const char16_t* name)
    : BaseInputPin(renderer, name), renderer_(renderer) {}

HRESULT RendererInputPin::checkMediaType(const MediaType& mt) {
  return renderer_->checkMediaType(mt);
}

HRESULT RendererInputPin::setMediaType(const MediaType& mt) {
  HRESULT hr = BaseInputPin::setMediaType(mt);
  return FAILED(hr) ? hr : renderer_->setMediaType(mt);
}

HRESULT RendererInputPin::receive(IMediaSample* sample) {
  return renderer_->receiveSample(sample);
}

HRESULT RendererInputPin::EndOfStream() {
  if (checkStreaming() != S_OK) return checkStreaming();
  return renderer_->onEndOfStream();
}

HRESULT RendererInputPin::breakConnect() {
  renderer_->breakConnect();
  return BaseInputPin::breakConnect();
}

BaseRenderer::BaseRenderer(const CLSID& clsid, const char16_t* pinName) : BaseFilter(clsid) {
  input_ = new RendererInputPin(this, pinName);
  input_->ownerAddRef();
}

BaseRenderer::~BaseRenderer() {
  input_->ownerRelease();
}

BasePin* BaseRenderer::pin(int index) {
  return index == 0 ? input_ : nullptr;
}

HRESULT BaseRenderer::setMediaType(const MediaType&) {
  return S_OK;
}
HRESULT BaseRenderer::breakConnect() {
  return S_OK;
}

HRESULT BaseRenderer::Pause() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    {
      std::lock_guard<std::mutex> w(waitLock_);
      stopping_ = false;
    }
    HRESULT hr = onStartStreaming();
    if (FAILED(hr)) return hr;
  }
  return BaseFilter::Pause();
}

HRESULT BaseRenderer::Stop() {
  // Wake a sample waiting for its time before taking the filter lock.
  {
    std::lock_guard<std::mutex> w(waitLock_);
    stopping_ = true;
  }
  wake_.notify_all();
  std::lock_guard<std::recursive_mutex> g(lock_);
  bool wasActive = state_ != State_Stopped;
  HRESULT hr = BaseFilter::Stop();
  if (wasActive) {
    std::lock_guard<std::mutex> r(input_->receiveLock());  // no sample in flight from here on
    onStopStreaming();
  }
  return hr;
}

HRESULT BaseRenderer::receiveSample(IMediaSample* sample) {
  std::lock_guard<std::mutex> r(input_->receiveLock());
  HRESULT hr = input_->checkStreaming();
  if (hr != S_OK) return hr;
  REFERENCE_TIME start = 0, stop = 0;
  IReferenceClock* clock = clock_;
  if (syncToClock_ && clock && SUCCEEDED(sample->GetTime(&start, &stop))) {
    REFERENCE_TIME due = start_ + start;
    std::unique_lock<std::mutex> w(waitLock_);
    for (;;) {
      if (stopping_) return VFW_E_WRONG_STATE;
      REFERENCE_TIME now;
      if (FAILED(clock->GetTime(&now)) || now >= due) break;
      // The system clock is the monotonic clock, as steady_clock is.
      wake_.wait_for(w, std::chrono::microseconds((due - now) / 10 + 1));
    }
  }
  if (input_->checkStreaming() != S_OK) return VFW_E_WRONG_STATE;
  return doRenderSample(sample);
}
