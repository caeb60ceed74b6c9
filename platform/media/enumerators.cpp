#include "platform/media/enumerators.h"

#include "platform/media/results.h"

PinEnumerator::PinEnumerator(BaseFilter* filter) : filter_(filter) {
  filter_->AddRef();
  snapshot();
}

PinEnumerator::~PinEnumerator() {
  clear();
  filter_->Release();
}

void PinEnumerator::clear() {
  for (IPin* p : pins_) p->Release();
  pins_.clear();
}

void PinEnumerator::snapshot() {
  clear();
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  int n = filter_->pinCount();
  for (int i = 0; i < n; ++i)
    if (BasePin* p = filter_->pin(i)) {
      p->AddRef();
      pins_.push_back(p);
    }
  pos_ = 0;
}

HRESULT PinEnumerator::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IEnumPins) return getInterface(static_cast<IEnumPins*>(this), object);
  return E_NOINTERFACE;
}

HRESULT PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG n = 0;
  while (n < count && pos_ < pins_.size()) {
    pins[n] = pins_[pos_++];
    pins[n]->AddRef();
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT PinEnumerator::Skip(ULONG count) {
  size_t left = pins_.size() - pos_;
  if (count > left) {
    pos_ = pins_.size();
    return S_FALSE;
  }
  pos_ += count;
  return S_OK;
}

HRESULT PinEnumerator::Reset() {
  snapshot();
  return S_OK;
}

HRESULT PinEnumerator::Clone(IEnumPins** e) {
  if (!e) return E_POINTER;
  auto* c = new PinEnumerator(filter_);
  c->pos_ = pos_;
  c->AddRef();
  *e = c;
  return S_OK;
}

MediaTypeEnumerator::MediaTypeEnumerator(BasePin* pin, int position) : pin_(pin), pos_(position) {
  pin_->AddRef();
}
MediaTypeEnumerator::~MediaTypeEnumerator() {
  pin_->Release();
}

HRESULT MediaTypeEnumerator::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes)
    return getInterface(static_cast<IEnumMediaTypes*>(this), object);
  return E_NOINTERFACE;
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types) return E_POINTER;
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG n = 0;
  while (n < count) {
    MediaType mt;
    HRESULT hr;
    {
      std::lock_guard<std::recursive_mutex> g(pin_->filter()->filterLock());
      hr = pin_->getMediaType(pos_, &mt);
    }
    if (hr != S_OK) break;
    ++pos_;
    types[n] = CreateMediaType(mt.ptr());
    if (!types[n]) break;
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) {
  pos_ += static_cast<int>(count);
  return S_OK;
}

HRESULT MediaTypeEnumerator::Reset() {
  pos_ = 0;
  return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** e) {
  if (!e) return E_POINTER;
  auto* c = new MediaTypeEnumerator(pin_, pos_);
  c->AddRef();
  *e = c;
  return S_OK;
}
