// mxArray growth and copying, mxQuickSort against std::sort on random data
// of many widths, and mxByteSwap against hand-built byte images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "pellum/mxArray.h"
#include "pellum/mxByteSwap.h"
#include "pellum/mxQuickSort.h"
#include "pellum/mxString.h"

namespace {

TEST(mxArray, LinearGrowth) {
  mxArray<int> a;
  EXPECT_EQ(a.getCapacity(), 0u);
  EXPECT_EQ(a.getGrowStep(), 16u);
  for (int i = 0; i < 17; ++i) a.append(i);
  EXPECT_EQ(a.getSize(), 17u);
  EXPECT_EQ(a.getCapacity(), 32u);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(a[i], i);

  a.setSize(32);  // 32 >= 32: one more step
  EXPECT_EQ(a.getCapacity(), 48u);
  EXPECT_EQ(a[20], 0);  // new slots of plain types start zeroed
  a.setSize(3);
  EXPECT_EQ(a.getCapacity(), 48u);  // shrinking keeps the capacity
  a.setCapacity(2);
  EXPECT_EQ(a.getSize(), 2u);
  EXPECT_EQ(a[1], 1);
  a.setCapacity(0);
  EXPECT_EQ(a.getSize(), 0u);
  EXPECT_EQ(a.getData(), nullptr);
  a.append(5);
  a.clear();
  EXPECT_EQ(a.getCapacity(), 0u);
}

TEST(mxArray, CopiesOfClassElements) {
  mxArray<mxString> a;
  for (int i = 0; i < 40; ++i) a.append(mxString(i));
  mxArray<mxString> b(a);
  EXPECT_EQ(b.getSize(), 40u);
  EXPECT_EQ(b.getCapacity(), a.getCapacity());
  EXPECT_STREQ(b[39].c_str(), "39");
  EXPECT_NE(b[39].c_str(), a[39].c_str());  // deep copies
  mxArray<mxString> c;
  c.append("old");
  c = a;
  EXPECT_EQ(c.getSize(), 40u);
  EXPECT_STREQ(c[0].c_str(), "0");
  c = c;  // self-assignment keeps everything
  EXPECT_STREQ(c[39].c_str(), "39");
  // Appending an element of the array itself while it grows.
  mxArray<mxString> d;
  for (int i = 0; i < 16; ++i) d.append(mxString(i));
  d.append(d[3]);
  EXPECT_STREQ(d[16].c_str(), "3");
}

int compareInt(const void* a, const void* b) {
  int x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return (x > y) - (x < y);
}

TEST(mxQuickSort, SmallAndDegenerateInputs) {
  int one = 5;
  mxQuickSort::sort(&one, 1, sizeof(int), compareInt);
  mxQuickSort::sort(nullptr, 0, sizeof(int), compareInt);
  EXPECT_EQ(one, 5);
  std::vector<int> equal(1000, 7);
  mxQuickSort::sort(equal.data(), 1000, sizeof(int), compareInt);
  EXPECT_TRUE(std::all_of(equal.begin(), equal.end(), [](int v) { return v == 7; }));
  std::vector<int> sorted(5000), reversed(5000);
  for (int i = 0; i < 5000; ++i) sorted[i] = i, reversed[i] = 5000 - i;
  mxQuickSort::sort(sorted.data(), 5000, sizeof(int), compareInt);
  mxQuickSort::sort(reversed.data(), 5000, sizeof(int), compareInt);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  EXPECT_TRUE(std::is_sorted(reversed.begin(), reversed.end()));
}

// Elements of `width` bytes whose first 4 bytes are the key and whose rest
// is filled from the key, so that a torn or mixed element is detected.
struct Records {
  unsigned width;
  std::vector<unsigned char> bytes;
  static uint32_t key(const void* p) {
    uint32_t k;
    std::memcpy(&k, p, 4);
    return k;
  }
  static int compare(const void* a, const void* b) {
    uint32_t x = key(a), y = key(b);
    return (x > y) - (x < y);
  }
  static unsigned char fill(uint32_t k, unsigned i) { return static_cast<unsigned char>(k * 31 + i * 7); }
};

void checkSortWidth(unsigned width, unsigned count, uint32_t keyRange, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> keys(count);
  for (auto& k : keys) k = rng() % keyRange;
  std::vector<unsigned char> data(size_t{count} * width);
  for (unsigned i = 0; i < count; ++i) {
    unsigned char* e = &data[size_t{i} * width];
    std::memcpy(e, &keys[i], 4);
    for (unsigned b = 4; b < width; ++b) e[b] = Records::fill(keys[i], b);
  }
  mxQuickSort::sort(data.data(), count, width, Records::compare);
  std::sort(keys.begin(), keys.end());
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* e = &data[size_t{i} * width];
    ASSERT_EQ(Records::key(e), keys[i]) << "width " << width << " index " << i;
    for (unsigned b = 4; b < width; ++b)
      ASSERT_EQ(e[b], Records::fill(keys[i], b)) << "width " << width << " element torn at byte " << b;
  }
}

TEST(mxQuickSort, MatchesStdSortOnRandomDataOfAllWidths) {
  const unsigned widths[] = {4, 5, 8, 12, 16, 33, 255, 256, 257, 300, 513, 1000};
  for (unsigned width : widths) {
    for (unsigned count : {2u, 31u, 32u, 33u, 100u, 3000u}) {
      checkSortWidth(width, count, 1u << 30, width * 1000 + count);  // mostly distinct
      checkSortWidth(width, count, 4, width * 7 + count);            // many duplicates
    }
  }
}

TEST(mxQuickSort, ManyDuplicatesFallBackToHeapSort) {
  // Few distinct keys drive the partition to one-element steps, so the
  // depth budget runs out and heap sort finishes the range.
  for (uint32_t range : {1u, 2u, 3u, 17u}) checkSortWidth(4, 20000, range, range);
  std::vector<int> v(100000);
  std::mt19937 rng(7);
  for (auto& x : v) x = static_cast<int>(rng() % 1000) - 500;
  std::vector<int> expect = v;
  std::sort(expect.begin(), expect.end());
  mxQuickSort::sort(v.data(), static_cast<unsigned>(v.size()), sizeof(int), compareInt);
  EXPECT_EQ(v, expect);
}

// A plain reference of the introspective sort, step by step with element
// swaps: median of three, crossing cursors, budget/2 + budget/4, heap sort by
// sifting to a leaf and back up, insertion sort for 32 or fewer. The library
// moves elements differently (a hole in the heap, block shifts) but must end
// with exactly the same arrangement, equal keys included.
struct Item {
  int key;
  int tag;  // tells equal keys apart
};
int cmpItem(const Item& a, const Item& b) { return (a.key > b.key) - (a.key < b.key); }

void refInsertion(Item* e, unsigned n) {
  for (unsigned k = 1; k < n; ++k) {
    if (cmpItem(e[k], e[0]) < 0) {
      std::rotate(e, e + k, e + k + 1);
    } else if (cmpItem(e[k], e[k - 1]) < 0) {
      unsigned t = k - 1;
      while (t > 0 && cmpItem(e[k], e[t - 1]) < 0) --t;
      std::rotate(e + t, e + k, e + k + 1);
    }
  }
}

void refSift(Item* e, unsigned root, unsigned n) {
  unsigned pos = root;
  for (unsigned child; (child = 2 * pos + 1) < n; pos = child) {
    if (child + 1 < n && cmpItem(e[child + 1], e[child]) >= 0) ++child;
    std::swap(e[pos], e[child]);
  }
  while (pos > root && cmpItem(e[pos], e[(pos - 1) / 2]) > 0) {
    std::swap(e[pos], e[(pos - 1) / 2]);
    pos = (pos - 1) / 2;
  }
}

void refSort(Item* e, unsigned n, unsigned budget) {
  while (n > 32) {
    if (budget == 0) {
      for (unsigned i = n / 2; i-- > 0;) refSift(e, i, n);
      for (unsigned m = n; m > 1; --m) {
        std::swap(e[0], e[m - 1]);
        refSift(e, 0, m - 1);
      }
      return;
    }
    unsigned mid = n / 2, last = n - 1;
    if (cmpItem(e[0], e[mid]) > 0) std::swap(e[0], e[mid]);
    if (cmpItem(e[last], e[mid]) < 0) std::swap(e[last], e[mid]);
    if (cmpItem(e[0], e[mid]) > 0) std::swap(e[0], e[mid]);
    unsigned p = mid, i = 0, j = last;
    for (;;) {
      while (i <= j && cmpItem(e[i], e[p]) <= 0) ++i;
      while (j >= i && cmpItem(e[j], e[p]) >= 0) --j;
      if (i >= j) break;
      std::swap(e[i], e[j]);
    }
    unsigned place = p < i ? i - 1 : i;
    std::swap(e[p], e[place]);
    budget = budget / 2 + budget / 4;
    if (place < n - place - 1) {
      refSort(e, place, budget);
      e += place + 1;
      n -= place + 1;
    } else {
      refSort(e + place + 1, n - place - 1, budget);
      n = place;
    }
  }
  refInsertion(e, n);
}

int cmpItemRaw(const void* a, const void* b) {
  Item x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return cmpItem(x, y);
}

TEST(mxQuickSort, SameArrangementAsTheReferenceSteps) {
  std::mt19937 rng(99);
  for (unsigned n : {5u, 32u, 33u, 64u, 1000u, 50000u}) {
    for (int keys : {3, 50, 1 << 30}) {
      std::vector<Item> items(n);
      for (unsigned i = 0; i < n; ++i) items[i] = Item{static_cast<int>(rng() % keys), static_cast<int>(i)};
      std::vector<Item> expect = items;
      refSort(expect.data(), n, n);
      mxQuickSort::sort(items.data(), n, sizeof(Item), cmpItemRaw);
      for (unsigned i = 0; i < n; ++i) {
        ASSERT_EQ(items[i].key, expect[i].key) << "n " << n << " at " << i;
        ASSERT_EQ(items[i].tag, expect[i].tag) << "n " << n << " keys " << keys << " at " << i;
      }
    }
  }
}

TEST(mxByteSwap, ReversesBytes) {
  EXPECT_EQ(mxByteSwap::swap(static_cast<short>(0x1234)), static_cast<short>(0x3412));
  EXPECT_EQ(mxByteSwap::swap(static_cast<unsigned short>(0xABCD)), 0xCDABu);
  EXPECT_EQ(mxByteSwap::swap(0x11223344u), 0x44332211u);
  EXPECT_EQ(mxByteSwap::swap(static_cast<int>(0x80000001)), 0x01000080);
  EXPECT_EQ(mxByteSwap::swap(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(mxByteSwap::swap(0x0102030405060708ll), 0x0807060504030201ll);
  EXPECT_EQ(mxByteSwap::swap(static_cast<unsigned long>(0x0102030405060708ul)), 0x0807060504030201ul);
  // 1.0f is 00 00 80 3F little-endian; swapped, its bytes are 3F 80 00 00.
  float f = mxByteSwap::swap(1.0f);
  unsigned char fb[4];
  std::memcpy(fb, &f, 4);
  const unsigned char expectF[4] = {0x3F, 0x80, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(fb, expectF, 4), 0);
  double d = mxByteSwap::swap(mxByteSwap::swap(-2.5));
  EXPECT_EQ(d, -2.5);
  double one = mxByteSwap::swap(1.0);
  unsigned char db[8];
  std::memcpy(db, &one, 8);
  EXPECT_EQ(db[0], 0x3F);
  EXPECT_EQ(db[1], 0xF0);
}

}  // namespace
