#include "platform/filters/outside/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/filters/outside/outside_interfaces.h"
#include "platform/media/guids.h"

namespace outside {

namespace {

const int kSizes[8][2] = {{128, 96},  {176, 144}, {352, 288}, {160, 120},
                          {320, 240}, {360, 240}, {640, 480}, {720, 480}};
const char* const kNames[9] = {"SQCIF(128x96)", "QCIF(176x144)", "CIF(352x288)", "160x120", "320x240",
                               "360x240",       "640x480",       "720x480",      "Through"};

// Width of the band along a mask's edge over which "Vaguely" fades.
constexpr int kFadeBand = 8;
// Side of one checkers square.
constexpr int kCheckerSide = 8;

}  // namespace

bool videoFormatSize(int code, int* width, int* height) {
  if (code < 0 || code > 7) return false;
  *width = kSizes[code][0];
  *height = kSizes[code][1];
  return true;
}

int videoFormatOf(int width, int height) {
  for (int i = 0; i < 8; ++i)
    if (kSizes[i][0] == width && kSizes[i][1] == height) return i;
  return 8;
}

int clampVideoFormat(int code) {
  return std::clamp(code, 0, 8);
}

const char* videoFormatName(int code) {
  return code >= 0 && code <= 8 ? kNames[code] : nullptr;
}

size_t dibStride(int width, int bitCount) {
  return ((size_t(width) * size_t(bitCount) + 31) & ~size_t(31)) / 8;
}

bool viewRgb24(uint8_t* data, size_t length, int width, int bitmapHeight, PictureView* view) {
  int height = bitmapHeight < 0 ? -bitmapHeight : bitmapHeight;
  if (!data || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  size_t stride = dibStride(width, 24);
  if (length < stride * size_t(height)) return false;
  view->width = width;
  view->height = height;
  if (bitmapHeight > 0) {
    view->top = data + stride * size_t(height - 1);
    view->pitch = -ptrdiff_t(stride);
  } else {
    view->top = data;
    view->pitch = ptrdiff_t(stride);
  }
  return true;
}

MediaType rgb24Type(int width, int height, int64_t avgTimePerFrame) {
  VideoInfoHeader vih;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = 24;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  vih.source = {0, 0, width, height};
  vih.target = vih.source;
  vih.avgTimePerFrame = avgTimePerFrame;
  MediaType mt(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}

bool rgb24Size(const MediaType& mt, int* width, int* bitmapHeight) {
  VideoInfoHeader vih;
  if (mt.majortype() != MEDIATYPE_Video || mt.subtype() != MEDIASUBTYPE_RGB24 || !videoInfoOf(mt.get(), vih))
    return false;
  if (vih.bmi.bitCount != 24 || vih.bmi.compression != BI_RGB) return false;
  int h = vih.bmi.height;
  if (vih.bmi.width <= 0 || vih.bmi.width > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide) return false;
  *width = vih.bmi.width;
  *bitmapHeight = h;
  return true;
}

int placeWindow(int outer, int inner, float pos) {
  if (inner >= outer) return -((inner - outer) / 2);
  if (!(pos >= 0.0f)) pos = 0.0f;  // also NaN
  if (pos > 1.0f) pos = 1.0f;
  int centre = static_cast<int>(std::lround(double(pos) * outer));
  return std::clamp(centre - inner / 2, 0, outer - inner);
}

void cutWindow(const PictureView& src, int left, int top, const PictureView& dst) {
  for (int y = 0; y < dst.height; ++y) {
    uint8_t* out = dst.row(y);
    int sy = top + y;
    if (sy < 0 || sy >= src.height) {
      std::memset(out, 0, size_t(dst.width) * 3);
      continue;
    }
    // Columns of dst that fall inside src.
    int x0 = std::clamp(-left, 0, dst.width);
    int x1 = std::clamp(src.width - left, x0, dst.width);
    std::memset(out, 0, size_t(x0) * 3);
    if (x1 > x0) std::memcpy(out + size_t(x0) * 3, src.row(sy) + size_t(left + x0) * 3, size_t(x1 - x0) * 3);
    std::memset(out + size_t(x1) * 3, 0, size_t(dst.width - x1) * 3);
  }
}

std::vector<uint16_t> maskWeights(int width, int height, int mask, int blending) {
  std::vector<uint16_t> w(size_t(std::max(width, 0)) * size_t(std::max(height, 0)), 0);
  bool vague = blending == kBlendVaguely;
  auto fade = [&](double distance) -> uint16_t {
    // distance: pixels from the mask's edge inwards (at least 1 inside).
    if (!vague) return 256;
    double f = std::min(distance, double(kFadeBand)) / kFadeBand;
    return static_cast<uint16_t>(std::lround(f * 256));
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint16_t& out = w[size_t(y) * width + x];
      if (mask == kMaskEllipse) {
        double rx = width / 2.0, ry = height / 2.0;
        double dx = (x + 0.5 - rx) / rx, dy = (y + 0.5 - ry) / ry;
        double r = std::sqrt(dx * dx + dy * dy);
        if (r > 1.0) continue;
        // Distance to the edge along the radius, in pixels, at least 1.
        out = fade(std::max(1.0, (1.0 - r) * std::min(rx, ry) + 0.5));
      } else if (mask == kMaskCheckers) {
        bool cutOut = ((x / kCheckerSide) + (y / kCheckerSide)) % 2 == 0;
        if (cutOut) out = vague ? 128 : 256;
      } else {
        int d = std::min(std::min(x, y), std::min(width - 1 - x, height - 1 - y)) + 1;
        out = fade(d);
      }
    }
  return w;
}

void blendWindow(const PictureView& add, const std::vector<uint16_t>& weights, const PictureView& dst, int left,
                 int top) {
  if (weights.size() < size_t(add.width) * size_t(add.height)) return;
  int y0 = std::max(0, -top), y1 = std::min(add.height, dst.height - top);
  int x0 = std::max(0, -left), x1 = std::min(add.width, dst.width - left);
  for (int y = y0; y < y1; ++y) {
    const uint8_t* a = add.row(y);
    uint8_t* d = dst.row(top + y) + ptrdiff_t(left) * 3;  // left may be negative
    const uint16_t* wr = &weights[size_t(y) * add.width];
    for (int x = x0; x < x1; ++x) {
      unsigned wt = wr[x];
      if (wt == 0) continue;
      for (int c = 0; c < 3; ++c) {
        unsigned av = a[x * 3 + c], dv = d[x * 3 + c];
        d[x * 3 + c] = static_cast<uint8_t>((av * wt + dv * (256 - wt) + 128) >> 8);
      }
    }
  }
}

}  // namespace outside
