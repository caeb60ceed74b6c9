// Calls of the wrappers on a filter's control interface. Without the
// interface (the filter could not be made) setters do nothing and getters
// answer their fixed defaults.
#pragma once

#include "pellum/mxString.h"
#include "platform/com/result.h"

namespace rsControl {

// Gives up an interface pointer and clears it.
template <class I>
void release(I*& control) {
  if (I* c = control) {
    control = nullptr;
    c->Release();
  }
}

// A getter's call: the value the operation delivered, or fallback.
template <class T, class I, class V>
T get(I* control, HRESULT (I::*operation)(V*), T fallback) {
  V value = V(fallback);
  if (control) (control->*operation)(&value);
  return T(value);
}

// A pair getter's call: the values the operation delivered, or the defaults.
template <class T, class I, class V>
void getPair(I* control, HRESULT (I::*operation)(V*, V*), T& a, T& b, T defaultA, T defaultB) {
  V va = V(defaultA), vb = V(defaultB);
  if (control) (control->*operation)(&va, &vb);
  a = T(va);
  b = T(vb);
}

// A text getter's call through an area of 1024 bytes.
template <class I>
mxString getText(I* control, HRESULT (I::*operation)(char*)) {
  if (!control) return mxString();
  char area[1024] = {};
  (control->*operation)(area);
  area[sizeof area - 1] = '\0';
  return mxString(area);
}

}  // namespace rsControl
