#include "pellum/mxByteSwap.h"

#include <cstring>

namespace {
template <class T>
T reversed(const T& x) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &x, sizeof(T));
  for (unsigned i = 0; i < sizeof(T) / 2; ++i) {
    unsigned char b = bytes[i];
    bytes[i] = bytes[sizeof(T) - 1 - i];
    bytes[sizeof(T) - 1 - i] = b;
  }
  T out;
  std::memcpy(&out, bytes, sizeof(T));
  return out;
}
}  // namespace

short mxByteSwap::swap(const short& x) { return reversed(x); }
unsigned short mxByteSwap::swap(const unsigned short& x) { return reversed(x); }
int mxByteSwap::swap(const int& x) { return static_cast<int>(swap(static_cast<unsigned int>(x))); }
unsigned int mxByteSwap::swap(const unsigned int& x) { return reversed(x); }
long mxByteSwap::swap(const long& x) { return reversed(x); }
unsigned long mxByteSwap::swap(const unsigned long& x) { return reversed(x); }
long long mxByteSwap::swap(const long long& x) { return reversed(x); }
unsigned long long mxByteSwap::swap(const unsigned long long& x) { return reversed(x); }
float mxByteSwap::swap(const float& x) { return reversed(x); }
double mxByteSwap::swap(const double& x) { return reversed(x); }
