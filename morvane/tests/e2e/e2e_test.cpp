// The whole system end to end in the lab: a sending station (station 1)
// multicasts the test pattern, a circling pointer and its status; two
// morvane-receive processes (stations 2 and 3) follow it through every
// focus display, with and without the MPEG-4 encoder and with the DV
// camera, through a stop and a start of the sender. Each receiver's
// rendered pictures must carry the camera's frame numbers in order, read
// from their pixels.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <thread>

#include "morvane/tests/e2e/e2e_fixture.h"
#include "morvane/tests/e2e/lab_sender.h"
#include "morvane/tests/e2e/xvfb_server.h"
#include "morvane/tests/test_status_sender.h"
#include "netlab.h"
#include "platform/com/runtime.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "station_worker.h"

namespace {

using namespace std::chrono_literals;
using namespace e2e;

// The sending station: graph, status channel, and a status repeated every
// half second as a sender's timer repeats it.
class SendingStation {
 public:
  explicit SendingStation(const std::string& station)
      : worker_(
            station, [] { CoInitialize(nullptr); }, [] { CoUninitialize(); }) {}
  ~SendingStation() {
    ticking_ = false;
    if (ticker_.joinable()) ticker_.join();
    worker_.run([this] {
      if (!graph_.isNull()) {
        graph_->stop();
        graph_->destroyGraph();
        graph_->shutdown();
      }
      graph_ = nullptr;
      channel_ = nullptr;
    });
  }
  bool start(const LabSenderConfig& config, std::string& problems) {
    const bool ok = worker_.call<bool>([&] {
      graph_ = new LabSender(config.group);
      channel_ = new TestStatusSender();
      if (!graph_->initialize() || !channel_->open()) return false;
      return graph_->reconfigure(config);
    });
    problems = describeProblems();
    if (!ok) return false;
    sendStatus();
    ticker_ = std::thread([this] {
      while (ticking_) {
        std::this_thread::sleep_for(500ms);
        if (ticking_) sendStatus();
      }
    });
    return true;
  }
  bool reconfigure(const LabSenderConfig& config, std::string& problems) {
    const bool ok = worker_.call<bool>([&] { return graph_->reconfigure(config); });
    problems = describeProblems();
    sendStatus();
    return ok;
  }
  void stopGraph() {
    worker_.run([&] {
      graph_->stop();
      graph_->destroyGraph();
    });
    sendStatus();
  }
  void sendStatus() {
    worker_.run([&] {
      if (!graph_.isNull() && !channel_.isNull()) channel_->send(graph_->status().bytes());
    });
  }

 private:
  std::string describeProblems() {
    return worker_.call<std::string>([&] {
      std::string all;
      if (!graph_.isNull())
        for (const auto& p : graph_->problems()) all += p + "; ";
      return all;
    });
  }

  netlab::StationWorker worker_;
  mxObjectPtr<LabSender> graph_;
  mxObjectPtr<TestStatusSender> channel_;
  std::atomic<bool> ticking_{true};
  std::thread ticker_;
};

class EndToEnd : public EndToEndFixture {};

}  // namespace

TEST_F(EndToEnd, ReceiversFollowTheSenderThroughEveryMode) {
  auto a = startReceiver(1);
  auto b = startReceiver(2);
  ASSERT_TRUE(a->started() && b->started());
  ASSERT_GE(a->waitText(0, "listening for", 20s), 0) << a->output();
  ASSERT_GE(b->waitText(0, "listening for", 20s), 0) << b->output();

  struct Scenario {
    const char* what;
    LabSenderConfig config;
    bool readable = true;  // frame numbers readable in the rendered picture
    unsigned width = 0, height = 0;
  };
  auto config = [](int mode, bool dv, bool encoder, int format, int zoom = -1) {
    LabSenderConfig c;
    c.focusDisplay = mode;
    c.dvCamera = dv;
    c.encoder = encoder;
    c.videoFormat = format;
    c.zoomFormat = zoom >= 0 ? zoom : format;  // a zoom to the same size keeps the band readable
    return c;
  };
  const Scenario scenarios[] = {
      {"None, MPEG-4", config(0, false, true, 2)},
      {"ImageCompound right after None, MPEG-4", config(2, false, true, 2), false},
      {"Loupex, MPEG-4", config(1, false, true, 2)},
      {"Loupex, MPEG-4, squeezed to 320x240", config(1, false, true, 2, 4), false, 320, 240},
      {"ImageCompound, MPEG-4", config(2, false, true, 2), false},
      {"None, no encoder", config(0, false, false, 1)},
      {"Loupex, no encoder", config(1, false, false, 1)},
      {"ImageCompound, no encoder", config(2, false, false, 2), false},
      {"None, DV camera, no encoder", config(0, true, false, 8)},
      {"None, DV camera, MPEG-4", config(0, true, true, 2)},
  };
  SendingStation sender(stations_[0]);
  size_t atA = a->lineCount(), atB = b->lineCount();
  std::string problems;
  bool first = true;
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.what);
    if (first)
      ASSERT_TRUE(sender.start(s.config, problems)) << problems;
    else
      EXPECT_TRUE(sender.reconfigure(s.config, problems)) << problems;
    first = false;
    atA = expectFollowing(*a, atA, s.what, s.readable, s.width, s.height);
    atB = expectFollowing(*b, atB, s.what, s.readable, s.width, s.height);
  }

  // A sender that stops and starts again is followed without any action.
  sender.stopGraph();
  for (netlab::StationProgram* r : {a.get(), b.get()}) {
    const size_t from = r == a.get() ? atA : atB;
    EXPECT_GE(r->waitText(from, "sender stopped", 15s), 0) << r->output();
  }
  atA = a->lineCount();
  atB = b->lineCount();
  EXPECT_TRUE(sender.reconfigure(config(0, false, true, 2), problems)) << problems;
  atA = expectFollowing(*a, atA, "started again");
  atB = expectFollowing(*b, atB, "started again");

  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}
