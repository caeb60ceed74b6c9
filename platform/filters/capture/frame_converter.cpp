#include "platform/filters/capture/frame_converter.h"

#include <cstring>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "platform/media/guids.h"

FrameConverter::~FrameConverter() {
  clear();
}

void FrameConverter::clear() {
  std::lock_guard<std::mutex> g(lock_);
  for (auto& [key, ctx] : scalers_) sws_freeContext(ctx);
  scalers_.clear();
  pixels_.clear();
  width_ = height_ = 0;
}

void FrameConverter::store(Layout layout, int width, int height, size_t stride, const uint8_t* pixels) {
  std::lock_guard<std::mutex> g(lock_);
  layout_ = layout;
  width_ = width;
  height_ = height;
  stride_ = stride;
  pixels_.assign(pixels, pixels + stride * size_t(height));
}

bool FrameConverter::convert(const VideoFormat& f, uint8_t* dst, size_t size) {
  size_t need = pictureBytes(f);
  if (need == 0 || size < need || !dst) return false;
  std::lock_guard<std::mutex> g(lock_);
  if (pixels_.empty() || width_ <= 0 || height_ <= 0) return false;
  AVPixelFormat in = layout_ == Layout::Bgr24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
  AVPixelFormat out = f.subtype == MEDIASUBTYPE_RGB24  ? AV_PIX_FMT_BGR24
                      : f.subtype == MEDIASUBTYPE_YUY2 ? AV_PIX_FMT_YUYV422
                                                       : AV_PIX_FMT_YUV420P;
  auto key = std::make_tuple(int(layout_), width_, height_, f.width, f.height, f.subtype.Data1);
  SwsContext*& ctx = scalers_[key];
  if (!ctx)
    ctx = sws_getContext(width_, height_, in, f.width, f.height, out, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!ctx) return false;
  const uint8_t* src[4] = {pixels_.data(), nullptr, nullptr, nullptr};
  int srcStride[4] = {static_cast<int>(stride_), 0, 0, 0};
  uint8_t* planes[4] = {};
  int strides[4] = {};
  if (f.subtype == MEDIASUBTYPE_RGB24) {
    // Bottom-up rows: start at the last row and step backwards.
    int stride = static_cast<int>(rgb24Stride(f.width));
    planes[0] = dst + size_t(stride) * size_t(f.height - 1);
    strides[0] = -stride;
    for (int y = 0; y < f.height; ++y)  // the row padding
      std::memset(dst + size_t(stride) * size_t(y) + size_t(f.width) * 3, 0, size_t(stride) - size_t(f.width) * 3);
  } else if (f.subtype == MEDIASUBTYPE_YUY2) {
    planes[0] = dst;
    strides[0] = f.width * 2;
  } else {
    planes[0] = dst;
    planes[1] = dst + size_t(f.width) * size_t(f.height);
    planes[2] = planes[1] + size_t(f.width / 2) * size_t(f.height / 2);
    strides[0] = f.width;
    strides[1] = strides[2] = f.width / 2;
  }
  return sws_scale(ctx, src, srcStride, 0, height_, planes, strides) == f.height;
}
