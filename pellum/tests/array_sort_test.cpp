// mxArray growth, copying and element lifetimes; mxQuickSort against
// std::sort on many input patterns and widths, its comparison counts on
// duplicate keys and on a worst-case input; mxByteSwap against hand-built byte images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// A class element that counts its constructions, copies and moves, and
// checks that it is only used, assigned and destroyed while alive.
struct Counted {
  static constexpr uint32_t kAlive = 0xA11CE, kDead = 0xDEAD;
  static inline long live = 0, copies = 0, moves = 0, badUses = 0;
  static void resetCounts() { copies = moves = badUses = 0; }

  uint32_t state = kAlive;
  int value = -1;

  Counted() { ++live; }
  explicit Counted(int v) : value(v) { ++live; }
  Counted(const Counted& other) : value(other.value) {
    other.check();
    ++live;
    ++copies;
  }
  Counted(Counted&& other) noexcept : value(other.value) {
    other.check();
    other.value = -2;
    ++live;
    ++moves;
  }
  Counted& operator=(const Counted& other) {
    check();
    other.check();
    value = other.value;
    ++copies;
    return *this;
  }
  ~Counted() {
    check();
    state = kDead;
    --live;
  }
  void check() const {
    if (state != kAlive) ++badUses;
  }
};

TEST(mxArray, ClassElementsAreCopiedOnceAndMovedOnGrowth) {
  const int n = 100000;
  {
    mxArray<Counted> a;
    Counted source;
    Counted::resetCounts();
    for (int i = 0; i < n; ++i) {
      source.value = i;
      a.append(source);
    }
    EXPECT_EQ(a.getSize(), uint32_t(n));
    EXPECT_EQ(a.getCapacity(), 100000u);  // 6250 steps of 16
    // One copy per append; growth moves what is already in, and the block is
    // replaced only a logarithmic number of times.
    EXPECT_EQ(Counted::copies, n);
    EXPECT_LE(Counted::moves, 2 * n);
    for (int i = 0; i < n; ++i) ASSERT_EQ(a[i].value, i);

    Counted::resetCounts();
    mxArray<Counted> b(a);
    EXPECT_EQ(b.getCapacity(), a.getCapacity());
    EXPECT_EQ(Counted::copies, n);
    EXPECT_EQ(b[n - 1].value, n - 1);
    const auto& self = b;
    b = self;  // self-assignment keeps everything
    EXPECT_EQ(b[n - 1].value, n - 1);
    b.setCapacity(10);  // an explicit shrink keeps the first ten
    EXPECT_EQ(b.getSize(), 10u);
    EXPECT_EQ(b.getCapacity(), 10u);
    EXPECT_EQ(b[9].value, 9);
    b.setSize(50);  // whole steps until the capacity exceeds 50
    EXPECT_EQ(b.getCapacity(), 58u);
    EXPECT_EQ(b[9].value, 9);
    EXPECT_EQ(b[10].value, -1);  // fresh elements after the kept ones
    EXPECT_EQ(b[57].value, -1);
    b.setSize(20);
    EXPECT_EQ(b.getCapacity(), 58u);
    b.setCapacity(200);
    EXPECT_EQ(b.getSize(), 20u);
    EXPECT_EQ(b[19].value, -1);
    EXPECT_EQ(b[199].value, -1);

    mxArray<Counted> c;
    c.append(Counted(7));
    c = a;
    EXPECT_EQ(c.getSize(), uint32_t(n));
    EXPECT_EQ(c[12345].value, 12345);
    c.setCapacity(0);
    EXPECT_EQ(c.getData(), nullptr);
    c.append(Counted(8));
    c.clear();
    EXPECT_EQ(c.getSize(), 0u);
  }
  EXPECT_EQ(Counted::live, 0);  // every element made was destroyed once
  EXPECT_EQ(Counted::badUses, 0);
}

TEST(mxArray, AppendingOwnElementWhenTheBlockIsReplaced) {
  // Appends of 16 at a time fill the block exactly at 16, 32, 64, 128, ...;
  // the next append must copy the element before its old block goes.
  mxArray<mxString> s;
  mxArray<Counted> c;
  for (int i = 0; i < 64; ++i) {
    s.append(mxString(i));
    c.append(Counted(i));
  }
  for (int round = 0; round < 200; ++round) {
    s.append(s[round]);
    c.append(c[round]);
  }
  for (int round = 0; round < 200; ++round) {
    ASSERT_STREQ(s[64 + round].c_str(), s[round].c_str());
    ASSERT_EQ(c[64 + round].value, c[round].value);
  }
  EXPECT_STREQ(s[263].c_str(), "7");  // a copy of 199, of 135, of 71, of 7
  EXPECT_EQ(Counted::badUses, 0);
}

int compareInt(const void* a, const void* b) {
  int x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return (x > y) - (x < y);
}

// Elements of `width` bytes: the key little-endian in the first K bytes
// (K = min(width, 4)), the rest filled from the key so that a torn or mixed
// element shows.
unsigned char fill(uint32_t k, unsigned i) { return static_cast<unsigned char>(k * 31 + i * 7); }

template <unsigned K>
int compareKey(const void* a, const void* b) {
  uint32_t x = 0, y = 0;
  std::memcpy(&x, a, K);
  std::memcpy(&y, b, K);
  return (x > y) - (x < y);
}

enum class Pattern { random, sorted, reversed, allEqual, fewDistinct };

std::vector<uint32_t> makeKeys(Pattern pattern, unsigned count, unsigned keyBytes, std::mt19937& rng) {
  uint64_t range = uint64_t{1} << (8 * keyBytes);
  std::vector<uint32_t> keys(count);
  for (unsigned i = 0; i < count; ++i) {
    uint64_t rising = count > 1 ? uint64_t{i} * (range - 1) / (count - 1) : 0;
    switch (pattern) {
      case Pattern::random: keys[i] = static_cast<uint32_t>(rng() % range); break;
      case Pattern::sorted: keys[i] = static_cast<uint32_t>(rising); break;
      case Pattern::reversed: keys[i] = static_cast<uint32_t>(range - 1 - rising); break;
      case Pattern::allEqual: keys[i] = 42; break;
      case Pattern::fewDistinct: keys[i] = static_cast<uint32_t>(rng() % 5) * 40; break;
    }
  }
  return keys;
}

void checkPattern(Pattern pattern, unsigned width, unsigned count, std::mt19937& rng) {
  const unsigned keyBytes = width < 4 ? width : 4;
  std::vector<uint32_t> keys = makeKeys(pattern, count, keyBytes, rng);
  std::vector<unsigned char> data(size_t{count} * width);
  for (unsigned i = 0; i < count; ++i) {
    unsigned char* e = &data[size_t{i} * width];
    std::memcpy(e, &keys[i], keyBytes);
    for (unsigned b = keyBytes; b < width; ++b) e[b] = fill(keys[i], b);
  }
  const mxQuickSort::CompareFunction compares[] = {compareKey<1>, compareKey<2>, compareKey<3>, compareKey<4>};
  auto compare = compares[keyBytes - 1];
  mxQuickSort::sort(data.data(), count, width, compare);
  std::sort(keys.begin(), keys.end());
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* e = &data[size_t{i} * width];
    uint32_t key = 0;
    std::memcpy(&key, e, keyBytes);
    ASSERT_EQ(key, keys[i]) << "pattern " << int(pattern) << " width " << width << " count " << count << " at " << i;
    for (unsigned b = keyBytes; b < width; ++b)
      ASSERT_EQ(e[b], fill(keys[i], b)) << "width " << width << " element torn at byte " << b;
  }
}

TEST(mxQuickSort, PatternsWidthsAndCountsMatchStdSort) {
  // Every width with moves of its own (1 to 64 bytes), odd widths, and
  // widths around the 256-byte scratch area that moves go through.
  std::mt19937 rng(2024);
  for (Pattern pattern :
       {Pattern::random, Pattern::sorted, Pattern::reversed, Pattern::allEqual, Pattern::fewDistinct}) {
    for (unsigned width : {1u, 2u, 3u, 4u, 5u, 8u, 16u, 32u, 64u, 255u, 256u, 257u, 513u}) {
      for (unsigned count : {0u, 1u, 2u, 32u, 33u, 1000u, 20000u}) {
        if (count > 1000 && width > 8) continue;
        checkPattern(pattern, width, count, rng);
      }
    }
  }
}

unsigned long gCompares = 0;
int countingCompare(const void* a, const void* b) {
  ++gCompares;
  return compareInt(a, b);
}

unsigned long comparesToSort(std::vector<int> v) {
  std::vector<int> expect = v;
  std::sort(expect.begin(), expect.end());
  gCompares = 0;
  mxQuickSort::sort(v.data(), static_cast<unsigned>(v.size()), sizeof(int), countingCompare);
  EXPECT_EQ(v, expect);
  return gCompares;
}

TEST(mxQuickSort, DuplicateKeysCostFewComparisons) {
  // Copies of a pivot are set aside in one pass instead of being shaved off
  // one element per partition until heap sort takes over (which cost over
  // 9 million comparisons here for any of these key counts). With d
  // distinct keys the sort needs about n * log2(d) comparisons.
  const unsigned n = 200000;
  std::mt19937 rng(7);
  std::vector<int> v(n);
  for (int distinct : {1, 2, 3, 17, 100, 1000}) {
    for (auto& x : v) x = static_cast<int>(rng() % distinct) - distinct / 2;
    double bound = n * (2 * std::log2(double(distinct)) + 4);
    EXPECT_LE(comparesToSort(v), bound) << distinct << " distinct keys";
  }
  for (auto& x : v) x = static_cast<int>(rng());
  EXPECT_LE(comparesToSort(v), 2 * n * std::log2(double(n)));
  for (unsigned i = 0; i < n; ++i) v[i] = static_cast<int>(i / 1000);  // sorted runs of equal keys
  EXPECT_LE(comparesToSort(v), n * (2 * std::log2(200.0) + 4));
}

// An adversary that decides the order only as the sort asks (all items
// start as "gas", above every decided value; of two gas items compared, one
// is frozen to the next value, preferring the one that is not the last
// seen pivot candidate). It drives any quicksort into its worst case; the
// values it settles on are then a fixed input that repeats that case.
struct Adversary {
  static inline std::vector<int> value;
  static inline int gas = 0, solid = 0, candidate = -1;
  static int compare(const void* a, const void* b) {
    int x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (value[x] == gas && value[y] == gas) value[x == candidate ? x : y] = solid++;
    if (value[x] == gas) candidate = x;
    else if (value[y] == gas) candidate = y;
    return (value[x] > value[y]) - (value[x] < value[y]);
  }
};

TEST(mxQuickSort, WorstCaseInputFallsBackToHeapSort) {
  const unsigned n = 20000;
  Adversary::value.assign(n, static_cast<int>(n));
  Adversary::gas = static_cast<int>(n);
  std::vector<int> items(n);
  for (unsigned i = 0; i < n; ++i) items[i] = static_cast<int>(i);
  mxQuickSort::sort(items.data(), n, sizeof(int), Adversary::compare);
  for (unsigned i = 1; i < n; ++i) ASSERT_LT(Adversary::value[items[i - 1]], Adversary::value[items[i]]);
  // Without the depth budget this input costs about n * n / 4 comparisons
  // (100 million); heap sort finishes it in a small multiple of n log n.
  EXPECT_LE(comparesToSort(Adversary::value), 4 * n * std::log2(double(n)));
}

TEST(mxQuickSort, SmallRangesKeepEqualKeysInOrder) {
  // 32 or fewer elements are finished by insertion sort, which moves an
  // element only past larger ones: equal keys keep their order.
  struct Item {
    int key, tag;
    bool operator==(const Item&) const = default;
  };
  std::mt19937 rng(5);
  for (unsigned n : {2u, 17u, 32u}) {
    std::vector<Item> v(n);
    for (unsigned i = 0; i < n; ++i) v[i] = {static_cast<int>(rng() % 3), static_cast<int>(i)};
    std::vector<Item> expect = v;
    std::stable_sort(expect.begin(), expect.end(), [](const Item& a, const Item& b) { return a.key < b.key; });
    mxQuickSort::sort(v.data(), n, sizeof(Item), compareKey<4>);
    EXPECT_TRUE(v == expect) << n << " elements";
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
  // 1.0f is 00 00 80 3F and 1.0 is 00 .. F0 3F little-endian; swapped, the
  // bytes come in the other order.
  const float f = mxByteSwap::swap(1.0f);
  const double d = mxByteSwap::swap(1.0);
  unsigned char fb[4], db[8];
  std::memcpy(fb, &f, 4);
  std::memcpy(db, &d, 8);
  EXPECT_EQ(std::vector<unsigned char>(fb, fb + 4), (std::vector<unsigned char>{0x3F, 0x80, 0, 0}));
  EXPECT_EQ(std::vector<unsigned char>(db, db + 8), (std::vector<unsigned char>{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(mxByteSwap::swap(mxByteSwap::swap(-2.5)), -2.5);
}

}  // namespace
