#include "talvex/send/device_list.h"

#include <cstdio>

#include "gravet/rsFilterEnumerator.h"
#include "platform/com/runtime.h"

namespace {

// The same enumerator and the same walk as the engine's device lists, so
// the indexes printed are the ones --video-device / --audio-device take.
void printCategory(const char* title, rsCaptureEnumerator::CategoryEnum category) {
  std::printf("%s:\n", title);
  mxObjectPtr<rsCaptureEnumerator> list = new rsCaptureEnumerator(category);
  mxObjectPtr<rsFilter> device;
  for (unsigned i = 0; list->nextFilter(device); ++i)
    std::printf("  %u%s %s\n", i, i == 0 ? "*" : " ", device->getName().c_str());
}

}  // namespace

bool printCaptureDevices() {
  if (FAILED(CoInitialize(nullptr))) return false;
  printCategory("video capture devices", rsCaptureEnumerator::VideoInputDevice);
  printCategory("audio capture devices", rsCaptureEnumerator::AudioInputDevice);
  CoUninitialize();
  return true;
}
