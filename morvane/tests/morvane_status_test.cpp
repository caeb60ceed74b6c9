// The engine following a sender's status between two lab stations: a test
// sender in station 1 multicasts records the test lays out itself; the
// engine in station 2 rebuilds its graph. After each record the graph is
// read back through the process registry of graphs and the wrappers are
// asked for their new values; the callback is counted.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "morvane/MorvaneEngine.h"
#include "morvane/tests/graph_readback.h"
#include "morvane/tests/status_bytes.h"
#include "morvane/tests/test_status_sender.h"
#include "netlab.h"
#include "station_worker.h"

namespace {

using namespace std::chrono_literals;
using Set = std::set<std::string>;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

struct Call {
  std::string message;
  int32_t number;
  bool lockFree;  // another thread could take the engine lock meanwhile
};

// A topology as its connections, written as chains "A > B > C" (one
// connection per neighbouring pair), the pointer tail added; every filter
// of a topology is connected, so its filters are the connections' ends.
Set topology(std::initializer_list<std::string> chains) {
  Set links;
  for (const std::string& chain : chains) {
    std::vector<std::string> names;
    for (size_t at = 0, end; at != std::string::npos; at = end == std::string::npos ? end : end + 3) {
      end = chain.find(" > ", at);
      names.push_back(chain.substr(at, end - at));
    }
    for (size_t i = 1; i < names.size(); ++i) links.insert(names[i - 1] + " -> " + names[i]);
  }
  if (!links.empty())
    links.insert({"PointerP1Client -> Blendor", "PointerP2Client -> Blendor", "PointerP3Client -> Blendor",
                  "Blendor -> VideoRender", "Tracion -> PointerServer"});
  return links;
}

Set endpoints(const Set& links) {
  Set filters;
  for (const std::string& l : links)
    filters.insert({l.substr(0, l.find(" -> ")), l.substr(l.find(" -> ") + 4)});
  return filters;
}

class MorvaneStatus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!netlab::insideLab() || netlab::stations().size() < 2) return;
    const auto st = netlab::stations();
    tx_ = new netlab::StationWorker(st[0]);
    rx_ = new netlab::StationWorker(st[1]);
    const bool ok = rx_->call<bool>([] {
      engine_ = new Morvane();
      return engine_->initialize(0);
    });
    ASSERT_TRUE(ok);
    engine_->setCallback(&MorvaneStatus::record, nullptr);
    ASSERT_TRUE(tx_->call<bool>([] {
      sender_ = new TestStatusSender();
      return sender_->open();
    }));
  }
  static void TearDownTestSuite() {
    if (tx_) tx_->run([] { sender_ = nullptr; });
    if (rx_)
      rx_->run([] {
        if (!engine_.isNull()) engine_->shutdown();
        engine_ = nullptr;
      });
    delete tx_;
    delete rx_;
    tx_ = rx_ = nullptr;
  }
  void SetUp() override {
    NETLAB_REQUIRE();
    if (netlab::stations().size() < 2) GTEST_SKIP() << "needs a lab with two stations";
    ASSERT_FALSE(engine_.isNull());
  }

  static int record(const char* message, int32_t number, void*) {
    // Is the engine lock free while the callback runs? Another thread tries.
    auto probe = std::async(std::launch::async, [] { return engine_->getPointerColor(0); });
    const bool free = probe.wait_for(300ms) == std::future_status::ready;
    probe.wait();
    std::lock_guard<std::mutex> g(callsLock_);
    calls_.push_back({message, number, free});
    return 0;
  }
  static std::vector<Call> calls() {
    std::lock_guard<std::mutex> g(callsLock_);
    return calls_;
  }

  // Sends the bytes and waits until the engine handled one more change.
  static bool sendAndWait(const std::vector<uint8_t>& bytes) {
    const uint32_t before = engine_->getHandledChanges();
    tx_->run([&] { sender_->send(bytes); });
    return waitFor([&] { return engine_->getHandledChanges() > before; });
  }
  // Sends the bytes and checks that nothing gets handled.
  static bool sendAndExpectNothing(const std::vector<uint8_t>& bytes) {
    const uint32_t before = engine_->getHandledChanges();
    const uint32_t received = engine_->getListener()->getFramesReceived();
    tx_->run([&] { sender_->send(bytes); });
    if (!waitFor([&] { return engine_->getListener()->getFramesReceived() > received; }, 3s)) return false;
    std::this_thread::sleep_for(200ms);
    return engine_->getHandledChanges() == before;
  }

  static inline netlab::StationWorker* tx_ = nullptr;
  static inline netlab::StationWorker* rx_ = nullptr;
  static inline mxObjectPtr<Morvane> engine_;
  static inline mxObjectPtr<TestStatusSender> sender_;
  static inline std::mutex callsLock_;
  static inline std::vector<Call> calls_;
};

}  // namespace

namespace {

constexpr uint32_t bit(rsGraphStatus::Field f) {
  return 1u << f;
}

struct Step {
  const char* what;
  std::function<void(TestStatus&)> change;
  uint32_t mask;
  Set connections;
  std::function<void(MorvaneGraphManager&)> check;
};

}  // namespace

TEST_F(MorvaneStatus, EachFieldOfTheStatusReconfiguresAndRebuilds) {
  using F = rsGraphStatus;
  const std::string mp3 = "AudioClient > MPEG Layer-3 Decoder > AudioRender";
  const Set none = topology({"VideoClient(Main) > Blendor", "AudioClient > AudioRender"});
  const Set noneDec =
      topology({"VideoClient(Main) > Mpeg4 Decoder DMO > Blendor", "AudioClient > AudioRender"});
  const Set noneMp3 = topology({"VideoClient(Main) > Mpeg4 Decoder DMO > Blendor", mp3});
  const Set loupex = topology(
      {"VideoClient(Main) > Mpeg4 Decoder DMO > Loupex > Blendor", "PointerFocusClient > Loupex", mp3});
  const Set compound =
      topology({"VideoClient(Main) > Mpeg4 Decoder DMO > FormatTrans > ImageCompound > Blendor",
                "VideoClient(Sub) > ImageCompound", "PointerFocusClient > ImageCompound", mp3});
  const Set compoundDv = topology(
      {"VideoClient(Main) > Mpeg4 Decoder DMO > FormatTrans > ImageCompound > Blendor",
       "VideoClient(Sub) > DV Video Decoder > ImageCompound", "PointerFocusClient > ImageCompound", mp3});

  const uint32_t first = F::FirstRecordBit |
                         (((1u << F::NumFields) - 1) & ~bit(F::FocusDisplay) & ~bit(F::CompoundBlendingType));
  const std::vector<Step> steps = {
      {"first record", [](TestStatus&) {}, first, none,
       [](MorvaneGraphManager& m) {
         EXPECT_EQ(m.videoClientMain()->getVideoFormat(), 1);
         EXPECT_EQ(m.videoClientMain()->getVideoResolution(), 2);
         EXPECT_EQ(m.videoClientMain()->getPort(), 8190);
         EXPECT_EQ(m.audioClient()->getAudioFormat(), 1);
         EXPECT_EQ(m.audioClient()->getAudioFrequency(), 4);
         EXPECT_EQ(m.audioClient()->getAudioBitCount(), 2);
         EXPECT_EQ(m.getMainDecoder(), 0);
         // The video window: a clipping child of the owner, shown, no auto-show.
         EXPECT_EQ(m.getVideoWindowStyle(), 0x46000000L);
         EXPECT_TRUE(m.getVideoWindowVisible());
         EXPECT_FALSE(m.getVideoWindowAutoShow());
       }},
      {"main address", [](TestStatus& s) { s.mainVideoAddress = "234.5.6.8"; }, bit(F::MainVideoAddress),
       none,
       [](MorvaneGraphManager& m) { EXPECT_STREQ(m.videoClientMain()->getAddress().c_str(), "234.5.6.8"); }},
      {"main port", [](TestStatus& s) { s.mainVideoPort = 8290; }, bit(F::MainVideoPort), none,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.videoClientMain()->getPort(), 8290); }},
      {"main format MPEG-4", [](TestStatus& s) { s.mainVideoFormat = 2; }, bit(F::MainVideoFormat), noneDec,
       [](MorvaneGraphManager& m) {
         EXPECT_EQ(m.videoClientMain()->getVideoFormat(), 2);
         EXPECT_EQ(m.getMainDecoder(), 1);
       }},
      {"main resolution", [](TestStatus& s) { s.mainVideoResolution = 7; }, bit(F::MainVideoResolution),
       noneDec, [](MorvaneGraphManager& m) { EXPECT_EQ(m.videoClientMain()->getVideoResolution(), 7); }},
      {"main resolution unknown", [](TestStatus& s) { s.mainVideoResolution = 9; },
       bit(F::MainVideoResolution), noneDec,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.videoClientMain()->getVideoResolution(), 7); }},
      {"audio address", [](TestStatus& s) { s.audioAddress = "234.5.6.9"; }, bit(F::AudioAddress), noneDec,
       [](MorvaneGraphManager& m) { EXPECT_STREQ(m.audioClient()->getAddress().c_str(), "234.5.6.9"); }},
      {"audio port", [](TestStatus& s) { s.audioPort = 8292; }, bit(F::AudioPort), noneDec,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.audioClient()->getPort(), 8292); }},
      {"audio MP3", [](TestStatus& s) { s.audioFormat = 0; }, bit(F::AudioFormat), noneMp3,
       [](MorvaneGraphManager& m) {
         EXPECT_EQ(m.audioClient()->getAudioFormat(), 0);
         EXPECT_EQ(m.audioClient()->getAudioBitCount(), 0);  // as an MP3 stream states it
         EXPECT_EQ(m.getAudioDecoder(), 1);
       }},
      {"focus display Loupex", [](TestStatus& s) { s.focusDisplay = 1; }, bit(F::FocusDisplay), loupex,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.getFocusDisplay(), 1); }},
      {"pointer address", [](TestStatus& s) { s.pointerAddress = "234.5.6.10"; }, bit(F::PointerAddress),
       loupex,
       [](MorvaneGraphManager& m) {
         EXPECT_STREQ(m.pointerFocusClient()->getAddress().c_str(), "234.5.6.10");
       }},
      {"pointer port", [](TestStatus& s) { s.pointerPort = 8293; }, bit(F::PointerPort), loupex,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.pointerFocusClient()->getPort(), 8293); }},
      {"zoom format", [](TestStatus& s) { s.loupexVideoFormat = 2; }, bit(F::LoupexVideoFormat), loupex,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.loupex()->getOutputVideoFormat(), 2); }},
      {"zoom mask", [](TestStatus& s) { s.loupexMaskType = 0; }, bit(F::LoupexMaskType), loupex,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.loupex()->getMask(), 0); }},
      {"zoom mask width", [](TestStatus& s) { s.loupexMaskWidth = 200; }, bit(F::LoupexMaskWidth), loupex,
       [](MorvaneGraphManager& m) {
         unsigned w = 0, h = 0;
         m.loupex()->getMaskSize(w, h);
         EXPECT_EQ(w, 200u);
         EXPECT_EQ(h, 120u);
       }},
      {"zoom mask height", [](TestStatus& s) { s.loupexMaskHeight = 150; }, bit(F::LoupexMaskHeight), loupex,
       [](MorvaneGraphManager& m) {
         unsigned w = 0, h = 0;
         m.loupex()->getMaskSize(w, h);
         EXPECT_EQ(w, 200u);
         EXPECT_EQ(h, 150u);
       }},
      {"focus display ImageCompound", [](TestStatus& s) { s.focusDisplay = 2; }, bit(F::FocusDisplay),
       compound, [](MorvaneGraphManager& m) { EXPECT_EQ(m.getFocusDisplay(), 2); }},
      {"second address", [](TestStatus& s) { s.subVideoAddress = "234.5.6.11"; }, bit(F::SubVideoAddress),
       compound,
       [](MorvaneGraphManager& m) { EXPECT_STREQ(m.videoClientSub()->getAddress().c_str(), "234.5.6.11"); }},
      {"second port", [](TestStatus& s) { s.subVideoPort = 8291; }, bit(F::SubVideoPort), compound,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.videoClientSub()->getPort(), 8291); }},
      {"second resolution", [](TestStatus& s) { s.subVideoResolution = 8; }, bit(F::SubVideoResolution),
       compound, [](MorvaneGraphManager& m) { EXPECT_EQ(m.videoClientSub()->getVideoResolution(), 8); }},
      {"second format DV", [](TestStatus& s) { s.subVideoFormat = 4; }, bit(F::SubVideoFormat), compoundDv,
       [](MorvaneGraphManager& m) {
         EXPECT_EQ(m.videoClientSub()->getVideoFormat(), 4);
         EXPECT_EQ(m.getSubDecoder(), 2);
       }},
      {"transform format", [](TestStatus& s) { s.videoFormat = 6; }, bit(F::VideoFormat), compoundDv,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.formatTrans()->getOutputVideoFormat(), 6); }},
      {"compound mask", [](TestStatus& s) { s.compoundMaskType = 2; }, bit(F::CompoundMaskType), compoundDv,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.imageCompound()->getMask(), 2); }},
      {"compound blending only", [](TestStatus& s) { s.compoundBlendingType = 1; },
       bit(F::CompoundBlendingType), compoundDv,
       [](MorvaneGraphManager& m) { EXPECT_EQ(m.imageCompound()->getBlending(), 1); }},
      {"sender stopped",
       [](TestStatus& s) { s.running = 0; },
       bit(F::Running),
       {},
       [](MorvaneGraphManager& m) { EXPECT_FALSE(m.isStarted()); }},
      {"sender running again", [](TestStatus& s) { s.running = 1; }, bit(F::Running), compoundDv,
       [](MorvaneGraphManager& m) { EXPECT_TRUE(m.isStarted()); }},
  };

  TestStatus status;
  EXPECT_FALSE(engine_->isSenderRunning());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change(status);
    const size_t callsBefore = calls().size();
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(sendAndWait(status.bytes()));
    EXPECT_EQ(engine_->getLastChangeMask(), step.mask);
    EXPECT_EQ(engine_->isSenderRunning(), status.running != 0);
    if (status.running) {
      // Build, start, 500 ms, stop, 500 ms, start: about a second.
      EXPECT_GE(std::chrono::steady_clock::now() - sent, 1000ms);
    }
    const GraphContents g = readRegisteredGraph();
    EXPECT_EQ(g.graphs, 1);
    EXPECT_EQ(g.filters, endpoints(step.connections));
    EXPECT_EQ(Set(g.connections.begin(), g.connections.end()), step.connections);
    step.check(*engine_->getGraphManager());
    // One callback per change: "ResizeForm", 0, with the engine lock free.
    const auto c = calls();
    ASSERT_EQ(c.size(), callsBefore + 1);
    EXPECT_EQ(c.back().message, "ResizeForm");
    EXPECT_EQ(c.back().number, 0);
    EXPECT_TRUE(c.back().lockFree);
    // The same record again changes nothing.
    if (step.mask == first) {
      EXPECT_TRUE(sendAndExpectNothing(status.bytes()));
    }
  }
}

namespace {

// Puts the engine on a known record (handled or already applied).
void establish(const TestStatus& s, netlab::StationWorker& tx, TestStatusSender& sender, Morvane& engine) {
  const uint32_t handled = engine.getHandledChanges();
  const uint32_t frames = engine.getListener()->getFramesReceived();
  tx.run([&] { sender.send(s.bytes()); });
  waitFor([&] { return engine.getListener()->getFramesReceived() > frames; }, 3s);
  waitFor([&] { return engine.getHandledChanges() > handled; }, 3s);
}

std::vector<std::string> problemsOf(const std::vector<Call>& calls, size_t from) {
  std::vector<std::string> out;
  for (size_t i = from; i < calls.size(); ++i)
    if (calls[i].number == Morvane::kProblemNumber) out.push_back(calls[i].message);
  return out;
}

}  // namespace

TEST_F(MorvaneStatus, RecordsThatAreNotWholeAreCountedAndNeverApplied) {
  TestStatus s;
  establish(s, *tx_, *sender_, *engine_);
  const uint32_t rejected = engine_->getListener()->getRejectedRecords();
  std::vector<uint8_t> truncated = s.bytes();
  truncated.pop_back();
  TestStatus longText = s;
  longText.mainVideoAddress.assign(1024, '9');
  std::vector<uint8_t> lying = s.bytes();
  lying[5] = 0xFF;  // the first text claims more bytes than there are
  const std::vector<std::vector<uint8_t>> bad = {truncated, {1, 2, 3, 4, 5}, longText.bytes(), lying, {}};
  for (const auto& b : bad) EXPECT_TRUE(sendAndExpectNothing(b)) << b.size() << " bytes";
  EXPECT_EQ(engine_->getListener()->getRejectedRecords(), rejected + bad.size());
  EXPECT_STREQ(engine_->getGraphManager()->videoClientMain()->getAddress().c_str(), "234.5.6.7");

  // Datagrams that are no frames at all go nowhere either.
  tx_->run([] {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(8930);
    inet_pton(AF_INET, "234.5.6.7", &to.sin_addr);
    uint8_t junk[1500];
    for (int i = 0; i < 64; ++i) {
      for (size_t j = 0; j < sizeof junk; ++j) junk[j] = uint8_t(i * 31 + j * 7);
      sendto(fd, junk, size_t(1 + i * 23), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(fd);
  });
  // And a whole record still gets through afterwards.
  s.mainVideoPort = 8390;
  ASSERT_TRUE(sendAndWait(s.bytes()));
  EXPECT_EQ(engine_->getLastChangeMask(), bit(rsGraphStatus::MainVideoPort));
}

TEST_F(MorvaneStatus, StatusChannelSettersReopenEvenForTheSameValue) {
  TestStatus s;
  establish(s, *tx_, *sender_, *engine_);
  ASSERT_TRUE(rx_->call<bool>([] { return engine_->setStatusPort(8930); }));
  EXPECT_TRUE(engine_->getListener()->isOpen());
  // The stored record stays: the same record is no change, a different
  // one only where it differs.
  EXPECT_TRUE(sendAndExpectNothing(s.bytes()));
  s.loupexMaskType = 3;
  ASSERT_TRUE(sendAndWait(s.bytes()));
  EXPECT_EQ(engine_->getLastChangeMask(), bit(rsGraphStatus::LoupexMaskType));

  // A reopen that fails says false and leaves the listener closed.
  EXPECT_FALSE(rx_->call<bool>([] { return engine_->setStatusAddress("not.an.address"); }));
  EXPECT_FALSE(engine_->getListener()->isOpen());
  EXPECT_TRUE(rx_->call<bool>([] { return engine_->setStatusAddress("234.5.6.7"); }));
  EXPECT_TRUE(rx_->call<bool>([] { return engine_->setStatusTimeToLive(1); }));
  EXPECT_TRUE(rx_->call<bool>([] { return engine_->setStatusIPv6InterfaceId(3); }));
  EXPECT_EQ(engine_->getStatusIPv6InterfaceId(), 0);
  s.loupexMaskType = 1;
  ASSERT_TRUE(sendAndWait(s.bytes()));
}

int g_first = 0, g_second = 0;
int firstCallback(const char*, int32_t, void*) {
  return ++g_first;
}
int secondCallback(const char*, int32_t, void* user) {
  EXPECT_EQ(user, &g_second);
  return ++g_second;
}

TEST_F(MorvaneStatus, ColoursSurviveRebuildsAndOnlyTheLastCallbackIsCalled) {
  TestStatus s;
  establish(s, *tx_, *sender_, *engine_);
  rx_->run([] {
    engine_->setPointerColor(0, 4);
    engine_->setPointerColor(1, 3);
    engine_->setPointerColor(2, 9);  // not a colour: kept
    engine_->setCallback(firstCallback, nullptr);
    engine_->setCallback(secondCallback, &g_second);
  });
  s.focusDisplay = 1;
  ASSERT_TRUE(sendAndWait(s.bytes()));
  engine_->setCallback(&MorvaneStatus::record, nullptr);
  EXPECT_EQ(g_first, 0);
  EXPECT_EQ(g_second, 1);
  rsBlendorFilter* mixer = engine_->getGraphManager()->blendor();
  ASSERT_EQ(mixer->getNumPointerInput(), 3u);
  // What the mixer itself draws with, after a rebuild that made its
  // pointer inputs anew.
  EXPECT_EQ(mixer->getPointerColor(0), 4);
  EXPECT_EQ(mixer->getPointerColor(1), 3);
  EXPECT_EQ(mixer->getPointerColor(2), 7);
  EXPECT_EQ(engine_->getPointerColor(2), 7);
  rx_->run([] {
    for (int i = 0; i < 3; ++i) engine_->setPointerColor(i, 7);
  });
}

TEST_F(MorvaneStatus, AFailingPointerConnectionIsReportedAfterTheLockIsReleased) {
  TestStatus s;
  establish(s, *tx_, *sender_, *engine_);
  rsIngrelFilter* p2 = engine_->getGraphManager()->pointerClient(1);
  p2->setMediaType(0);  // a video stream cannot feed a pointer input
  const size_t before = calls().size();
  s.loupexMaskWidth = 96;
  ASSERT_TRUE(sendAndWait(s.bytes()));
  auto c = calls();
  const auto problems = problemsOf(c, before);
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems.front(), "_pointerP2Client - _blendor");
  for (const auto& p : problems) {
    EXPECT_NE(p, "_pointerP1Client - _blendor");
    EXPECT_NE(p, "VideoClientMain - Blendor");
  }
  for (size_t i = before; i < c.size(); ++i) EXPECT_TRUE(c[i].lockFree) << c[i].message;
  EXPECT_EQ(c.back().message, "ResizeForm");
  EXPECT_TRUE(engine_->getGraphManager()->isStarted());  // started all the same

  p2->setMediaType(2);
  const size_t again = calls().size();
  s.loupexMaskWidth = 160;
  ASSERT_TRUE(sendAndWait(s.bytes()));
  EXPECT_TRUE(problemsOf(calls(), again).empty());
}
