#include "platform/filters/codecs/av_picture.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

// Line stride as the framework lays rows out: RGB rows padded to 32 bits,
// YUV rows unpadded.
int lineStride(AVPixelFormat f, int width) {
  switch (f) {
    case AV_PIX_FMT_BGR24: return (width * 3 + 3) & ~3;
    case AV_PIX_FMT_BGR0: return width * 4;
    case AV_PIX_FMT_RGB555LE:
    case AV_PIX_FMT_RGB565LE: return (width * 2 + 3) & ~3;
    case AV_PIX_FMT_YUYV422: return width * 2;
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUV411P: return width;
    default: return 0;
  }
}

bool supported(const PictureFormat& f) {
  if (f.width <= 0 || f.height <= 0 || f.width > 8192 || f.height > 8192) return false;
  if (f.format == AV_PIX_FMT_YUV420P && (f.width % 2 || f.height % 2)) return false;
  if (f.format == AV_PIX_FMT_YUV411P && f.width % 4) return false;
  if (f.format == AV_PIX_FMT_YUYV422 && f.width % 2) return false;
  return lineStride(f.format, f.width) > 0;
}

}  // namespace

size_t pictureSize(const PictureFormat& f) {
  if (!supported(f)) return 0;
  size_t luma = size_t(lineStride(f.format, f.width)) * size_t(f.height);
  switch (f.format) {
    case AV_PIX_FMT_YUV420P: return luma + 2 * (luma / 4);
    case AV_PIX_FMT_YUV411P: return luma + 2 * (luma / 4);
    default: return luma;
  }
}

bool pictureLayout(const PictureFormat& f, const uint8_t* base, uint8_t* planes[4], int strides[4]) {
  for (int i = 0; i < 4; ++i) {
    planes[i] = nullptr;
    strides[i] = 0;
  }
  if (!supported(f) || !base) return false;
  auto* p = const_cast<uint8_t*>(base);
  int stride = lineStride(f.format, f.width);
  if (f.format == AV_PIX_FMT_YUV420P || f.format == AV_PIX_FMT_YUV411P) {
    bool is420 = f.format == AV_PIX_FMT_YUV420P;
    int cw = is420 ? f.width / 2 : f.width / 4, ch = is420 ? f.height / 2 : f.height;
    planes[0] = p;
    strides[0] = stride;
    planes[1] = p + size_t(stride) * f.height;
    strides[1] = cw;
    planes[2] = planes[1] + size_t(cw) * ch;
    strides[2] = cw;
    return true;
  }
  if (f.bottomUp) {
    planes[0] = p + size_t(stride) * (f.height - 1);
    strides[0] = -stride;
  } else {
    planes[0] = p;
    strides[0] = stride;
  }
  return true;
}

PictureConverter::~PictureConverter() {
  sws_freeContext(sws_);
}

PictureConverter::Staging::~Staging() {
  av_freep(&planes[0]);
}

bool PictureConverter::Staging::fit(const PictureFormat& f) {
  if (planes[0] && format == f) return true;
  av_freep(&planes[0]);
  format = {};
  if (av_image_alloc(planes, strides, f.width + 16, f.height + 1, f.format, 64) < 0) {
    planes[0] = nullptr;
    return false;
  }
  format = f;
  return true;
}

bool PictureConverter::prepare(int sw, int sh, AVPixelFormat sf, int dw, int dh, AVPixelFormat df) {
  sws_ = sws_getCachedContext(sws_, sw, sh, sf, dw, dh, df, SWS_BICUBIC, nullptr, nullptr, nullptr);
  return sws_ != nullptr;
}

bool PictureConverter::convert(const PictureFormat& from, const uint8_t* src, const PictureFormat& to,
                               uint8_t* dst) {
  uint8_t *sp[4], *dp[4];
  int ss[4], ds[4];
  if (!pictureLayout(from, src, sp, ss) || !pictureLayout(to, dst, dp, ds)) return false;
  if (needsStaging(from) || needsStaging(to)) return false;  // not needed by the codecs
  if (!prepare(from.width, from.height, from.format, to.width, to.height, to.format)) return false;
  return sws_scale(sws_, sp, ss, 0, from.height, dp, ds) == to.height;
}

bool PictureConverter::convert(const AVFrame* frame, const PictureFormat& to, uint8_t* dst) {
  uint8_t* dp[4];
  int ds[4];
  if (!frame || !pictureLayout(to, dst, dp, ds)) return false;
  auto sf = static_cast<AVPixelFormat>(frame->format);
  if (!prepare(frame->width, frame->height, sf, to.width, to.height, to.format)) return false;
  if (!needsStaging(to))
    return sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, dp, ds) == to.height;
  if (!staging_.fit(to)) return false;
  if (sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, staging_.planes, staging_.strides) != to.height)
    return false;
  av_image_copy(dp, ds, const_cast<const uint8_t**>(staging_.planes), staging_.strides, to.format, to.width,
                to.height);
  return true;
}

bool PictureConverter::convert(const PictureFormat& from, const uint8_t* src, AVFrame* frame) {
  uint8_t* sp[4];
  int ss[4];
  if (!frame || !pictureLayout(from, src, sp, ss)) return false;
  auto df = static_cast<AVPixelFormat>(frame->format);
  if (!prepare(from.width, from.height, from.format, frame->width, frame->height, df)) return false;
  if (needsStaging(from)) {
    if (!staging_.fit(from)) return false;
    av_image_copy(staging_.planes, staging_.strides, const_cast<const uint8_t**>(sp), ss, from.format, from.width,
                  from.height);
    for (int i = 0; i < 4; ++i) {
      sp[i] = staging_.planes[i];
      ss[i] = staging_.strides[i];
    }
  }
  return sws_scale(sws_, sp, ss, 0, from.height, frame->data, frame->linesize) == frame->height;
}
