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

// The best time of each body over five rounds; every round runs the bodies
// in turn, so that a busy moment on the machine does not fall on one only.
std::vector<double> bestOfRounds(const std::vector<std::function<void()>>& bodies, int rounds = 5) {
  std::vector<double> best(bodies.size(), 1e30);
  for (int r = 0; r < rounds; ++r) {
    for (size_t i = 0; i < bodies.size(); ++i) {
      auto start = std::chrono::steady_clock::now();
      bodies[i]();
      double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      best[i] = std::min(best[i], took);
    }
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

  std::printf("one million elements (records: 250000 of 64 bytes); best of 5 rounds\n");
  for (const auto& in : inputs) {
    const std::vector<int>& data = in.values;
    std::vector<int> work;
    // The comparison through a pointer the compiler cannot see through, as
    // mxQuickSort (and qsort) must call it.
    int (*volatile opaque)(const void*, const void*) = compareInt;
    auto fn = opaque;
    std::vector<double> t = bestOfRounds({
        [&] {
          work = data;
          mxQuickSort::sort(work.data(), kCount, sizeof(int), compareInt);
        },
        [&] {
          work = data;
          std::sort(work.begin(), work.end());
        },
        [&] {
          work = data;
          std::sort(work.begin(), work.end(), [](const int& a, const int& b) { return compareInt(&a, &b) < 0; });
        },
        [&] {
          work = data;
          std::sort(work.begin(), work.end(), [fn](const int& a, const int& b) { return fn(&a, &b) < 0; });
        },
        [&] {
          work = data;
          std::qsort(work.data(), kCount, sizeof(int), compareInt);
        },
    });
    double mx = t[0], stdLambda = t[1], stdFn = t[2], stdPtr = t[3], q = t[4];
    std::printf("sort %s:\n", in.kind);
    report("  mxQuickSort vs std::sort (inlined <)", mx, stdLambda);
    report("  mxQuickSort vs std::sort (same compare fn)", mx, stdFn);
    report("  mxQuickSort vs std::sort (fn via pointer)", mx, stdPtr);
    report("  mxQuickSort vs qsort", mx, q);
  }
  {
    std::vector<Record> work;
    std::vector<double> t = bestOfRounds({
        [&] {
          work = records;
          mxQuickSort::sort(work.data(), static_cast<unsigned>(work.size()), sizeof(Record), compareRecord);
        },
        [&] {
          work = records;
          std::sort(work.begin(), work.end(), [](const Record& a, const Record& b) { return a.key < b.key; });
        },
    });
    std::printf("sort 64-byte records:\n");
    report("  mxQuickSort vs std::sort", t[0], t[1]);
  }

  std::printf("append one million:\n");
  std::vector<double> ints = bestOfRounds({
      [&] {
        mxArray<int> a;
        for (unsigned i = 0; i < kCount; ++i) a.append(static_cast<int>(i));
      },
      [&] {
        std::vector<int> v;
        for (unsigned i = 0; i < kCount; ++i) v.push_back(static_cast<int>(i));
      },
  });
  report("  mxArray<int> vs std::vector<int>", ints[0], ints[1]);

  // Each element is copied in once (a heap block per string); growth moves
  // the strings already in, as the vector does.
  mxString text("element");
  std::vector<double> strings = bestOfRounds({
      [&] {
        mxArray<mxString> a;
        for (unsigned i = 0; i < kCount; ++i) a.append(text);
      },
      [&] {
        std::vector<mxString> v;
        for (unsigned i = 0; i < kCount; ++i) v.push_back(text);
      },
  });
  report("  mxArray<mxString> vs std::vector<mxString>", strings[0], strings[1]);
  return 0;
}
