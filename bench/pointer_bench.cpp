// Pointer benchmarks:
//  1. three pointers drawn into a 720x480 RGB24 picture, microseconds per frame;
//  2. the pointer sampler's CPU use while it samples every 30 ms against the
//     X server in DISPLAY (run it with tools/with-xvfb), with the pointer
//     standing still and with the pointer moving.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "filters/blendor/koPointerDraw.h"
#include "filters/pointer/pointer_info.h"
#include "filters/pointer/pointer_sampler.h"
#include "filters/pointer/pointer_sampler_runner.h"
#include "filters/pointer/x11_pointer_source.h"

// Last: Xlib's macros clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using Clock = std::chrono::steady_clock;

void drawBench() {
  const int w = 720, h = 480;
  std::vector<uint8_t> picture(static_cast<size_t>(w) * h * 3, 0x40);
  koPointerDraw draw;
  draw.setBitmapSize(w, h);
  struct P {
    float x, y;
    int shape, colour;
  };
  const P pointers[3] = {{0.25f, 0.3f, 0, 4}, {0.6f, 0.5f, 4, 2}, {0.995f, 0.01f, 5, 7}};  // the last one clipped
  const int frames = 200000;
  const auto start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    for (const P& p : pointers) {
      draw.setPosition(p.x + (f & 7) * 0.001f, p.y);
      draw.setShape(p.shape);
      draw.setColor(p.colour);
      draw.draw(picture.data(), picture.size());
    }
  }
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / frames;
  std::printf("draw: 3 pointers into 720x480: %.3f us per frame (goal < 20 us)\n", us);
}

void samplerBench(bool moving, int seconds) {
  using namespace pointing;
  PointerSampler sampler(std::make_unique<X11PointerSource>());
  int records = 0;
  PointerSamplerRunner runner(sampler, [&](const uint8_t*, size_t) { ++records; });
  Display* mover = moving ? XOpenDisplay(nullptr) : nullptr;
  runner.start();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // connection set up
  const double cpu0 = runner.threadCpuSeconds();
  const int records0 = records;
  const auto t0 = Clock::now();
  int step = 0;
  while (Clock::now() - t0 < std::chrono::seconds(seconds)) {
    if (mover) {
      XTestFakeMotionEvent(mover, 0, 100 + (step % 400), 100 + (step % 300), 0);
      XFlush(mover);
      ++step;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(moving ? 20 : 200));
  }
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = runner.threadCpuSeconds() - cpu0;
  const int n = records - records0;
  runner.stop();
  if (mover) XCloseDisplay(mover);
  std::printf("sampler (%s pointer, 30 ms): %.3f %% of one core, %d records in %.1f s (%.1f per second)\n",
              moving ? "moving" : "still", 100.0 * cpu / wall, n, wall, n / wall);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  drawBench();
  if (!std::getenv("DISPLAY")) {
    std::printf("sampler: skipped, no DISPLAY (run under tools/with-xvfb)\n");
    return 0;
  }
  samplerBench(false, seconds);
  samplerBench(true, seconds);
  std::printf("(sampler goal: < 0.5 %% of one core)\n");
  return 0;
}
