// A link that loses datagrams between the stations: frames of nine
// fragments sent once mostly fail; sent twice, a fragment is lost only when
// both copies are, and a lost frame header no longer costs the frame, so
// nearly every frame is delivered whole. The client's counters account for
// the rest.
#include <gtest/gtest.h>

#include "filters/ingrel/tests/e2e_support.h"

using namespace std::chrono;

namespace {

struct Pass {
  size_t delivered = 0;
  uint32_t received = 0, dropped = 0, discarded = 0, refused = 0;
};

constexpr uint32_t kFrames = 300;
constexpr uint32_t kLength = 8000;  // nine fragments of 1024-byte datagrams

Pass runPass(StationWorker& tx, StationWorker& rx, uint32_t repeat, uint16_t port) {
  SenderSide sender;
  ReceiverSide receiver;
  Seen seen;
  StreamCodes codes;
  codes.videoFormat = VideoFormat_MPEG4v2;
  codes.resolution = Resolution_CIF;
  Pass pass;
  if (!rx.call<bool>([&] { return receiver.build(codes, "234.5.8.40", port, &seen); })) return pass;
  if (!tx.call<bool>([&] { return sender.build(codes, "234.5.8.40", port); })) return pass;
  tx.run([&] {
    sender.pattern->SetFrameCount(kFrames);
    sender.pattern->SetFrameInterval(50000);  // 5 ms
    sender.pattern->SetDataLength(kLength);
    sender.control->SetRepeatCount(repeat);
  });
  rx.run([&] { receiver.g.control->Run(); });
  tx.run([&] { sender.g.control->Run(); });
  uint64_t sent = 0;
  for (auto until = steady_clock::now() + seconds(30); sent < kFrames && steady_clock::now() < until;) {
    std::this_thread::sleep_for(milliseconds(50));
    tx.run([&] { sender.pattern->GetFramesSent(&sent); });
  }
  std::this_thread::sleep_for(milliseconds(300));
  uint32_t malformed = 0, mismatched = 0;
  rx.run([&] {
    receiver.control->GetFramesReceived(&pass.received);
    receiver.control->GetDroppedFrames(&pass.dropped);
    receiver.control->GetDiscardedSamples(&pass.discarded);
    receiver.control->GetRefusedRecords(&malformed, &mismatched);
    receiver.g.control->Stop();
  });
  tx.run([&] { sender.g.control->Stop(); });
  pass.refused = malformed + mismatched;
  const auto real = seen.real();
  pass.delivered = real.size();
  for (size_t i = 0; i < real.size(); ++i) {
    EXPECT_TRUE(isPattern(real[i], static_cast<uint64_t>(real[i].mediaStart), kLength)) << i;
    if (i) {
      EXPECT_GT(real[i].mediaStart, real[i - 1].mediaStart);
    }
  }
  tx.run([&] { sender.release(); });
  rx.run([&] { receiver.release(); });
  std::printf("repeat %u: delivered %zu of %u (%.3f); client: received %u dropped %u discarded %u\n", repeat,
              pass.delivered, kFrames, double(pass.delivered) / kFrames, pass.received, pass.dropped,
              pass.discarded);
  return pass;
}

}  // namespace

TEST(Loss, RepeatCountHidesTheLossOfSingleDatagrams) {
  NETLAB_REQUIRE();
  auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  StationWorker tx(stations[0]), rx(stations[1]);
  ASSERT_TRUE(tx.entered() && rx.entered());
  const Pass once = runPass(tx, rx, 1, 9450);
  const Pass twice = runPass(tx, rx, 2, 9452);
  for (const Pass& p : {once, twice}) {
    EXPECT_EQ(p.refused, 0u);
    EXPECT_EQ(p.discarded, 0u);
    EXPECT_EQ(p.received, p.delivered);  // what the counters say arrived, arrived
    // Every frame is delivered or counted as dropped, except the rare one
    // whose header was lost while the frame before it was still incomplete.
    EXPECT_LE(p.delivered + p.dropped, kFrames);
    EXPECT_GE(p.delivered + p.dropped, kFrames - 10);
    EXPECT_LT(p.delivered, kFrames);  // the link really lost something
  }
  // A fragment is lost twice with 0.25 %: 9 of them, about 98 % of the frames.
  EXPECT_GE(twice.delivered, kFrames * 93 / 100);
  EXPECT_GT(twice.delivered, once.delivered + kFrames / 5);
  EXPECT_GT(once.dropped, twice.dropped);
}
