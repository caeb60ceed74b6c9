// Renderers: one input pin "In". Each sample is presented on the upstream
// streaming thread; a sample with a time stamp is held until its
// presentation time (start time of the run + sample start) on the graph's
// clock, unless the renderer does not synchronise to the clock. Stopping
// wakes a sample that waits and makes later samples fail.
#pragma once
#include <condition_variable>

#include "platform/media/base_filter.h"

class BaseRenderer;

class RendererInputPin : public BaseInputPin {
 public:
  RendererInputPin(BaseRenderer* renderer, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT breakConnect() override;

 private:
  BaseRenderer* renderer_;
};

class BaseRenderer : public BaseFilter {
 public:
  explicit BaseRenderer(const CLSID& clsid, const char16_t* pinName = u"In");
  ~BaseRenderer() override;

  int pinCount() override { return 1; }
  BasePin* pin(int index) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  // Must supply: whether the renderer can show this type.
  virtual HRESULT checkMediaType(const MediaType& mt) = 0;
  // Must supply: present one sample.
  virtual HRESULT doRenderSample(IMediaSample* sample) = 0;
  // May supply: the input's type was chosen / the connection was broken.
  virtual HRESULT setMediaType(const MediaType& mt);
  virtual HRESULT breakConnect();
  // May supply: streaming starts (leaving Stopped) / ends (entering Stopped).
  virtual HRESULT onStartStreaming() { return S_OK; }
  virtual HRESULT onStopStreaming() { return S_OK; }
  // May supply: end of stream arrived on the input.
  virtual HRESULT onEndOfStream() { return S_OK; }

  // Whether samples wait for their presentation time (default true).
  void setSyncToClock(bool sync) { syncToClock_ = sync; }
  RendererInputPin* inputPin() { return input_; }

  // The receive step: wait for the presentation time, then render.
  HRESULT receiveSample(IMediaSample* sample);

 protected:
  RendererInputPin* input_;
  std::mutex waitLock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<bool> syncToClock_{true};
};
