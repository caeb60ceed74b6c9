// The multicast server and client wrappers on their real filters (which
// open sockets as they are created: inside the network lab only).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "gravet/rsIngrelFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/tests/sender_graph.h"
#include "gravet/tests/wrapper_checks.h"
#include "netlab.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"

TEST(GravetMulticastWrappers, ServerSettingsReachTheFilter) {
  NETLAB_REQUIRE();
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(OSTREL_MODULE));
  ComSession com;
  mxObjectPtr<rsOstrelFilter> server = new rsOstrelFilter("VideoServer(Main)");
  ASSERT_TRUE(server->isValid());
  EXPECT_EQ(server->getNumInputPins(), 1u);
  EXPECT_EQ(server->getNumOutputPins(), 0u);
  server->setAddress("234.5.6.8");
  server->setPort(8191);
  server->setTimeToLive(3);
  server->setTransmittingCount(2);
  server->setMaximumTransmittingRate(12000000);
  server->setMaximumPacketSize(2048);
  server->setIPv6InterfaceNo(5);  // the server has no interface choice
  EXPECT_STREQ(server->getAddress().c_str(), "234.5.6.8");
  const long long packetSize = server->getMaximumPacketSize();
  server->setMaximumPacketSize(100);  // the filter clamps, the wrapper passes its answer through
  // Nothing connected: the "unknown" codes of the input.
  expectAnswers("server",
                {server->getNumInputPins(), server->getNumOutputPins(), server->getPort(), server->getTimeToLive(),
                 server->getTransmittingCount(), server->getMaximumTransmittingRate(), packetSize,
                 server->getMaximumPacketSize(), server->getInputMediaType(), server->getInputVideoFormat(),
                 server->getInputVideoResolution(), server->getInputAudioFormat(),
                 server->getInputAudioFrequency(), server->getInputAudioStereo(), server->getInputAudioBitCount(),
                 server->getTransmittingRate(), server->getFrameRate(),
                 static_cast<long long>(server->getIPv6InterfaceNo())},
                {1, 0, 8191, 3, 2, 12000000, 2048, 512, 3, 8, 9, 3, 6, 2, 3, 0, 0, 0});
}

TEST(GravetMulticastWrappers, ClientSettingsReachTheFilter) {
  NETLAB_REQUIRE();
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(INGREL_MODULE));
  ComSession com;
  mxObjectPtr<rsIngrelFilter> client = new rsIngrelFilter("VideoClient(Main)");
  ASSERT_TRUE(client->isValid());
  EXPECT_EQ(client->getNumOutputPins(), 1u);
  client->setAddress("234.5.6.9");
  client->setPort(8192);
  client->setTimeToLive(2);
  client->setIPv6InterfaceNo(4);  // accepted, not used by the filter
  EXPECT_STREQ(client->getAddress().c_str(), "234.5.6.9");
  // Video, RGB24, CIF.
  client->setMediaType(0);
  client->setVideoFormat(1);
  client->setVideoResolution(2);
  expectAnswers("client video",
                {client->getNumOutputPins(), client->getPort(), client->getTimeToLive(), client->getIPv6InterfaceNo(),
                 client->getMediaType(), client->getVideoFormat(), client->getVideoResolution()},
                {1, 8192, 2, 0, 0, 1, 2});
  // Audio, PCM, 44100 Hz, monaural; nothing received yet.
  client->setMediaType(1);
  client->setAudioFormat(1);
  client->setAudioFrequency(4);
  client->setAudioStereo(1);
  client->setAudioBitCount(1);
  expectAnswers("client audio",
                {client->getMediaType(), client->getAudioFormat(), client->getAudioFrequency(),
                 client->getAudioStereo(), client->getAudioBitCount(), client->getReceiveRate(),
                 client->getFrameRate(), client->getNumDropPackets(), client->getNumDropFrames()},
                {1, 1, 4, 1, 1, 0, 0, 0, 0});
}

// The sender-shaped graph with the encoder and the server, run and torn
// down several times; the server reports what it sends.
TEST(GravetMulticastWrappers, SenderGraphSendsAndRebuilds) {
  NETLAB_REQUIRE();
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(PLATFORM_FILTERS_MODULE));
  ASSERT_TRUE(registry.add(PLATFORM_CAPTURE_MODULE));
  ASSERT_TRUE(registry.add(OUTSIDE_FILTERS_MODULE));
#ifdef PLATFORM_CODECS_MODULE
  ASSERT_TRUE(registry.add(PLATFORM_CODECS_MODULE));
#else
  GTEST_SKIP() << "the codecs module is not part of this build";
#endif
  ASSERT_TRUE(registry.add(OSTREL_MODULE));
  ComSession com;
  mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph(true);
  ASSERT_TRUE(m->initialize());
  ASSERT_TRUE(m->server->isDerivedFrom(rsOstrelFilter::getStaticClassType()));
  mxObjectPtr<rsOstrelFilter> server(static_cast<rsOstrelFilter*>(m->server.get()));
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(m->buildGraph());
    EXPECT_EQ(m->getNumFilters(), 6u);
    ASSERT_TRUE(m->start());
    // MPEG-4 V2 at CIF, as classified by the server.
    expectAnswers("input", {server->getInputMediaType(), server->getInputVideoFormat(),
                            server->getInputVideoResolution()},
                  {0, 2, 2});
    bool sent = false;
    for (int i = 0; i < 30 && !sent; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      sent = m->renderedFrames() > 2 && server->getTransmittingRate() > 0;
    }
    EXPECT_TRUE(sent);
    ASSERT_TRUE(m->stop());
    ASSERT_TRUE(m->destroyGraph());
    EXPECT_EQ(m->getNumFilters(), 0u);
  }
  m->shutdown();
}
