// Test helper: what a control interface's getter reports, as a value (or a
// pair for the getters of two values), so that a check reads in one line.
#pragma once
#include <utility>

#include "platform/com/result.h"

template <class I, class T>
T valueOf(I* control, HRESULT (I::*getter)(T*)) {
  T v{};
  (control->*getter)(&v);
  return v;
}

template <class I, class T>
std::pair<T, T> valueOf(I* control, HRESULT (I::*getter)(T*, T*)) {
  T x{}, y{};
  (control->*getter)(&x, &y);
  return {x, y};
}
