// UnknownBase: the reference count and interface lookup that every object of
// the component model shares. An implementation class derives from its
// interfaces first and from UnknownBase after them, answers its interfaces in
// nonDelegatingQueryInterface (must supply) and routes the three IUnknown
// operations of all its interfaces to this base with PLATFORM_DECLARE_UNKNOWN.
#pragma once
#include <atomic>

#include "platform/com/unknown.h"

class UnknownBase {
 public:
  UnknownBase() = default;
  UnknownBase(const UnknownBase&) = delete;
  UnknownBase& operator=(const UnknownBase&) = delete;
  virtual ~UnknownBase();

  // Must supply: return the interface asked for with a new reference, or
  // E_NOINTERFACE (leaving *object null). IID_IUnknown must be answered with
  // the same pointer every time.
  virtual HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) = 0;
  ULONG nonDelegatingAddRef();
  // Destroys the object when the count reaches zero.
  ULONG nonDelegatingRelease();
  ULONG refCount() const { return refs_.load(); }

  // Objects made by a plug-in module count themselves in that module's
  // object counter so that the module is not unloaded under them.
  void bindModuleCounter(std::atomic<long>* counter);

 protected:
  // Helper for nonDelegatingQueryInterface: stores p with a new reference.
  template <typename I>
  static HRESULT getInterface(I* p, void** object) {
    p->AddRef();
    *object = p;
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{0};
  std::atomic<long>* moduleCounter_ = nullptr;
};

// Placed in the public part of the most-derived class: routes QueryInterface,
// AddRef and Release of every interface base to UnknownBase.
#define PLATFORM_DECLARE_UNKNOWN                                 \
  HRESULT QueryInterface(REFIID iid_, void** object_) override { \
    if (!object_) return E_POINTER;                              \
    *object_ = nullptr;                                          \
    return this->nonDelegatingQueryInterface(iid_, object_);     \
  }                                                              \
  ULONG AddRef() override {                                      \
    return this->nonDelegatingAddRef();                          \
  }                                                              \
  ULONG Release() override {                                     \
    return this->nonDelegatingRelease();                         \
  }
