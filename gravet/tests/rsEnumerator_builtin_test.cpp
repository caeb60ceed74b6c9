// The enumerators over the build's own class registry, which holds the
// platform's built-in devices and codecs: the built-in devices are listed,
// every accepted codec is listed in its category and nothing else, and the
// lists come again in the same order after reset().
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/com/runtime.h"

namespace {

struct Com {
  Com() { CoInitialize(nullptr); }
  ~Com() { CoUninitialize(); }
};

std::vector<std::string> listAll(rsFilterEnumerator& e) {
  std::vector<std::string> names;
  mxObjectPtr<rsFilter> f;
  while (e.nextFilter(f)) {
    EXPECT_TRUE(f->isValid());
    names.push_back(f->getName().isEmpty() ? "" : f->getName().c_str());
  }
  return names;
}

}  // namespace

TEST(BuiltinEnumerators, CaptureDevicesAreListedInAStableOrder) {
  Com com;
  for (auto category : {rsCaptureEnumerator::VideoInputDevice, rsCaptureEnumerator::AudioInputDevice}) {
    mxObjectPtr<rsCaptureEnumerator> e = new rsCaptureEnumerator(category);
    std::vector<std::string> first = listAll(*e);
    e->reset();
    EXPECT_EQ(listAll(*e), first);
    for (const std::string& name : first) EXPECT_FALSE(name.empty());
  }
}

TEST(BuiltinEnumerators, TheBuiltInDevicesAreListed) {
  Com com;
  mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  mxObjectPtr<rsFilter> f;
  std::set<std::string> seen;
  while (video->nextFilter(f)) {
    std::string name = f->getName().c_str();
    ASSERT_TRUE(f->isDerivedFrom(rsCaptureFilter::getStaticClassType()));
    auto* device = static_cast<rsCaptureFilter*>(f.get());
    if (name == "Test Pattern Camera" || name == "Screen Capture") {
      // Uncompressed pictures: the sender treats them as analog devices.
      EXPECT_TRUE(device->isAnalogVideoCapture()) << name;
      EXPECT_EQ(device->getCapturePinIndex(), 0) << name;
      EXPECT_EQ(device->getPreviewPinIndex(), 1) << name;
    } else if (name == "Built-in DV Camera") {
      EXPECT_FALSE(device->isAnalogVideoCapture());
    } else {
      continue;
    }
    EXPECT_TRUE(seen.insert(name).second) << name << " listed twice";
  }
  EXPECT_EQ(seen, (std::set<std::string>{"Test Pattern Camera", "Screen Capture", "Built-in DV Camera"}));

  mxObjectPtr<rsCaptureEnumerator> audio = new rsCaptureEnumerator(rsCaptureEnumerator::AudioInputDevice);
  std::vector<std::string> microphones = listAll(*audio);
  EXPECT_EQ(std::count(microphones.begin(), microphones.end(), "Test Tone Microphone"), 1);
}

TEST(BuiltinEnumerators, ExactlyTheAcceptedCodecs) {
  Com com;
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
