// Frames over real sockets in the lab: the datagrams on the wire byte for
// byte, frames end to end over IPv4 and IPv6 with their counters, forged
// datagrams on the group, closing a receiver whose thread is blocked, a
// sender that starts again, senders taking turns on one group, and a socket
// that keeps failing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "koBase/koLog.h"
#include "koBase/koMulticastReceiver.h"
#include "koBase/koMulticastSender.h"
#include "netlab.h"
#include "wire_helpers.h"

using namespace std::chrono;
using wire::Bytes;

namespace {

struct Frames {
  std::mutex lock;
  std::vector<Bytes> got;
  static void onFrame(const uint8_t* d, uint32_t n, void* self) {
    auto* f = static_cast<Frames*>(self);
    std::lock_guard g(f->lock);
    f->got.emplace_back(d, d + n);
  }
  size_t count() {
    std::lock_guard g(lock);
    return got.size();
  }
  bool waitFor(size_t n, milliseconds limit = milliseconds(5000)) {
    const auto end = steady_clock::now() + limit;
    while (count() < n && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(2));
    return count() >= n;
  }
};

}  // namespace

TEST(Transport, DatagramsOnTheWireAreTheHandBuiltOnes) {
  NETLAB_REQUIRE();
  wire::RawGroup capture("234.5.7.1", 9200, true);
  ASSERT_TRUE(capture.ok());
  koMulticastSender sender;
  sender.setAddress("234.5.7.1");
  sender.setPort(9200);
  sender.setRepeatCount(3);
  ASSERT_TRUE(sender.open());
  EXPECT_FALSE(sender.open());
  const Bytes frame = wire::pattern(3000, 0x51);  // 4 fragments of 991, 991, 991, 27
  ASSERT_TRUE(sender.send(frame.data(), 3000));
  auto datagrams = capture.drain(200);
  ASSERT_EQ(datagrams.size(), 13u);  // 1 header + 3 runs x 4 fragments
  EXPECT_EQ(datagrams[0], wire::header(1, 3000, 1024, 4));
  for (int run = 0; run < 3; ++run)
    for (uint32_t i = 0; i < 4; ++i) {
      SCOPED_TRACE(testing::Message() << "run " << run << " fragment " << i);
      EXPECT_EQ(datagrams[1 + run * 4 + i],
                wire::fragment(1024, 1, 4, i, i * 991, wire::slice(frame, i * 991, i < 3 ? 991 : 27),
                               run == 2 && i == 3));
    }
  EXPECT_EQ(sender.getFramesSent(), 1u);
  EXPECT_EQ(sender.getFragmentsSent(), 12u);

  // Frame numbers go on across close and open; statistics start again.
  ASSERT_TRUE(sender.close());
  EXPECT_FALSE(sender.close());
  EXPECT_FALSE(sender.send(frame.data(), 10));
  ASSERT_TRUE(sender.open());
  EXPECT_EQ(sender.getFramesSent(), 0u);
  sender.setRepeatCount(1);
  sender.setPacketSize(512);
  const Bytes one = wire::pattern(479, 0x52);
  ASSERT_TRUE(sender.send(one.data(), 479));
  datagrams = capture.drain(200);
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[0], wire::header(2, 479, 512, 1));
  EXPECT_EQ(datagrams[1], wire::fragment(512, 2, 1, 0, 0, one, 1));
}

TEST(Transport, FramesArriveWholeOverIpv4AndIpv6) {
  NETLAB_REQUIRE();
  for (const char* group : {"234.5.7.2", "ff15::72"}) {
    SCOPED_TRACE(group);
    Frames frames;
    koMulticastReceiver receiver;
    receiver.setAddress(group);
    receiver.setPort(9201);
    receiver.setFrameCallback(Frames::onFrame, &frames);
    ASSERT_TRUE(receiver.open());
    EXPECT_FALSE(receiver.open());
    koMulticastSender sender;
    sender.setAddress(group);
    sender.setPort(9201);
    sender.setRepeatCount(2);
    sender.setMaximumRate(100000000);
    ASSERT_TRUE(sender.open());
    EXPECT_EQ(receiver.getReceiveRate(), 0u);  // the first reading opens the window
    EXPECT_EQ(sender.getTransmittingRate(), 0u);
    EXPECT_EQ(receiver.getFrameRate(), 0u);

    // Each frame is sent once the one before it has arrived: the datagrams
    // on the wire are the same as back to back, but the receive buffer never
    // has to hold more than one frame with its repetitions, however long a
    // loaded machine keeps the receive thread from running.
    std::vector<Bytes> sent;
    uint32_t fragments = 0;
    const uint32_t sizes[] = {1, 991, 992, 2000, 100000, 4, 65536, 7000};
    const uint32_t packets[] = {1024, 1024, 1024, 1024, 8192, 512, 4096, 600};
    for (int round = 0; round < 5; ++round)
      for (size_t k = 0; k < std::size(sizes); ++k) {
        sender.setPacketSize(packets[k]);
        Bytes f = wire::pattern(sizes[k], static_cast<uint32_t>(sent.size()));
        ASSERT_TRUE(sender.send(f.data(), static_cast<uint32_t>(f.size())));
        fragments += (sizes[k] + packets[k] - 34) / (packets[k] - 33);
        sent.push_back(std::move(f));
        ASSERT_TRUE(frames.waitFor(sent.size()))
            << frames.count() << " of " << sent.size() << "; kernel dropped "
            << receiver.getKernelDroppedDatagrams() << " datagrams; dropped " << receiver.getDroppedFrames()
            << " frames";
      }
    std::this_thread::sleep_for(milliseconds(50));
    {
      std::lock_guard g(frames.lock);
      ASSERT_EQ(frames.got.size(), sent.size());
      for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(frames.got[i], sent[i]) << "frame " << i;
    }
    EXPECT_EQ(sender.getFramesSent(), sent.size());
    EXPECT_EQ(sender.getFragmentsSent(), fragments * 2);
    EXPECT_EQ(receiver.getFramesReceived(), sent.size());
    EXPECT_EQ(receiver.getFragmentsReceived(), fragments);  // second runs are skipped
    EXPECT_EQ(receiver.getDroppedFrames(), 0u);
    EXPECT_EQ(receiver.getDroppedFragments(), 0u);
    EXPECT_EQ(receiver.getKernelDroppedDatagrams(), 0u);
    EXPECT_EQ(receiver.getPacketSize(), 600u);
    EXPECT_EQ(receiver.getRefusedFrames() + receiver.getInvalidDatagrams(), 0u);
    EXPECT_EQ(sender.getFailedDatagrams(), 0u);
    EXPECT_GT(receiver.getReceiveRate(), 0u);
    EXPECT_GT(receiver.getFrameRate(), 0u);
    EXPECT_GT(sender.getTransmittingRate(), 0u);
    EXPECT_TRUE(receiver.close());
    EXPECT_FALSE(receiver.close());
    EXPECT_EQ(receiver.getFramesReceived(), 0u);  // reset at close
  }
}

TEST(Transport, ForgedDatagramsOnTheGroupAreCountedAndLaterFramesStillArrive) {
  NETLAB_REQUIRE();
  Frames frames;
  koMulticastReceiver receiver;
  receiver.setAddress("234.5.7.3");
  receiver.setPort(9202);
  receiver.setFrameCallback(Frames::onFrame, &frames);
  ASSERT_TRUE(receiver.open());
  wire::RawGroup forge("234.5.7.3", 9202, false);
  ASSERT_TRUE(forge.ok());
  const Bytes piece = wire::pattern(991, 1);
  forge.send(Bytes(9000, 0xFD));                          // too long for any packet
  forge.send(Bytes(3, 1));                                // short garbage
  forge.send(wire::header(1, 0xFFFFFFF0u, 8192, 526405));  // gigabytes
  forge.send(wire::header(2, 2000, 1024, 0xFFFFFFFFu));    // count that does not fit
  forge.send(wire::header(3, 1500, 1024, 2));
  forge.send(wire::fragment(1024, 3, 2, 1, 1400, wire::slice(piece, 0, 600), 0));  // past the frame
  // A valid frame afterwards, repeated, with its last repetition's end mark.
  const Bytes f = wire::pattern(1500, 4);
  forge.send(wire::header(4, 1500, 1024, 2));
  for (int run = 0; run < 2; ++run) {
    forge.send(wire::fragment(1024, 4, 2, 0, 0, wire::slice(f, 0, 991), 0));
    forge.send(wire::fragment(1024, 4, 2, 1, 991, wire::slice(f, 991, 509), run == 1));
  }
  ASSERT_TRUE(frames.waitFor(1));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(frames.count(), 1u);
  EXPECT_EQ(frames.got[0], f);
  EXPECT_EQ(receiver.getRefusedFrames(), 2u);
  EXPECT_EQ(receiver.getInvalidDatagrams(), 2u);
  EXPECT_EQ(receiver.getInvalidFragments(), 1u);
  EXPECT_EQ(receiver.getDroppedFrames(), 1u);
  EXPECT_EQ(receiver.getFramesReceived(), 1u);
}

TEST(Transport, ClosingAReceiverUnblocksItsThreadPromptly) {
  NETLAB_REQUIRE();
  for (int i = 0; i < 20; ++i) {
    koMulticastReceiver receiver;
    receiver.setAddress("234.5.7.4");
    receiver.setPort(9203);
    ASSERT_TRUE(receiver.open());
    std::this_thread::sleep_for(milliseconds(i % 3));
    const auto start = steady_clock::now();
    EXPECT_TRUE(receiver.close());
    EXPECT_LT(steady_clock::now() - start, seconds(2));
  }
}

TEST(Transport, PacingHoldsTheMaximumRate) {
  NETLAB_REQUIRE();
  // 8192 bits per second and 1024-byte packets: one fragment takes about a
  // second; a header and two fragments about three.
  koMulticastSender sender;
  sender.setAddress("234.5.7.5");
  sender.setPort(9204);
  sender.setMaximumRate(8192 * 8);  // eight times faster to keep the test short
  ASSERT_TRUE(sender.open());
  const Bytes f = wire::pattern(1500, 1);
  const auto start = steady_clock::now();
  ASSERT_TRUE(sender.send(f.data(), 1500));
  const double took = duration<double>(steady_clock::now() - start).count();
  const double expected = 3 * (1024 * 8 + 224) / (8192.0 * 8);
  EXPECT_GT(took, expected * 0.9);
  EXPECT_LT(took, expected * 1.5 + 0.1);
}

namespace {

// A receiver on a group of the lab with what it delivered.
struct Listener {
  Frames frames;
  koMulticastReceiver receiver;
  explicit Listener(uint16_t port) {
    receiver.setAddress("234.5.7.6");
    receiver.setPort(port);
    receiver.setFrameCallback(Frames::onFrame, &frames);
  }
  // Sends one frame and waits for it, so that the order on the wire is the
  // order of the calls.
  bool sendAndWait(koMulticastSender& sender, const Bytes& frame) {
    const size_t before = frames.count();
    return sender.send(frame.data(), static_cast<uint32_t>(frame.size())) && frames.waitFor(before + 1);
  }
  void expectExactly(const std::vector<Bytes>& sent, uint32_t fragmentsEach) {
    {
      std::lock_guard g(frames.lock);
      EXPECT_TRUE(frames.got == sent) << frames.got.size() << " frames of " << sent.size();
    }
    EXPECT_EQ(receiver.getFramesReceived(), sent.size());
    EXPECT_EQ(receiver.getFragmentsReceived(), sent.size() * fragmentsEach);
    EXPECT_EQ(receiver.getDroppedFrames(), 0u);
    EXPECT_EQ(receiver.getDroppedFragments(), 0u);
    EXPECT_EQ(receiver.getDuplicateFrames(), 0u);
  }
};

std::unique_ptr<koMulticastSender> openSender(uint16_t port) {
  auto s = std::make_unique<koMulticastSender>();
  s->setAddress("234.5.7.6");
  s->setPort(port);
  s->setRepeatCount(2);
  return s->open() ? std::move(s) : nullptr;
}

}  // namespace

TEST(Transport, ARestartedSenderIsReceivedFromItsFirstFrame) {
  NETLAB_REQUIRE();
  for (uint32_t before : {1u, 5u, 9u})
    for (uint32_t length : {71u, 2500u}) {
      SCOPED_TRACE(testing::Message() << before << " frames before the restart, " << length << " bytes");
      Listener l(9205);
      ASSERT_TRUE(l.receiver.open());
      std::vector<Bytes> sent;
      for (uint32_t run = 0; run < 2; ++run) {  // the first sender, then the one that replaces it
        auto sender = openSender(9205);
        ASSERT_TRUE(sender);
        for (uint32_t k = 1; k <= before + 3 * run; ++k) {
          sent.push_back(wire::pattern(length, run << 16 | k));
          ASSERT_TRUE(l.sendAndWait(*sender, sent.back()));
        }
      }
      l.expectExactly(sent, (length + 990) / 991);
    }
}

TEST(Transport, InterleavedSendersOnOneGroupAreAllReceived) {
  NETLAB_REQUIRE();
  // Pointer records of several stations on one group, the senders taking
  // turns; sender s is s * offset frames ahead (sent elsewhere first).
  for (uint32_t count : {2u, 3u})
    for (uint32_t offset = 0; offset <= 10; ++offset) {
      SCOPED_TRACE(testing::Message() << count << " senders, offset " << offset);
      std::vector<std::unique_ptr<koMulticastSender>> senders;
      for (uint32_t s = 0; s < count; ++s) {
        senders.push_back(openSender(9207));
        ASSERT_TRUE(senders.back());
        const Bytes filler(71, 0);
        for (uint32_t k = 0; k < s * offset; ++k) senders.back()->send(filler.data(), 71);
        senders.back()->close();
        senders.back()->setPort(9206);
        ASSERT_TRUE(senders.back()->open());
      }
      Listener l(9206);
      ASSERT_TRUE(l.receiver.open());
      std::vector<Bytes> sent;
      for (uint32_t round = 0; round < 6; ++round)
        for (uint32_t s = 0; s < count; ++s) {
          sent.push_back(wire::pattern(71, s << 16 | round));
          ASSERT_TRUE(l.sendAndWait(*senders[s], sent.back()));
        }
      l.expectExactly(sent, 1);
    }
}

TEST(Transport, AFailingSocketIsRetriedWithPausesAndReportedOnce) {
  NETLAB_REQUIRE();
  std::atomic<int> reports{0};
  ko::setLogSink(
      [](ko::LogLevel, const char* message, void* count) {
        if (std::strstr(message, "receiving fails")) ++*static_cast<std::atomic<int>*>(count);
      },
      &reports);
  koMulticastReceiver receiver;
  receiver.setAddress("234.5.7.7");
  receiver.setPort(9208);
  ASSERT_TRUE(receiver.open());
  // The descriptor stops being a socket: every receive now fails at once.
  const int null = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(null, 0);
  ASSERT_GE(dup2(null, receiver.getSocket()->getHandle()), 0);
  ::close(null);
  // A datagram wakes the thread from its wait on the socket it replaced.
  wire::RawGroup poke("234.5.7.7", 9208, false);
  poke.send(wire::pattern(10, 1));
  std::this_thread::sleep_for(milliseconds(400));
  // Pauses of 1, 2, 4 ... ms: about nine tries in that time, not millions.
  const uint32_t errors = receiver.getReceiveErrors();
  EXPECT_GE(errors, 1u);
  EXPECT_LE(errors, 20u);
  EXPECT_EQ(reports.load(), 1);
  EXPECT_TRUE(receiver.close());  // the pause ends at once
  ko::setLogSink(nullptr, nullptr);
}
