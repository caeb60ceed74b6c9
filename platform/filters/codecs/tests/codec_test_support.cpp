#include "platform/filters/codecs/tests/codec_test_support.h"

#include <cmath>

#include "platform/filters/codecs/frame_code.h"
#include "platform/media/guids.h"
#include "platform/media/renderer.h"
#include "platform/media/results.h"

namespace {

class TapRenderer final : public BaseRenderer {
 public:
  explicit TapRenderer(Collected* c)
      : BaseRenderer(makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A22}")), collected_(c) {
    setSyncToClock(false);
  }
  HRESULT checkMediaType(const MediaType& mt) override {
    return mt.majortype() == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT doRenderSample(IMediaSample* sample) override {
    collected_->add(sample);
    return S_OK;
  }
  HRESULT onEndOfStream() override {
    collected_->endOfStream();
    return S_OK;
  }

 private:
  Collected* collected_;
};

}  // namespace

void Collected::annotate(RecordedSample& s) {
  if (width <= 0) return;
  ptrdiff_t stride = 0;
  size_t need = size_t((width * bytesPerPixel + 3) & ~3) * height;
  if (s.data.size() >= need) {
    const uint8_t* top = topRow(s.data, width, height, bytesPerPixel, &stride);
    s.code = readFrameCode(top, stride, width, height, bytesPerPixel);
  }
}

double psnr(const std::vector<uint8_t>& picture, int bpp, const std::vector<uint8_t>& reference, int width, int height) {
  ptrdiff_t stride = 0;
  const uint8_t* top = topRow(picture, width, height, bpp, &stride);
  double sum = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = top + stride * y;
    const uint8_t* r = reference.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        double d = double(p[bpp * x + c]) - double(r[3 * x + c]);
        sum += d * d;
      }
  }
  double mse = sum / (double(width) * height * 3);
  return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double lumaPsnr(const std::vector<uint8_t>& picture, int bpp, const std::vector<uint8_t>& reference, int width,
                int height) {
  ptrdiff_t stride = 0;
  const uint8_t* top = topRow(picture, width, height, bpp, &stride);
  auto luma = [](const uint8_t* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; };
  double sum = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = top + stride * y;
    const uint8_t* r = reference.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      double d = luma(p + bpp * x) - luma(r + 3 * x);
      sum += d * d;
    }
  }
  double mse = sum / (double(width) * height);
  return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

ComPtr<IBaseFilter> addFilter(IGraphBuilder* graph, REFCLSID clsid, const char16_t* name) {
  ComPtr<IBaseFilter> f = createFilter(clsid);
  if (f) {
    EXPECT_EQ(graph->AddFilter(f.get(), name), S_OK);
  }
  return f;
}

void addOwnFilter(IGraphBuilder* graph, IBaseFilter* filter, const char16_t* name) {
  EXPECT_EQ(graph->AddFilter(filter, name), S_OK);
}

ComPtr<IBaseFilter> addTap(IGraphBuilder* graph, Collected* c, const char16_t* name) {
  auto* tap = new TapRenderer(c);
  tap->AddRef();
  auto r = ComPtr<IBaseFilter>::adopt(tap);
  addOwnFilter(graph, tap, name);
  return r;
}
