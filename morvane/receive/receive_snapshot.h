// Pictures of what the receiver renders: the last frame of its "VideoRender"
// (the remote pointers drawn in), found through the process registry of
// graphs, saved as PNG.
#pragma once
#include <cstdint>
#include <string>

struct Snapshot {
  bool saved = false;
  long width = 0, height = 0;
  uint64_t rendered = 0;   // frames the renderer has shown so far
  bool frameRead = false;  // the test pattern's frame number was read
  uint32_t frame = 0;
  std::string error;
};

Snapshot saveRenderedPicture(const std::string& path);
