#include "bench/system/frame_sink.h"

#include <unistd.h>

#include <cerrno>

#include "bench/system/frame_source.h"
#include "morvane/receive/picture_stream_reader.h"
#include "platform/filters/capture/test_pattern_code.h"

FrameSink::FrameSink(int width, int height, size_t frames)
    : width_(width), height_(height), arrived_(frames, 0) {}

FrameSink::~FrameSink() {
  join();
}

size_t FrameSink::pictureBytes(Layout layout) const {
  if (layout == Layout::Rgb24) return ((size_t(width_) * 3 + 3) & ~size_t(3)) * size_t(height_);
  return size_t(width_) * size_t(height_) * 3 / 2;
}

void FrameSink::readSized(int fd) {
  std::vector<uint8_t> picture;
  uint32_t w = 0, h = 0;
  while (picture_stream::readPicture(fd, w, h, picture)) {
    const int64_t when = monotonicNs();
    noteSeen(when, int(w), int(h));
    ++pictures_;
    uint32_t frame = 0;
    const bool read = test_pattern::readFrameNumberRgb(picture.data(), int(w), int(h), &frame);
    if (read) {
      noteArrival(frame, when);
    } else {
      ++unreadable_;
    }
  }
}

void FrameSink::readPipe(int fd, Layout layout) {
  if (layout == Layout::SizedRgb) {
    reader_ = std::thread([this, fd] { readSized(fd); });
    return;
  }
  const size_t bytes = pictureBytes(layout);
  reader_ = std::thread([this, fd, bytes, layout] {
    std::vector<uint8_t> picture(bytes);
    for (;;) {
      size_t got = 0;
      while (got < bytes) {
        ssize_t n = read(fd, picture.data() + got, bytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        got += static_cast<size_t>(n);
      }
      notePicture(picture.data(), layout, monotonicNs());
    }
  });
}

void FrameSink::notePicture(const uint8_t* picture, Layout layout, int64_t when) {
  noteSeen(when, width_, height_);
  ++pictures_;
  uint32_t frame = 0;
  const bool read = layout == Layout::SizedRgb ? false  // only through readPipe
                    : layout == Layout::Rgb24
                        ? test_pattern::readFrameNumberRgb24(picture, width_, height_, &frame)
                        : test_pattern::readFrameNumberLuma(picture, width_, height_, width_, &frame);
  if (!read) {
    ++unreadable_;
    return;
  }
  noteArrival(frame, when);
}

void FrameSink::noteArrival(uint32_t frame, int64_t when) {
  std::lock_guard<std::mutex> g(lock_);
  if (frame < arrived_.size() && !arrived_[frame]) arrived_[frame] = when;
}

void FrameSink::noteSeen(int64_t when, int width, int height) {
  std::lock_guard<std::mutex> g(lock_);
  seen_.push_back({when, width, height});
}

std::vector<PictureSeen> FrameSink::seen() const {
  std::lock_guard<std::mutex> g(lock_);
  return seen_;
}

void FrameSink::join() {
  if (reader_.joinable()) reader_.join();
}

std::vector<int64_t> FrameSink::arrivals() const {
  std::lock_guard<std::mutex> g(lock_);
  return arrived_;
}
