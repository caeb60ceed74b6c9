// Every picture the receiver renders, written to a file or pipe as it is
// shown: a thread watches the frame count of "VideoRender" (found through
// the process registry of graphs, again after each rebuild) and writes each
// new picture as its width and height (32 bits each, little-endian) and its
// pixels, top-down, R G B. For measurements that read the pictures outside
// the process.
#pragma once
#include <atomic>
#include <string>
#include <thread>

class PictureStream {
 public:
  PictureStream() = default;
  ~PictureStream();
  PictureStream(const PictureStream&) = delete;
  PictureStream& operator=(const PictureStream&) = delete;

  // Opens path for writing and starts watching; false with a reason.
  bool start(const std::string& path, std::string* error);
  // Stops watching (and lets go of the renderer); the file stays open.
  void stop();

 private:
  void watch();

  int fd_ = -1;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};
