// A client receives records from anyone. Forged records sent from another
// station: what does not add up, names no type or another type than the
// output type is counted and dropped, never delivered; sample numbers that
// jump or go back mark a discontinuity; records arriving while downstream
// blocks keep the queue at four and are counted as discarded.
#include <gtest/gtest.h>

#include "filters/ingrel/tests/e2e_support.h"
#include "koBase/koMulticastSender.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

using namespace std::chrono;

namespace {

using Bytes = std::vector<uint8_t>;

MediaType qcifRgb() {
  return builtCodes(MediaKind_Video, VideoFormat_RGB24, Resolution_QCIF).mediaType();
}

// A record for the type, carrying pattern frame `tag` in its data.
Bytes record(const MediaType& mt, uint32_t number, uint64_t tag, uint32_t length, uint32_t userData = 0,
             uint32_t formatLength = UINT32_MAX) {
  Bytes b = writtenRecord(mt, number, patternData(tag, length), static_cast<int64_t>(tag), -1, 0,
                          userData > 64 ? 0 : userData, formatLength);
  if (userData > 64) b[4] = static_cast<uint8_t>(userData);  // a length the writer never produces
  return b;
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    auto stations = netlab::stations();
    ASSERT_GE(stations.size(), 2u);
    tx = std::make_unique<StationWorker>(stations[0]);
    rx = std::make_unique<StationWorker>(stations[1]);
    ASSERT_TRUE(tx->entered());
    ASSERT_TRUE(rx->entered());
    StreamCodes codes;
    ASSERT_TRUE(rx->call<bool>([&] { return receiver.build(codes, "234.5.8.9", 9420, &seen); }));
    ASSERT_TRUE(rx->call<bool>([&] { return SUCCEEDED(receiver.g.control->Run()); }));
    ASSERT_TRUE(tx->call<bool>([&] {
      sender.setAddress("234.5.8.9");
      sender.setPort(9420);
      sender.setMaximumRate(200000000);
      return sender.open();
    }));
  }
  void TearDown() override {
    if (tx) tx->run([&] { sender.close(); });
    if (rx) rx->run([&] { receiver.release(); });
  }
  void send(const Bytes& frame) {
    tx->run([&] { sender.send(frame.data(), static_cast<uint32_t>(frame.size())); });
    std::this_thread::sleep_for(milliseconds(20));
  }
  void refused(uint32_t* malformed, uint32_t* mismatched) {
    rx->run([&] { receiver.control->GetRefusedRecords(malformed, mismatched); });
  }

  std::unique_ptr<StationWorker> tx, rx;
  koMulticastSender sender;
  ReceiverSide receiver;
  Seen seen;
};

}  // namespace

TEST_F(BadInput, RecordsThatDoNotFitAreCountedAndNeverDelivered) {
  const MediaType mt = qcifRgb();
  const uint32_t size = 176 * 144 * 3;
  send(record(mt, 0, 100, size));

  Bytes trailing = record(mt, 1, 101, size);
  trailing.push_back(0);
  send(trailing);
  Bytes cut = record(mt, 2, 102, size);
  cut.resize(cut.size() - 10);  // the data length claims more than the frame holds
  send(cut);
  send(record(mt, 3, 103, size, 65));  // user data above 64
  send(record(mt, 4, 104, size - 3));  // a picture of the wrong size
  send(Bytes{1, 2, 3});

  MediaType unknown = mt;
  unknown.setMajortype(makeGuid("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
  send(record(unknown, 5, 105, size));
  // A format block shorter than its header claims: no longer a video-info record.
  send(record(mt, 6, 106, size, 0, 50));
  send(record(builtCodes(MediaKind_Video, VideoFormat_RGB24, Resolution_CIF).mediaType(), 7, 107,
              352 * 288 * 3));

  send(record(mt, 8, 108, size));
  ASSERT_TRUE(seen.waitReal(2, 10));
  std::this_thread::sleep_for(milliseconds(200));

  uint32_t malformed = 0, mismatched = 0;
  refused(&malformed, &mismatched);
  EXPECT_EQ(malformed, 5u);
  EXPECT_EQ(mismatched, 3u);
  BOOL match = TRUE;
  rx->run([&] { receiver.control->GetTypesMatch(&match); });
  EXPECT_TRUE(match);  // the last record matched

  auto real = seen.real();
  ASSERT_EQ(real.size(), 2u);
  EXPECT_TRUE(isPattern(real[0], 100, size));
  EXPECT_TRUE(isPattern(real[1], 108, size));
  EXPECT_FALSE(real[0].discontinuity);
  EXPECT_TRUE(real[1].discontinuity);  // numbers 1 to 7 never became samples: a gap
}

TEST_F(BadInput, SampleNumbersThatJumpOrGoBackMarkADiscontinuity) {
  const MediaType mt = qcifRgb();
  const uint32_t size = 176 * 144 * 3;
  const uint32_t numbers[] = {5, 6, 8, 9, 0, 1};  // a gap, then a sender that restarted
  for (uint32_t i = 0; i < 6; ++i) send(record(mt, numbers[i], 200 + i, size));
  ASSERT_TRUE(seen.waitReal(6, 10));
  auto real = seen.real();
  ASSERT_EQ(real.size(), 6u);
  const bool expected[] = {false, false, true, false, true, false};
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(isPattern(real[i], 200 + i, size));
    EXPECT_EQ(real[i].discontinuity, expected[i]) << "record " << i;
  }
}

TEST_F(BadInput, ABlockedDownstreamKeepsTheQueueAtFourAndCountsWhatItDiscards) {
  const MediaType mt = qcifRgb();
  const uint32_t size = 176 * 144 * 3;
  seen.blockMs = 1500;
  send(record(mt, 0, 300, size));
  ASSERT_TRUE(seen.waitReal(1, 10));  // the renderer has it and now blocks on it
  for (uint32_t i = 1; i <= 20; ++i) {
    Bytes r = record(mt, i, 300 + i, size);
    tx->run([&] { sender.send(r.data(), static_cast<uint32_t>(r.size())); });
  }
  // Once the renderer wakes, the queue drains; wait until every record is
  // either delivered or counted as discarded (or the time is up).
  uint32_t discarded = 0, dropped = 0, received = 0;
  const auto readCounters = [&] {
    rx->run([&] {
      receiver.control->GetDiscardedSamples(&discarded);
      receiver.control->GetDroppedFrames(&dropped);
      receiver.control->GetFramesReceived(&received);
    });
  };
  for (const auto until = steady_clock::now() + seconds(15);;) {
    readCounters();
    if (seen.realCount() + discarded >= 21 || steady_clock::now() > until) break;
    std::this_thread::sleep_for(milliseconds(20));
  }
  std::this_thread::sleep_for(milliseconds(100));  // nothing more may turn up
  readCounters();
  auto real = seen.real();
  // The first sample, one the pin took while the renderer blocked, and the
  // newest four; the rest discarded and counted.
  EXPECT_LE(real.size(), 6u);
  EXPECT_EQ(real.size() + discarded, 21u);
  EXPECT_GE(dropped, discarded);
  EXPECT_EQ(received + discarded, 21u);
  EXPECT_TRUE(isPattern(real.back(), 320, size));  // the newest always gets through
  for (size_t i = 1; i < real.size(); ++i) EXPECT_GT(real[i].mediaStart, real[i - 1].mediaStart);
}
