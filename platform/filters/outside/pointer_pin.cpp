#include "platform/filters/outside/pointer_pin.h"

#include <cmath>

#include "filters/pointer/pointer_info.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace outside {

void Focus::set(float x, float y) {
  std::lock_guard<std::mutex> g(lock_);
  x_ = x;
  y_ = y;
}

void Focus::get(float* x, float* y) const {
  std::lock_guard<std::mutex> g(lock_);
  *x = x_;
  *y = y_;
}

void Focus::reset() {
  set(0.5f, 0.5f);
}

PointerInputPin::PointerInputPin(BaseFilter* filter, const char16_t* name, Focus* focus)
    : BaseInputPin(filter, name), focus_(focus) {}

HRESULT PointerInputPin::checkMediaType(const MediaType& mt) {
  return mt.majortype() == MEDIATYPE_Stream && mt.subtype() == MEDIASUBTYPE_PointerInfo
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PointerInputPin::receive(IMediaSample* sample) {
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
  LONG length = sample->GetActualDataLength();
  pointing::POINTER_INFO info;
  if (length <= 0 || !pointing::readPointerInfo(data, size_t(length), info)) return S_OK;
  if (info.valid && std::isfinite(info.positionX) && std::isfinite(info.positionY))
    focus_->set(info.positionX, info.positionY);
  return S_OK;
}

}  // namespace outside
