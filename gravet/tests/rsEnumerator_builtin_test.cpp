// The enumerators over the build's own class registry, which holds the
// platform's built-in devices and codecs: the built-in devices are listed in
// a fixed order, every accepted codec is listed in its category and nothing
// else, and the lists come again in the same order after reset().
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "gravet/tests/wrapper_checks.h"
#include "platform/com/runtime.h"
#include "platform/filters/tests/graph_helpers.h"


// The sender's default device is the first listed: on a machine without a
// camera that must be the test-pattern camera, whichever module the build
// happened to register first.
TEST(BuiltinEnumerators, TheBuiltInDevicesAreListedInAFixedOrder) {
  ComSession com;
  mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  std::vector<std::string> names;
  mxObjectPtr<rsFilter> f;
  while (video->nextFilter(f)) {
    names.push_back(f->getName().c_str());
    const std::string& name = names.back();
    EXPECT_FALSE(name.empty());
    ASSERT_TRUE(f->isDerivedFrom(rsCaptureFilter::getStaticClassType()));
    auto* device = static_cast<rsCaptureFilter*>(f.get());
    EXPECT_TRUE(f->isValid()) << name;
    if (name == "Test Pattern Camera" || name == "Screen Capture") {
      EXPECT_STREQ(device->getFriendlyName().c_str(), name.c_str());
      // Uncompressed pictures with a capture and a preview pin: the sender
      // builds its analog topology on the preview pin.
      // Suggestions are taken before a connection; nothing is agreed yet.
      device->setAllocatorProperties(1, 4, 0, 16, 0);
      long buffers = -1, size = -1, align = -1, prefix = -1;
      device->getAllocatorProperties(1, buffers, size, align, prefix);
      expectAnswers(name.c_str(),
                    {device->isAnalogVideoCapture(), device->getNumOutputPins(), device->getNumInputPins(),
                     device->getCapturePinIndex(), device->getPreviewPinIndex(), buffers, size},
                    {1, 2, 0, 0, 1, 0, 0});
      // Without a property frame handler the page cannot be shown, and says so.
      EXPECT_FALSE(device->showPropertyPage(0, 0));
    } else if (name == "Built-in DV Camera") {
      EXPECT_FALSE(device->isAnalogVideoCapture());
    }
  }
  auto at = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
  for (const char* builtIn : {"Test Pattern Camera", "Screen Capture", "Built-in DV Camera"})
    EXPECT_EQ(std::count(names.begin(), names.end(), builtIn), 1) << builtIn;
  EXPECT_LT(at("Test Pattern Camera"), at("Screen Capture"));
  EXPECT_LT(at("Screen Capture"), at("Built-in DV Camera"));
  // Only cameras found on the machine may stand before the built-in ones.
  for (std::ptrdiff_t i = 0; i < at("Test Pattern Camera"); ++i) EXPECT_NE(names[i], "Built-in DV Camera");

  // Both categories again after reset(), in the same order.
  mxObjectPtr<rsCaptureEnumerator> audio = new rsCaptureEnumerator(rsCaptureEnumerator::AudioInputDevice);
  std::vector<std::string> microphones = listAll(*audio);
  EXPECT_EQ(std::count(microphones.begin(), microphones.end(), "Test Tone Microphone"), 1);
  audio->reset();
  EXPECT_EQ(listAll(*audio), microphones);
  video->reset();
  EXPECT_EQ(listAll(*video), names);
}

TEST(BuiltinEnumerators, ExactlyTheAcceptedCodecs) {
  ComSession com;
  const std::vector<std::vector<std::string>> expected = {
      {"Microsoft MPEG-4 Video Codec V2", "DV Video Encoder"},
      {"Mpeg4 Decoder DMO", "DV Video Decoder"},
      {"MPEG Layer-3"},
      {"MPEG Layer-3 Decoder"},
  };
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(testing::Message() << "category " << c);
    mxObjectPtr<rsCodecEnumerator> e = new rsCodecEnumerator(rsCodecEnumerator::CategoryEnum(c));
    std::vector<std::string> first = listAll(*e);
    std::vector<std::string> sorted = first, want = expected[c];
    std::sort(sorted.begin(), sorted.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(sorted, want);
    e->reset();
    EXPECT_EQ(listAll(*e), first);
  }
}
