#include "platform/filters/codecs/video_types.h"

#include <cstdlib>

#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

uint32_t fourccOf(VideoCodecKind kind) {
  return kind == VideoCodecKind::MP42 ? makeFourcc('M', 'P', '4', '2') : makeFourcc('d', 'v', 's', 'd');
}

}  // namespace

bool pictureFormatOf(const MediaType& mt, PictureFormat* format) {
  VideoInfoHeader vih;
  if (mt.majortype() != MEDIATYPE_Video || !videoInfoOf(mt.get(), vih)) return false;
  const BitmapInfoHeader& b = vih.bmi;
  if (b.width <= 0 || b.height == 0 || b.height == INT32_MIN) return false;
  PictureFormat f;
  f.width = b.width;
  f.height = std::abs(b.height);
  const GUID& s = mt.subtype();
  if (s == MEDIASUBTYPE_RGB24 && b.bitCount == 24)
    f.format = AV_PIX_FMT_BGR24;
  else if (s == MEDIASUBTYPE_RGB32 && b.bitCount == 32)
    f.format = AV_PIX_FMT_BGR0;
  else if (s == MEDIASUBTYPE_RGB555 && b.bitCount == 16)
    f.format = AV_PIX_FMT_RGB555LE;
  else if (s == MEDIASUBTYPE_RGB565 && b.bitCount == 16)
    f.format = AV_PIX_FMT_RGB565LE;
  else if (s == MEDIASUBTYPE_YUY2 && b.bitCount == 16)
    f.format = AV_PIX_FMT_YUYV422;
  else if (s == MEDIASUBTYPE_I420 && b.bitCount == 12)
    f.format = AV_PIX_FMT_YUV420P;
  else
    return false;
  // RGB bitmaps with a positive height are stored bottom-up; YUV is top-down.
  bool rgb = f.format != AV_PIX_FMT_YUYV422 && f.format != AV_PIX_FMT_YUV420P;
  f.bottomUp = rgb && b.height > 0;
  if (pictureSize(f) == 0) return false;
  *format = f;
  return true;
}

int64_t frameDurationOf(const MediaType& mt) {
  VideoInfoHeader vih;
  if (!videoInfoOf(mt.get(), vih) || vih.avgTimePerFrame < 0) return 0;
  return vih.avgTimePerFrame;
}

MediaType makeCodedType(VideoCodecKind kind, int width, int height, int64_t frameDuration) {
  VideoInfoHeader vih;
  vih.source = {0, 0, width, height};
  vih.avgTimePerFrame = frameDuration;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = 24;
  vih.bmi.compression = fourccOf(kind);
  bool dv = kind == VideoCodecKind::DV;
  // A DV frame's size is fixed by its line count; an MP42 frame can take up
  // to the size of the picture.
  BitmapInfoHeader rgb = vih.bmi;
  rgb.compression = BI_RGB;
  vih.bmi.sizeImage = dv ? static_cast<uint32_t>(dvFrameBytes(width, height)) : bitmapImageSize(rgb);
  if (dv && frameDuration > 0) vih.bitRate = static_cast<uint32_t>(vih.bmi.sizeImage * 8 * 10000000LL / frameDuration);
  MediaType mt(MEDIATYPE_Video, fourccSubtype(fourccOf(kind)), FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setFixedSizeSamples(dv);
  mt.setTemporalCompression(!dv);
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}

bool codedSizeOf(const MediaType& mt, VideoCodecKind kind, int* width, int* height) {
  VideoInfoHeader vih;
  if (mt.majortype() != MEDIATYPE_Video || mt.subtype() != fourccSubtype(fourccOf(kind)) ||
      !videoInfoOf(mt.get(), vih))
    return false;
  if (vih.bmi.compression != fourccOf(kind)) return false;
  int w = vih.bmi.width, h = vih.bmi.height == INT32_MIN ? 0 : std::abs(vih.bmi.height);
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 || w % 2 || h % 2) return false;
  if (kind == VideoCodecKind::DV && !isDVFrameSize(w, h)) return false;
  *width = w;
  *height = h;
  return true;
}

MediaType makeRgbType(int width, int height, int bitCount, int64_t frameDuration) {
  VideoInfoHeader vih;
  vih.source = {0, 0, width, height};
  vih.avgTimePerFrame = frameDuration;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = static_cast<uint16_t>(bitCount);
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  MediaType mt(MEDIATYPE_Video, subtypeFromBitmapHeader(vih.bmi), FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setFixedSizeSamples(true);
  mt.setTemporalCompression(false);
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}
