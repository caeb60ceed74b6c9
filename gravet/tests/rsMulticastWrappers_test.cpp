// The multicast server and client wrappers on their real filters (which
// open sockets as they are created: inside the network lab only).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "gravet/rsIngrelFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/tests/sender_graph.h"
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
  EXPECT_STREQ(server->getAddress().c_str(), "234.5.6.8");
  EXPECT_EQ(server->getPort(), 8191);
  EXPECT_EQ(server->getTimeToLive(), 3u);
  EXPECT_EQ(server->getTransmittingCount(), 2u);
  EXPECT_EQ(server->getMaximumTransmittingRate(), 12000000u);
  EXPECT_EQ(server->getMaximumPacketSize(), 2048u);
  // The filter clamps, the wrapper passes its answer through.
  server->setMaximumPacketSize(100);
  EXPECT_EQ(server->getMaximumPacketSize(), 512u);
  // Nothing connected: the "unknown" codes of the input.
  EXPECT_EQ(server->getInputMediaType(), 3);
  EXPECT_EQ(server->getInputVideoFormat(), 8);
  EXPECT_EQ(server->getInputVideoResolution(), 9);
  EXPECT_EQ(server->getInputAudioFormat(), 3);
  EXPECT_EQ(server->getInputAudioFrequency(), 6);
  EXPECT_EQ(server->getInputAudioStereo(), 2);
  EXPECT_EQ(server->getInputAudioBitCount(), 3);
  EXPECT_EQ(server->getTransmittingRate(), 0u);
  EXPECT_EQ(server->getFrameRate(), 0u);
  // The server has no interface choice.
  server->setIPv6InterfaceNo(5);
  EXPECT_EQ(server->getIPv6InterfaceNo(), 0ul);
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
  EXPECT_STREQ(client->getAddress().c_str(), "234.5.6.9");
  EXPECT_EQ(client->getPort(), 8192);
  EXPECT_EQ(client->getTimeToLive(), 2u);
  client->setIPv6InterfaceNo(4);
  EXPECT_EQ(client->getIPv6InterfaceNo(), 0u);  // accepted, not used by the filter

  // Video, RGB24, CIF.
  client->setMediaType(0);
  client->setVideoFormat(1);
  client->setVideoResolution(2);
  EXPECT_EQ(client->getMediaType(), 0);
  EXPECT_EQ(client->getVideoFormat(), 1);
  EXPECT_EQ(client->getVideoResolution(), 2);
  // Audio, PCM, 44100 Hz, monaural.
  client->setMediaType(1);
  client->setAudioFormat(1);
  client->setAudioFrequency(4);
  client->setAudioStereo(1);
  client->setAudioBitCount(1);
  EXPECT_EQ(client->getMediaType(), 1);
  EXPECT_EQ(client->getAudioFormat(), 1);
  EXPECT_EQ(client->getAudioFrequency(), 4);
  EXPECT_EQ(client->getAudioStereo(), 1);
  EXPECT_EQ(client->getAudioBitCount(), 1);
  // Nothing received yet.
  EXPECT_EQ(client->getReceiveRate(), 0u);
  EXPECT_EQ(client->getFrameRate(), 0u);
  EXPECT_EQ(client->getNumDropPackets(), 0u);
  EXPECT_EQ(client->getNumDropFrames(), 0u);
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
    EXPECT_EQ(server->getInputMediaType(), 0);
    EXPECT_EQ(server->getInputVideoFormat(), 2);
    EXPECT_EQ(server->getInputVideoResolution(), 2);
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
