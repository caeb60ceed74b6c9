// Smart Tee: one input, a "Capture" output (index 0) that receives every
// sample and may hold up the stream, and a "Preview" output (index 1) that
// never does: a preview copy is made only when a preview buffer is free and
// the preview thread is idle, otherwise the frame is dropped for the
// preview. Preview samples carry no time stamps, so a preview renderer shows
// them at once.
#pragma once
#include <condition_variable>
#include <thread>

#include "platform/filters/tee_pins.h"

class SmartTeePreviewPin final : public TeeOutputPin {
 public:
  SmartTeePreviewPin(TeeFilter* filter, const char16_t* name);
  HRESULT active() override;
  HRESULT inactive() override;
  // Hands a copy to the preview thread, or drops it.
  void offer(IMediaSample* sample);
  uint64_t dropped() const { return dropped_.load(); }
  uint64_t delivered() const { return delivered_.load(); }

 protected:
  ~SmartTeePreviewPin() override;

 private:
  void threadMain();
  void stopThread();
  std::mutex lock_;
  std::condition_variable wake_;
  std::thread thread_;
  IMediaSample* pending_ = nullptr;
  bool quit_ = false;
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> delivered_{0};
};

class SmartTee final : public TeeFilter {
 public:
  SmartTee();
  HRESULT deliverToOutputs(IMediaSample* sample) override;
  SmartTeePreviewPin* preview() { return preview_; }

 private:
  TeeOutputPin* capture_;
  SmartTeePreviewPin* preview_;
};
