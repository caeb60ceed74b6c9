#include "bench/system/frame_source.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/filters/capture/test_pattern_image.h"
#include "platform/media/guids.h"

namespace {

// Pictures rendered ahead of the pacing loop.
constexpr size_t kAhead = 6;

// A sender that takes nothing for this long is taken for stuck.
constexpr int kStuckMs = 5000;

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, kStuckMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t n = write(fd, data, size);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Renders frames 0..count-1 into a short queue.
class Renderer {
 public:
  Renderer(const VideoFormat& format, size_t bytes, size_t count)
      : format_(format), bytes_(bytes), count_(count), thread_([this] { loop(); }) {}
  ~Renderer() {
    {
      std::lock_guard<std::mutex> g(lock_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  // The next picture in frame order; empty once the renderer is stopped.
  std::vector<uint8_t> take() {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait(g, [&] { return quit_ || !ready_.empty(); });
    if (ready_.empty()) return {};
    std::vector<uint8_t> p = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return p;
  }

 private:
  void loop() {
    for (size_t n = 0; n < count_; ++n) {
      std::vector<uint8_t> p(bytes_);
      renderTestPattern(n, format_, p.data(), p.size());
      std::unique_lock<std::mutex> g(lock_);
      changed_.wait(g, [&] { return quit_ || ready_.size() < kAhead; });
      if (quit_) return;
      ready_.push_back(std::move(p));
      changed_.notify_all();
    }
  }

  VideoFormat format_;
  size_t bytes_, count_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> ready_;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace

int64_t monotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FrameSource::FrameSource(int width, int height, int fps)
    : width_(width), height_(height), fps_(fps), bytes_(size_t(width) * size_t(height) * 3 / 2) {}

size_t FrameSource::run(int fd, size_t count, const std::atomic<bool>& stop) {
  sent_.assign(count, 0);
  // Written without blocking, so that a stuck reader shows (writeAll).
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  Renderer renderer(VideoFormat{width_, height_, MEDIASUBTYPE_I420}, bytes_, count);
  const int64_t period = 1000000000 / fps_;
  const int64_t start = monotonicNs();
  size_t n = 0;
  for (; n < count && !stop; ++n) {
    std::vector<uint8_t> picture = renderer.take();
    if (picture.empty()) break;
    const int64_t due = start + int64_t(n) * period;
    const int64_t wait = due - monotonicNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    sent_[n] = monotonicNs();
    if (!writeAll(fd, picture.data(), picture.size())) {
      sent_[n] = 0;
      break;
    }
  }
  size_t last = n;
  while (last > 0 && !sent_[last - 1]) --last;
  rate_ = last > 1 ? double(last - 1) / (double(sent_[last - 1] - sent_[0]) * 1e-9) : 0;
  return n;
}
