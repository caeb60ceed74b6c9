// A link that loses 5 % of the datagrams between the stations: with the
// frames sent twice, nearly every frame whose header arrives is delivered
// whole, and the client's counters account for what was lost.
#include <gtest/gtest.h>

#include "filters/ingrel/tests/e2e_support.h"

using namespace std::chrono;

TEST(Loss, RepeatCountHidesFivePercentLoss) {
  NETLAB_REQUIRE();
  auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  StationWorker tx(stations[0]), rx(stations[1]);
  ASSERT_TRUE(tx.entered() && rx.entered());
  SenderSide sender;
  ReceiverSide receiver;
  Seen seen;
  StreamCodes codes;
  codes.kind = MediaKind_Pointer;
  constexpr uint32_t kFrames = 400;
  ASSERT_TRUE(rx.call<bool>([&] { return receiver.build(codes, "234.5.8.40", 9450, &seen); }));
  ASSERT_TRUE(tx.call<bool>([&] { return sender.build(codes, "234.5.8.40", 9450); }));
  tx.run([&] {
    sender.pattern->SetFrameCount(kFrames);
    sender.pattern->SetFrameInterval(50000);  // 5 ms
    sender.control->SetRepeatCount(2);
  });
  ASSERT_TRUE(rx.call<bool>([&] { return SUCCEEDED(receiver.g.control->Run()); }));
  ASSERT_TRUE(tx.call<bool>([&] { return SUCCEEDED(sender.g.control->Run()); }));
  uint64_t sent = 0;
  for (auto until = steady_clock::now() + seconds(30); sent < kFrames && steady_clock::now() < until;) {
    std::this_thread::sleep_for(milliseconds(50));
    tx.run([&] { sender.pattern->GetFramesSent(&sent); });
  }
  std::this_thread::sleep_for(milliseconds(300));
  uint32_t received = 0, dropped = 0, discarded = 0, packets = 0, framesSent = 0;
  uint32_t malformed = 0, mismatched = 0;
  rx.run([&] {
    receiver.control->GetFramesReceived(&received);
    receiver.control->GetDroppedFrames(&dropped);
    receiver.control->GetDiscardedSamples(&discarded);
    receiver.control->GetPacketsReceived(&packets);
    receiver.control->GetRefusedRecords(&malformed, &mismatched);
    receiver.g.control->Stop();
  });
  tx.run([&] {
    sender.control->GetFramesSent(&framesSent);
    sender.g.control->Stop();
  });
  const auto real = seen.real();
  ASSERT_EQ(framesSent, kFrames);
  // Every delivered sample is intact and in order.
  for (size_t i = 0; i < real.size(); ++i) {
    EXPECT_TRUE(isPattern(real[i], static_cast<uint64_t>(real[i].mediaStart), 71));
    if (i) {
      EXPECT_GT(real[i].mediaStart, real[i - 1].mediaStart);
    }
  }
  // Frames delivered versus sent: a lost header (5 %) loses its frame; a
  // fragment is lost only when both of its copies are (0.25 %).
  const double delivered = double(real.size()) / kFrames;
  std::printf("delivered %zu of %u (%.3f); client: received %u dropped %u discarded %u\n", real.size(), kFrames,
              delivered, received, dropped, discarded);
  EXPECT_GE(delivered, 0.88);
  EXPECT_LT(delivered, 1.0);  // the link really lost something
  EXPECT_EQ(received + discarded, real.size() + discarded);  // what the counters say arrived, arrived
  EXPECT_EQ(malformed + mismatched, 0u);
  // What was neither delivered nor counted dropped lost its header.
  EXPECT_LE(real.size() + dropped, kFrames);
  tx.run([&] { sender.release(); });
  rx.run([&] { receiver.release(); });
}
