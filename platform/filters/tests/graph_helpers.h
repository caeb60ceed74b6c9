// Small helpers for tests that build graphs from registered filters.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/device_interfaces.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/media_type.h"

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

// The type a pin is connected with (empty when it is not connected).
inline MediaType connectionType(IPin* pin) {
  AM_MEDIA_TYPE mt{};
  if (!pin || pin->ConnectionMediaType(&mt) != S_OK) return MediaType();
  MediaType type(mt);
  FreeMediaType(mt);
  return type;
}

// The category a pin reports through its property set (GUID_NULL when it
// reports none).
inline GUID pinCategory(IPin* pin) {
  GUID category{};
  ComPtr<IKsPropertySet> props = ComPtr<IPin>(pin).as<IKsPropertySet>();
  DWORD returned = 0;
  if (!props ||
      props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category, &returned) != S_OK)
    return GUID{};
  EXPECT_EQ(returned, sizeof(GUID));
  return category;
}

// Output 0 of each filter to input 0 of the next; the first failure.
inline HRESULT chain(IGraphBuilder* g, std::initializer_list<IBaseFilter*> filters) {
  IBaseFilter* previous = nullptr;
  for (IBaseFilter* f : filters) {
    if (previous) {
      HRESULT hr = connect(g, previous, 0, f, 0);
      if (FAILED(hr)) return hr;
    }
    previous = f;
  }
  return S_OK;
}

inline ComPtr<IGraphBuilder> newGraph() {
  ComPtr<IGraphBuilder> g;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, g.putVoid()), S_OK);
  return g;
}

// Creates a filter through the class registry and adds it to the graph.
inline ComPtr<IBaseFilter> addNew(IGraphBuilder* g, REFCLSID clsid, const char16_t* name) {
  ComPtr<IBaseFilter> f = createFilter(clsid);
  if (f) {
    EXPECT_EQ(g->AddFilter(f.get(), name), S_OK);
  }
  return f;
}

// One entry of a device category or of the filter mapper's answer.
struct Listed {
  std::string name, path, clsid;
  ComPtr<IMoniker> moniker;
  ComPtr<IBaseFilter> bind() const {
    ComPtr<IBaseFilter> f;
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, f.putVoid()), S_OK) << name;
    return f;
  }
};

// Every entry an enumerator yields; it is listed twice around Reset, and
// the second listing must be the same.
inline std::vector<Listed> listMonikers(IEnumMoniker* e) {
  std::vector<Listed> out;
  for (int pass = 0; e && pass < 2; ++pass) {
    std::vector<Listed> list;
    ComPtr<IMoniker> m;
    while (e->Next(1, m.put(), nullptr) == S_OK) {
      ComPtr<IPropertyBag> bag;
      EXPECT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
      char name[256] = "", path[256] = "", clsid[64] = "";
      bag->Read("FriendlyName", name, sizeof name);
      bag->Read("DevicePath", path, sizeof path);
      bag->Read("CLSID", clsid, sizeof clsid);
      list.push_back({name, path, clsid, m});
    }
    if (pass == 1) {
      EXPECT_EQ(list.size(), out.size()) << "a second listing after Reset differs";
      for (size_t i = 0; i < std::min(list.size(), out.size()); ++i) EXPECT_EQ(list[i].name, out[i].name);
    } else {
      out = std::move(list);
    }
    e->Reset();
  }
  return out;
}

// The entries of a device category (none when it is empty).
inline std::vector<Listed> listCategory(REFCLSID category) {
  ComPtr<ICreateDevEnum> devices;
  EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                             devices.putVoid()),
            S_OK);
  ComPtr<IEnumMoniker> e;
  if (devices) devices->CreateClassEnumerator(category, e.put(), 0);
  return listMonikers(e.get());
}

// Filters of at least this merit with an input and an output pin, taking
// inputType ({major, subtype}) when it is given, best merit first.
inline std::vector<Listed> listMatching(DWORD merit, const GUID* inputType = nullptr, bool exact = false) {
  ComPtr<IFilterMapper2> mapper;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.putVoid()),
            S_OK);
  ComPtr<IEnumMoniker> e;
  EXPECT_EQ(mapper->EnumMatchingFilters(e.put(), 0, exact, merit, TRUE, inputType ? 1 : 0, inputType,
                                        FALSE, TRUE, 0, nullptr),
            S_OK);
  return listMonikers(e.get());
}

inline std::vector<std::string> namesOf(const std::vector<Listed>& list) {
  std::vector<std::string> names;
  for (const Listed& l : list) names.push_back(l.name);
  return names;
}

// Polls a condition every 10 ms until it holds or ms milliseconds passed.
inline bool pollUntil(const std::function<bool()>& condition, int ms = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The graph's state, as IMediaControl reports it within a second (-1 when it cannot).
inline OAFilterState stateOf(IGraphBuilder* g) {
  OAFilterState state = -1;
  ComPtr<IMediaControl> control = ComPtr<IGraphBuilder>(g).as<IMediaControl>();
  if (!control || FAILED(control->GetState(1000, &state))) return -1;
  return state;
}

// Whether a capture source reports that its device was lost.
template <class Control>
bool deviceLost(const Control& source) {
  BOOL lost = FALSE;
  source->IsDeviceLost(&lost);
  return lost != FALSE;
}

struct ComSession {
  ComSession() { CoInitialize(nullptr); }
  ~ComSession() { CoUninitialize(); }
};
