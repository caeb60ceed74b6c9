// The filter wrappers: empty when their class is not registered, empty
// when the filter lacks its control interface, and every getter and setter
// reaching the real filter with its pins and codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "gravet/rsBlendorFilter.h"
#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsImageCompoundFilter.h"
#include "gravet/rsImageExtractFilter.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsLoupexFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsTracionFilter.h"
#include "gravet/rsVideoRenderFilter.h"
#include "gravet/tests/sender_graph.h"
#include "gravet/tests/wrapper_checks.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>

namespace {

void expectEmptyVideoRenderer(rsVideoRenderFilter& r) {
  EXPECT_FALSE(r.isValid());
  r.setVideoWindowPosition(10, 20);
  r.setVideoWindowSize(320, 240);
  r.setVisible(true);
  r.setWindowOwner(77);
  r.setWindowStyle(5);
  int left = 0, top = 0;
  unsigned width = 0, height = 0;
  r.getVideoWindowPosition(left, top);
  r.getVideoWindowSize(width, height);
  expectAnswers("renderer",
                {r.getNumInputPins(), left, top, width, height, r.getVisible(), r.getWindowOwner(), r.getWindowStyle()},
                {0, 1, 1, 1, 1, 0, 0, 0});
}

void expectEmptyPointerWrappers() {
  mxObjectPtr<rsLoupexFilter> loupex = new rsLoupexFilter("Loupex");
  EXPECT_FALSE(loupex->isValid());
  loupex->setOutputVideoFormat(3);
  loupex->setMask(2);
  loupex->setMaskSize(100, 80);
  unsigned w = 0, h = 0;
  loupex->getMaskSize(w, h);
  expectAnswers("loupex", {loupex->getOutputVideoFormat(), loupex->getMask(), w, h}, {0, 0, 1, 1});

  mxObjectPtr<rsTracionFilter> tracion = new rsTracionFilter("Tracion");
  EXPECT_FALSE(tracion->isValid());
  tracion->setPointerShape(4);
  tracion->setNormalizedOrigin(0.5f, 0.5f);
  tracion->setNormalizedSize(0.25f, 0.25f);
  unsigned sx = 9, sy = 9, x = 9, y = 9;
  tracion->getScreenSize(sx, sy);
  tracion->getTracion(x, y);
  float f[6] = {9, 9, 9, 9, 9, 9};
  tracion->getNormalizedTracion(f[0], f[1]);
  tracion->getNormalizedOrigin(f[2], f[3]);
  tracion->getNormalizedSize(f[4], f[5]);
  expectAnswers("tracion",
                {sx, sy, x, y, tracion->getButtonStatus(), tracion->getWheelStatus(), tracion->getPointerShape()},
                {1, 1, 0, 0, 0, 0, 0});
  for (float v : f) EXPECT_EQ(v, 0.0f);

  mxObjectPtr<rsBlendorFilter> blendor = new rsBlendorFilter("Blendor");
  EXPECT_FALSE(blendor->isValid());
  blendor->setWindowPosition(0.5f, 0.5f);
  blendor->setWindowSize(0.5f, 0.5f);
  blendor->setPointerColor(0, 4);
  blendor->getWindowPosition(f[0], f[1]);
  blendor->getWindowSize(f[2], f[3]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f[i], 0.0f);
  expectAnswers("blendor", {blendor->getNumPointerInput(), blendor->getPointerColor(0)}, {0, 0});
}

void expectEmptyMulticastWrappers() {
  mxObjectPtr<rsOstrelFilter> server = new rsOstrelFilter("VideoServer(Main)");
  EXPECT_FALSE(server->isValid());
  server->setAddress("234.5.6.7");
  server->setPort(8190);
  server->setTimeToLive(4);
  server->setTransmittingCount(3);
  server->setMaximumTransmittingRate(1000000);
  server->setMaximumPacketSize(2048);
  server->setIPv6InterfaceNo(5);
  EXPECT_TRUE(server->getAddress().isEmpty());
  expectAnswers("server",
                {server->getTransmittingRate(), server->getFrameRate(), server->getInputMediaType(),
                 server->getInputVideoFormat(), server->getInputVideoResolution(), server->getInputAudioFormat(),
                 server->getInputAudioFrequency(), server->getInputAudioStereo(), server->getInputAudioBitCount(),
                 server->getPort(), server->getTimeToLive(), server->getTransmittingCount(),
                 server->getMaximumTransmittingRate(), server->getMaximumPacketSize(),
                 static_cast<long long>(server->getIPv6InterfaceNo())},
                std::vector<long long>(15, 0));

  mxObjectPtr<rsIngrelFilter> client = new rsIngrelFilter("VideoClient(Main)");
  EXPECT_FALSE(client->isValid());
  client->setAddress("234.5.6.7");
  client->setPort(8190);
  client->setTimeToLive(4);
  client->setIPv6InterfaceNo(2);
  client->setMediaType(0);
  client->setVideoFormat(1);
  client->setVideoResolution(2);
  client->setAudioFormat(0);
  client->setAudioFrequency(4);
  client->setAudioStereo(0);
  client->setAudioBitCount(1);
  EXPECT_TRUE(client->getAddress().isEmpty());
  // The classification codes answer "unknown".
  expectAnswers("client",
                {client->getReceiveRate(), client->getFrameRate(), client->getPacketSize(),
                 client->getNumDropPackets(), client->getNumDropFrames(), client->getPort(),
                 client->getTimeToLive(), client->getIPv6InterfaceNo(), client->getMediaType(),
                 client->getVideoFormat(), client->getVideoResolution(), client->getAudioFormat(),
                 client->getAudioFrequency(), client->getAudioStereo(), client->getAudioBitCount()},
                {0, 0, 0, 0, 0, 0, 0, 0, 3, 8, 9, 3, 6, 2, 3});
}

// The outside filters' wrappers, and the capture and codec wrappers, without
// a filter.
void expectEmptyOutsideWrappers() {
  mxObjectPtr<rsFormatTransFilter> transform = new rsFormatTransFilter("FormatTransform(Main)");
  EXPECT_FALSE(transform->isValid());
  EXPECT_STREQ(transform->getName().c_str(), "FormatTransform(Main)");
  transform->setOutputVideoFormat(5);
  transform->setInputVideoFormat(2);
  transform->setInputVideoFormatColor(1);
  expectAnswers("transform",
                {transform->getNumInputPins(), transform->getNumOutputPins(), transform->getOutputVideoFormat(),
                 transform->getInputVideoFormat(), transform->getInputVideoFormatColor(),
                 transform->getActualInputVideoFormat(), transform->getActualInputVideoFormatColor(),
                 transform->getActualOutputVideoFormat()},
                std::vector<long long>(8, 0));

  mxObjectPtr<rsImageExtractFilter> extract = new rsImageExtractFilter("ImageExtract");
  EXPECT_FALSE(extract->isValid());
  extract->setOutputVideoFormat(3);
  EXPECT_EQ(extract->getOutputVideoFormat(), 0);

  mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
  EXPECT_FALSE(compound->isValid());
  compound->setFrameRate(25);
  compound->setMask(2);
  compound->setBlending(1);
  expectAnswers("compound", {compound->getFrameRate(), compound->getMask(), compound->getBlending()}, {0, 0, 0});

  // Renaming works on an empty wrapper too.
  compound->setName("Other");
  EXPECT_STREQ(compound->getName().c_str(), "Other");

  // Type queries follow the class chain.
  EXPECT_TRUE(compound->isDerivedFrom(rsImageCompoundFilter::getStaticClassType()));
  EXPECT_TRUE(compound->isDerivedFrom(rsFilter::getStaticClassType()));
  EXPECT_TRUE(compound->isDerivedFrom(mxObject::getStaticClassType()));
  EXPECT_FALSE(compound->isDerivedFrom(rsImageExtractFilter::getStaticClassType()));

  // Capture and codec wrappers without a filter answer their defaults.
  mxObjectPtr<rsCaptureFilter> capture = new rsCaptureFilter(nullptr, "Camera", "Camera");
  EXPECT_FALSE(capture->isValid());
  EXPECT_STREQ(capture->getFriendlyName().c_str(), "Camera");
  EXPECT_STREQ(capture->getPropertyPageName(0).c_str(), "Capture Property Page");
  EXPECT_STREQ(capture->getPropertyPageName(7).c_str(), "Capture Property Page");
  EXPECT_FALSE(capture->showPropertyPage(0, 0));
  EXPECT_FALSE(capture->isAnalogVideoCapture());
  capture->setAllocatorProperties(0, 4, 1000, 16, 0);
  long b = 9, s = 9, a = 9, p = 9;
  capture->getAllocatorProperties(0, b, s, a, p);
  expectAnswers("capture",
                {capture->getNumPropertyPages(), capture->getCapturePinIndex(), capture->getPreviewPinIndex(), b, s,
                 a, p},
                {1, -1, -1, 0, 0, 0, 0});

  mxObjectPtr<rsCodecFilter> codec = new rsCodecFilter(nullptr, "Codec", "Name");
  EXPECT_FALSE(codec->isValid());
  EXPECT_STREQ(codec->getFriendlyName().c_str(), "Codec");
  EXPECT_STREQ(codec->getName().c_str(), "Name");
  EXPECT_TRUE(codec->isDerivedFrom(rsFilter::getStaticClassType()));
}

}  // namespace

TEST(GravetWrappers, UnregisteredClassesLeaveEveryWrapperEmpty) {
  PrivateRegistry registry;  // nothing registered
  ComSession com;
  mxObjectPtr<rsAudioRenderFilter> audio = new rsAudioRenderFilter("AudioRender");
  mxObjectPtr<rsSmartTeeFilter> smart = new rsSmartTeeFilter("SmartTee");
  mxObjectPtr<rsInfPinTeeFilter> tee = new rsInfPinTeeFilter("VideoInfinitePinTee");
  for (rsFilter* f : {static_cast<rsFilter*>(audio), static_cast<rsFilter*>(smart), static_cast<rsFilter*>(tee)}) {
    EXPECT_FALSE(f->isValid()) << f->getName().c_str();
    expectAnswers(f->getName().c_str(), {f->getNumInputPins(), f->getNumOutputPins()}, {0, 0});
  }
  EXPECT_STREQ(tee->getName().c_str(), "VideoInfinitePinTee");
  EXPECT_TRUE(tee->isDerivedFrom(rsInfPinTeeFilter::getStaticClassType()));
  EXPECT_TRUE(tee->isDerivedFrom(rsFilter::getStaticClassType()));
  EXPECT_FALSE(tee->isDerivedFrom(rsSmartTeeFilter::getStaticClassType()));

  mxObjectPtr<rsVideoRenderFilter> renderer = new rsVideoRenderFilter("VideoRender");
  expectEmptyVideoRenderer(*renderer);
  expectEmptyPointerWrappers();
  expectEmptyMulticastWrappers();
  expectEmptyOutsideWrappers();
}

TEST(GravetWrappers, FiltersWithoutTheirControlInterfaceAreLetGo) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(GRAVET_BARE_MODULE));
  ComSession com;
  {
    mxObjectPtr<rsVideoRenderFilter> renderer = new rsVideoRenderFilter("VideoRender");
    expectEmptyVideoRenderer(*renderer);
    expectEmptyPointerWrappers();
    expectEmptyMulticastWrappers();
    mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
    EXPECT_FALSE(compound->isValid());
    compound->setMask(1);
    expectAnswers("compound", {compound->getNumInputPins(), compound->getMask()}, {0, 0});
    // Every bare filter was released at once: nothing holds the module.
    CoFreeUnusedLibraries();
    EXPECT_FALSE(CoIsModuleLoaded(GRAVET_BARE_MODULE));
  }
}

TEST(GravetWrappers, PlatformWrappersDriveTheRealFilters) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(PLATFORM_FILTERS_MODULE));
#ifdef PLATFORM_AUDIO_MODULE
  ASSERT_TRUE(registry.add(PLATFORM_AUDIO_MODULE));
#endif
  ComSession com;
  mxObjectPtr<rsSmartTeeFilter> smart = new rsSmartTeeFilter("SmartTee");
  mxObjectPtr<rsInfPinTeeFilter> tee = new rsInfPinTeeFilter("VideoInfinitePinTee");
  mxObjectPtr<rsVideoRenderFilter> r = new rsVideoRenderFilter("VideoRender");
  std::vector<rsFilter*> filters = {smart, tee, r};
  std::vector<long long> pins = {1, 2, 1, 1, 1, 0};
#ifdef PLATFORM_AUDIO_MODULE
  mxObjectPtr<rsAudioRenderFilter> audio = new rsAudioRenderFilter("AudioRender");
  filters.push_back(audio);
  pins.insert(pins.end(), {1, 0});
#endif
  std::vector<long long> got;
  for (rsFilter* f : filters) {
    ASSERT_TRUE(f->isValid()) << f->getName().c_str();
    got.insert(got.end(), {f->getNumInputPins(), f->getNumOutputPins()});
  }
  expectAnswers("inputs and outputs", got, pins);

  r->setVideoWindowPosition(10, 20);
  r->setVideoWindowSize(320, 240);
  r->setWindowStyle(0x12);
  int left = 0, top = 0;
  unsigned width = 0, height = 0;
  r->getVideoWindowPosition(left, top);
  r->getVideoWindowSize(width, height);
  expectAnswers("renderer", {left, top, width, height, r->getWindowStyle(), r->getWindowOwner()},
                {10, 20, 320, 240, 0x12, 0});
  r->setVisible(false);
  EXPECT_FALSE(r->getVisible());
  r->setVisible(true);
  EXPECT_TRUE(r->getVisible());

  // A real owner window of the test's X server.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "no X server (DISPLAY="
                              << (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") << ")";
  Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0);
  XMapWindow(display, owner);
  XSync(display, False);
  r->setWindowOwner(OAHWND(owner));
  EXPECT_EQ(r->getWindowOwner(), OAHWND(owner));
  r->setVideoWindowPosition(5, 6);
  r->setVideoWindowSize(200, 100);
  r->getVideoWindowPosition(left, top);
  r->getVideoWindowSize(width, height);
  expectAnswers("owned renderer", {left, top, width, height}, {5, 6, 200, 100});
  r->setWindowOwner(0);
  EXPECT_EQ(r->getWindowOwner(), 0);
  XDestroyWindow(display, owner);
  XCloseDisplay(display);
}

TEST(GravetWrappers, OutsideWrappersDriveTheRealFilters) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(OUTSIDE_FILTERS_MODULE));
  ComSession com;
  mxObjectPtr<rsFormatTransFilter> transform = new rsFormatTransFilter("FormatTransform(Main)");
  ASSERT_TRUE(transform->isValid());
  // Start values: any size, any colour, the input's size.
  expectAnswers("transform at start",
                {transform->getNumInputPins(), transform->getNumOutputPins(), transform->getInputVideoFormat(),
                 transform->getInputVideoFormatColor(), transform->getOutputVideoFormat()},
                {1, 1, 8, 3, 8});
  transform->setOutputVideoFormat(2);
  transform->setInputVideoFormatColor(3);
  // Nothing connected: the actual formats are the chosen size and "any".
  expectAnswers("transform set",
                {transform->getOutputVideoFormat(), transform->getActualOutputVideoFormat(),
                 transform->getActualInputVideoFormat(), transform->getActualInputVideoFormatColor()},
                {2, 2, 8, 3});
  transform->setOutputVideoFormat(42);  // clamped
  transform->setInputVideoFormat(-1);
  expectAnswers("transform clamped", {transform->getOutputVideoFormat(), transform->getInputVideoFormat()}, {8, 0});

  mxObjectPtr<rsImageExtractFilter> extract = new rsImageExtractFilter("ImageExtract");
  ASSERT_TRUE(extract->isValid());
  const long long startFormat = extract->getOutputVideoFormat();
  extract->setOutputVideoFormat(0);
  expectAnswers("extract", {extract->getNumInputPins(), extract->getNumOutputPins(), startFormat,
                            extract->getOutputVideoFormat()},
                {2, 1, 1, 0});

  mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
  ASSERT_TRUE(compound->isValid());
  compound->setFrameRate(25);
  compound->setMask(2);
  compound->setBlending(1);
  expectAnswers("compound",
                {compound->getNumInputPins(), compound->getNumOutputPins(), compound->getFrameRate(),
                 compound->getMask(), compound->getBlending()},
                {3, 1, 25, 2, 1});
  compound->setMask(9);
  compound->setBlending(-2);
  expectAnswers("compound clamped", {compound->getMask(), compound->getBlending()}, {2, 0});
}

TEST(GravetWrappers, PointerWrappersDriveTheRealFilters) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(PLATFORM_FILTERS_MODULE));
  ASSERT_TRUE(registry.add(LOUPEX_MODULE));
  ASSERT_TRUE(registry.add(TRACION_MODULE));
  ASSERT_TRUE(registry.add(BLENDOR_MODULE));
  ComSession com;

  mxObjectPtr<rsLoupexFilter> loupex = new rsLoupexFilter("Loupex");
  ASSERT_TRUE(loupex->isValid());
  loupex->setOutputVideoFormat(4);
  loupex->setMask(1);
  loupex->setMaskSize(120, 90);
  unsigned w = 0, h = 0;
  loupex->getMaskSize(w, h);
  expectAnswers("loupex", {loupex->getOutputVideoFormat(), loupex->getMask(), w, h}, {4, 1, 120, 90});

  mxObjectPtr<rsTracionFilter> tracion = new rsTracionFilter("Tracion");
  ASSERT_TRUE(tracion->isValid());
  tracion->setPointerShape(3);
  tracion->setNormalizedOrigin(0.25f, 0.5f);
  tracion->setNormalizedSize(0.5f, 0.25f);
  expectAnswers("tracion", {tracion->getNumOutputPins(), tracion->getPointerShape()}, {1, 3});
  float f[4] = {};
  tracion->getNormalizedOrigin(f[0], f[1]);
  tracion->getNormalizedSize(f[2], f[3]);
  expectFloats("tracion", {f[0], f[1], f[2], f[3]}, {0.25f, 0.5f, 0.5f, 0.25f});
  mxObjectPtr<rsBlendorFilter> blendor = new rsBlendorFilter("Blendor");
  ASSERT_TRUE(blendor->isValid());
  blendor->setWindowPosition(0.125f, 0.25f);
  blendor->setWindowSize(0.5f, 0.75f);
  blendor->getWindowPosition(f[0], f[1]);
  blendor->getWindowSize(f[2], f[3]);
  expectFloats("blendor", {f[0], f[1], f[2], f[3]}, {0.125f, 0.25f, 0.5f, 0.75f});
  expectAnswers("blendor", {blendor->getNumPointerInput(), blendor->getPointerColor(0)}, {0, 0});
  float fx = 0, fy = 0;

  // A pointer stream joins the mixer: one pointer input, white at first,
  // its colour set and read back; past the inputs the colour reads 0.
  mxObjectPtr<TestGraphManager> m = new TestGraphManager();
  ASSERT_TRUE(m->initialize());
  m->addFilter(tracion);
  m->addFilter(blendor);
  const unsigned pointerInput = blendor->getNumInputPins() - 1;  // the free pointer input comes last
  ASSERT_TRUE(m->connectFilter(tracion, 0, blendor, pointerInput));
  const long long white = blendor->getPointerColor(0);
  blendor->setPointerColor(0, 4);
  expectAnswers("joined blendor",
                {blendor->getNumPointerInput(), white, blendor->getPointerColor(0), blendor->getPointerColor(1),
                 blendor->getPointerColor(3)},
                {1, 7, 4, 0, 0});

  // Running, the pointer source reads the test's X server: its screen, and
  // the pointer where the test puts it.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  ASSERT_TRUE(m->start());
  unsigned sw = 0, sh = 0;
  EXPECT_TRUE(pollUntil([&] {
    tracion->getScreenSize(sw, sh);
    return sw == 1280u && sh == 1024u;
  })) << sw
      << "x" << sh;
  XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 320, 256);
  XSync(display, False);
  unsigned px = 0, py = 0;
  EXPECT_TRUE(pollUntil([&] {
    tracion->getTracion(px, py);
    return px == 320u && py == 256u;
  })) << px
      << ", " << py;
  // A quarter of the screen each way, mapped into the origin and size set above.
  tracion->getNormalizedTracion(fx, fy);
  EXPECT_NEAR(fx, 0.25f + 0.25f * 0.5f, 0.01f);
  EXPECT_NEAR(fy, 0.5f + 0.25f * 0.25f, 0.01f);
  EXPECT_TRUE(m->stop());
  XCloseDisplay(display);
  m->destroyGraph();
  EXPECT_EQ(blendor->getNumPointerInput(), 0u);
  m->shutdown();
}
