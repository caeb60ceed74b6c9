// Media types of the video codecs: the uncompressed pictures they take and
// give, and the MP42 / dvsd types of the coded streams.
#pragma once
#include "platform/filters/codecs/av_picture.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/media/media_type.h"

// The picture layout of an uncompressed video type (RGB24, RGB32, RGB555,
// RGB565, YUY2, I420 in a video-info block); false for anything else.
bool pictureFormatOf(const MediaType& mt, PictureFormat* format);
// Frame duration (100 ns) of a video-info type, 0 when unknown.
int64_t frameDurationOf(const MediaType& mt);

// The coded stream's type: MP42 (variable-size samples, temporal
// compression) or dvsd (fixed-size frames), 24 bits, in a video-info block.
MediaType makeCodedType(VideoCodecKind kind, int width, int height, int64_t frameDuration);
// Whether mt is a coded type of this kind; its picture size if so.
bool codedSizeOf(const MediaType& mt, VideoCodecKind kind, int* width, int* height);

// Bottom-up RGB of 24 or 32 bits per pixel.
MediaType makeRgbType(int width, int height, int bitCount, int64_t frameDuration);
