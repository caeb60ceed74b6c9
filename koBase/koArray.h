// koArray: a growable array of plain values (pointers, integers, bytes) with
// a linear growth step. New elements made by setSize are not initialised.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <type_traits>

template <typename T>
class koArray {
  static_assert(std::is_trivially_copyable_v<T>, "koArray holds plain values");

 public:
  explicit koArray(uint32_t growStep = 16) : _growStep(growStep ? growStep : 1) {}
  ~koArray() { delete[] _items; }
  koArray(const koArray&) = delete;
  koArray& operator=(const koArray&) = delete;

  void setGrowStep(uint32_t step) { _growStep = step ? step : 1; }
  uint32_t getGrowStep() const { return _growStep; }

  // n = 0 frees everything; otherwise keeps min(size, n) elements in a
  // buffer of exactly n elements.
  void reserve(uint32_t n) {
    if (n == _capacity) return;
    if (n == 0) {
      delete[] _items;
      _items = nullptr;
      _capacity = _size = 0;
      return;
    }
    T* items = new T[n];
    const uint32_t keep = _size < n ? _size : n;
    if (keep) std::memcpy(items, _items, keep * sizeof(T));
    delete[] _items;
    _items = items;
    _capacity = n;
    _size = keep;
  }

  // The capacity always ends above the size set.
  void setSize(uint32_t n) {
    while (n >= _capacity) reserve(_capacity + _growStep);
    _size = n;
  }

  void append(const T& x) {
    if (_size == _capacity) reserve(_capacity + _growStep);
    _items[_size++] = x;
  }

  void removeAt(uint32_t index) {
    assert(index < _size);
    if (index >= _size) return;
    if (index + 1 == _size) {
      --_size;
      return;
    }
    T* items = new T[_capacity];
    if (index) std::memcpy(items, _items, index * sizeof(T));
    std::memcpy(items + index, _items + index + 1, (_size - index - 1) * sizeof(T));
    delete[] _items;
    _items = items;
    --_size;
  }

  T& operator[](uint32_t index) {
    assert(index < _size);
    return _items[index];
  }
  const T& operator[](uint32_t index) const {
    assert(index < _size);
    return _items[index];
  }
  T* data() { return _items; }
  const T* data() const { return _items; }
  uint32_t size() const { return _size; }
  uint32_t capacity() const { return _capacity; }

 private:
  T* _items = nullptr;
  uint32_t _capacity = 0;
  uint32_t _size = 0;
  uint32_t _growStep;
};
