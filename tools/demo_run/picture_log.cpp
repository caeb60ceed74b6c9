#include "tools/demo_run/picture_log.h"


#include <cstdint>

#include "morvane/receive/picture_stream_reader.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "tools/demo_run/station_process.h"

namespace demo {

void PictureLog::start(int fd) {
  thread_ = std::thread([this, fd] { read(fd); });
}

void PictureLog::join() {
  if (thread_.joinable()) thread_.join();
}

std::vector<Picture> PictureLog::pictures() const {
  std::lock_guard<std::mutex> g(lock_);
  return pictures_;
}

void PictureLog::read(int fd) {
  std::vector<uint8_t> rgb;
  uint32_t w = 0, h = 0;
  while (picture_stream::readPicture(fd, w, h, rgb)) {
    Picture p{monotonicNs()};
    p.frameRead = test_pattern::readFrameNumberRgb(rgb.data(), int(w), int(h), &p.frame);
    std::lock_guard<std::mutex> g(lock_);
    pictures_.push_back(p);
    count_.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace demo
