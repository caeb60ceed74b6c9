// Small helpers for tests that build graphs from registered filters.
#pragma once
#include <gtest/gtest.h>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/filter_interfaces.h"

inline ComPtr<IBaseFilter> createFilter(REFCLSID clsid) {
  ComPtr<IBaseFilter> f;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.putVoid());
  EXPECT_EQ(hr, S_OK) << guidToString(clsid);
  return f;
}

// The index-th pin of a direction, counting only pins of that direction.
inline ComPtr<IPin> pinOf(IBaseFilter* f, PIN_DIRECTION dir, int index) {
  ComPtr<IEnumPins> e;
  if (!f || FAILED(f->EnumPins(e.put()))) return {};
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == dir && index-- == 0) return p;
  }
  return {};
}

inline int pinCount(IBaseFilter* f, PIN_DIRECTION dir) {
  int n = 0;
  while (pinOf(f, dir, n)) ++n;
  return n;
}

inline HRESULT connect(IGraphBuilder* g, IBaseFilter* from, int out, IBaseFilter* to, int in) {
  ComPtr<IPin> o = pinOf(from, PINDIR_OUTPUT, out), i = pinOf(to, PINDIR_INPUT, in);
  if (!o || !i) return E_INVALIDARG;
  return g->ConnectDirect(o.get(), i.get(), nullptr);
}

struct ComSession {
  ComSession() { CoInitialize(nullptr); }
  ~ComSession() { CoUninitialize(); }
};
