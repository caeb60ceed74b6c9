// mxArray: a growable array with a linear growth step (16 by default).
//
// Elements of plain (trivially copyable) types are moved as raw memory, and
// new slots of such types start zeroed; elements of class type are copied
// one by one with their assignment operator. The four policy parameters are
// the ordering and comparison functors used when sorting or searching.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// Ordering "less": a < b.
template <class T>
struct mxLessFunc {
  bool operator()(const T& a, const T& b) const { return a < b; }
};
// Ordering "greater": a > b.
template <class T>
struct mxGreaterFunc {
  bool operator()(const T& a, const T& b) const { return b < a; }
};
// Element copy.
template <class T>
struct mxCopyFunc {
  void operator()(T& to, const T& from) const { to = from; }
};
// Element comparison: equality.
template <class T>
struct mxCompFunc {
  bool operator()(const T& a, const T& b) const { return a == b; }
};

template <class T, class Less = mxLessFunc<T>, class Greater = mxGreaterFunc<T>, class Copy = mxCopyFunc<T>,
          class Comp = mxCompFunc<T>>
class mxArray {
  static constexpr bool kRaw = std::is_trivially_copyable_v<T>;

 public:
  mxArray() = default;
  mxArray(const mxArray& other) : growStep_(other.growStep_) {
    setCapacity(other.capacity_);
    copyElements(data_, other.data_, other.size_);
    size_ = other.size_;
  }
  ~mxArray() { clear(); }

  mxArray& operator=(const mxArray& other) {
    if (this == &other) return *this;
    clear();
    growStep_ = other.growStep_;
    setCapacity(other.capacity_);
    copyElements(data_, other.data_, other.size_);
    size_ = other.size_;
    return *this;
  }

  // Appends one element, growing the capacity by one step when full.
  void append(const T& element) {
    if (size_ == capacity_) {
      if (&element >= data_ && &element < data_ + size_) {  // the element lives in our own block
        T copy(element);
        setCapacity(capacity_ + growStep_);
        Copy()(data_[size_++], copy);
        return;
      }
      setCapacity(capacity_ + growStep_);
    }
    Copy()(data_[size_++], element);
  }

  // Reallocates to exactly n elements, keeping the first min(size, n).
  void setCapacity(uint32_t n) {
    if (n == capacity_) return;
    if (n == 0) {
      clear();
      return;
    }
    uint32_t keep = size_ < n ? size_ : n;
    if constexpr (kRaw) {
      void* block = std::realloc(static_cast<void*>(data_), sizeof(T) * size_t{n});
      if (!block) throw std::bad_alloc();
      data_ = static_cast<T*>(block);
      if (n > capacity_) std::memset(static_cast<void*>(data_ + capacity_), 0, sizeof(T) * (n - capacity_));
    } else {
      T* block = new T[n];
      copyElements(block, data_, keep);
      delete[] data_;
      data_ = block;
    }
    capacity_ = n;
    size_ = keep;
  }

  // Sets the number of elements in use; grows the capacity step by step
  // until it exceeds n, never shrinks it.
  void setSize(uint32_t n) {
    uint32_t capacity = capacity_;
    while (n >= capacity) capacity += growStep_;
    setCapacity(capacity);
    size_ = n;
  }

  void clear() {
    if constexpr (kRaw) std::free(static_cast<void*>(data_));
    else delete[] data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  T& operator[](uint32_t index) { return data_[index]; }
  const T& operator[](uint32_t index) const { return data_[index]; }
  uint32_t getSize() const { return size_; }
  uint32_t getCapacity() const { return capacity_; }
  uint32_t getGrowStep() const { return growStep_; }
  T* getData() { return data_; }
  const T* getData() const { return data_; }

 private:
  static void copyElements(T* to, const T* from, uint32_t count) {
    if (count == 0) return;
    if constexpr (kRaw) {
      std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), sizeof(T) * count);
    } else {
      for (uint32_t i = 0; i < count; ++i) Copy()(to[i], from[i]);
    }
  }

  T* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t size_ = 0;
  uint32_t growStep_ = 16;
};
