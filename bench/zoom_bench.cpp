// Frames per second of the non-linear zoom (rectangle and ellipse) from a
// 720x480 RGB24 picture to 640x480 and to CIF, on one core, next to the
// bilinear scaling of libswscale for the same sizes in the same run. The
// pointer stands still; the zoom does the whole work on every frame anyway.
// The ellipse runs the widest pixel loops the processor has; a second table
// gives each form the processor runs, for machines without the wider ones.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "filters/loupex/zoom_transform.h"

#ifdef HAVE_SWSCALE
extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Frames per second of one slice of about half a second.
double framesPerSecond(const std::function<void()>& frame) {
  int frames = 0;
  const auto start = Clock::now();
  auto now = start;
  while (now - start < std::chrono::milliseconds(500)) {
    for (int i = 0; i < 10; ++i) frame();
    frames += 10;
    now = Clock::now();
  }
  return frames / std::chrono::duration<double>(now - start).count();
}

// The machine is shared: the candidates run in turns, several rounds, and
// each keeps its best slice.
std::vector<double> bestOf(const std::vector<std::function<void()>>& candidates, int rounds) {
  std::vector<double> best(candidates.size(), 0.0);
  for (const auto& c : candidates)
    for (int i = 0; i < 20; ++i) c();  // warm caches and tables
  for (int r = 0; r < rounds; ++r)
    for (size_t i = 0; i < candidates.size(); ++i)
      best[i] = std::max(best[i], framesPerSecond(candidates[i]));
  return best;
}

}  // namespace

int main() {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  sched_setaffinity(0, sizeof one, &one);

  const int inW = 720, inH = 480;
  std::vector<uint8_t> in(static_cast<size_t>(inW) * inH * 3);
  for (int y = 0; y < inH; ++y)
    for (int x = 0; x < inW; ++x) {
      uint8_t* p = &in[(static_cast<size_t>(y) * inW + x) * 3];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x ^ y);
    }
  const RgbConstPicture inPic = RgbConstPicture::packed(in.data(), in.size(), inW, inH);

  struct Size {
    const char* name;
    int w, h;
  };
  const Size sizes[] = {{"640x480", 640, 480}, {"CIF 352x288", 352, 288}};
  std::vector<ZoomTransform::Kernels> levels;
  for (auto level :
       {ZoomTransform::Kernels::kAvx512, ZoomTransform::Kernels::kAvx2, ZoomTransform::Kernels::kScalar})
    if (zoomkernels::supports(level)) levels.push_back(level);
  struct LevelRow {
    const char* name;
    std::vector<double> fps;
    double sws;
  };
  std::vector<LevelRow> byLevel;
  std::printf("%-12s %12s %12s %14s %10s %10s\n", "output", "rect fps", "ellipse fps", "swscale fps",
              "rect/sws", "ell/sws");
  for (const Size& s : sizes) {
    std::vector<uint8_t> out(static_cast<size_t>(s.w) * s.h * 3);
    const RgbPicture outPic = RgbPicture::packed(out.data(), out.size(), s.w, s.h);
    ZoomSettings settings;  // mask 128 x 96, following a pointer in the middle
    settings.pointerConnected = true;
    settings.pointerX = 0.4f;
    settings.pointerY = 0.6f;
    ZoomTransform rectZoom, ellipseZoom;
    std::vector<ZoomTransform> levelZooms(levels.size());
    ZoomSettings rect = settings, ellipse = settings;
    rect.maskType = kZoomMaskRectangle;
    ellipse.maskType = kZoomMaskEllipse;
    std::vector<std::function<void()>> candidates = {
        [&] { rectZoom.transform(rect, inPic, outPic); },
        [&] { ellipseZoom.transform(ellipse, inPic, outPic); },
    };
#ifdef HAVE_SWSCALE
    SwsContext* ctx = sws_getContext(inW, inH, AV_PIX_FMT_BGR24, s.w, s.h, AV_PIX_FMT_BGR24, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
    const uint8_t* src[4] = {in.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {inW * 3, 0, 0, 0};
    uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {s.w * 3, 0, 0, 0};
    if (ctx) candidates.push_back([&] { sws_scale(ctx, src, srcStride, 0, inH, dst, dstStride); });
#endif
    // The forms of the pixel loops take their turns with the others, so
    // that their ratios to swscale come from the same moments.
    const size_t firstLevel = candidates.size();
    for (size_t i = 0; i < levels.size(); ++i) {
      levelZooms[i].setKernels(levels[i]);
      candidates.push_back([&, i] { levelZooms[i].transform(ellipse, inPic, outPic); });
    }
    const std::vector<double> fps = bestOf(candidates, 4);
    const double rectFps = fps[0], ellipseFps = fps[1], sws = firstLevel > 2 ? fps[2] : 0.0;
    byLevel.push_back({s.name, std::vector<double>(fps.begin() + firstLevel, fps.end()), sws});
#ifdef HAVE_SWSCALE
    if (ctx) sws_freeContext(ctx);
#endif
    std::printf("%-12s %12.0f %12.0f %14.0f %10.2f %10.2f\n", s.name, rectFps, ellipseFps, sws,
                sws > 0 ? rectFps / sws : 0.0, sws > 0 ? ellipseFps / sws : 0.0);
  }

  // Ellipse fps of each form of the pixel loops, and its ratio to swscale.
  const char* const levelNames[] = {"plain", "AVX2", "AVX-512"};
  std::printf("\n%-12s", "ellipse");
  for (ZoomTransform::Kernels level : levels)
    std::printf(" %12s %6s", levelNames[static_cast<int>(level)], "/sws");
  std::printf("\n");
  for (const LevelRow& row : byLevel) {
    std::printf("%-12s", row.name);
    for (double f : row.fps) std::printf(" %12.0f %6.2f", f, row.sws > 0 ? f / row.sws : 0.0);
    std::printf("\n");
  }
#ifndef HAVE_SWSCALE
  std::printf("(libswscale not found at configure time: no comparison)\n");
#endif
  return 0;
}
