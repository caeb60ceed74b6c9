// Source filters: each output pin (SourceStream) runs one streaming thread
// while the filter is active. The thread takes a buffer from the agreed
// allocator, has the pin fill it, and delivers it downstream, as long as
// the filter runs. Stopping decommits the allocator (waking a thread that
// waits for a buffer) and joins the thread.
#pragma once
#include <condition_variable>
#include <thread>
#include <vector>

#include "platform/media/base_filter.h"

class SourceStream : public BaseOutputPin {
 public:
  SourceStream(BaseFilter* filter, const char16_t* name);

  // Must supply: fill the sample (data, actual length, times, flags).
  // S_OK delivers it; S_FALSE ends the stream (end of stream is sent
  // downstream); a failure ends the stream with a log line.
  virtual HRESULT fillBuffer(IMediaSample* sample) = 0;
  // May supply: called on the streaming thread when it starts and before it
  // ends (each activation of the filter).
  virtual HRESULT onThreadStart() { return S_OK; }
  virtual HRESULT onThreadStop() { return S_OK; }

  HRESULT active() override;
  HRESULT inactive() override;
  // Ends the streaming thread (without taking the filter lock).
  void stopThread();
  // Wakes the thread after a change of the filter's state.
  void stateChanged();
  bool isStreaming() const { return thread_.joinable(); }

 protected:
  ~SourceStream() override;

 private:
  void threadMain();
  std::mutex threadLock_;
  std::condition_variable wake_;
  std::thread thread_;
  bool quit_ = false;
};

class SourceFilter : public BaseFilter {
 public:
  explicit SourceFilter(const CLSID& clsid);
  ~SourceFilter() override;

  int pinCount() override { return static_cast<int>(streams_.size()); }
  BasePin* pin(int index) override;

  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;

 protected:
  // Adds an output pin; the filter takes it over (owner reference).
  void addStream(SourceStream* stream);
  std::vector<SourceStream*> streams_;
};
