// Core library speed against the standard library, on one million elements:
//   mxQuickSort vs std::sort (and qsort) on ints (random, sorted, reversed,
//   100 distinct keys, all equal) and on 64-byte records;
//   mxArray::append vs std::vector::push_back for ints and for mxString.
// Prints each time and the ratio to the standard library (goal: <= 1.5
// against std::sort calling the same comparison function through a pointer).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "pellum/mxArray.h"
#include "pellum/mxQuickSort.h"
#include "pellum/mxString.h"

namespace {

constexpr unsigned kCount = 1000000;

double seconds(const std::function<void()>& body, int repeats = 3) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    auto start = std::chrono::steady_clock::now();
    body();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

int compareInt(const void* a, const void* b) {
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

struct Record {
  uint32_t key;
  unsigned char payload[60];
};
int compareRecord(const void* a, const void* b) {
  uint32_t x = static_cast<const Record*>(a)->key, y = static_cast<const Record*>(b)->key;
  return (x > y) - (x < y);
}

void report(const char* what, double mine, double theirs) {
  std::printf("%-44s %9.1f ms vs %9.1f ms  ratio %.2f\n", what, mine * 1e3, theirs * 1e3, mine / theirs);
}

}  // namespace

int main() {
  std::mt19937 rng(42);
  struct Input {
    const char* kind;
    std::vector<int> values;
  };
  std::vector<Input> inputs = {{"random ints", {}}, {"ints, sorted", {}}, {"ints, reversed", {}},
                               {"ints, 100 distinct", {}}, {"ints, all equal", {}}};
  for (auto& in : inputs) in.values.resize(kCount);
  for (unsigned i = 0; i < kCount; ++i) {
    inputs[0].values[i] = static_cast<int>(rng());
    inputs[1].values[i] = static_cast<int>(i);
    inputs[2].values[i] = static_cast<int>(kCount - i);
    inputs[3].values[i] = static_cast<int>(rng() % 100);
    inputs[4].values[i] = 7;
  }
  std::vector<Record> records(kCount / 4);
  for (auto& r : records) {
    r.key = rng();
    std::memset(r.payload, static_cast<int>(r.key), sizeof r.payload);
  }

  std::printf("one million elements (records: 250000 of 64 bytes); best of 3\n");
  for (const auto& in : inputs) {
    const std::vector<int>& data = in.values;
    std::vector<int> work;
    double mx = seconds([&] {
      work = data;
      mxQuickSort::sort(work.data(), kCount, sizeof(int), compareInt);
    });
    double stdLambda = seconds([&] {
      work = data;
      std::sort(work.begin(), work.end());
    });
    double stdFn = seconds([&] {
      work = data;
      std::sort(work.begin(), work.end(), [](const int& a, const int& b) { return compareInt(&a, &b) < 0; });
    });
    // The comparison through a pointer the compiler cannot see through, as
    // mxQuickSort (and qsort) must call it.
    int (*volatile opaque)(const void*, const void*) = compareInt;
    auto fn = opaque;
    double stdPtr = seconds([&] {
      work = data;
      std::sort(work.begin(), work.end(), [fn](const int& a, const int& b) { return fn(&a, &b) < 0; });
    });
    double q = seconds([&] {
      work = data;
      std::qsort(work.data(), kCount, sizeof(int), compareInt);
    });
    std::printf("sort %s:\n", in.kind);
    report("  mxQuickSort vs std::sort (inlined <)", mx, stdLambda);
    report("  mxQuickSort vs std::sort (same compare fn)", mx, stdFn);
    report("  mxQuickSort vs std::sort (fn via pointer)", mx, stdPtr);
    report("  mxQuickSort vs qsort", mx, q);
  }
  {
    std::vector<Record> work;
    double mx = seconds([&] {
      work = records;
      mxQuickSort::sort(work.data(), static_cast<unsigned>(work.size()), sizeof(Record), compareRecord);
    });
    double st = seconds([&] {
      work = records;
      std::sort(work.begin(), work.end(), [](const Record& a, const Record& b) { return a.key < b.key; });
    });
    std::printf("sort 64-byte records:\n");
    report("  mxQuickSort vs std::sort", mx, st);
  }

  std::printf("append one million:\n");
  double mxInts = seconds([&] {
    mxArray<int> a;
    for (unsigned i = 0; i < kCount; ++i) a.append(static_cast<int>(i));
  });
  double vecInts = seconds([&] {
    std::vector<int> v;
    for (unsigned i = 0; i < kCount; ++i) v.push_back(static_cast<int>(i));
  });
  report("  mxArray<int> vs std::vector<int>", mxInts, vecInts);

  // Each element is copied in once (a heap block per string); growth moves
  // the strings already in, as the vector does.
  mxString text("element");
  double mxStr = seconds([&] {
    mxArray<mxString> a;
    for (unsigned i = 0; i < kCount; ++i) a.append(text);
  });
  double vecStr = seconds([&] {
    std::vector<mxString> v;
    for (unsigned i = 0; i < kCount; ++i) v.push_back(text);
  });
  report("  mxArray<mxString> vs std::vector<mxString>", mxStr, vecStr);
  return 0;
}
