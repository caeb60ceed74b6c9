#include "platform/filters/capture/video_format.h"

#include <algorithm>
#include <cstdio>

#include "platform/media/guids.h"
#include "platform/media/records.h"

REFERENCE_TIME clampFrameInterval(REFERENCE_TIME interval) {
  return std::clamp(interval, kMinFrameInterval, kMaxFrameInterval);
}

bool isCaptureSubtype(const GUID& s) {
  return s == MEDIASUBTYPE_RGB24 || s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_I420;
}

size_t rgb24Stride(int width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
}

size_t pictureBytes(const VideoFormat& f) {
  if (f.width <= 0 || f.height <= 0 || f.width > 16384 || f.height > 16384) return 0;
  size_t w = static_cast<size_t>(f.width), h = static_cast<size_t>(f.height);
  if (f.subtype == MEDIASUBTYPE_RGB24) return rgb24Stride(f.width) * h;
  if ((w | h) & 1) return 0;
  if (f.subtype == MEDIASUBTYPE_YUY2) return w * h * 2;
  if (f.subtype == MEDIASUBTYPE_I420) return w * h * 3 / 2;
  return 0;
}

MediaType videoFormatMediaType(const VideoFormat& f, REFERENCE_TIME interval) {
  VideoInfoHeader vih;
  vih.source = {0, 0, f.width, f.height};
  vih.target = vih.source;
  vih.avgTimePerFrame = interval;
  vih.bmi.width = f.width;
  vih.bmi.height = f.height;
  if (f.subtype == MEDIASUBTYPE_RGB24) {
    vih.bmi.bitCount = 24;
    vih.bmi.compression = BI_RGB;
  } else if (f.subtype == MEDIASUBTYPE_YUY2) {
    vih.bmi.bitCount = 16;
    vih.bmi.compression = makeFourcc('Y', 'U', 'Y', '2');
  } else {
    vih.bmi.bitCount = 12;
    vih.bmi.compression = makeFourcc('I', '4', '2', '0');
  }
  vih.bmi.sizeImage = static_cast<uint32_t>(pictureBytes(f));
  uint64_t bits = uint64_t(vih.bmi.sizeImage) * 8 * 10000000 / uint64_t(interval > 0 ? interval : 1);
  vih.bitRate = bits > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bits);
  MediaType mt(MEDIATYPE_Video, f.subtype, FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setFixedSizeSamples(true);
  mt.setTemporalCompression(false);
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}

bool videoFormatOf(const AM_MEDIA_TYPE& mt, VideoFormat* f) {
  if (mt.majortype != MEDIATYPE_Video || !isCaptureSubtype(mt.subtype)) return false;
  VideoInfoHeader vih;
  if (!videoInfoOf(mt, vih)) return false;
  // RGB pictures are bottom-up (positive height); top-down ones are not offered.
  if (vih.bmi.height <= 0 || vih.bmi.width <= 0) return false;
  VideoFormat out{vih.bmi.width, vih.bmi.height, mt.subtype};
  if (pictureBytes(out) == 0) return false;
  *f = out;
  return true;
}

std::string describeVideoFormat(const VideoFormat& f) {
  const char* name = f.subtype == MEDIASUBTYPE_RGB24 ? "RGB24"
                     : f.subtype == MEDIASUBTYPE_YUY2 ? "YUY2"
                     : f.subtype == MEDIASUBTYPE_I420 ? "I420"
                                                      : "?";
  char text[64];
  std::snprintf(text, sizeof text, "%dx%d %s", f.width, f.height, name);
  return text;
}

std::vector<VideoFormat> formatsForSizes(const std::vector<PictureSize>& sizes) {
  std::vector<VideoFormat> out;
  std::vector<std::pair<int, int>> seen;
  for (const PictureSize& s : sizes) {
    if (s.width <= 0 || s.height <= 0) continue;
    if (std::find(seen.begin(), seen.end(), std::pair{s.width, s.height}) != seen.end()) continue;
    seen.emplace_back(s.width, s.height);
    for (const GUID* sub : {&MEDIASUBTYPE_RGB24, &MEDIASUBTYPE_YUY2, &MEDIASUBTYPE_I420}) {
      VideoFormat f{s.width, s.height, *sub};
      if (pictureBytes(f) != 0) out.push_back(f);
    }
  }
  return out;
}
