// Feeds arbitrary pointer records and picture geometry to the steps the
// image extractor and image compounder take with them: a record read from the
// network places a window (of any size, over a picture of any size), the
// window is cut and blended back. Every cut pixel must be the source pixel
// under it or black, and nothing may be touched outside the buffers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/pointer/pointer_info.h"
#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/picture.h"

using namespace outside;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < pointing::kPointerInfoSize + 6) return 0;
  pointing::POINTER_INFO info;
  if (!pointing::readPointerInfo(data, size, info)) std::abort();
  const uint8_t* g = data + pointing::kPointerInfoSize;
  // Sides from 1 to 64 keep each run small.
  int sw = 1 + g[0] % 64, sh = 1 + g[1] % 64, ww = 1 + g[2] % 64, wh = 1 + g[3] % 64;
  int mask = g[4] % 3, blending = g[5] % 2;

  std::vector<uint8_t> src(size_t(sw) * sh * 3);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 13 + 1) | 1;  // never black
  std::vector<uint8_t> cut(size_t(ww) * wh * 3, 0xEE);
  PictureView s{src.data(), sw, sh, ptrdiff_t(sw) * 3}, w{cut.data(), ww, wh, ptrdiff_t(ww) * 3};

  float fx = 0.5f, fy = 0.5f;
  if (info.valid) {
    fx = info.positionX;
    fy = info.positionY;
  }
  int left = placeWindow(sw, ww, fx), top = placeWindow(sh, wh, fy);
  if (ww <= sw && (left < 0 || left + ww > sw)) std::abort();
  if (wh <= sh && (top < 0 || top + wh > sh)) std::abort();
  cutWindow(s, left, top, w);
  for (int y = 0; y < wh; ++y)
    for (int x = 0; x < ww; ++x) {
      int sx = left + x, sy = top + y;
      const uint8_t* p = w.row(y) + x * 3;
      bool inside = sx >= 0 && sy >= 0 && sx < sw && sy < sh;
      for (int c = 0; c < 3; ++c)
        if (p[c] != (inside ? s.row(sy)[sx * 3 + c] : 0)) std::abort();
    }
  std::vector<uint16_t> weights = maskWeights(ww, wh, mask, blending);
  if (weights.size() != size_t(ww) * wh) std::abort();
  for (uint16_t v : weights)
    if (v > 256) std::abort();
  blendWindow(w, weights, s, placeWindow(sw, ww, fy), placeWindow(sh, wh, fx));
  return 0;
}
