// Graph helpers of the codec tests: a renderer tap that keeps what arrives,
// reading frame numbers out of decoded pictures and measuring their PSNR.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/sample_recorder.h"

// A recorder that also reads the frame number out of each decoded picture
// of the given size (into the sample's code).
struct Collected : SampleRecorder {
  int width = 0, height = 0, bytesPerPixel = 3;

 protected:
  void annotate(RecordedSample& s) override;
};

// The top row and stride of a bottom-up picture in a sample buffer.
inline const uint8_t* topRow(const std::vector<uint8_t>& data, int width, int height, int bpp, ptrdiff_t* stride) {
  ptrdiff_t s = (ptrdiff_t(width) * bpp + 3) & ~3;
  *stride = -s;
  return data.data() + s * (height - 1);
}

// PSNR (dB) of a bottom-up picture against a top-down BGR24 reference.
double psnr(const std::vector<uint8_t>& picture, int bpp, const std::vector<uint8_t>& reference, int width, int height);

// The same on luma only (0.299 R + 0.587 G + 0.114 B): the usual measure
// of a codec, which keeps colour at a lower resolution than brightness.
double lumaPsnr(const std::vector<uint8_t>& picture, int bpp, const std::vector<uint8_t>& reference, int width,
                int height);

// Creates a filter through the class registry and adds it to the graph.
ComPtr<IBaseFilter> addFilter(IGraphBuilder* graph, REFCLSID clsid, const char16_t* name);
// Adds a filter made here (not through the registry).
void addOwnFilter(IGraphBuilder* graph, IBaseFilter* filter, const char16_t* name);
// A renderer that records every sample and the end of the stream into c,
// without waiting for presentation times.
ComPtr<IBaseFilter> addTap(IGraphBuilder* graph, Collected* c, const char16_t* name);
