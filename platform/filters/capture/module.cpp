// The capture sources module: V4L2 cameras, the test-pattern camera and the
// screen capture in the video input category, and their property page.
#include "platform/com/module_server.h"
#include "platform/filters/capture/capture_page.h"
#include "platform/filters/capture/test_pattern_camera.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kCaptureTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
                                       {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2},
                                       {&MEDIATYPE_Video, &MEDIASUBTYPE_I420}};
const ServerPin kCapturePins[] = {{true, 3, kCaptureTypes}, {true, 3, kCaptureTypes}};

const ServerClass kClasses[] = {
    {&CLSID_TestPatternCamera, kTestPatternCameraName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 2,
     kCapturePins, createObject<TestPatternCamera>},
    {&CLSID_CapturePropertyPage, "Capture Property Page", 0, nullptr, 0, nullptr,
     createObject<CapturePropertyPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
