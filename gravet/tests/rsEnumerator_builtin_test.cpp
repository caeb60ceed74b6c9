// The enumerators over the build's own class registry, which holds the
// platform's built-in devices and codecs: every accepted codec is listed in
// its category and nothing else, and the lists come again in the same order
// after reset().
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/com/class_registry.h"
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

const char* const kCodecNames[] = {"Microsoft MPEG-4 Video Codec V2", "DV Video Encoder", "Mpeg4 Decoder DMO",
                                   "DV Video Decoder", "MPEG Layer-3", "MPEG Layer-3 Decoder"};

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

TEST(BuiltinEnumerators, TheTestPatternCameraIsAnAnalogDevice) {
  ClassRegistry registry;
  ASSERT_TRUE(registry.load());
  bool registered = false;
  for (const CategoryMember& m : registry.members()) registered |= m.name == "Test Pattern Camera";
  if (!registered) GTEST_SKIP() << "the capture sources are not registered in " << registry.path();
  Com com;
  mxObjectPtr<rsCaptureEnumerator> e = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  mxObjectPtr<rsFilter> f;
  int found = 0;
  while (e->nextFilter(f)) {
    if (std::string(f->getName().c_str()) != "Test Pattern Camera") continue;
    ++found;
    ASSERT_TRUE(f->isDerivedFrom(rsCaptureFilter::getStaticClassType()));
    auto* camera = static_cast<rsCaptureFilter*>(f.get());
    EXPECT_STREQ(camera->getFriendlyName().c_str(), "Test Pattern Camera");
    EXPECT_TRUE(camera->isAnalogVideoCapture());
    EXPECT_EQ(camera->getCapturePinIndex(), 0);
    EXPECT_EQ(camera->getPreviewPinIndex(), 1);
  }
  EXPECT_EQ(found, 1);
}

TEST(BuiltinEnumerators, ExactlyTheAcceptedCodecs) {
  ClassRegistry registry;
  ASSERT_TRUE(registry.load());
  std::set<std::string> registered;
  for (const ClassRecord& c : registry.classes()) registered.insert(c.name);
  for (const CategoryMember& m : registry.members()) registered.insert(m.name);
  bool any = std::any_of(std::begin(kCodecNames), std::end(kCodecNames),
                         [&](const char* n) { return registered.count(n) > 0; });
  if (!any) GTEST_SKIP() << "no codec of the system is registered in " << registry.path();

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
