#include "platform/com/class_factory.h"

HRESULT ClassFactoryBase::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IClassFactory) return getInterface(static_cast<IClassFactory*>(this), object);
  return E_NOINTERFACE;
}

HRESULT ClassFactoryBase::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  HRESULT hr = S_OK;
  UnknownBase* obj = make(&hr);
  if (!obj) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  obj->nonDelegatingAddRef();
  hr = FAILED(hr) ? hr : obj->nonDelegatingQueryInterface(iid, object);
  obj->nonDelegatingRelease();
  if (FAILED(hr)) *object = nullptr;
  return hr;
}
