// mxQuickSort: an in-place, unstable sort of raw elements of any width,
// called like the C library's qsort.
//
// An introspective quicksort: median-of-three partitioning while more than
// 32 elements remain, heap sort once the depth budget runs out, insertion
// sort for the small ranges. A pivot equal to the earlier pivot bounding its
// range has all its copies set aside in one pass, so inputs with few
// distinct keys cost about n log(keys) comparisons. Elements are swapped and
// shifted through a 256-byte scratch area, so any width works without
// allocation.
#pragma once

class mxQuickSort {
 public:
  using CompareFunction = int (*)(const void*, const void*);
  static void sort(void* base, unsigned count, unsigned width, CompareFunction compare);
};
