// The capture sources module: V4L2 cameras, the test-pattern camera and the
// screen capture in the video input category (in this order), the
// test-pattern camera without a preview pin (for tests), and their property
// page.
#include "platform/com/module_server.h"
#include "platform/filters/capture/capture_page.h"
#include "platform/filters/capture/screen_capture.h"
#include "platform/filters/capture/test_pattern_camera.h"
#include "platform/filters/capture/v4l2_camera.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kCaptureTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
                                       {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2},
                                       {&MEDIATYPE_Video, &MEDIASUBTYPE_I420}};
const ServerPin kCapturePins[] = {{true, 3, kCaptureTypes}, {true, 3, kCaptureTypes}};
const ServerPin kCaptureOnlyPins[] = {{true, 3, kCaptureTypes}};

const ServerClass kClasses[] = {
    {&CLSID_V4l2Camera, "V4L2 Camera", MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 2, kCapturePins,
     createObject<V4l2Camera>},
    {&CLSID_TestPatternCamera, kTestPatternCameraName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 2,
     kCapturePins, createObject<TestPatternCamera>},
    {&CLSID_ScreenCapture, kScreenCaptureName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 2,
     kCapturePins, createObject<ScreenCapture>},
    // Not a listed device: only tests make it one (capture_control.h).
    {&CLSID_TestPatternCaptureOnly, kTestPatternCaptureOnlyName, MERIT_DO_NOT_USE, nullptr, 1,
     kCaptureOnlyPins, createObject<TestPatternCaptureOnly>},
    {&CLSID_CapturePropertyPage, "Capture Property Page", 0, nullptr, 0, nullptr,
     createObject<CapturePropertyPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)

// Cameras are looked for each time the category is listed; the built-in
// devices answer S_FALSE and are listed once under their registered names.
extern "C" __attribute__((visibility("default"))) HRESULT DllEnumerateDevices(const GUID* category,
                                                                              const CLSID* clsid,
                                                                              DeviceFoundFn found,
                                                                              void* context) {
  if (!category || !clsid || !found) return E_POINTER;
  if (*category != CLSID_VideoInputDeviceCategory || *clsid != CLSID_V4l2Camera) return S_FALSE;
  for (const V4l2CameraInfo& camera : listV4l2Cameras())
    found(context, camera.name.c_str(), camera.path.c_str());
  return S_OK;
}
