#include "platform/filters/null_renderer.h"

#include "platform/media/guids.h"

NullRenderer::NullRenderer() : BaseRenderer(CLSID_NullRenderer) {}

HRESULT NullRenderer::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_INullRendererControl) return getInterface(static_cast<INullRendererControl*>(this), object);
  return BaseRenderer::nonDelegatingQueryInterface(iid, object);
}

HRESULT NullRenderer::checkMediaType(const MediaType&) {
  return S_OK;
}

HRESULT NullRenderer::doRenderSample(IMediaSample* sample) {
  count_.fetch_add(1);
  if (NullRendererCallback cb = callback_.load()) cb(context_.load(), sample);
  return S_OK;
}

HRESULT NullRenderer::GetSampleCount(uint64_t* count) {
  if (!count) return E_POINTER;
  *count = count_.load();
  return S_OK;
}

HRESULT NullRenderer::SetCallback(NullRendererCallback callback, void* context) {
  context_ = context;
  callback_ = callback;
  return S_OK;
}

HRESULT NullRenderer::SetSyncToClock(BOOL sync) {
  setSyncToClock(sync != 0);
  return S_OK;
}
