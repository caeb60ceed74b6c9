// Pointer position filter: a source filter whose one output pin "Out" emits
// the local pointer as pointer records, sampled every interval (30 ms by
// default) and sent when something changed, at least every 500 ms.
#pragma once
#include <memory>

#include "filters/pointer/pointer_sampler.h"
#include "filters/tracion/ITracionControl.h"
#include "platform/media/source_filter.h"

class TracionFilter;

class TracionStream final : public SourceStream, public IQualityControl {
 public:
  explicit TracionStream(TracionFilter* filter);

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return SourceStream::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return SourceStream::AddRef(); }
  ULONG Release() override { return SourceStream::Release(); }
  HRESULT queryPinInterface(REFIID iid, void** object) override;

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;
  HRESULT active() override;

  // IQualityControl: downstream's quality notes are only logged.
  HRESULT Notify(IBaseFilter* self, Quality q) override;
  HRESULT SetSink(IQualityControl* sink) override;

  // Wakes the streaming thread out of its sampling sleep for good.
  void cancel() { cancel_.cancel(); }

 private:
  TracionFilter* tracion_;
  pointing::SamplerCancel cancel_;
};

class TracionFilter final : public SourceFilter, public ITracionControl {
 public:
  // displayName empty: the DISPLAY environment variable.
  explicit TracionFilter(const std::string& displayName = {});

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return SourceFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return SourceFilter::AddRef(); }
  ULONG Release() override { return SourceFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Stop() override;

  int settingsVersion() const override { return 1; }
  // The longest stream written: 28 bytes of fields and up to 16 of command
  // text. (40 would cut a command of 12 to 15 characters on the way back in,
  // since a load reads at most this many bytes.)
  uint64_t settingsSizeMax() const override { return 44; }
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
  std::vector<CLSID> propertyPages() const override { return {CLSID_TracionPropertyPage}; }

  HRESULT getScreenSize(int32_t* width, int32_t* height) override;
  HRESULT getTracion(int32_t* x, int32_t* y) override;
  HRESULT getButtonStatus(uint16_t* buttons) override;
  HRESULT getWheelStatus(uint16_t* wheel) override;
  HRESULT getNormalizedTracion(float* x, float* y) override;
  HRESULT getPointerShape(int32_t* shape) override;
  HRESULT setPointerShape(int32_t shape) override;
  HRESULT getNormalizedOrigin(float* x, float* y) override;
  HRESULT setNormalizedOrigin(float x, float y) override;
  HRESULT getNormalizedSize(float* x, float* y) override;
  HRESULT setNormalizedSize(float x, float y) override;
  HRESULT getOutputInterval(uint32_t* ms) override;
  HRESULT setOutputInterval(uint32_t ms) override;
  HRESULT getCommand(char* text) override;
  HRESULT setCommand(const char* text) override;
  HRESULT sendCommand() override;

  pointing::PointerSampler& sampler() { return sampler_; }

 private:
  TracionStream* stream_;
  pointing::PointerSampler sampler_;
};
