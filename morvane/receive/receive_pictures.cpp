#include "morvane/receive/receive_pictures.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "morvane/receive/receive_snapshot.h"

namespace {

// How long one wait for the renderer's next frame lasts (the thread looks
// at quit_ in between), and how often the renderer is looked for again (the
// graph may have been rebuilt). While the graph has none (between tearing
// down and building it again for a new status) it is looked for more often,
// so that the first picture of the new graph is not held back.
constexpr DWORD kWaitMs = 20;
constexpr auto kFindAgain = std::chrono::milliseconds(500);
constexpr auto kFindMissing = std::chrono::milliseconds(10);

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

PictureStream::~PictureStream() {
  stop();
  if (fd_ >= 0) close(fd_);
}

void PictureStream::stop() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
}

bool PictureStream::start(const std::string& path, std::string* error) {
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  thread_ = std::thread([this] { watch(); });
  return true;
}

void PictureStream::watch() {
  using Clock = std::chrono::steady_clock;
  ComPtr<IVideoFrameSnapshot> renderer;
  auto found = Clock::now() - kFindAgain;
  uint64_t shown = 0;
  std::vector<uint8_t> picture;
  while (!quit_) {
    if (Clock::now() - found >= (renderer ? kFindAgain : kFindMissing)) {
      ComPtr<IVideoFrameSnapshot> now = findRenderer();
      if (now.get() != renderer.get()) shown = 0;
      renderer = now;
      found = Clock::now();
    }
    if (!renderer) {
      std::this_thread::sleep_for(kFindMissing);
      continue;
    }
    // Woken by the renderer as each frame is shown: no polling delay, and
    // no wake-ups between frames.
    uint64_t count = 0;
    LONG w = 0, h = 0;
    if (renderer->WaitFrameCount(shown, kWaitMs, &count) != S_OK || count == shown) continue;
    if (FAILED(renderer->GetFrameSize(&w, &h)) || w <= 0 || h <= 0) continue;
    shown = count;
    picture.resize(8 + size_t(w) * size_t(h) * 3);
    const uint32_t size[2] = {uint32_t(w), uint32_t(h)};
    for (int i = 0; i < 8; ++i) picture[size_t(i)] = uint8_t(size[i / 4] >> (8 * (i % 4)));
    if (FAILED(renderer->GetFrame(picture.data() + 8, ULONG(picture.size() - 8)))) continue;
    if (!writeAll(fd_, picture.data(), picture.size())) return;  // the reader went away
  }
}
