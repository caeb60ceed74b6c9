// The filter wrappers: empty when their class is not registered, empty
// when the filter lacks its control interface, and every getter and setter
// reaching the real filter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "gravet/rsBlendorFilter.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsLoupexFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsTracionFilter.h"
#include "gravet/rsVideoRenderFilter.h"
#include "gravet/tests/sender_graph.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>

namespace {

// Every answer a wrapper without its filter gives, in order: all zero but
// where a default is named.
void expectAnswers(const char* what, const std::vector<long long>& got, const std::vector<long long>& want) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << what << " answer " << i;
}

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

}  // namespace

TEST(GravetWrappers, UnregisteredClassesLeaveEveryWrapperEmpty) {
  PrivateRegistry registry;  // nothing registered
  ComSession com;
  mxObjectPtr<rsAudioRenderFilter> audio = new rsAudioRenderFilter("AudioRender");
  mxObjectPtr<rsSmartTeeFilter> smart = new rsSmartTeeFilter("SmartTee");
  mxObjectPtr<rsInfPinTeeFilter> tee = new rsInfPinTeeFilter("VideoInfinitePinTee");
  for (rsFilter* f :
       {static_cast<rsFilter*>(audio), static_cast<rsFilter*>(smart), static_cast<rsFilter*>(tee)}) {
    EXPECT_FALSE(f->isValid()) << f->getName().c_str();
    EXPECT_EQ(f->getNumInputPins(), 0u);
    EXPECT_EQ(f->getNumOutputPins(), 0u);
  }
  EXPECT_STREQ(tee->getName().c_str(), "VideoInfinitePinTee");
  EXPECT_TRUE(tee->isDerivedFrom(rsInfPinTeeFilter::getStaticClassType()));
  EXPECT_TRUE(tee->isDerivedFrom(rsFilter::getStaticClassType()));
  EXPECT_FALSE(tee->isDerivedFrom(rsSmartTeeFilter::getStaticClassType()));

  mxObjectPtr<rsVideoRenderFilter> renderer = new rsVideoRenderFilter("VideoRender");
  expectEmptyVideoRenderer(*renderer);
  expectEmptyPointerWrappers();
  expectEmptyMulticastWrappers();
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
  ASSERT_TRUE(smart->isValid());
  EXPECT_EQ(smart->getNumInputPins(), 1u);
  EXPECT_EQ(smart->getNumOutputPins(), 2u);
  mxObjectPtr<rsInfPinTeeFilter> tee = new rsInfPinTeeFilter("VideoInfinitePinTee");
  ASSERT_TRUE(tee->isValid());
  EXPECT_EQ(tee->getNumInputPins(), 1u);
  EXPECT_EQ(tee->getNumOutputPins(), 1u);
#ifdef PLATFORM_AUDIO_MODULE
  mxObjectPtr<rsAudioRenderFilter> audio = new rsAudioRenderFilter("AudioRender");
  ASSERT_TRUE(audio->isValid());
  EXPECT_EQ(audio->getNumInputPins(), 1u);
  EXPECT_EQ(audio->getNumOutputPins(), 0u);
#endif

  mxObjectPtr<rsVideoRenderFilter> r = new rsVideoRenderFilter("VideoRender");
  ASSERT_TRUE(r->isValid());
  EXPECT_EQ(r->getNumInputPins(), 1u);
  EXPECT_EQ(r->getNumOutputPins(), 0u);
  r->setVideoWindowPosition(10, 20);
  r->setVideoWindowSize(320, 240);
  r->setWindowStyle(0x12);
  int left = 0, top = 0;
  unsigned width = 0, height = 0;
  r->getVideoWindowPosition(left, top);
  r->getVideoWindowSize(width, height);
  EXPECT_EQ(left, 10);
  EXPECT_EQ(top, 20);
  EXPECT_EQ(width, 320u);
  EXPECT_EQ(height, 240u);
  EXPECT_EQ(r->getWindowStyle(), 0x12);
  EXPECT_EQ(r->getWindowOwner(), 0);
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
  EXPECT_EQ(left, 5);
  EXPECT_EQ(top, 6);
  EXPECT_EQ(width, 200u);
  EXPECT_EQ(height, 100u);
  r->setWindowOwner(0);
  EXPECT_EQ(r->getWindowOwner(), 0);
  XDestroyWindow(display, owner);
  XCloseDisplay(display);
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
  EXPECT_EQ(loupex->getOutputVideoFormat(), 4);
  EXPECT_EQ(loupex->getMask(), 1);
  unsigned w = 0, h = 0;
  loupex->getMaskSize(w, h);
  EXPECT_EQ(w, 120u);
  EXPECT_EQ(h, 90u);

  mxObjectPtr<rsTracionFilter> tracion = new rsTracionFilter("Tracion");
  ASSERT_TRUE(tracion->isValid());
  EXPECT_EQ(tracion->getNumOutputPins(), 1u);
  tracion->setPointerShape(3);
  tracion->setNormalizedOrigin(0.25f, 0.5f);
  tracion->setNormalizedSize(0.5f, 0.25f);
  EXPECT_EQ(tracion->getPointerShape(), 3);
  float fx = 0, fy = 0;
  tracion->getNormalizedOrigin(fx, fy);
  EXPECT_FLOAT_EQ(fx, 0.25f);
  EXPECT_FLOAT_EQ(fy, 0.5f);
  tracion->getNormalizedSize(fx, fy);
  EXPECT_FLOAT_EQ(fx, 0.5f);
  EXPECT_FLOAT_EQ(fy, 0.25f);
  mxObjectPtr<rsBlendorFilter> blendor = new rsBlendorFilter("Blendor");
  ASSERT_TRUE(blendor->isValid());
  blendor->setWindowPosition(0.125f, 0.25f);
  blendor->setWindowSize(0.5f, 0.75f);
  blendor->getWindowPosition(fx, fy);
  EXPECT_FLOAT_EQ(fx, 0.125f);
  EXPECT_FLOAT_EQ(fy, 0.25f);
  blendor->getWindowSize(fx, fy);
  EXPECT_FLOAT_EQ(fx, 0.5f);
  EXPECT_FLOAT_EQ(fy, 0.75f);
  EXPECT_EQ(blendor->getNumPointerInput(), 0u);
  EXPECT_EQ(blendor->getPointerColor(0), 0);

  // A pointer stream joins the mixer: one pointer input, white at first,
  // its colour set and read back; past the inputs the colour reads 0.
  mxObjectPtr<TestGraphManager> m = new TestGraphManager();
  ASSERT_TRUE(m->initialize());
  m->addFilter(tracion);
  m->addFilter(blendor);
  const unsigned pointerInput = blendor->getNumInputPins() - 1;  // the free pointer input comes last
  ASSERT_TRUE(m->connectFilter(tracion, 0, blendor, pointerInput));
  EXPECT_EQ(blendor->getNumPointerInput(), 1u);
  EXPECT_EQ(blendor->getPointerColor(0), 7);
  blendor->setPointerColor(0, 4);
  EXPECT_EQ(blendor->getPointerColor(0), 4);
  EXPECT_EQ(blendor->getPointerColor(1), 0);
  EXPECT_EQ(blendor->getPointerColor(3), 0);

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
