#include "platform/filters/smart_tee.h"

#include "platform/media/guids.h"

SmartTeePreviewPin::SmartTeePreviewPin(TeeFilter* filter, const char16_t* name)
    : TeeOutputPin(filter, name) {}

SmartTeePreviewPin::~SmartTeePreviewPin() {
  stopThread();
}

HRESULT SmartTeePreviewPin::active() {
  HRESULT hr = TeeOutputPin::active();
  if (FAILED(hr)) return hr;
  std::lock_guard<std::mutex> g(lock_);
  quit_ = false;
  if (!thread_.joinable()) thread_ = std::thread([this] { threadMain(); });
  return S_OK;
}

HRESULT SmartTeePreviewPin::inactive() {
  stopThread();
  return TeeOutputPin::inactive();
}

void SmartTeePreviewPin::stopThread() {
  IMediaSample* left = nullptr;
  {
    std::lock_guard<std::mutex> g(lock_);
    quit_ = true;
    left = pending_;
    pending_ = nullptr;
  }
  wake_.notify_all();
  if (left) left->Release();
  if (thread_.joinable()) thread_.join();
}

void SmartTeePreviewPin::offer(IMediaSample* sample) {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (quit_ || pending_) {
      dropped_.fetch_add(1);
      return;
    }
  }
  IMediaSample* copy = nullptr;
  if (FAILED(deliverCopy(sample, AM_GBF_NOWAIT, &copy))) {
    dropped_.fetch_add(1);
    return;
  }
  copy->SetTime(nullptr, nullptr);
  {
    std::lock_guard<std::mutex> g(lock_);
    if (!quit_ && !pending_) {
      pending_ = copy;
      copy = nullptr;
    }
  }
  if (copy) {
    copy->Release();
    dropped_.fetch_add(1);
  } else {
    wake_.notify_one();
  }
}

void SmartTeePreviewPin::threadMain() {
  for (;;) {
    IMediaSample* sample = nullptr;
    {
      std::unique_lock<std::mutex> g(lock_);
      wake_.wait(g, [&] { return quit_ || pending_; });
      if (quit_) return;
      sample = pending_;
      pending_ = nullptr;
    }
    if (deliver(sample) == S_OK) delivered_.fetch_add(1);
    sample->Release();
  }
}

SmartTee::SmartTee() : TeeFilter(CLSID_SmartTee) {
  capture_ = new TeeOutputPin(this, u"Capture");
  preview_ = new SmartTeePreviewPin(this, u"Preview");
  addOutput(capture_);
  addOutput(preview_);
}

HRESULT SmartTee::deliverToOutputs(IMediaSample* sample) {
  if (preview_->isConnected()) preview_->offer(sample);
  if (capture_->isConnected()) return capture_->deliverCopy(sample, 0);
  return S_OK;
}
