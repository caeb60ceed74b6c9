// What the frame numbers read from the pictures say: whether they arrived
// in order, and how many are missing or repeated.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// One frame number read from a picture, with the moment it was seen.
struct ProbeReading {
  uint32_t frame = 0;
  std::chrono::steady_clock::time_point at;
};

struct SequenceSummary {
  size_t count = 0;  // numbers read
  uint32_t first = 0, last = 0;
  size_t forward = 0;   // steps to a higher number
  size_t repeated = 0;  // steps to the same number (a picture delivered twice)
  size_t backward = 0;  // steps to a lower number: out of order
  size_t missing = 0;   // numbers between the lowest and the highest that never came
  uint32_t lowest = 0, highest = 0;
  bool inOrder() const { return count > 0 && backward == 0; }
};

SequenceSummary summariseSequence(const std::vector<uint32_t>& frames);
std::vector<uint32_t> frameNumbers(const std::vector<ProbeReading>& readings);
