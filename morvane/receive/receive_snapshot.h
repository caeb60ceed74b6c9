// Pictures of what the receiver renders: the last frame of its "VideoRender"
// (the remote pointers drawn in), found through the process registry of
// graphs, saved as PNG.
#pragma once
#include <cstdint>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/filters/video_renderer.h"

struct Snapshot {
  bool saved = false;
  long width = 0, height = 0;
  uint64_t rendered = 0;   // frames the renderer has shown so far
  bool frameRead = false;  // the test pattern's frame number was read
  uint32_t frame = 0;
  std::string error;
};

// The receiver's "VideoRender" in this process (null while no graph has
// one: before the first status, or while the sender is stopped).
ComPtr<IVideoFrameSnapshot> findRenderer();

Snapshot saveRenderedPicture(const std::string& path);
