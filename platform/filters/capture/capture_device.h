// CaptureDevice: what a capture filter needs from the thing that makes the
// pictures (the test-pattern generator, a V4L2 camera, the X11 screen).
// The filter's producer thread calls open, grab and close; the pins' threads
// call copyFrame, concurrently with grab, so a device that keeps pixels
// guards them itself.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/filters/capture/video_format.h"

enum class GrabResult {
  Frame,    // a new frame is ready for copyFrame
  NoFrame,  // nothing this time (a time-out); the producer asks again
  Lost,     // the device is gone or failed for good (error text set)
};

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  // Formats the pins offer, the preferred (native) ones first.
  virtual std::vector<VideoFormat> formats() = 0;
  // True: the filter asks for one frame per frame interval on the graph
  // clock. False: grab waits for the device's next frame itself (it must
  // return NoFrame within about 100 ms so that a stop is not held up).
  virtual bool pacedByClock() const { return true; }
  // Analog video standards reported through IAMAnalogVideoDecoder.
  virtual long tvFormats() const { return 0; }
  // Starts delivering frames of this format; false with *error set.
  virtual bool open(const VideoFormat& format, REFERENCE_TIME interval, std::string* error) = 0;
  virtual void close() = 0;
  // Takes frame number `frame` (counted from 0 at each start).
  virtual GrabResult grab(uint64_t frame, std::string* error) = 0;
  // Writes the newest grabbed frame (number `frame`) into dst in format f.
  virtual bool copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) = 0;
};
