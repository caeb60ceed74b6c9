// Frames from one station to another over a link that loses, duplicates,
// reorders and delays datagrams: every frame delivered is intact, the
// receiver's counters account for every frame whose header arrived, and a
// frame whose header was lost is still rebuilt from its fragments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "koBase/koFrameFormat.h"
#include "koBase/koMulticastReceiver.h"
#include "koBase/koMulticastSender.h"
#include "netlab.h"
#include "wire_helpers.h"

using namespace std::chrono;
using wire::Bytes;

namespace {

constexpr uint32_t kFrames = 400;
constexpr uint32_t kFrameSize = 5000;  // 6 fragments of 1024 bytes
constexpr uint32_t kTail = 30;         // small frames after the test frames

struct Check {
  std::atomic<uint32_t> intact{0}, corrupt{0};
  std::mutex lock;
  std::set<uint32_t> tags;  // frame i carries tag i
  static void onFrame(const uint8_t* d, uint32_t n, void* self) {
    auto* c = static_cast<Check*>(self);
    if (n < 4) {
      ++c->corrupt;
      return;
    }
    const uint32_t tag = d[0] | d[1] << 8 | d[2] << 16 | static_cast<uint32_t>(d[3]) << 24;
    const Bytes expected = wire::pattern(tag <= kFrames ? kFrameSize : 100, tag);
    const bool ok = n == expected.size() && std::equal(d, d + n, expected.begin());
    (ok ? c->intact : c->corrupt)++;
    if (ok) {
      std::lock_guard guard(c->lock);
      c->tags.insert(tag);
    }
  }
};

void runOnce(const char* group, uint32_t repeat) {
  const auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  Check check;
  koMulticastReceiver receiver;
  std::vector<Bytes> captured;
  std::atomic<bool> ready{false}, sent{false};
  netlab::StationThread rx(stations[1], [&] {
    wire::RawGroup capture(group, 9300, true);
    receiver.setAddress(group);
    receiver.setPort(9300);
    receiver.setFrameCallback(Check::onFrame, &check);
    if (!capture.ok() || !receiver.open()) return;
    ready = true;
    for (;;) {
      const bool last = sent;
      auto batch = capture.drain(last ? 300 : 20);
      for (auto& d : batch) captured.push_back(std::move(d));
      if (last && batch.empty()) break;
    }
  });
  koMulticastSender sender;
  uint32_t datagramsSent = 0;
  netlab::StationThread tx(stations[0], [&] {
    while (!ready) std::this_thread::sleep_for(milliseconds(5));
    sender.setAddress(group);
    sender.setPort(9300);
    sender.setRepeatCount(repeat);
    sender.setMaximumRate(20000000);
    if (!sender.open()) return;
    for (uint32_t i = 1; i <= kFrames + kTail; ++i) {
      const Bytes f = wire::pattern(i <= kFrames ? kFrameSize : 100, i);
      sender.send(f.data(), static_cast<uint32_t>(f.size()));
      datagramsSent += 1 + repeat * static_cast<uint32_t>(koFrame::fragmentCountFor(f.size(), 1024));
    }
    std::this_thread::sleep_for(milliseconds(100));
    sent = true;
  });
  tx.join();
  rx.join();
  ASSERT_TRUE(tx.entered() && rx.entered());
  ASSERT_TRUE(receiver.isOpen());
  std::set<uint32_t> headers, anything;  // frames whose header / any datagram arrived
  for (const Bytes& d : captured) {
    koFrame::FrameHeader h;
    koFrame::FragmentHeader f;
    if (koFrame::parseFrameHeader(d.data(), static_cast<uint32_t>(d.size()), &h)) {
      headers.insert(h.frameNumber);
      anything.insert(h.frameNumber);
    } else if (koFrame::parseFragmentHeader(d.data(), static_cast<uint32_t>(d.size()), &f)) {
      anything.insert(f.frameNumber);
    }
  }
  uint32_t withoutHeader = 0;
  size_t tagCount = 0;
  {
    std::lock_guard guard(check.lock);
    for (uint32_t tag : check.tags) withoutHeader += headers.count(tag) == 0;
    tagCount = check.tags.size();
  }
  const uint32_t received = receiver.getFramesReceived(), dropped = receiver.getDroppedFrames();
  // The link really was impaired.
  EXPECT_NE(captured.size(), datagramsSent);
  EXPECT_LT(headers.size(), kFrames + kTail);
  // Nothing corrupt, and every frame whose header arrived is either received
  // or dropped (the very last one may still be waiting for its end); frames
  // whose header was lost add to that.
  EXPECT_EQ(check.corrupt.load(), 0u);
  EXPECT_EQ(check.intact.load(), received);
  EXPECT_EQ(tagCount, received);  // each frame once
  EXPECT_LE(received + dropped, anything.size());
  EXPECT_GE(received + dropped + 1, headers.size());
  EXPECT_LE(withoutHeader, receiver.getHeaderlessFrames());
  EXPECT_GE(receiver.getDroppedFragments(), dropped);
  EXPECT_EQ(receiver.getKernelDroppedDatagrams(), 0u);
  // Reordering costs frames as well: a header that overtakes the end of the
  // frame before it ends that frame.
  EXPECT_GT(received, kFrames / 5);
  if (repeat > 1) {
    EXPECT_GT(received, headers.size() * 3 / 4);  // repeats fill most losses
    // Lost headers no longer lose their frames: with repeats, most frames
    // whose header was lost still arrive whole.
    const size_t headersLost = kFrames + kTail - headers.size();
    EXPECT_GT(headersLost, 0u);
    EXPECT_GT(withoutHeader, headersLost / 2);
  } else {
    EXPECT_GT(dropped, 0u);
  }
  std::printf(
      "%s repeat %u: %u datagrams sent, %zu arrived; %zu headers; %u received (%u without header), "
      "%u dropped (%u fragments), %u duplicate frames, %u foreign fragments\n",
      group, repeat, datagramsSent, captured.size(), headers.size(), received, withoutHeader, dropped,
      receiver.getDroppedFragments(), receiver.getDuplicateFrames(), receiver.getForeignFragments());
  receiver.close();
}

}  // namespace

TEST(Impairment, LossDuplicationAndReorderingAreCountedOverIpv4) {
  NETLAB_REQUIRE();
  runOnce("234.5.8.1", 1);
}

TEST(Impairment, RepeatsRecoverLossesOverIpv6) {
  NETLAB_REQUIRE();
  runOnce("ff15::81", 3);
}
