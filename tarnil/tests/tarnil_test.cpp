// The status channel: settings and their reopen rules, the message on the
// wire, and successive messages from one station to receivers on two others.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "koBase/tests/wire_helpers.h"
#include "netlab.h"
#include "tarnil/TarnilReceiver.h"
#include "tarnil/TarnilSender.h"

using namespace std::chrono;
using wire::Bytes;

namespace {

class StatusSender : public TarnilSender {
 public:
  Bytes next;
  void sendStatus() override { _send(next.data(), static_cast<unsigned>(next.size())); }
};

// Held through a counted pointer, as the engines hold theirs: the base
// closes the channel before the object goes.
class StatusReceiver : public TarnilReceiver {
 public:
  void receiveStatus(const unsigned char* message, unsigned length) override {
    std::lock_guard guard(lock);
    messages.emplace_back(message, message + length);
  }
  size_t count() {
    std::lock_guard guard(lock);
    return messages.size();
  }
  bool waitFor(size_t n) {
    const auto end = steady_clock::now() + seconds(5);
    while (count() < n && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(2));
    return count() >= n;
  }
  std::mutex lock;
  std::vector<Bytes> messages;

 protected:
  ~StatusReceiver() override = default;
};

void noop(int, void*) {}

}  // namespace

// The default group and port are the ones the wire test below captures on.
TEST(Tarnil, SettingsWhileClosed) {
  TarnilSender sender;
  sender.setPacketSize(100);
  EXPECT_EQ(sender.getPacketSize(), 512u);
  sender.setAddress("ff15::1");  // closed: stored, stays closed
  EXPECT_EQ(sender.getAddress(), "ff15::1");
  EXPECT_FALSE(sender.isOpen());
  EXPECT_FALSE(sender.close());
  EXPECT_TRUE(sender.isDerivedFrom(TarnilSender::getStaticClassType()));
  EXPECT_TRUE(sender.isDerivedFrom(mxObject::getStaticClassType()));
  EXPECT_FALSE(sender.isDerivedFrom(TarnilReceiver::getStaticClassType()));
  mxObjectPtr<TarnilReceiver> receiver(new TarnilReceiver(noop, nullptr));
  EXPECT_TRUE(receiver->isDerivedFrom(mxObject::getStaticClassType()));
  receiver->setIPv6InterfaceId(3);
  EXPECT_EQ(receiver->getIPv6InterfaceId(), 0);
  EXPECT_FALSE(receiver->close());
}

TEST(Tarnil, OpenRefusesWhatIsNotANumericGroup) {
  NETLAB_REQUIRE();
  TarnilSender sender;
  sender.setAddress("status.example");
  EXPECT_FALSE(sender.open());
  EXPECT_FALSE(sender.isOpen());
  mxObjectPtr<TarnilReceiver> receiver(new TarnilReceiver);
  receiver->setAddress("10.99.0.1");
  EXPECT_FALSE(receiver->open());
  EXPECT_FALSE(receiver->isOpen());
  receiver->setAddress("234.5.6.7");
  EXPECT_TRUE(receiver->open());
  EXPECT_FALSE(receiver->open());
  EXPECT_TRUE(receiver->close());
}

TEST(Tarnil, AMessageIsOneFrameOnTheWire) {
  NETLAB_REQUIRE();
  wire::RawGroup capture("234.5.6.7", 8930, true);
  ASSERT_TRUE(capture.ok());
  StatusSender sender;
  ASSERT_TRUE(sender.open());
  EXPECT_FALSE(sender.open());
  sender.next = wire::pattern(2000, 0x77);
  sender.sendStatus();
  const auto datagrams = capture.drain(200);
  ASSERT_EQ(datagrams.size(), 4u);  // header, then 991 + 991 + 18
  EXPECT_EQ(datagrams[0], wire::header(1, 2000, 1024, 3));
  EXPECT_EQ(datagrams[3], wire::fragment(1024, 1, 3, 2, 1982, wire::slice(sender.next, 1982, 18), 1));
  EXPECT_TRUE(sender.close());
  sender.sendStatus();  // closed: nothing is sent
  EXPECT_TRUE(capture.drain(100).empty());
}

TEST(Tarnil, ChangesReopenAnOpenChannelAndSameValuesDoNot) {
  NETLAB_REQUIRE();
  mxObjectPtr<StatusReceiver> receiver(new StatusReceiver);
  ASSERT_TRUE(receiver->open());
  StatusSender sender;
  ASSERT_TRUE(sender.open());
  sender.next = wire::pattern(100, 1);
  sender.sendStatus();
  ASSERT_TRUE(receiver->waitFor(1));
  EXPECT_EQ(receiver->getFramesReceived(), 1u);
  receiver->setPort(8930);  // same: no close and reopen, the counter stays
  receiver->setAddress("234.5.6.7");
  receiver->setTimeToLive(1);
  EXPECT_EQ(receiver->getFramesReceived(), 1u);
  receiver->setPort(8931);  // reopened on the new port
  EXPECT_TRUE(receiver->isOpen());
  EXPECT_EQ(receiver->getFramesReceived(), 0u);
  sender.setPort(8931);
  EXPECT_TRUE(sender.isOpen());
  sender.next = wire::pattern(50, 2);
  sender.sendStatus();
  ASSERT_TRUE(receiver->waitFor(2));
  EXPECT_EQ(receiver->messages[1], sender.next);
  sender.setTimeToLive(2);
  EXPECT_TRUE(sender.isOpen());
  EXPECT_EQ(sender.getTimeToLive(), 2u);
}

TEST(Tarnil, SuccessiveMessagesReachReceiversOnTwoOtherStations) {
  NETLAB_REQUIRE();
  const auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 3u);
  for (const char* group : {"234.5.6.7", "ff15::5:6:7"}) {
    SCOPED_TRACE(group);
    std::vector<Bytes> sent;
    for (unsigned i = 0; i < 25; ++i) sent.push_back(wire::pattern(81 + i * 157, i + 1));
    std::atomic<int> ready{0};
    std::atomic<bool> done{false};
    std::vector<Bytes> got[2];
    uint32_t dropped[2] = {0, 0};
    auto listen = [&](int k) {
      mxObjectPtr<StatusReceiver> receiver(new StatusReceiver);
      receiver->setAddress(group);
      if (!receiver->open()) return;
      ++ready;
      receiver->waitFor(sent.size());
      while (!done) std::this_thread::sleep_for(milliseconds(5));
      dropped[k] = receiver->getDroppedFrames();
      receiver->close();
      got[k] = receiver->messages;
    };
    netlab::StationThread a(stations[1], [&] { listen(0); });
    netlab::StationThread b(stations[2], [&] { listen(1); });
    netlab::StationThread s(stations[0], [&] {
      while (ready < 2) std::this_thread::sleep_for(milliseconds(5));
      StatusSender sender;
      sender.setAddress(group);
      if (!sender.open()) return;
      for (const Bytes& m : sent) {
        sender.next = m;
        sender.sendStatus();
        std::this_thread::sleep_for(milliseconds(5));
      }
      std::this_thread::sleep_for(milliseconds(200));
      done = true;
    });
    s.join();
    done = true;
    a.join();
    b.join();
    for (int k = 0; k < 2; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(got[k], sent);
      EXPECT_EQ(dropped[k], 0u);
    }
  }
}

namespace {

// A receiver that touches its own members for each message and whose
// destructor takes its time, as an engine's may. It does not close the
// channel itself.
struct ProbeState {
  std::atomic<bool> dying{false};
  std::atomic<int> calls{0}, late{0};
};

class Probe : public TarnilReceiver {
 public:
  explicit Probe(ProbeState* state) : state_(state) {}
  void receiveStatus(const unsigned char* message, unsigned length) override {
    if (state_->dying) ++state_->late;
    std::lock_guard guard(lock_);
    kept_.assign(message, message + length);
    ++state_->calls;
  }

 protected:
  ~Probe() override {
    state_->dying = true;
    std::this_thread::sleep_for(milliseconds(30));
  }

 private:
  ProbeState* state_;
  std::mutex lock_;
  Bytes kept_;
};

}  // namespace

TEST(Tarnil, NoMessageReachesAReceiverOnceItsDestructionHasBegun) {
  NETLAB_REQUIRE();
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    StatusSender sender;
    sender.setPort(8932);
    if (!sender.open()) return;
    sender.next = wire::pattern(300, 9);
    while (!stop) {
      sender.sendStatus();
      std::this_thread::sleep_for(microseconds(300));
    }
  });
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    ProbeState state;
    mxObjectPtr<Probe> probe(new Probe(&state));
    probe->setPort(8932);
    ASSERT_TRUE(probe->open());
    const auto end = steady_clock::now() + seconds(5);
    while (state.calls < 3 && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(1));
    ASSERT_GE(state.calls, 3);
    probe = nullptr;  // the last reference: destroyed while messages arrive
    EXPECT_TRUE(state.dying);
    EXPECT_EQ(state.late, 0);
  }
  stop = true;
  flood.join();
}
