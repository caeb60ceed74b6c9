// Counted objects and the counted reference that holds them.
//
// A new object has count 0 and is owned by nobody. Handing it to an
// mxObjectPtr makes the pointer an owner; when the last pointer lets go the
// object is deleted. An object never handed to a pointer is freed with
// destroy(). The count is atomic, so references may be taken and dropped
// from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <typeinfo>

class mxObject {
 public:
  // Adds one reference; returns the new count.
  unsigned ref();
  // Drops one reference unless the count is 0; returns the new count.
  // Never frees the object.
  unsigned unref();
  // Gives up one reference, or deletes the object when nobody holds one.
  void destroy();
  unsigned getRef() const { return count_.load(std::memory_order_acquire); }

  const std::type_info& getClassType() const { return typeid(*this); }
  const char* getClassName() const { return typeid(*this).name(); }
  bool isExactType(const std::type_info& type) const { return typeid(*this) == type; }
  virtual bool isDerivedFrom(const std::type_info& type) const { return type == typeid(mxObject); }

  static const std::type_info& getStaticClassType() { return typeid(mxObject); }
  static const char* getStaticClassName() { return typeid(mxObject).name(); }

 protected:
  mxObject() = default;
  // Copies are memberwise: the count is copied with the rest.
  mxObject(const mxObject& other) : count_(other.getRef()) {}
  mxObject& operator=(const mxObject& other) {
    count_.store(other.getRef(), std::memory_order_release);
    return *this;
  }
  virtual ~mxObject() = default;
  virtual void _destroy() { delete this; }

 private:
  std::atomic<uint32_t> count_{0};
};

// Declares the run-time type pair and the isDerivedFrom override of a
// counted class derived from Base:
//   class mxTime : public mxObject { MX_OBJECT_DECLARE(mxTime, mxObject) ... };
#define MX_OBJECT_DECLARE(Class, Base)                                                         \
 public:                                                                                       \
  static const std::type_info& getStaticClassType() { return typeid(Class); }                  \
  static const char* getStaticClassName() { return typeid(Class).name(); }                     \
  bool isDerivedFrom(const std::type_info& type) const override {                              \
    return type == typeid(Class) || Base::isDerivedFrom(type);                                 \
  }                                                                                            \
                                                                                               \
 private:

// A counted reference to a T derived from mxObject.
template <class T>
class mxObjectPtr {
 public:
  mxObjectPtr() = default;
  mxObjectPtr(T* object) { take(object); }  // NOLINT: implicit by design
  mxObjectPtr(const mxObjectPtr& other) { take(other.object_); }
  template <class U>
  mxObjectPtr(const mxObjectPtr<U>& other) {  // NOLINT: from a derived class
    take(other.get());
  }
  ~mxObjectPtr() { release(); }

  mxObjectPtr& operator=(T* object) {
    take(object);
    return *this;
  }
  mxObjectPtr& operator=(const mxObjectPtr& other) {
    take(other.object_);
    return *this;
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  operator T*() const { return object_; }  // NOLINT: implicit by design
  bool isNull() const { return object_ == nullptr; }
  bool operator!() const { return object_ == nullptr; }

 private:
  void take(T* object) {
    if (object == object_) return;
    // Reference the new one first: it may be owned only through the old one.
    if (object) object->ref();
    release();
    object_ = object;
  }
  void release() {
    T* old = object_;
    object_ = nullptr;
    if (old && old->unref() == 0) old->destroy();
  }

  T* object_ = nullptr;
};
