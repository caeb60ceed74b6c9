// Uncompressed picture formats of the capture sources: size and subtype
// (RGB24 bottom-up, YUY2, I420), their media types and byte layouts, and the
// picture sizes of the video format codes 0 to 7.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/filter_interfaces.h"
#include "platform/media/media_type.h"

struct VideoFormat {
  int width = 0;
  int height = 0;
  GUID subtype{};
  bool operator==(const VideoFormat&) const = default;
};

struct PictureSize {
  int width;
  int height;
};
// Sizes of the video format codes 0 (SQCIF) to 7 (720x480), in code order.
inline constexpr PictureSize kFormatCodeSizes[8] = {{128, 96},  {176, 144}, {352, 288}, {160, 120},
                                                    {320, 240}, {360, 240}, {640, 480}, {720, 480}};
// 30 frames per second.
inline constexpr REFERENCE_TIME kDefaultFrameInterval = 333333;
// The frame interval is kept between 1 and 120 frames per second.
inline constexpr REFERENCE_TIME kMinFrameInterval = 83333;
inline constexpr REFERENCE_TIME kMaxFrameInterval = 10000000;
REFERENCE_TIME clampFrameInterval(REFERENCE_TIME interval);

// Whether the subtype is one the capture sources produce.
bool isCaptureSubtype(const GUID& subtype);
// Bytes per RGB24 row (padded to 4 bytes).
size_t rgb24Stride(int width);
// Bytes of one picture; 0 for an unknown subtype or a bad size (YUY2 and
// I420 need even sizes).
size_t pictureBytes(const VideoFormat& f);
// Video-info media type of the format at the given frame interval.
MediaType videoFormatMediaType(const VideoFormat& f, REFERENCE_TIME interval);
// The format of a video-info media type; false when it is none of ours.
bool videoFormatOf(const AM_MEDIA_TYPE& mt, VideoFormat* f);
// "640x480 RGB24" and alike.
std::string describeVideoFormat(const VideoFormat& f);

// The offered list: for each size (the first being the device's native
// size), RGB24, YUY2 and I420; sizes appear once, in the given order.
std::vector<VideoFormat> formatsForSizes(const std::vector<PictureSize>& sizes);
