#include "platform/media/source_filter.h"

#include "platform/com/log.h"
#include "platform/com/wide_text.h"
#include "platform/media/results.h"

SourceStream::SourceStream(BaseFilter* filter, const char16_t* name) : BaseOutputPin(filter, name) {}

SourceStream::~SourceStream() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> g(threadLock_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
}

HRESULT SourceStream::active() {
  HRESULT hr = BaseOutputPin::active();
  if (FAILED(hr)) return hr;
  if (thread_.joinable()) return S_OK;
  quit_ = false;
  thread_ = std::thread([this] { threadMain(); });
  return S_OK;
}

HRESULT SourceStream::inactive() {
  stopThread();
  return S_OK;
}

void SourceStream::stopThread() {
  {
    std::lock_guard<std::mutex> g(threadLock_);
    quit_ = true;
  }
  wake_.notify_all();
  BaseOutputPin::inactive();  // wakes a thread waiting for a buffer
  if (thread_.joinable()) thread_.join();
}

void SourceStream::stateChanged() {
  { std::lock_guard<std::mutex> g(threadLock_); }
  wake_.notify_all();
}

void SourceStream::threadMain() {
  onThreadStart();
  for (;;) {
    {
      std::unique_lock<std::mutex> g(threadLock_);
      wake_.wait(g, [&] { return quit_ || filter_->state() == State_Running; });
      if (quit_) break;
    }
    IMediaSample* sample = nullptr;
    HRESULT hr = getDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) {
      if (hr != VFW_E_NOT_COMMITTED)
        platformLog(PlatformLogLevel::Error, "pin \"%s\": no buffer (0x%08X)",
                    utf16ToUtf8(name_.c_str()).c_str(), static_cast<unsigned>(hr));
      break;
    }
    hr = fillBuffer(sample);
    if (hr == S_OK) {
      hr = deliver(sample);
      sample->Release();
      if (hr != S_OK) {
        // Downstream stopped or refused: the stream ends until the next activation.
        if (FAILED(hr) && hr != VFW_E_WRONG_STATE && hr != VFW_E_NOT_COMMITTED)
          platformLog(PlatformLogLevel::Notice, "pin \"%s\": delivery refused (0x%08X)",
                      utf16ToUtf8(name_.c_str()).c_str(), static_cast<unsigned>(hr));
        break;
      }
    } else {
      sample->Release();
      if (hr == S_FALSE)
        deliverEndOfStream();
      else
        platformLog(PlatformLogLevel::Error, "pin \"%s\": filling a buffer failed (0x%08X)",
                    utf16ToUtf8(name_.c_str()).c_str(), static_cast<unsigned>(hr));
      break;
    }
  }
  onThreadStop();
}

SourceFilter::SourceFilter(const CLSID& clsid) : BaseFilter(clsid) {}

SourceFilter::~SourceFilter() {
  for (SourceStream* s : streams_) s->ownerRelease();
}

BasePin* SourceFilter::pin(int index) {
  return index >= 0 && index < static_cast<int>(streams_.size()) ? streams_[index] : nullptr;
}

void SourceFilter::addStream(SourceStream* stream) {
  stream->ownerAddRef();
  streams_.push_back(stream);
  incrementPinVersion();
}

HRESULT SourceFilter::Pause() {
  HRESULT hr = BaseFilter::Pause();
  for (SourceStream* s : streams_) s->stateChanged();
  return hr;
}

HRESULT SourceFilter::Run(REFERENCE_TIME start) {
  HRESULT hr = BaseFilter::Run(start);
  for (SourceStream* s : streams_) s->stateChanged();
  return hr;
}

HRESULT SourceFilter::Stop() {
  // The threads are joined before the filter lock is taken, so that a
  // fillBuffer that takes the filter lock cannot hold up the stop.
  for (SourceStream* s : streams_) s->stopThread();
  return BaseFilter::Stop();
}
