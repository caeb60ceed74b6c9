// The benchmark's picture source and sink, back to back through a pipe:
// every frame number written in the pictures is read back, in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "bench/system/frame_sink.h"
#include "bench/system/frame_source.h"

TEST(FrameCode, SinkReadsEveryFrameNumberTheSourceSent) {
  constexpr size_t kFrames = 12;
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  FrameSink sink(352, 288, kFrames);
  sink.readPipe(p[0]);
  FrameSource source(352, 288, 120);
  const std::atomic<bool> stop{false};
  EXPECT_EQ(source.run(p[1], kFrames, stop), kFrames);
  close(p[1]);
  sink.join();
  close(p[0]);
  EXPECT_EQ(sink.pictures(), kFrames);
  EXPECT_EQ(sink.unreadable(), 0u);
  const auto sent = source.captureTimes();
  const auto arrived = sink.arrivals();
  for (size_t i = 0; i < kFrames; ++i) {
    EXPECT_GT(sent[i], 0) << i;
    EXPECT_GE(arrived[i], sent[i]) << i;
    if (i) {
      EXPECT_GT(sent[i], sent[i - 1]) << i;
    }
  }
}
