// The whole system end to end in the lab: a sending station (station 1)
// multicasts the test pattern, a circling pointer and its status; two
// morvane-receive processes (stations 2 and 3) follow it through every
// focus display, with and without the MPEG-4 encoder and with the DV
// camera, through a stop and a start of the sender. Each receiver's
// rendered pictures must carry the camera's frame numbers in order, read
// from their pixels.
#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <thread>

#include "morvane/e2e/e2e_fixture.h"
#include "morvane/e2e/lab_sender.h"
#include "morvane/e2e/x_pointer.h"
#include "morvane/e2e/xvfb_server.h"
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
  // statusGroup: the status channel's group (empty: the default one).
  bool start(const LabSenderConfig& config, std::string& problems, const std::string& statusGroup = {}) {
    const bool ok = worker_.call<bool>([&] {
      graph_ = new LabSender(config.group);
      channel_ = new TestStatusSender();
      if (!statusGroup.empty()) channel_->setAddress(statusGroup.c_str());
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
  ASSERT_GE(a->waitLine(
                0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20s),
            0)
      << a->output();
  ASSERT_GE(b->waitLine(
                0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20s),
            0)
      << b->output();

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
      {"Loupex, MPEG-4", config(1, false, true, 2)},
      {"Loupex, MPEG-4, squeezed to 320x240", config(1, false, true, 2, 4), false, 320, 240},
      {"ImageCompound, MPEG-4", config(2, false, true, 2)},
      {"None, no encoder", config(0, false, false, 1)},
      {"Loupex, no encoder", config(1, false, false, 1)},
      {"ImageCompound, no encoder", config(2, false, false, 2)},
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
  for (ReceiverProcess* r : {a.get(), b.get()}) {
    const size_t from = r == a.get() ? atA : atB;
    EXPECT_GE(
        r->waitLine(
            from, [](const std::string& l) { return l.find("sender stopped") != std::string::npos; }, 15s),
        0)
        << r->output();
  }
  atA = a->lineCount();
  atB = b->lineCount();
  EXPECT_TRUE(sender.reconfigure(config(0, false, true, 2), problems)) << problems;
  atA = expectFollowing(*a, atA, "started again");
  atB = expectFollowing(*b, atB, "started again");

  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

bool pixelAt(const std::string& path, unsigned x, unsigned y, Rgb& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0 && x < image.width &&
                  y < image.height;
  if (ok) {
    const uint8_t* p = &rgb[(size_t(y) * image.width + x) * 3];
    out = {p[0], p[1], p[2]};
  }
  png_image_free(&image);
  return ok;
}

// Whether the standard arrow stands with its hot spot at (x, y) in the
// colour's mask: black tip, full colour inside, light grey at the left edge.
bool arrowAt(const std::string& path, unsigned x, unsigned y, Rgb full) {
  Rgb tip{}, inside{}, edge{};
  if (!pixelAt(path, x, y, tip) || !pixelAt(path, x + 5, y + 1, inside) || !pixelAt(path, x + 1, y + 3, edge))
    return false;
  const Rgb grey{uint8_t(full.r ? 192 : 0), uint8_t(full.g ? 192 : 0), uint8_t(full.b ? 192 : 0)};
  return tip == Rgb{0, 0, 0} && inside == full && edge == grey;
}

// The main frequency of the first channel of 16-bit stereo PCM, from its
// zero crossings.
double toneFrequency(const std::vector<uint8_t>& pcm, unsigned rate) {
  const size_t frames = pcm.size() / 4;
  if (frames < rate) return 0;
  auto sample = [&](size_t i) { return int16_t(pcm[i * 4] | pcm[i * 4 + 1] << 8); };
  // One second from the middle of what was played.
  const size_t from = frames / 2 - rate / 2;
  int rising = 0;
  for (size_t i = from + 1; i < from + rate; ++i)
    if (sample(i - 1) < 0 && sample(i) >= 0) ++rising;
  return rising;
}

}  // namespace

TEST_F(EndToEnd, PointersOfEachReceiverAndTheSoundReachTheOthers) {
  // Receiver 1 sends its pointer to the group of the others' P2 and shows
  // P3 in green; receiver 2 sends to the group of P3 and shows P2 in red.
  const std::string ini1 = dir_ + "/r1.ini", ini2 = dir_ + "/r2.ini";
  std::ofstream(ini1) << "[PointerServer]\nPort=8201\n[Blendor]\nPointerColor1=Red\nPointerColor2=Green\n";
  std::ofstream(ini2) << "[PointerServer]\nPort=8202\n[Blendor]\nPointerColor1=Red\nPointerColor2=Green\n";
  const std::string alsa = dir_ + "/asound.conf";
  std::ofstream(alsa) << "pcm.!default { type file slave.pcm \"null\" file \"" << dir_
                      << "/played.raw\" format \"raw\" }\n";
  auto a = startReceiver(1, {"--ini", ini1});
  // Only receiver 2 plays into the file.
  displays_.push_back(std::make_unique<XvfbServer>());
  auto b = std::make_unique<ReceiverProcess>(
      stations_[2], MORVANE_RECEIVE,
      std::vector<std::string>{"--snapshot", dir_ + "/receiver2", "--every", "0.4", "--ini", ini2},
      std::vector<std::string>{"DISPLAY=" + displays_.back()->display(),
                               "ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:" + alsa});
  const std::string displayA = displays_[0]->display(), displayB = displays_[1]->display();

  SendingStation sender(stations_[0]);
  LabSenderConfig c;
  c.audio = true;
  std::string problems;
  ASSERT_TRUE(sender.start(c, problems)) << problems;
  size_t atA = expectFollowing(*a, 0, "first status");
  size_t atB = expectFollowing(*b, 0, "first status");

  // Each pointer to a place of its own inside the other's picture (CIF).
  ASSERT_TRUE(warpPointer(displayA, 60, 200));
  ASSERT_TRUE(warpPointer(displayB, 250, 120));
  auto seesArrow = [&](ReceiverProcess& r, size_t& at, unsigned x, unsigned y, Rgb colour) {
    for (int tries = 0; tries < 20; ++tries) {
      SnapshotLine s;
      const long i = r.waitLine(
          at, [&](const std::string& l) { return parseSnapshot(l, s); }, 10s);
      if (i < 0) return false;
      at = size_t(i) + 1;
      if (arrowAt(s.path, x, y, colour)) return true;
    }
    return false;
  };
  EXPECT_TRUE(seesArrow(*b, atB, 60, 200, Rgb{255, 0, 0})) << "receiver 1's pointer in receiver 2's picture";
  EXPECT_TRUE(seesArrow(*a, atA, 250, 120, Rgb{0, 255, 0})) << "receiver 2's pointer in receiver 1's picture";
  // It follows when moved.
  ASSERT_TRUE(warpPointer(displayA, 150, 90));
  EXPECT_TRUE(seesArrow(*b, atB, 150, 90, Rgb{255, 0, 0})) << "receiver 1's pointer, moved";

  // The test tone (1000 Hz), MP3 on the way, played by receiver 2 (the
  // file is complete once the receiver has stopped).
  std::this_thread::sleep_for(3s);
  const std::string outputB = b->output();
  EXPECT_EQ(b->stop(), 0) << outputB;
  std::ifstream played(dir_ + "/played.raw", std::ios::binary);
  const std::vector<uint8_t> pcm{std::istreambuf_iterator<char>(played), {}};
  EXPECT_GE(pcm.size(), size_t(44100 * 4 * 2)) << "less than two seconds of sound played\n" << outputB;
  EXPECT_NEAR(toneFrequency(pcm, 44100), 1000.0, 20.0);

  EXPECT_EQ(a->stop(), 0) << a->output();
}

TEST_F(EndToEnd, OverIPv6) {
  // Every group an IPv6 one: the sender's streams, its status channel and
  // the receivers' pointer groups.
  const std::string ini = dir_ + "/v6.ini";
  std::ofstream(ini) << "[PointerP1Client]\nAddress=ff15::2:8200\n[PointerP2Client]\nAddress=ff15::2:8200\n"
                        "[PointerP3Client]\nAddress=ff15::2:8200\n[PointerServer]\nAddress=ff15::2:8200\n"
                        "[StatusReceiver]\nAddress=ff15::2:8930\nIPv6InterfaceId=2\n";
  // Receiver 1 shows the picture in a window of its own.
  auto a = startReceiver(1, {"--ini", ini, "--window"});
  auto b = startReceiver(2, {"--ini", ini});
  SendingStation sender(stations_[0]);
  LabSenderConfig c;
  c.group = "ff15::2:8190";
  std::string problems;
  ASSERT_TRUE(sender.start(c, problems, "ff15::2:8930")) << problems;
  size_t atA = expectFollowing(*a, 0, "IPv6, None");
  size_t atB = expectFollowing(*b, 0, "IPv6, None");
  c.focusDisplay = 1;
  EXPECT_TRUE(sender.reconfigure(c, problems)) << problems;
  atA = expectFollowing(*a, atA, "IPv6, Loupex");
  atB = expectFollowing(*b, atB, "IPv6, Loupex");
  EXPECT_NE(a->output().find("listening for the sender's status on ff15::2:8930"), std::string::npos);
  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}
