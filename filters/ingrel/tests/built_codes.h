// The classification of a kind of stream (video of a format and resolution,
// or PCM audio, or pointer records) with its media type built from the
// codes and classified again, as the client filter's tests use it.
#pragma once
#include <gtest/gtest.h>

#include "filters/mediaclass/mediaclass.h"

inline MediaClassification builtCodes(int kind, int format = VideoFormat_RGB24,
                                      int resolution = Resolution_SQCIF) {
  MediaClassification c;
  c.kind = kind;
  c.videoFormat = format;
  c.resolution = resolution;
  c.audioFormat = AudioFormat_PCM;
  EXPECT_TRUE(c.buildMediaType());
  c.classify(c.mediaType().get());
  return c;
}
