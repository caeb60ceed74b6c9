// The built-in test-pattern camera ("Test Pattern Camera"): an analog-kind
// capture source whose pictures are test_pattern_image.h's, native size
// 640x480 and every video format code size, RGB24 / YUY2 / I420, 30 frames
// per second by default.
#pragma once
#include "platform/filters/capture/capture_filter.h"

class TestPatternDevice final : public CaptureDevice {
 public:
  static constexpr PictureSize kNativeSize{640, 480};
  std::vector<VideoFormat> formats() override;
  long tvFormats() const override { return 0x1; }  // NTSC M
  bool open(const VideoFormat& format, REFERENCE_TIME interval, std::string* error) override;
  void close() override {}
  GrabResult grab(uint64_t frame, std::string* error) override;
  bool copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) override;
};

class TestPatternCamera final : public CaptureFilter {
 public:
  TestPatternCamera();
};

// The same camera without a preview pin.
class TestPatternCaptureOnly final : public CaptureFilter {
 public:
  TestPatternCaptureOnly();
};
