#include "tools/demo_run/picture_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/filters/capture/test_pattern_code.h"
#include "tools/demo_run/station_process.h"

namespace demo {

namespace {

bool readAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

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
  for (;;) {
    uint8_t head[8];
    if (!readAll(fd, head, sizeof head)) return;
    const uint32_t w = head[0] | head[1] << 8 | head[2] << 16 | uint32_t(head[3]) << 24;
    const uint32_t h = head[4] | head[5] << 8 | head[6] << 16 | uint32_t(head[7]) << 24;
    // A size no renderer makes: the stream is out of step; stop reading.
    if (w == 0 || h == 0 || w > 8192 || h > 8192) return;
    rgb.resize(size_t(w) * h * 3);
    if (!readAll(fd, rgb.data(), rgb.size())) return;
    Picture p{monotonicNs()};
    p.frameRead = test_pattern::readFrameNumber(
        int(w), int(h),
        [&](int x, int y) {
          const uint8_t* px = &rgb[(size_t(y) * w + size_t(x)) * 3];
          return (77 * px[0] + 150 * px[1] + 29 * px[2]) >> 8;
        },
        &p.frame);
    std::lock_guard<std::mutex> g(lock_);
    pictures_.push_back(p);
    count_.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace demo
