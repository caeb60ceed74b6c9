// Where the pictures decoded at the receiving side end: each picture's
// frame number is read from its pixels by the test-pattern camera's own
// reader (the same for every system), and the first arrival of each frame
// number is timed (CLOCK_MONOTONIC, like the capture times).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// One picture out of the receiving side: when it came and its size.
struct PictureSeen {
  int64_t when = 0;  // CLOCK_MONOTONIC ns
  int width = 0, height = 0;
};

class FrameSink {
 public:
  // How the pictures on a pipe are laid out: I420 planes, RGB24 rows padded
  // to 4 bytes and bottom-up (the platform's renderers' layout), or each
  // picture after its width and height (32 bits each, little-endian) in
  // top-down R G B (pictures of any size).
  enum class Layout { I420, Rgb24, SizedRgb };

  FrameSink(int width, int height, size_t frames);
  ~FrameSink();
  FrameSink(const FrameSink&) = delete;
  FrameSink& operator=(const FrameSink&) = delete;

  // Reads pictures of our size from fd on a thread until its end.
  void readPipe(int fd, Layout layout = Layout::I420);
  // Bytes of one picture in the layout.
  size_t pictureBytes(Layout layout) const;
  // A decoded picture, whole, in the layout.
  void notePicture(const uint8_t* picture, Layout layout, int64_t when);
  // For a receiving side that reads the frame numbers itself.
  void noteArrival(uint32_t frame, int64_t when);
  // Waits for the reading thread (its pipe must be closed or at its end).
  void join();

  // First arrival of each frame number (ns), 0 for frames never seen.
  std::vector<int64_t> arrivals() const;
  size_t pictures() const { return pictures_; }
  // Pictures whose frame number could not be read.
  size_t unreadable() const { return unreadable_; }
  // Every picture so far, in the order they came.
  std::vector<PictureSeen> seen() const;

 private:
  void readSized(int fd);
  void noteSeen(int64_t when, int width, int height);

  int width_, height_;
  mutable std::mutex lock_;
  std::vector<int64_t> arrived_;
  std::vector<PictureSeen> seen_;
  std::atomic<size_t> pictures_{0}, unreadable_{0};
  std::thread reader_;
};
