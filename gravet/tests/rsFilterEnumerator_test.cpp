// The capture and codec enumerators over a registry holding the test
// module's stand-in devices and codecs: what each category yields, in which
// order, after reset(), and what the capture wrappers report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "gravet/tests/wrapper_checks.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/outside_test_plugin.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/property_page.h"

namespace {

template <class T>
T* symbol(REFCLSID clsid, const char* name) {
  void* fn = nullptr;
  EXPECT_EQ(CoGetModuleSymbol(clsid, name, &fn), S_OK);
  return reinterpret_cast<T*>(fn);
}

struct FrameCall {
  static inline int calls = 0;
  static inline LONG x = 0, y = 0;
  static inline ULONG pages = 0;
  static HRESULT handler(OAHWND, LONG px, LONG py, const char*, ULONG, IUnknown**, ULONG count, const CLSID*) {
    ++calls;
    x = px;
    y = py;
    pages = count;
    return S_OK;
  }
};

class Enumerators : public ::testing::Test {
 protected:
  PrivateRegistry registry;
  ComSession com;
  void SetUp() override { ASSERT_TRUE(registry.add(OUTSIDE_TEST_MODULE)); }
};

}  // namespace

TEST_F(Enumerators, CaptureDevicesInAStableOrder) {
  mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  std::vector<std::string> expected = {kTestAnalogCameraName, kTestDvCameraName};
  EXPECT_EQ(listAll(*video), expected);
  // Past the end it stays at the end; reset lists the same devices again.
  mxObjectPtr<rsFilter> f;
  EXPECT_FALSE(video->nextFilter(f));
  video->reset();
  EXPECT_EQ(listAll(*video), expected);

  mxObjectPtr<rsCaptureEnumerator> audio = new rsCaptureEnumerator(rsCaptureEnumerator::AudioInputDevice);
  EXPECT_EQ(listAll(*audio), std::vector<std::string>{kTestMicrophoneName});

  // An unknown category is an empty list that leaves the pointer alone.
  mxObjectPtr<rsCaptureEnumerator> none = new rsCaptureEnumerator(rsCaptureEnumerator::CategoryEnum(5));
  mxObjectPtr<rsFilter> kept = new rsCodecFilter(nullptr, "x", "x");
  EXPECT_FALSE(none->nextFilter(kept));
  EXPECT_FALSE(kept.isNull());
  none->reset();
  EXPECT_FALSE(none->nextFilter(kept));
}

TEST_F(Enumerators, CaptureWrappersReportTheirDevices) {
  mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  mxObjectPtr<rsFilter> f;
  ASSERT_TRUE(video->nextFilter(f));
  ASSERT_TRUE(f->isDerivedFrom(rsCaptureFilter::getStaticClassType()));
  mxObjectPtr<rsCaptureFilter> analog = static_cast<rsCaptureFilter*>(f.get());
  ASSERT_TRUE(video->nextFilter(f));
  mxObjectPtr<rsCaptureFilter> dv = static_cast<rsCaptureFilter*>(f.get());

  EXPECT_STREQ(analog->getFriendlyName().c_str(), kTestAnalogCameraName);
  expectAnswers("analog, dv",
                {analog->isAnalogVideoCapture(), analog->getCapturePinIndex(), analog->getPreviewPinIndex(),
                 dv->isAnalogVideoCapture(), dv->getCapturePinIndex(), dv->getPreviewPinIndex()},
                {1, 0, 1, 0, 0, -1});

  // Property pages: the frame opens at (30, 30) with the filter's page; a
  // device without pages, or no frame handler, gives false.
  PropertyFrameHandler old = setPropertyFrameHandler(&FrameCall::handler);
  EXPECT_TRUE(analog->showPropertyPage(0, 0));
  expectAnswers("frame", {FrameCall::calls, FrameCall::x, FrameCall::y, FrameCall::pages}, {1, 30, 30, 1});
  EXPECT_FALSE(dv->showPropertyPage(0, 0));
  EXPECT_EQ(FrameCall::calls, 1);
  setPropertyFrameHandler(nullptr);
  EXPECT_FALSE(analog->showPropertyPage(0, 0));
  setPropertyFrameHandler(old);

  // Buffer negotiation: nothing agreed before a connection; a pin number
  // beyond the pins is harmless.
  analog->setAllocatorProperties(0, 3, 5000, 16, 0);
  analog->setAllocatorProperties(9, 3, 5000, 16, 0);
  long b = 1, s = 1, a = 1, p = 1;
  analog->getAllocatorProperties(0, b, s, a, p);
  EXPECT_EQ(b + s + a + p, 0);
}

TEST_F(Enumerators, CodecsByCategoryAndName) {
  auto created = symbol<int()>(CLSID_TestMpeg4Encoder, "TestCodecsCreated");
  auto dvDisplay = symbol<int()>(CLSID_TestMpeg4Encoder, "TestDvDisplay");
  ASSERT_TRUE(created && dvDisplay);
  int before = created();

  mxObjectPtr<rsCodecEnumerator> video = new rsCodecEnumerator(rsCodecEnumerator::VideoCompressor);
  std::vector<std::string> encoders = {"Microsoft MPEG-4 Video Codec V2", "DV Video Encoder"};
  EXPECT_EQ(listAll(*video), encoders);
  // Codecs the system does not use are not even created.
  EXPECT_EQ(created() - before, 2);
  video->reset();
  EXPECT_EQ(listAll(*video), encoders);

  mxObjectPtr<rsCodecEnumerator> audio = new rsCodecEnumerator(rsCodecEnumerator::AudioCompressor);
  EXPECT_EQ(listAll(*audio), std::vector<std::string>{"MPEG Layer-3"});

  // Decoders: by merit (the "Some Decoder" of higher merit is skipped by
  // name, the weak "DV Video Decoder" is below the merit floor).
  EXPECT_EQ(dvDisplay(), 0);
  mxObjectPtr<rsCodecEnumerator> decoders = new rsCodecEnumerator(rsCodecEnumerator::VideoDecoder);
  std::vector<std::string> videoDecoders = {"Mpeg4 Decoder DMO", "DV Video Decoder"};
  EXPECT_EQ(listAll(*decoders), videoDecoders);
  EXPECT_EQ(dvDisplay(), 1000);  // set to full resolution
  decoders->reset();
  EXPECT_EQ(listAll(*decoders), videoDecoders);

  mxObjectPtr<rsCodecEnumerator> mp3 = new rsCodecEnumerator(rsCodecEnumerator::AudioDecoder);
  EXPECT_EQ(listAll(*mp3), std::vector<std::string>{"MPEG Layer-3 Decoder"});
  EXPECT_EQ(mp3->getCategory(), rsCodecEnumerator::AudioDecoder);

  // An unknown category is empty; the codec enumerator empties the pointer.
  mxObjectPtr<rsCodecEnumerator> none = new rsCodecEnumerator(rsCodecEnumerator::CategoryEnum(5));
  mxObjectPtr<rsFilter> f = new rsCodecFilter(nullptr, "x", "x");
  EXPECT_FALSE(none->nextFilter(f));
  EXPECT_TRUE(f.isNull());

  EXPECT_TRUE(rsCodecEnumerator::isAccepted(rsCodecEnumerator::VideoCompressor, "DV Video Encoder"));
  EXPECT_FALSE(rsCodecEnumerator::isAccepted(rsCodecEnumerator::AudioCompressor, "DV Video Encoder"));
  EXPECT_FALSE(rsCodecEnumerator::isAccepted(rsCodecEnumerator::VideoDecoder, "dv video decoder"));
}

TEST(EnumeratorsEmpty, NoDevicesNoCodecs) {
  PrivateRegistry registry;  // nothing registered
  ComSession com;
  mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  mxObjectPtr<rsFilter> f;
  EXPECT_FALSE(video->nextFilter(f));
  EXPECT_TRUE(f.isNull());
  mxObjectPtr<rsCodecEnumerator> decoders = new rsCodecEnumerator(rsCodecEnumerator::VideoDecoder);
  EXPECT_FALSE(decoders->nextFilter(f));
  EXPECT_TRUE(f.isNull());
}
