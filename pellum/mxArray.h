// mxArray: a growable array with a linear growth step (16 by default).
//
// The capacity the array reports grows by one step at a time. Underneath,
// the block is reserved geometrically (it may hold more slots than the
// reported capacity) and elements are moved, not copied, when the block has
// to be replaced, so a long run of appends costs amortised constant time
// per element.
//
// Elements of plain (trivially copyable) types are moved as raw memory, and
// new slots of such types start zeroed; elements of class type are copied
// one by one with the copy policy (their assignment operator). The four
// policy parameters are the ordering and comparison functors used when
// sorting or searching.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

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
  static constexpr bool kZeroInit = kRaw && std::is_trivially_default_constructible_v<T>;

 public:
  mxArray() = default;
  mxArray(const mxArray& other) : growStep_(other.growStep_) { copyFrom(other); }
  ~mxArray() { clear(); }

  mxArray& operator=(const mxArray& other) {
    if (this == &other) return *this;
    clear();
    growStep_ = other.growStep_;
    copyFrom(other);
    return *this;
  }

  // Appends one element, growing the capacity by one step when full.
  void append(const T& element) {
    if (size_ == capacity_) {
      uint32_t grown = capacity_ + growStep_;
      if (grown > room_ && owns(&element)) {
        // The element lives in our own block, which is about to be
        // replaced: find it again at its index afterwards.
        uint32_t index = static_cast<uint32_t>(&element - data_);
        setCapacity(grown);
        Copy()(data_[size_], data_[index]);
        ++size_;
        return;
      }
      setCapacity(grown);
    }
    Copy()(data_[size_++], element);
  }

  // Sets the capacity to exactly n elements, keeping the first min(size, n);
  // the slots after them hold fresh elements. 0 frees everything.
  void setCapacity(uint32_t n) {
    if (n == capacity_) return;
    if (n == 0) {
      clear();
      return;
    }
    uint32_t keep = size_ < n ? size_ : n;
    if (n > room_ || n < capacity_) {
      // Growing past the block reserves room for later steps; an explicit
      // shrink gives the memory back.
      uint32_t room = n < capacity_ ? n : grownRoom(n);
      T* block = allocate(room);
      relocate(block, data_, keep);
      destroy(data_ + keep, capacity_ - keep);
      deallocate(data_, room_);
      data_ = block;
      room_ = room;
    } else {
      destroy(data_ + keep, capacity_ - keep);
    }
    construct(data_ + keep, n - keep);
    capacity_ = n;
    size_ = keep;
  }

  // Sets the number of elements in use; grows the capacity by whole steps
  // until it exceeds n, never shrinks it.
  void setSize(uint32_t n) {
    if (n >= capacity_) {
      uint64_t steps = (uint64_t{n} - capacity_) / growStep_ + 1;
      setCapacity(static_cast<uint32_t>(capacity_ + steps * growStep_));
    }
    size_ = n;
  }

  void clear() {
    destroy(data_, capacity_);
    deallocate(data_, room_);
    data_ = nullptr;
    size_ = capacity_ = room_ = 0;
  }

  T& operator[](uint32_t index) { return data_[index]; }
  const T& operator[](uint32_t index) const { return data_[index]; }
  uint32_t getSize() const { return size_; }
  uint32_t getCapacity() const { return capacity_; }
  uint32_t getGrowStep() const { return growStep_; }
  T* getData() { return data_; }
  const T* getData() const { return data_; }

 private:
  // The reported capacity of the copy is the source's; its block holds
  // exactly that many slots.
  void copyFrom(const mxArray& other) {
    if (other.capacity_ == 0) return;
    data_ = allocate(other.capacity_);
    room_ = capacity_ = other.capacity_;
    construct(data_, capacity_);
    if constexpr (kRaw) {
      if (other.size_) std::memcpy(static_cast<void*>(data_), static_cast<const void*>(other.data_), sizeof(T) * other.size_);
    } else {
      for (uint32_t i = 0; i < other.size_; ++i) Copy()(data_[i], other.data_[i]);
    }
    size_ = other.size_;
  }

  bool owns(const T* p) const {
    return data_ && !std::less<const T*>()(p, data_) && std::less<const T*>()(p, data_ + size_);
  }

  // Doubles the block (at least to n), so appends by one step at a time
  // replace it only a logarithmic number of times.
  uint32_t grownRoom(uint32_t n) const {
    uint64_t doubled = uint64_t{room_} * 2;
    uint64_t room = doubled > n ? doubled : n;
    return room > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(room);
  }

  static T* allocate(uint32_t n) { return std::allocator<T>().allocate(n); }
  static void deallocate(T* block, uint32_t n) {
    if (block) std::allocator<T>().deallocate(block, n);
  }

  // Makes `count` fresh elements in raw slots.
  static void construct(T* to, uint32_t count) {
    if constexpr (kZeroInit) {
      if (count) std::memset(static_cast<void*>(to), 0, sizeof(T) * count);
    } else {
      for (uint32_t i = 0; i < count; ++i) ::new (static_cast<void*>(to + i)) T();
    }
  }

  static void destroy(T* from, uint32_t count) {
    if constexpr (!std::is_trivially_destructible_v<T>) {
      for (uint32_t i = 0; i < count; ++i) from[i].~T();
    }
  }

  // Moves `count` elements into raw slots of a new block and ends them in
  // the old one.
  static void relocate(T* to, T* from, uint32_t count) {
    if (count == 0) return;
    if constexpr (kRaw) {
      std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), sizeof(T) * count);
    } else {
      for (uint32_t i = 0; i < count; ++i) {
        ::new (static_cast<void*>(to + i)) T(std::move_if_noexcept(from[i]));
        from[i].~T();
      }
    }
  }

  T* data_ = nullptr;
  uint32_t capacity_ = 0;  // constructed slots, as reported
  uint32_t size_ = 0;
  uint32_t growStep_ = 16;
  uint32_t room_ = 0;  // slots in the block (>= capacity_)
};
