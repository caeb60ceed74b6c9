#include "platform/filters/outside/format_transform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "platform/com/log.h"
#include "platform/filters/outside/picture.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

using namespace outside;

namespace {

inline constexpr GUID MEDIASUBTYPE_UYVY = fourccSubtype(makeFourcc('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_YV12 = fourccSubtype(makeFourcc('Y', 'V', '1', '2'));

struct ColorEntry {
  int code;
  const GUID* subtype;
  AVPixelFormat pixfmt;
  const char* name;
};

// Code order; 3 (Any) names no format of its own.
const ColorEntry kColors[kColorFormatCount] = {
    {kRGB555, &MEDIASUBTYPE_RGB555, AV_PIX_FMT_RGB555LE, "RGB555"},
    {kRGB24, &MEDIASUBTYPE_RGB24, AV_PIX_FMT_BGR24, "RGB24"},
    {kRGB32, &MEDIASUBTYPE_RGB32, AV_PIX_FMT_BGR0, "RGB32"},
    {kAnyColor, nullptr, AV_PIX_FMT_NONE, "Any"},
    {kRGB565, &MEDIASUBTYPE_RGB565, AV_PIX_FMT_RGB565LE, "RGB565"},
    {kYUY2, &MEDIASUBTYPE_YUY2, AV_PIX_FMT_YUYV422, "YUY2"},
    {kUYVY, &MEDIASUBTYPE_UYVY, AV_PIX_FMT_UYVY422, "UYVY"},
    {kI420, &MEDIASUBTYPE_I420, AV_PIX_FMT_YUV420P, "I420"},
    {kYV12, &MEDIASUBTYPE_YV12, AV_PIX_FMT_YUV420P, "YV12"},
};

bool isRgb(int color) {
  return color == kRGB555 || color == kRGB565 || color == kRGB24 || color == kRGB32;
}
bool isPlanar(int color) {
  return color == kI420 || color == kYV12;
}
int bitsOf(int color) {
  switch (color) {
    case kRGB24:
      return 24;
    case kRGB32:
      return 32;
    case kI420:
    case kYV12:
      return 12;
    default:
      return 16;
  }
}

// Bytes a picture of this colour format and size needs.
size_t pictureBytes(int color, int width, int height) {
  if (isPlanar(color)) return size_t(width) * height + 2 * size_t(width / 2) * size_t(height / 2);
  return dibStride(width, bitsOf(color)) * size_t(height);
}

HRESULT copyName(const char* name, char* text, ULONG size) {
  if (!text || size == 0) return E_POINTER;
  if (!name) {
    text[0] = 0;
    return E_INVALIDARG;
  }
  int n = std::snprintf(text, size, "%s", name);
  return n >= 0 && ULONG(n) < size ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

FormatTransform::FormatTransform() : TransformFilter(CLSID_FormatTransform) {}

FormatTransform::~FormatTransform() {
  sws_freeContext(sws_);
  stopPlanarScaling();
}

HRESULT FormatTransform::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IFormatTransformControl) return getInterface(static_cast<IFormatTransformControl*>(this), object);
  return TransformFilter::nonDelegatingQueryInterface(iid, object);
}

bool FormatTransform::describeInput(const MediaType& mt, Input* in) {
  if (mt.majortype() != MEDIATYPE_Video) return false;
  const ColorEntry* entry = nullptr;
  for (const ColorEntry& c : kColors)
    if (c.subtype && *c.subtype == mt.subtype()) entry = &c;
  VideoInfoHeader vih;
  if (!entry || !videoInfoOf(mt.get(), vih)) return false;
  int w = vih.bmi.width, h = vih.bmi.height;
  if (w <= 0 || w > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide) return false;
  if (isRgb(entry->code) && vih.bmi.bitCount != bitsOf(entry->code)) return false;
  in->color = entry->code;
  in->width = w;
  in->height = h < 0 ? -h : h;
  // Uncompressed RGB with a positive height is stored bottom-up; YUV is top-down.
  in->bottomUp = isRgb(entry->code) && h > 0;
  in->frameTime = vih.avgTimePerFrame;
  if (isPlanar(entry->code) && (in->width % 2 || in->height % 2)) return false;
  return true;
}

void FormatTransform::outputSize(const Input& in, int* width, int* height) const {
  if (!videoFormatSize(outputFormat_.load(), width, height)) {
    *width = in.width;
    *height = in.height;
  }
}

HRESULT FormatTransform::checkInputType(const MediaType& mt) {
  Input in;
  if (!describeInput(mt, &in)) return VFW_E_TYPE_NOT_ACCEPTED;
  int color = inputColor_.load();
  if (color != kAnyColor && color != in.color) return VFW_E_TYPE_NOT_ACCEPTED;
  int w = 0, h = 0;
  if (videoFormatSize(inputFormat_.load(), &w, &h) && (w != in.width || h != in.height))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT FormatTransform::checkTransform(const MediaType& inType, const MediaType& out) {
  Input in;
  if (!describeInput(inType, &in)) return VFW_E_TYPE_NOT_ACCEPTED;
  int w = 0, h = 0, ow = 0, oh = 0;
  outputSize(in, &w, &h);
  if (!rgb24Size(out, &ow, &oh) || ow != w || oh != h) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT FormatTransform::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  Input in;
  if (!describeInput(inputPin()->currentMediaType(), &in)) return E_UNEXPECTED;
  int w = 0, h = 0;
  outputSize(in, &w, &h);
  *mt = rgb24Type(w, h, in.frameTime);
  return S_OK;
}

HRESULT FormatTransform::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  int w = 0, h = 0;
  if (!rgb24Size(outputPin()->currentMediaType(), &w, &h)) return E_UNEXPECTED;
  LONG size = static_cast<LONG>(dibStride(w, 24) * size_t(h < 0 ? -h : h));
  ALLOCATOR_PROPERTIES props{std::max<LONG>(2, request->cBuffers), size, std::max<LONG>(64, request->cbAlign),
                             request->cbPrefix};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT FormatTransform::startStreaming() {
  sws_freeContext(sws_);
  sws_ = nullptr;
  stopPlanarScaling();
  if (!inputPin()->isConnected() || !outputPin()->isConnected()) return S_OK;
  int bitmapHeight = 0;
  if (!describeInput(inputPin()->currentMediaType(), &in_) ||
      !rgb24Size(outputPin()->currentMediaType(), &outW_, &bitmapHeight) || bitmapHeight <= 0)
    return VFW_E_TYPE_NOT_ACCEPTED;
  outH_ = bitmapHeight;
  sws_ = sws_getContext(in_.width, in_.height, kColors[in_.color].pixfmt, outW_, outH_, AV_PIX_FMT_BGR24,
                        SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws_) {
    platformLog(PlatformLogLevel::Error, "format transform: no conversion from %s %dx%d to RGB24 %dx%d", kColors[in_.color].name,
                in_.width, in_.height, outW_, outH_);
    return E_FAIL;
  }
  if (in_.color == kRGB24 && (in_.width != outW_ || in_.height != outH_) && in_.width % 16 == 0 &&
      outW_ % 16 == 0 && !startPlanarScaling())
    stopPlanarScaling();  // the general conversion above does the work then
  return S_OK;
}

HRESULT FormatTransform::stopStreaming() {
  sws_freeContext(sws_);
  sws_ = nullptr;
  stopPlanarScaling();
  return S_OK;
}

// Scaling packed RGB, libswscale goes through YUV: it converts every input
// row to YUV, scales, and converts back, with chroma at half the width on
// the way. Taken apart into three 8-bit planes (one per colour), the
// pictures are scaled plane by plane with the same filter and no colour
// conversion at all, which costs about half as much for a camera picture
// brought down to CIF and keeps the colours exact. The scaling context is
// told the planes are YUV 4:4:4 so that it treats all three alike and
// converts nothing; splitting and joining are libswscale's plain
// rearrangements between packed and planar RGB.
bool FormatTransform::startPlanarScaling() {
  const size_t inPlane = size_t(in_.width) * in_.height, outPlane = size_t(outW_) * outH_;
  planesIn_ = static_cast<uint8_t*>(av_malloc(3 * inPlane));
  planesOut_ = static_cast<uint8_t*>(av_malloc(3 * outPlane));
  split_ = sws_getContext(in_.width, in_.height, AV_PIX_FMT_BGR24, in_.width, in_.height, AV_PIX_FMT_GBRP,
                          SWS_BILINEAR, nullptr, nullptr, nullptr);
  scalePlanes_ = sws_getContext(in_.width, in_.height, AV_PIX_FMT_YUV444P, outW_, outH_, AV_PIX_FMT_YUV444P,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
  join_ = sws_getContext(outW_, outH_, AV_PIX_FMT_GBRP, outW_, outH_, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr,
                         nullptr, nullptr);
  return planesIn_ && planesOut_ && split_ && scalePlanes_ && join_;
}

void FormatTransform::stopPlanarScaling() {
  sws_freeContext(split_);
  sws_freeContext(scalePlanes_);
  sws_freeContext(join_);
  split_ = scalePlanes_ = join_ = nullptr;
  av_freep(&planesIn_);
  av_freep(&planesOut_);
}

// Rows stay in the order the strides give them: a negative stride walks
// the picture from its last row in memory.
void FormatTransform::scalePlanes(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride) {
  const size_t inPlane = size_t(in_.width) * in_.height, outPlane = size_t(outW_) * outH_;
  uint8_t* in[4] = {planesIn_, planesIn_ + inPlane, planesIn_ + 2 * inPlane, nullptr};
  uint8_t* out[4] = {planesOut_, planesOut_ + outPlane, planesOut_ + 2 * outPlane, nullptr};
  int inStrides[4] = {in_.width, in_.width, in_.width, 0};
  int outStrides[4] = {outW_, outW_, outW_, 0};
  const uint8_t* packed[4] = {src, nullptr, nullptr, nullptr};
  int packedStrides[4] = {srcStride, 0, 0, 0};
  sws_scale(split_, packed, packedStrides, 0, in_.height, in, inStrides);
  sws_scale(scalePlanes_, in, inStrides, 0, in_.height, out, outStrides);
  uint8_t* joined[4] = {dst, nullptr, nullptr, nullptr};
  int joinedStrides[4] = {dstStride, 0, 0, 0};
  sws_scale(join_, out, outStrides, 0, outH_, joined, joinedStrides);
}

HRESULT FormatTransform::transform(IMediaSample* inSample, IMediaSample* outSample) {
  if (!sws_) return S_FALSE;
  uint8_t *src = nullptr, *dst = nullptr;
  inSample->GetPointer(&src);
  outSample->GetPointer(&dst);
  LONG inLength = inSample->GetActualDataLength();
  size_t outStride = dibStride(outW_, 24), outBytes = outStride * size_t(outH_);
  if (!src || !dst || inLength < 0 || size_t(inLength) < pictureBytes(in_.color, in_.width, in_.height) ||
      size_t(outSample->GetSize()) < outBytes)
    return S_FALSE;  // a short picture is dropped rather than read past its end

  const uint8_t* planes[4] = {src, nullptr, nullptr, nullptr};
  int strides[4] = {0, 0, 0, 0};
  int planeRows[3] = {in_.height, 0, 0};
  if (isPlanar(in_.color)) {
    size_t lumaBytes = size_t(in_.width) * in_.height, chromaBytes = size_t(in_.width / 2) * (in_.height / 2);
    const uint8_t* first = src + lumaBytes;
    const uint8_t* second = first + chromaBytes;
    planes[1] = in_.color == kI420 ? first : second;  // U
    planes[2] = in_.color == kI420 ? second : first;  // V
    strides[0] = in_.width;
    strides[1] = strides[2] = in_.width / 2;
    planeRows[1] = planeRows[2] = in_.height / 2;
  } else {
    strides[0] = static_cast<int>(dibStride(in_.width, bitsOf(in_.color)));
  }

  // libswscale works on blocks of pixels and may read and write a little
  // past the end of a row. Pictures whose widths are multiples of 16 (every
  // listed size) are converted in place; others go through padded copies.
  if (in_.width % 16 == 0 && outW_ % 16 == 0) {
    // The output is bottom-up. A bottom-up input keeps its row order in
    // memory; a top-down one is written from the last row upwards.
    uint8_t* outPlanes[4] = {dst, nullptr, nullptr, nullptr};
    int outStrides[4] = {static_cast<int>(outStride), 0, 0, 0};
    if (!in_.bottomUp) {
      outPlanes[0] = dst + outStride * size_t(outH_ - 1);
      outStrides[0] = -outStrides[0];
    }
    if (split_)
      scalePlanes(planes[0], strides[0], outPlanes[0], outStrides[0]);
    else
      sws_scale(sws_, planes, strides, 0, in_.height, outPlanes, outStrides);
  } else {
    auto padded = [](int bytes) { return (bytes + 63) / 64 * 64 + 64; };
    size_t offsets[3] = {0, 0, 0}, total = 0;
    int padStrides[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3 && planes[i]; ++i) {
      padStrides[i] = padded(strides[i]);
      offsets[i] = total;
      total += size_t(padStrides[i]) * size_t(planeRows[i] + 1);
    }
    scratchIn_.assign(total, 0);
    const uint8_t* padPlanes[4] = {nullptr, nullptr, nullptr, nullptr};
    for (int i = 0; i < 3 && planes[i]; ++i) {
      uint8_t* to = scratchIn_.data() + offsets[i];
      for (int r = 0; r < planeRows[i]; ++r)
        std::memcpy(to + size_t(r) * padStrides[i], planes[i] + size_t(r) * strides[i], size_t(strides[i]));
      padPlanes[i] = to;
    }
    int scratchStride = padded(static_cast<int>(outStride));
    scratchOut_.assign(size_t(scratchStride) * size_t(outH_ + 1), 0);
    uint8_t* outPlanes[4] = {scratchOut_.data(), nullptr, nullptr, nullptr};
    int outStrides[4] = {scratchStride, 0, 0, 0};
    sws_scale(sws_, padPlanes, padStrides, 0, in_.height, outPlanes, outStrides);
    // Scratch rows are in the input's memory order; the output is bottom-up.
    for (int r = 0; r < outH_; ++r) {
      int to = in_.bottomUp ? r : outH_ - 1 - r;
      std::memcpy(dst + outStride * size_t(to), scratchOut_.data() + size_t(scratchStride) * r, size_t(outW_) * 3);
    }
  }
  outSample->SetActualDataLength(static_cast<LONG>(outBytes));
  return S_OK;
}

HRESULT FormatTransform::GetInputVideoFormat(int* code) {
  if (!code) return E_POINTER;
  *code = inputFormat_.load();
  return S_OK;
}

HRESULT FormatTransform::SetInputVideoFormat(int code) {
  inputFormat_ = clampVideoFormat(code);
  return S_OK;
}

HRESULT FormatTransform::GetVideoFormatName(int code, char* text, ULONG size) {
  return copyName(videoFormatName(code), text, size);
}

HRESULT FormatTransform::GetInputVideoFormatColor(int* code) {
  if (!code) return E_POINTER;
  *code = inputColor_.load();
  return S_OK;
}

HRESULT FormatTransform::SetInputVideoFormatColor(int code) {
  inputColor_ = std::clamp(code, 0, kColorFormatCount - 1);
  return S_OK;
}

HRESULT FormatTransform::GetColorFormatName(int code, char* text, ULONG size) {
  return copyName(code >= 0 && code < kColorFormatCount ? kColors[code].name : nullptr, text, size);
}

HRESULT FormatTransform::GetOutputVideoFormat(int* code) {
  if (!code) return E_POINTER;
  *code = outputFormat_.load();
  return S_OK;
}

HRESULT FormatTransform::SetOutputVideoFormat(int code) {
  outputFormat_ = clampVideoFormat(code);
  return S_OK;
}

HRESULT FormatTransform::GetActualOutputVideoSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  // The connected output; else what the connected input would give; else
  // the chosen size (0 x 0 for Through with nothing connected).
  int w = 0, h = 0;
  Input in;
  bool known = outputPin()->isConnected() && rgb24Size(outputPin()->currentMediaType(), &w, &h);
  if (!known && inputPin()->isConnected() && describeInput(inputPin()->currentMediaType(), &in)) {
    outputSize(in, &w, &h);
    known = true;
  }
  if (!known && !videoFormatSize(outputFormat_.load(), &w, &h)) w = h = 0;
  *width = w;
  *height = h < 0 ? -h : h;
  return S_OK;
}

HRESULT FormatTransform::GetActualInputVideoFormat(int* code) {
  if (!code) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  Input in;
  bool known = inputPin()->isConnected() && describeInput(inputPin()->currentMediaType(), &in);
  *code = known ? videoFormatOf(in.width, in.height) : kThrough;
  return S_OK;
}

HRESULT FormatTransform::GetActualInputVideoFormatColor(int* code) {
  if (!code) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  Input in;
  bool known = inputPin()->isConnected() && describeInput(inputPin()->currentMediaType(), &in);
  *code = known ? in.color : kAnyColor;
  return S_OK;
}

HRESULT FormatTransform::GetActualOutputVideoFormat(int* code) {
  if (!code) return E_POINTER;
  LONG w = 0, h = 0;
  GetActualOutputVideoSize(&w, &h);
  *code = w > 0 ? videoFormatOf(int(w), int(h)) : kThrough;
  return S_OK;
}
