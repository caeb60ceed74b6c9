// ComPtr: an owning counted reference to an interface (RAII for AddRef and
// Release).
#pragma once
#include <utility>

#include "platform/com/unknown.h"

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference on p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { reset(); }
  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).swap(*this);
    return *this;
  }
  void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // Adopts a reference the caller already owns.
  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Gives up ownership without releasing.
  T* detach() { return std::exchange(p_, nullptr); }
  // Releases the current reference and returns the slot for an out-parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Queries another interface; empty on failure.
  template <typename U>
  ComPtr<U> as() const {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(InterfaceId<U>::value(), r.putVoid());
    return r;
  }

 private:
  T* p_ = nullptr;
};
