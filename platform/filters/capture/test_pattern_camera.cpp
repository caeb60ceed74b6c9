#include "platform/filters/capture/test_pattern_camera.h"

#include "platform/filters/capture/test_pattern_image.h"

std::vector<VideoFormat> TestPatternDevice::formats() {
  std::vector<PictureSize> sizes{kNativeSize};
  sizes.insert(sizes.end(), std::begin(kFormatCodeSizes), std::end(kFormatCodeSizes));
  return formatsForSizes(sizes);
}

bool TestPatternDevice::open(const VideoFormat& format, REFERENCE_TIME, std::string* error) {
  if (pictureBytes(format) == 0) {
    *error = "unsupported format";
    return false;
  }
  return true;
}

GrabResult TestPatternDevice::grab(uint64_t, std::string*) {
  return GrabResult::Frame;  // pictures are drawn when each pin copies them
}

bool TestPatternDevice::copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) {
  return renderTestPattern(frame, f, dst, size);
}

TestPatternCamera::TestPatternCamera()
    : CaptureFilter(CLSID_TestPatternCamera, std::make_unique<TestPatternDevice>(), kTestPatternCameraName) {}

TestPatternCaptureOnly::TestPatternCaptureOnly()
    : CaptureFilter(CLSID_TestPatternCaptureOnly, std::make_unique<TestPatternDevice>(),
                    kTestPatternCaptureOnlyName, false) {}
