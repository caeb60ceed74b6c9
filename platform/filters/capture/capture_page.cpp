#include "platform/filters/capture/capture_page.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/filters/capture/video_format.h"
#include "platform/media/filter_interfaces.h"

CapturePropertyPage::CapturePropertyPage() : PropertyPage("Capture", 500) {
  addField(Device, PageField_Monitor, "Device");
  addField(Format, PageField_Monitor, "Format");
  addField(FrameRate, PageField_Number, "Frame rate", "fps");
  addField(Captured, PageField_Monitor, "Frames captured");
  addField(Dropped, PageField_Monitor, "Frames dropped");
}

HRESULT CapturePropertyPage::onConnect(IUnknown* object) {
  control_.reset();
  if (FAILED(object->QueryInterface(IID_IVideoCaptureControl, control_.putVoid()))) return E_NOINTERFACE;
  char name[256];
  control_->GetDeviceName(name, sizeof name);
  setValue(Device, name);
  // The format of the first connected output pin.
  std::string format = "not connected";
  ComPtr<IBaseFilter> filter;
  ComPtr<IEnumPins> pins;
  if (SUCCEEDED(object->QueryInterface(IID_IBaseFilter, filter.putVoid())) && SUCCEEDED(filter->EnumPins(pins.put()))) {
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
      AM_MEDIA_TYPE mt{};
      if (pin->ConnectionMediaType(&mt) != S_OK) continue;
      VideoFormat f;
      if (videoFormatOf(mt, &f)) format = describeVideoFormat(f);
      FreeMediaType(mt);
      break;
    }
  }
  setValue(Format, format);
  REFERENCE_TIME interval = kDefaultFrameInterval;
  control_->GetFrameInterval(&interval);
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2f", 1e7 / double(interval));
  setValue(FrameRate, rate);
  return onRefresh();
}

HRESULT CapturePropertyPage::onDisconnect() {
  control_.reset();
  return S_OK;
}

HRESULT CapturePropertyPage::onApply() {
  if (!control_) return E_UNEXPECTED;
  double fps = std::strtod(value(FrameRate).c_str(), nullptr);
  if (!(fps > 0)) return E_INVALIDARG;
  control_->SetFrameInterval(static_cast<REFERENCE_TIME>(1e7 / fps + 0.5));
  REFERENCE_TIME interval = kDefaultFrameInterval;
  control_->GetFrameInterval(&interval);
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2f", 1e7 / double(interval));
  setValue(FrameRate, rate);
  return S_OK;
}

HRESULT CapturePropertyPage::onRefresh() {
  if (!control_) return S_OK;
  uint64_t captured = 0, dropped = 0;
  control_->GetStatistics(&captured, &dropped);
  setValue(Captured, std::to_string(captured));
  setValue(Dropped, std::to_string(dropped));
  return S_OK;
}
