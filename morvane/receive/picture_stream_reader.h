// Reading what `morvane-receive --pictures-out` writes (see
// receive_pictures.h): each picture as its width and height (32 bits each,
// little-endian) and its pixels, top-down, R G B.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture_stream {

inline bool readAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// The next picture; false at the end of the stream, or where a size no
// renderer makes shows that the stream is out of step.
inline bool readPicture(int fd, uint32_t& width, uint32_t& height, std::vector<uint8_t>& rgb) {
  uint8_t head[8];
  if (!readAll(fd, head, sizeof head)) return false;
  width = head[0] | head[1] << 8 | head[2] << 16 | uint32_t(head[3]) << 24;
  height = head[4] | head[5] << 8 | head[6] << 16 | uint32_t(head[7]) << 24;
  if (width == 0 || height == 0 || width > 8192 || height > 8192) return false;
  rgb.resize(size_t(width) * height * 3);
  return readAll(fd, rgb.data(), rgb.size());
}

}  // namespace picture_stream
