// The capture sources as the engines see them: listed by the capture
// enumerator under their stable names, and answering the capture wrapper's
// questions (analog kind, capture and preview pin indexes, property page,
// buffer suggestions).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/com/runtime.h"
#include "platform/filters/capture/capture_control.h"

namespace {

struct Com {
  Com() { CoInitialize(nullptr); }
  ~Com() { CoUninitialize(); }
};

TEST(CaptureWrapper, BuiltInDevicesThroughTheCaptureEnumeratorAndWrapper) {
  Com com;
  mxObjectPtr<rsCaptureEnumerator> e = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  std::vector<std::string> names;
  int checked = 0;
  mxObjectPtr<rsFilter> f;
  while (e->nextFilter(f)) {
    ASSERT_TRUE(f->isValid());
    std::string name = f->getName().c_str();
    names.push_back(name);
    if (name != kTestPatternCameraName && name != kScreenCaptureName) continue;
    ++checked;
    ASSERT_TRUE(f->isDerivedFrom(rsCaptureFilter::getStaticClassType()));
    auto* c = static_cast<rsCaptureFilter*>(f.get());
    EXPECT_STREQ(c->getFriendlyName().c_str(), name.c_str());
    // Both are analog-kind sources with a capture and a preview pin, so the
    // sender builds its analog topology on the preview pin.
    EXPECT_TRUE(c->isAnalogVideoCapture());
    EXPECT_EQ(c->getNumOutputPins(), 2u);
    EXPECT_EQ(c->getNumInputPins(), 0u);
    EXPECT_EQ(c->getCapturePinIndex(), 0);
    EXPECT_EQ(c->getPreviewPinIndex(), 1);
    // Suggestions are taken before a connection; nothing is agreed yet.
    c->setAllocatorProperties(1, 4, 0, 16, 0);
    long buffers = -1, size = -1, align = -1, prefix = -1;
    c->getAllocatorProperties(1, buffers, size, align, prefix);
    EXPECT_EQ(buffers, 0);
    EXPECT_EQ(size, 0);
    // Without a property frame handler the page cannot be shown, and says so.
    EXPECT_FALSE(c->showPropertyPage(0, 0));
  }
  EXPECT_EQ(checked, 2);
  // Listed again in the same order.
  e->reset();
  std::vector<std::string> again;
  while (e->nextFilter(f)) again.push_back(f->getName().c_str());
  EXPECT_EQ(again, names);
}

}  // namespace
