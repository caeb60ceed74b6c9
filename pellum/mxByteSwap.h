// mxByteSwap: a value with its bytes in reverse order. Floating-point values
// are swapped as their bit patterns.
#pragma once

#include <cstdint>

class mxByteSwap {
 public:
  static short swap(const short& x);
  static unsigned short swap(const unsigned short& x);
  static int swap(const int& x);
  static unsigned int swap(const unsigned int& x);
  static long swap(const long& x);
  static unsigned long swap(const unsigned long& x);
  static long long swap(const long long& x);
  static unsigned long long swap(const unsigned long long& x);
  static float swap(const float& x);
  static double swap(const double& x);
};
