// Graph helpers of the codec tests: a renderer tap that keeps what arrives,
// reading frame numbers out of decoded pictures and measuring their PSNR.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/filters/tests/graph_helpers.h"

struct Collected {
  struct Sample {
    std::vector<uint8_t> data;
    REFERENCE_TIME start = -1;
    bool sync = false;
    bool discontinuity = false;
    int32_t code = -1;  // frame number read from a decoded picture
  };
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Sample> samples;
  bool ended = false;  // end of stream arrived
  // Set for decoded pictures: the size to read frame numbers with.
  int width = 0, height = 0, bytesPerPixel = 3;

  static void record(void* context, IMediaSample* sample);
  // Waits until count samples (or the end of the stream) arrived.
  bool waitForCount(size_t count, std::chrono::seconds limit = std::chrono::seconds(60));
  bool waitForEnd(std::chrono::seconds limit = std::chrono::seconds(60));
  std::vector<Sample> take();
  void endOfStream();
};

// The top row and stride of a bottom-up picture in a sample buffer.
inline const uint8_t* topRow(const std::vector<uint8_t>& data, int width, int height, int bpp, ptrdiff_t* stride) {
  ptrdiff_t s = (ptrdiff_t(width) * bpp + 3) & ~3;
  *stride = -s;
  return data.data() + s * (height - 1);
}

// PSNR (dB) of a bottom-up picture against a top-down BGR24 reference.
double psnr(const std::vector<uint8_t>& picture, int bpp, const std::vector<uint8_t>& reference, int width, int height);

// Creates a filter through the class registry and adds it to the graph.
ComPtr<IBaseFilter> addFilter(IGraphBuilder* graph, REFCLSID clsid, const char16_t* name);
// Adds a filter made here (not through the registry).
void addOwnFilter(IGraphBuilder* graph, IBaseFilter* filter, const char16_t* name);
// A renderer that records every sample and the end of the stream into c,
// without waiting for presentation times.
ComPtr<IBaseFilter> addTap(IGraphBuilder* graph, Collected* c, const char16_t* name);
