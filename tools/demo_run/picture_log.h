// The pictures a receiver renders, as morvane-receive --pictures-out writes
// them (per picture its width and height, 32 bits each, little-endian, then
// its pixels top-down R G B): a thread reads the pipe and notes for each
// picture when it came and the frame number read from its pixels.
#pragma once
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/demo_run/demo_summary.h"

namespace demo {

class PictureLog {
 public:
  PictureLog() = default;
  ~PictureLog() { join(); }
  PictureLog(const PictureLog&) = delete;
  PictureLog& operator=(const PictureLog&) = delete;

  // Reads fd on a thread until its end (it stays ours to close).
  void start(int fd);
  // Waits for the end of the pipe.
  void join();

  size_t count() const { return count_.load(std::memory_order_relaxed); }
  std::vector<Picture> pictures() const;

 private:
  void read(int fd);

  mutable std::mutex lock_;
  std::vector<Picture> pictures_;
  std::atomic<size_t> count_{0};
  std::thread thread_;
};

}  // namespace demo
