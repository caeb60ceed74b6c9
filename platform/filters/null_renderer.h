// Null Renderer: accepts any type and discards the samples, counting them.
// INullRendererControl lets tests and benchmarks watch each sample.
#pragma once
#include "platform/media/renderer.h"

inline constexpr IID IID_INullRendererControl = makeGuid("{4C1D7A02-93B8-4F0E-A6D5-2E6B0F3C8A11}");

using NullRendererCallback = void (*)(void* context, IMediaSample* sample);

struct INullRendererControl : IUnknown {
  virtual HRESULT GetSampleCount(uint64_t* count) = 0;                            // 3
  virtual HRESULT SetCallback(NullRendererCallback callback, void* context) = 0;  // 4
  virtual HRESULT SetSyncToClock(BOOL sync) = 0;                                  // 5

 protected:
  ~INullRendererControl() = default;
};
PLATFORM_INTERFACE_ID(INullRendererControl, IID_INullRendererControl);

class NullRenderer final : public BaseRenderer, public INullRendererControl {
 public:
  NullRenderer();
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return BaseRenderer::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return BaseRenderer::AddRef(); }
  ULONG Release() override { return BaseRenderer::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT doRenderSample(IMediaSample* sample) override;

  HRESULT GetSampleCount(uint64_t* count) override;
  HRESULT SetCallback(NullRendererCallback callback, void* context) override;
  HRESULT SetSyncToClock(BOOL sync) override;

 private:
  std::atomic<uint64_t> count_{0};
  std::atomic<NullRendererCallback> callback_{nullptr};
  std::atomic<void*> context_{nullptr};
};
