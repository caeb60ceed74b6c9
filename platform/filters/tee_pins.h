// Pieces shared by the tees: an input pin that hands samples to its filter,
// and output pins that offer exactly the input's type with buffers like the
// input's.
#pragma once
#include "platform/media/base_filter.h"

class TeeFilter;

class TeeInputPin : public BaseInputPin {
 public:
  TeeInputPin(TeeFilter* filter, const char16_t* name);
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  TeeFilter* tee_;
};

class TeeOutputPin : public BaseOutputPin {
 public:
  TeeOutputPin(TeeFilter* filter, const char16_t* name);
  HRESULT checkConnect(IPin* peer) override;
  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT completeConnect(IPin* peer) override;
  HRESULT breakConnect() override;
  // Copies data and properties of in into a new buffer and delivers it.
  // flags: AM_GBF_NOWAIT to drop rather than wait for a buffer.
  HRESULT deliverCopy(IMediaSample* in, DWORD flags, IMediaSample** keep = nullptr);

 protected:
  TeeFilter* tee_;
};

class TeeFilter : public BaseFilter {
 public:
  explicit TeeFilter(const CLSID& clsid);
  ~TeeFilter() override;

  int pinCount() override;
  BasePin* pin(int index) override;
  HRESULT Stop() override;

  TeeInputPin* input() { return input_; }
  // Must supply: hand one input sample to the outputs.
  virtual HRESULT deliverToOutputs(IMediaSample* sample) = 0;
  // May supply: an output completed or broke its connection.
  virtual void outputConnected(TeeOutputPin*) {}
  virtual void outputDisconnected(TeeOutputPin*) {}

 protected:
  void addOutput(TeeOutputPin* pin);
  void removeOutput(TeeOutputPin* pin);
  TeeInputPin* input_;
  std::vector<TeeOutputPin*> outputs_;
};
