// The pictures every system under test sends: the test-pattern camera's
// picture for frames 0, 1, 2... in I420, rendered ahead on a thread of its
// own and written to the sending side at the frame rate, in real time. The
// moment a picture starts to go into the sender is its capture time
// (CLOCK_MONOTONIC, which all network namespaces of the machine share).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameSource {
 public:
  FrameSource(int width, int height, int fps);

  // Bytes of one I420 picture.
  size_t pictureBytes() const { return bytes_; }
  // Writes `count` pictures to fd, one every 1/fps second from now; stops
  // early when stop is set, the reader went away or took nothing for five
  // seconds. Returns pictures sent.
  size_t run(int fd, size_t count, const std::atomic<bool>& stop);
  // Capture time of each frame number (ns), 0 for frames not sent.
  const std::vector<int64_t>& captureTimes() const { return sent_; }
  // Frames per second actually kept over the run.
  double achievedRate() const { return rate_; }

 private:
  int width_, height_, fps_;
  size_t bytes_;
  std::vector<int64_t> sent_;
  double rate_ = 0;
};

// CLOCK_MONOTONIC in nanoseconds.
int64_t monotonicNs();
