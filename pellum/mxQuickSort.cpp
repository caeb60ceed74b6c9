#include "pellum/mxQuickSort.h"

#include <cstring>

namespace {

constexpr unsigned kScratch = 256;
constexpr unsigned kSmallRange = 32;

// Element moves for a width known at compile time (Width > 0) or given at
// run time (Width == 0). The fixed widths only let the compiler inline the
// copies; the algorithm is the same.
template <unsigned Width>
struct Mover {
  unsigned width;
  unsigned w() const { return Width ? Width : width; }

  void swap(char* a, char* b) const {
    if (a == b) return;
    unsigned char scratch[kScratch];
    for (unsigned done = 0; done < w(); done += kScratch) {
      unsigned piece = w() - done < kScratch ? w() - done : kScratch;
      std::memcpy(scratch, a + done, piece);
      std::memcpy(a + done, b + done, piece);
      std::memcpy(b + done, scratch, piece);
    }
  }

  // Moves the element at `from` to `to` (to < from), shifting the elements
  // in between one place to the right: a right rotation of the block by
  // one element, done in pieces of at most 256 bytes.
  void shiftDown(char* to, char* from) const {
    if (to == from) return;
    unsigned char scratch[kScratch];
    size_t total = static_cast<size_t>(from - to) + w();
    for (unsigned left = w(); left > 0;) {
      unsigned piece = left < kScratch ? left : kScratch;
      std::memcpy(scratch, to + total - piece, piece);
      std::memmove(to + piece, to, total - piece);
      std::memcpy(to, scratch, piece);
      left -= piece;
    }
  }
};

template <unsigned Width>
class Sorter {
 public:
  Sorter(unsigned width, mxQuickSort::CompareFunction compare) : move_{width}, compare_(compare) {}

  // `below` and `above`, when not null, are elements just outside the range
  // that bound it: every element of the range is not smaller than *below
  // and not greater than *above (earlier pivots, left there by partition).
  void sortRange(char* base, unsigned count, unsigned budget, const char* below, const char* above) const {
    while (count > kSmallRange) {
      if (budget == 0) {
        heapSort(base, count);
        return;
      }
      orderThree(base, count);
      budget = budget / 2 + budget / 4;
      // A pivot equal to a bound is the range's smallest (or largest) value.
      // Partitioning around it would leave its copies on both sides and
      // shave off one element per pass; instead set all its copies aside in
      // one pass: they are already in their final place.
      const char* pivot = at(base, count / 2);
      if (below && cmp(pivot, below) == 0) {
        unsigned equal = gatherEqualFirst(base, count, below);
        base = at(base, equal);
        count -= equal;
        continue;
      }
      if (above && cmp(pivot, above) == 0) {
        count = gatherEqualLast(base, count, above);
        continue;
      }
      unsigned p = partition(base, count);
      // The pivot is in place; sort the smaller side by recursion and loop
      // on the larger one, so the stack stays logarithmic.
      unsigned leftCount = p;
      unsigned rightCount = count - p - 1;
      char* pivotAt = at(base, p);
      char* right = at(base, p + 1);
      if (leftCount < rightCount) {
        sortRange(base, leftCount, budget, below, pivotAt);
        base = right;
        count = rightCount;
        below = pivotAt;
      } else {
        sortRange(right, rightCount, budget, pivotAt, above);
        count = leftCount;
        above = pivotAt;
      }
    }
    insertionSort(base, count);
  }

 private:
  char* at(char* base, unsigned i) const { return base + static_cast<size_t>(i) * move_.w(); }
  int cmp(const char* a, const char* b) const { return compare_(a, b); }

  // Orders the first, middle and last elements among themselves; the
  // middle one becomes the pivot.
  void orderThree(char* base, unsigned count) const {
    unsigned first = 0, middle = count / 2, last = count - 1;
    if (cmp(at(base, first), at(base, middle)) > 0) move_.swap(at(base, first), at(base, middle));
    if (cmp(at(base, last), at(base, middle)) < 0) move_.swap(at(base, last), at(base, middle));
    if (cmp(at(base, first), at(base, middle)) > 0) move_.swap(at(base, first), at(base, middle));
  }

  // Moves the elements equal to the lower bound (none is smaller) to the
  // front; returns how many there are.
  unsigned gatherEqualFirst(char* base, unsigned count, const char* bound) const {
    unsigned i = 0, j = count;  // [0, i) equal, [j, count) greater
    for (;;) {
      while (i < j && cmp(at(base, i), bound) <= 0) ++i;
      while (i < j && cmp(at(base, j - 1), bound) > 0) --j;
      if (i >= j) return i;
      move_.swap(at(base, i++), at(base, --j));
    }
  }

  // Moves the elements equal to the upper bound (none is larger) to the
  // back; returns how many smaller ones remain in front.
  unsigned gatherEqualLast(char* base, unsigned count, const char* bound) const {
    unsigned i = 0, j = count;  // [0, i) smaller, [j, count) equal
    for (;;) {
      while (i < j && cmp(at(base, i), bound) < 0) ++i;
      while (i < j && cmp(at(base, j - 1), bound) >= 0) --j;
      if (i >= j) return i;
      move_.swap(at(base, i++), at(base, --j));
    }
  }

  // With the pivot in the middle (after orderThree): a left cursor over
  // elements not greater than the pivot and a right cursor over elements
  // not smaller, swapping while they have not crossed. Returns the pivot's
  // final index.
  unsigned partition(char* base, unsigned count) const {
    unsigned middle = count / 2, last = count - 1;
    unsigned p = middle;
    unsigned i = 0, j = last;
    for (;;) {
      while (i <= j && cmp(at(base, i), at(base, p)) <= 0) ++i;
      while (j >= i && cmp(at(base, j), at(base, p)) >= 0) {
        if (j == 0) break;
        --j;
      }
      if (i >= j) break;
      move_.swap(at(base, i), at(base, j));
      if (p == i) p = j;
      else if (p == j) p = i;
    }
    // Everything before i is not greater than the pivot, everything after
    // j not smaller (i == j + 1). Put the pivot between the two parts.
    if (p < i) {
      unsigned place = i - 1;
      move_.swap(at(base, p), at(base, place));
      return place;
    }
    move_.swap(at(base, p), at(base, i));
    return i;
  }

  // Sift: down along the larger child to a leaf, then back up while larger
  // than the parent (never above `root`). Elements of up to 256 bytes are
  // moved through a hole (the sifted element waits in the scratch area),
  // which gives the same result as swapping step by step with half the
  // copying; wider elements are swapped.
  void sift(char* base, unsigned root, unsigned count) const {
    if (move_.w() > kScratch) {
      siftBySwaps(base, root, count);
      return;
    }
    const unsigned w = move_.w();
    alignas(16) unsigned char element[kScratch];
    std::memcpy(element, at(base, root), w);
    unsigned pos = root;
    for (;;) {
      unsigned child = 2 * pos + 1;
      if (child >= count) break;
      if (child + 1 < count && cmp(at(base, child + 1), at(base, child)) >= 0) ++child;
      std::memcpy(at(base, pos), at(base, child), w);
      pos = child;
    }
    while (pos > root) {
      unsigned parent = (pos - 1) / 2;
      if (compare_(element, at(base, parent)) <= 0) break;
      std::memcpy(at(base, pos), at(base, parent), w);
      pos = parent;
    }
    std::memcpy(at(base, pos), element, w);
  }

  void siftBySwaps(char* base, unsigned root, unsigned count) const {
    unsigned pos = root;
    for (;;) {
      unsigned child = 2 * pos + 1;
      if (child >= count) break;
      if (child + 1 < count && cmp(at(base, child + 1), at(base, child)) >= 0) ++child;
      move_.swap(at(base, pos), at(base, child));
      pos = child;
    }
    while (pos > root) {
      unsigned parent = (pos - 1) / 2;
      if (cmp(at(base, pos), at(base, parent)) <= 0) break;
      move_.swap(at(base, pos), at(base, parent));
      pos = parent;
    }
  }

  void heapSort(char* base, unsigned count) const {
    for (unsigned i = count / 2; i-- > 0;) sift(base, i, count);
    for (unsigned n = count; n > 1; --n) {
      move_.swap(at(base, 0), at(base, n - 1));
      sift(base, 0, n - 1);
    }
  }

  void insertionSort(char* base, unsigned count) const {
    for (unsigned k = 1; k < count; ++k) {
      char* element = at(base, k);
      if (cmp(element, base) < 0) {
        move_.shiftDown(base, element);
      } else if (cmp(element, at(base, k - 1)) < 0) {
        unsigned t = k - 1;
        while (t > 0 && cmp(element, at(base, t - 1)) < 0) --t;
        move_.shiftDown(at(base, t), element);
      }
    }
  }

  Mover<Width> move_;
  mxQuickSort::CompareFunction compare_;
};

template <unsigned Width>
void run(void* base, unsigned count, unsigned width, mxQuickSort::CompareFunction compare) {
  Sorter<Width>(width, compare).sortRange(static_cast<char*>(base), count, count, nullptr, nullptr);
}

}  // namespace

void mxQuickSort::sort(void* base, unsigned count, unsigned width, CompareFunction compare) {
  if (!base || !compare || count < 2 || width == 0) return;
  switch (width) {
    case 1: run<1>(base, count, width, compare); break;
    case 2: run<2>(base, count, width, compare); break;
    case 4: run<4>(base, count, width, compare); break;
    case 8: run<8>(base, count, width, compare); break;
    case 16: run<16>(base, count, width, compare); break;
    case 32: run<32>(base, count, width, compare); break;
    case 64: run<64>(base, count, width, compare); break;
    default: run<0>(base, count, width, compare); break;
  }
}
