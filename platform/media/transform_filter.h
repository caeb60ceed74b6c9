// Transform filters: one input pin "XForm In" and one output pin
// "XForm Out". Each input sample is turned into one output sample on the
// upstream streaming thread. TransformInPlaceFilter changes the sample
// itself and passes it on (sharing one allocator from upstream to
// downstream when both sides accept it).
#pragma once
#include "platform/media/base_filter.h"

class TransformFilter;

class TransformInputPin : public BaseInputPin {
 public:
  TransformInputPin(TransformFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT completeConnect(IPin* peer) override;
  HRESULT breakConnect() override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

 protected:
  TransformFilter* transform_;
};

class TransformOutputPin : public BaseOutputPin {
 public:
  TransformOutputPin(TransformFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT checkConnect(IPin* peer) override;
  HRESULT completeConnect(IPin* peer) override;
  HRESULT breakConnect() override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  TransformFilter* transform_;
};

class TransformFilter : public BaseFilter {
 public:
  explicit TransformFilter(const CLSID& clsid);
  ~TransformFilter() override;

  int pinCount() override;
  BasePin* pin(int index) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  // Must supply: whether the input can take this type.
  virtual HRESULT checkInputType(const MediaType& mt) = 0;
  // Must supply: whether this output type can be made from this input type.
  virtual HRESULT checkTransform(const MediaType& in, const MediaType& out) = 0;
  // Must supply: the output types offered (called only with the input
  // connected); VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT getMediaType(int position, MediaType* mt) = 0;
  // Must supply: the output allocator's properties (see BaseOutputPin).
  virtual HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // Must supply (TransformInPlaceFilter supplies it): fill out from in.
  // S_OK delivers out; S_FALSE drops it.
  virtual HRESULT transform(IMediaSample* in, IMediaSample* out) = 0;

  // May supply: a pin's type was chosen (default: nothing more to do).
  virtual HRESULT setMediaType(PIN_DIRECTION dir, const MediaType& mt);
  // May supply: a connection was made or broken.
  virtual HRESULT completeConnect(PIN_DIRECTION dir, IPin* peer);
  virtual HRESULT breakConnect(PIN_DIRECTION dir);
  // May supply: streaming starts (leaving Stopped) or ends (entering Stopped).
  virtual HRESULT startStreaming() { return S_OK; }
  virtual HRESULT stopStreaming() { return S_OK; }
  // May supply: the whole receive step. Default: get an output buffer, copy
  // the sample's times and flags, transform, deliver.
  virtual HRESULT receive(IMediaSample* sample);
  // May supply: the pin factory, to create pins of derived classes. Called
  // once, on first use.
  virtual void createPins();

  TransformInputPin* inputPin() { return pin(0) ? input_ : nullptr; }
  TransformOutputPin* outputPin() { return pin(1) ? output_ : nullptr; }

  // Copies times, media times, sync point, preroll and discontinuity.
  static void copySampleProperties(IMediaSample* from, IMediaSample* to);

 protected:
  TransformInputPin* input_ = nullptr;
  TransformOutputPin* output_ = nullptr;
};

class TransformInPlaceOutputPin : public TransformOutputPin {
 public:
  using TransformOutputPin::TransformOutputPin;
  HRESULT completeConnect(IPin* peer) override;
};

class TransformInPlaceFilter : public TransformFilter {
 public:
  explicit TransformInPlaceFilter(const CLSID& clsid);

  // Must supply: change the sample in place. S_OK delivers it; S_FALSE drops it.
  virtual HRESULT transform(IMediaSample* sample) = 0;

  // Supplied here: the output offers the input's type and accepts only it;
  // buffers as upstream's (when the allocator cannot be shared).
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT receive(IMediaSample* sample) override;
  void createPins() override;
};
