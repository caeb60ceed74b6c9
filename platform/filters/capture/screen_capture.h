// The built-in screen capture ("Screen Capture"): the X11 desktop (the root
// window) or one window, scaled to the chosen size. Pictures are read with
// the core protocol's GetImage through xcb, whose errors come back with the
// request (no process-wide error handler). The native size is the desktop's
// (or the window's) size; a display that cannot be opened, a screen that is
// not 24/32-bit true colour, or a window that goes away ends the stream with
// a message. A window that is not viewable for a moment only skips frames.
#pragma once
#include <atomic>

#include "platform/filters/capture/capture_filter.h"
#include "platform/filters/capture/frame_converter.h"

struct xcb_connection_t;

class ScreenDevice final : public CaptureDevice {
 public:
  ~ScreenDevice() override;
  void setWindow(uint32_t window) { window_ = window; }
  uint32_t window() const { return window_.load(); }
  std::vector<VideoFormat> formats() override;
  bool open(const VideoFormat& format, REFERENCE_TIME interval, std::string* error) override;
  void close() override;
  GrabResult grab(uint64_t frame, std::string* error) override;
  bool copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) override;

 private:
  std::atomic<uint32_t> window_{0};
  xcb_connection_t* connection_ = nullptr;
  uint32_t target_ = 0;
  FrameConverter converter_;
};

class ScreenCapture final : public CaptureFilter, public IScreenCaptureControl {
 public:
  ScreenCapture();
  HRESULT QueryInterface(REFIID iid, void** object) override { return CaptureFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return CaptureFilter::AddRef(); }
  ULONG Release() override { return CaptureFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT SetCaptureWindow(OAHWND window) override;
  HRESULT GetCaptureWindow(OAHWND* window) override;

 private:
  ScreenDevice* device_;
};
