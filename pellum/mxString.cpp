#include "pellum/mxString.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
// Compares two texts; false when either is null or empty.
bool comparable(const char* a, const char* b) { return a && b && *a && *b; }
int compareBytes(const char* a, const char* b) { return std::strcmp(a, b); }  // strcmp compares unsigned
}  // namespace

mxString::mxString(const char* text) {
  if (text) assign(text, static_cast<unsigned>(std::strlen(text)));
}

mxString::mxString(const char* bytes, unsigned count) {
  if (!bytes) return;
  const void* nul = std::memchr(bytes, 0, count);
  if (nul) count = static_cast<unsigned>(static_cast<const char*>(nul) - bytes);
  assign(bytes, count);
}

mxString::mxString(const mxString& other) : mxString(other.data_) {}

mxString::mxString(mxString&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}

mxString::mxString(int value) { format("%d", value); }
mxString::mxString(float value) { format("%f", static_cast<double>(value)); }
mxString::mxString(double value) { format("%lf", value); }

mxString::~mxString() { std::free(data_); }

void mxString::assign(const char* bytes, unsigned count) {
  // Copy first: the source may lie inside our own block.
  char* block = nullptr;
  if (count > 0) {
    block = static_cast<char*>(std::malloc(count + 1u));
    if (!block) std::abort();
    std::memcpy(block, bytes, count);
    block[count] = '\0';
  }
  std::free(data_);
  data_ = block;
}

mxString& mxString::operator=(const char* text) {
  if (!text) makeEmpty();
  else assign(text, static_cast<unsigned>(std::strlen(text)));
  return *this;
}

mxString& mxString::operator=(const mxString& other) {
  if (this != &other) *this = other.data_;
  return *this;
}

mxString& mxString::operator=(mxString&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
  }
  return *this;
}

unsigned mxString::length() const { return data_ ? static_cast<unsigned>(std::strlen(data_)) : 0; }

void mxString::length(unsigned n) {
  if (n == 0) {
    makeEmpty();
    return;
  }
  unsigned len = length();
  if (n < len) assign(data_, n);
}

void mxString::makeEmpty() {
  std::free(data_);
  data_ = nullptr;
}

void mxString::toLower() {
  for (char* p = data_; p && *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

void mxString::toUpper() {
  for (char* p = data_; p && *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
}

mxString mxString::lowerCase() const {
  mxString copy(*this);
  copy.toLower();
  return copy;
}

mxString mxString::upperCase() const {
  mxString copy(*this);
  copy.toUpper();
  return copy;
}

int mxString::toInt(int def) const {
  int value;
  if (!data_ || std::sscanf(data_, "%d", &value) != 1) return def;
  return value;
}

float mxString::toFloat(float def) const {
  float value;
  if (!data_ || std::sscanf(data_, "%f", &value) != 1) return def;
  return value;
}

double mxString::toDouble(double def) const {
  double value;
  if (!data_ || std::sscanf(data_, "%lf", &value) != 1) return def;
  return value;
}

void mxString::insert(const mxString& s, unsigned pos) {
  unsigned len = length();
  if (pos >= len || s.isEmpty()) return;
  mxString result = subString(0, pos);
  result += s;
  result += data_ + pos;
  *this = std::move(result);
}

mxString& mxString::operator+=(const char* text) {
  if (!text || !*text) return *this;
  unsigned len = length();
  unsigned add = static_cast<unsigned>(std::strlen(text));
  char* block = static_cast<char*>(std::malloc(len + add + 1u));
  if (!block) std::abort();
  if (len) std::memcpy(block, data_, len);
  std::memcpy(block + len, text, add);  // text may be our own block: still intact here
  block[len + add] = '\0';
  std::free(data_);
  data_ = block;
  return *this;
}

mxString& mxString::operator+=(const mxString& other) { return *this += other.data_; }

void mxString::replace(const mxString& what, mxString with) {
  if (!data_ || what.isEmpty()) return;
  const char* found = std::strstr(data_, what.data_);
  if (!found) return;
  unsigned pos = static_cast<unsigned>(found - data_);
  mxString result(data_, pos);
  result += with;
  result += found + what.length();
  *this = std::move(result);
}

mxString mxString::subString(unsigned pos) const {
  if (pos >= length()) return mxString();
  return mxString(data_ + pos);
}

mxString mxString::subString(unsigned pos, unsigned n) const {
  unsigned len = length();
  if (pos > len || n > len - pos) return mxString();
  return mxString(data_ + pos, n);
}

mxString& mxString::format(const char* fmt, ...) {
  if (!fmt) {
    makeEmpty();
    return *this;
  }
  char area[512];
  va_list args;
  va_start(args, fmt);
  int n = std::vsnprintf(area, sizeof area, fmt, args);
  va_end(args);
  if (n < 0) area[0] = '\0';
  return *this = area;
}

uint32_t mxString::hash() const {
  uint32_t h = 0;
  unsigned shift = 0;
  for (const char* p = data_; p && *p; ++p) {
    int32_t b = static_cast<signed char>(*p);
    h ^= static_cast<uint32_t>(b) << shift;
    shift += 5;
    if (shift > 24) shift -= 24;
  }
  return h;
}

mxString operator+(const mxString& a, const mxString& b) {
  mxString result(a);
  result += b;
  return result;
}

bool operator==(const mxString& a, const char* b) {
  return comparable(a.c_str(), b) && compareBytes(a.c_str(), b) == 0;
}
bool operator!=(const mxString& a, const char* b) { return !(a == b); }
bool operator<(const mxString& a, const char* b) {
  return comparable(a.c_str(), b) && compareBytes(a.c_str(), b) < 0;
}
bool operator>(const mxString& a, const char* b) {
  return comparable(a.c_str(), b) && compareBytes(a.c_str(), b) > 0;
}
bool operator<=(const mxString& a, const char* b) {
  return comparable(a.c_str(), b) && compareBytes(a.c_str(), b) <= 0;
}
bool operator>=(const mxString& a, const char* b) {
  return comparable(a.c_str(), b) && compareBytes(a.c_str(), b) >= 0;
}

bool operator==(const mxString& a, const mxString& b) { return a == b.c_str(); }
bool operator!=(const mxString& a, const mxString& b) { return a != b.c_str(); }
bool operator<(const mxString& a, const mxString& b) { return a < b.c_str(); }
bool operator>(const mxString& a, const mxString& b) { return a > b.c_str(); }
bool operator<=(const mxString& a, const mxString& b) { return a <= b.c_str(); }
bool operator>=(const mxString& a, const mxString& b) { return a >= b.c_str(); }

// Text on the left: answered by the mirrored operator.
bool operator==(const char* a, const mxString& b) { return b == a; }
bool operator!=(const char* a, const mxString& b) { return b != a; }
bool operator<(const char* a, const mxString& b) { return b > a; }
bool operator>(const char* a, const mxString& b) { return b < a; }
bool operator<=(const char* a, const mxString& b) { return b >= a; }
bool operator>=(const char* a, const mxString& b) { return b <= a; }
