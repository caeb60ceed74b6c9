// Frame sequences as the lab tests judge them, on hand-made readings.
#include "tools/lab_probes/frame_sequence.h"

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

std::vector<ProbeReading> readings(std::initializer_list<std::pair<uint32_t, int>> frameAndMs) {
  const auto base = steady_clock::time_point{} + hours(1);
  std::vector<ProbeReading> out;
  for (auto [frame, ms] : frameAndMs) out.push_back({frame, base + milliseconds(ms)});
  return out;
}

}  // namespace

TEST(FrameSequence, CountsStepsGapsAndRepeats) {
  SequenceSummary s = summariseSequence({});
  EXPECT_EQ(s.count, 0u);
  EXPECT_FALSE(s.inOrder());

  s = summariseSequence({4, 5, 7, 7, 10});
  EXPECT_EQ(s.count, 5u);
  EXPECT_EQ(s.first, 4u);
  EXPECT_EQ(s.last, 10u);
  EXPECT_EQ(s.forward, 3u);
  EXPECT_EQ(s.repeated, 1u);
  EXPECT_EQ(s.backward, 0u);
  EXPECT_EQ(s.missing, 3u);  // 6, 8, 9
  EXPECT_TRUE(s.inOrder());

  // One frame overtaken by the next: a step back, nothing missing.
  s = summariseSequence({0, 2, 1, 3});
  EXPECT_EQ(s.backward, 1u);
  EXPECT_EQ(s.forward, 2u);
  EXPECT_EQ(s.missing, 0u);
  EXPECT_EQ(s.lowest, 0u);
  EXPECT_EQ(s.highest, 3u);
  EXPECT_FALSE(s.inOrder());

  EXPECT_EQ(frameNumbers(readings({{9, 0}, {3, 1}})), (std::vector<uint32_t>{9, 3}));
}
