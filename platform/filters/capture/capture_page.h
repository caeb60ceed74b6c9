// The property page of the capture sources: device name, the capture pin's
// format, the frame rate (editable) and the capture statistics (refreshed
// twice a second).
#pragma once
#include "platform/com/com_ptr.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/media/property_page.h"

class CapturePropertyPage final : public PropertyPage {
 public:
  enum FieldId : LONG { Device = 1, Format, FrameRate, Captured, Dropped };
  CapturePropertyPage();
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  ComPtr<IVideoCaptureControl> control_;
};
