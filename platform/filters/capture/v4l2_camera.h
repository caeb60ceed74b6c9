// V4L2 cameras: listing the capture devices present on the machine, and a
// capture source over one of them (through libv4l2, which turns any camera
// format into BGR24 for us; libswscale then scales and converts to the
// pins' formats).
#pragma once
#include <string>
#include <vector>

#include "platform/filters/capture/capture_filter.h"
#include "platform/filters/capture/frame_converter.h"
#include "platform/media/device_interfaces.h"

struct V4l2CameraInfo {
  std::string name;  // card name, made unique with " (2)", " (3)", ...
  std::string path;  // e.g. /dev/video0
};

// The video capture devices named dir/videoN, in N order. Nodes that are
// not capture devices (metadata nodes, other files) are skipped.
std::vector<V4l2CameraInfo> listV4l2Cameras(const std::string& dir = "/dev");

class V4l2Device final : public CaptureDevice {
 public:
  void setPath(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }
  std::vector<VideoFormat> formats() override;
  bool pacedByClock() const override { return false; }
  bool open(const VideoFormat& format, REFERENCE_TIME interval, std::string* error) override;
  void close() override;
  GrabResult grab(uint64_t frame, std::string* error) override;
  bool copyFrame(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) override;

 private:
  std::vector<PictureSize> cameraSizes();
  std::string path_;
  int fd_ = -1;
  int width_ = 0, height_ = 0;
  size_t stride_ = 0;
  std::vector<uint8_t> buffer_;
  FrameConverter converter_;
};

// The capture source of one camera; the device path and friendly name come
// from the device moniker's property bag ("DevicePath", "FriendlyName").
class V4l2Camera final : public CaptureFilter, public IPersistPropertyBag {
 public:
  V4l2Camera();
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return CaptureFilter::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return CaptureFilter::AddRef(); }
  ULONG Release() override { return CaptureFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetClassID(CLSID* clsid) override { return CaptureFilter::GetClassID(clsid); }
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, void* errorLog) override;
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
  // The filter's own stream Load and Save stay visible beside these.
  using CaptureFilter::Load;
  using CaptureFilter::Save;

 private:
  V4l2Device* device_;
};
