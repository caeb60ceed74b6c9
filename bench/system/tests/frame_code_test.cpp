// The benchmark's picture source and sink, back to back through a pipe:
// every frame number written in the pictures is read back, in order; and
// RGB24 pictures as the platform's renderers lay them out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "bench/system/frame_sink.h"
#include "bench/system/frame_source.h"
#include "platform/filters/capture/test_pattern_image.h"
#include "platform/media/guids.h"

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

TEST(FrameCode, SinkReadsBottomUpRgb24Pictures) {
  FrameSink sink(176, 144, 8);
  std::vector<uint8_t> picture(sink.pictureBytes(FrameSink::Layout::Rgb24));
  ASSERT_TRUE(
      renderTestPattern(5, VideoFormat{176, 144, MEDIASUBTYPE_RGB24}, picture.data(), picture.size()));
  sink.notePicture(picture.data(), FrameSink::Layout::Rgb24, 1234);
  EXPECT_EQ(sink.unreadable(), 0u);
  EXPECT_EQ(sink.arrivals()[5], 1234);
}
