// The receivers against the real sender: talvex-send in station 1, two
// morvane-receive processes in stations 2 and 3. Each run of the sender is
// followed (pictures with the test pattern's frame numbers in order, or,
// where the zoom squeezes the picture, pictures that keep coming), and each
// end of a run (its last status says it stopped) empties the receivers'
// graphs. The sender's sound is played at the receivers, and the receivers'
// own pointers reach each other, over IPv4 and over IPv6.
#include <net/if.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "morvane/tests/e2e/e2e_fixture.h"
#include "morvane/tests/e2e/pointer_listener.h"
#include "morvane/tests/e2e/x_pointer.h"

namespace {

using namespace e2e;

class WithTalvex : public EndToEndFixture {};

}  // namespace

TEST_F(WithTalvex, ReceiversFollowEveryRunOfTheSender) {
  auto a = startReceiver(1);
  auto b = startReceiver(2);
  for (netlab::StationProgram* r : {a.get(), b.get()})
    ASSERT_GE(r->waitText(0, "listening for", 20s), 0) << r->output();
  struct Run {
    const char* what;
    const char* camera;
    std::vector<std::string> args;
    bool readable;
  };
  const char* const pattern = "Test Pattern Camera";
  const Run runs[] = {
      {"None, MPEG-4", pattern, {"--mode", "none", "--encoder", "mpeg4"}, true},
      {"Loupex, MPEG-4", pattern, {"--mode", "loupex", "--encoder", "mpeg4"}, false},
      {"ImageCompound, MPEG-4", pattern, {"--mode", "compound", "--encoder", "mpeg4"}, false},
      {"None, DV camera, no encoder", "Built-in DV Camera", {"--mode", "none", "--encoder", "none"}, true},
  };
  size_t atA = 0, atB = 0;
  for (const Run& run : runs) {
    SCOPED_TRACE(run.what);
    std::vector<std::string> args = {"--video-device", run.camera, "--audio-device", "none"};
    args.insert(args.end(), run.args.begin(), run.args.end());
    netlab::StationProgram sender(stations_[0], TALVEX_SEND, args);
    ASSERT_TRUE(sender.started());
    atA = expectFollowing(*a, atA, run.what, run.readable);
    atB = expectFollowing(*b, atB, run.what, run.readable);
    EXPECT_EQ(sender.stop(), 0) << sender.output();
    for (netlab::StationProgram* r : {a.get(), b.get()}) {
      size_t& at = r == a.get() ? atA : atB;
      const long i = r->waitText(at, "sender stopped", 15s);
      EXPECT_GE(i, 0) << "the sender's last status did not empty the receiver\n" << r->output();
      if (i >= 0) at = size_t(i) + 1;
    }
  }
  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}

TEST_F(WithTalvex, AReceiverFollowsAModeChangedWhileTheSenderRuns) {
  auto r = startReceiver(1);
  netlab::StationProgram sender(stations_[0], TALVEX_SEND,
                                {"--control", "--video-device", "Test Pattern Camera", "--audio-device",
                                 "none", "--encoder", "mpeg4", "--mode", "none"});
  size_t at = expectFollowing(*r, 0, "None");
  size_t answers = 0;
  // Each command is answered by one line; a bad one leaves the sender
  // running.
  auto command = [&](const std::string& line, const std::string& answer) {
    ASSERT_TRUE(sender.writeLine(line));
    const long i = sender.waitLine(
        answers, [](const std::string& l) { return l.rfind("talvex-send: ", 0) == 0; }, 20s);
    ASSERT_GE(i, 0) << line << ": no answer\n" << sender.output();
    EXPECT_EQ(sender.line(size_t(i)), answer) << line;
    answers = size_t(i) + 1;
  };
  command("mode sideways", "talvex-send: error: mode takes one of none, loupex, compound");
  command("mode loupex", "talvex-send: mode loupex applied");
  at = expectFollowing(*r, at, "Loupex", false);
  command("mode compound", "talvex-send: mode compound applied");
  at = expectFollowing(*r, at, "ImageCompound", false);
  command("quit", "talvex-send: quit");
  EXPECT_GE(sender.waitLine(
                answers, [](const std::string& l) { return l == "talvex-send: stopped"; }, 20s),
            0)
      << sender.output();
  EXPECT_EQ(sender.stop(), 0) << sender.output();
}

TEST_F(WithTalvex, TheSendersTestToneIsPlayedAtTheReceiver) {
  // The sender sends its sound as it is (PCM); the receiver plays it into a
  // file-backed ALSA device.
  constexpr const char* kSystemAlsaConf = "/usr/share/alsa/alsa.conf";
  if (access(kSystemAlsaConf, R_OK) != 0) GTEST_SKIP() << "needs " << kSystemAlsaConf << " (libasound2-data)";
  const std::string alsa = dir_ + "/asound.conf";
  std::ofstream(alsa) << "pcm.!default { type file slave.pcm \"null\" file \"" << dir_
                      << "/played.raw\" format \"raw\" }\n";
  displays_.push_back(std::make_unique<XvfbServer>());
  netlab::StationProgram r(stations_[1], MORVANE_RECEIVE,
                           {"--snapshot", dir_ + "/receiver", "--every", "0.4", "--quiet"},
                           {"DISPLAY=" + displays_.back()->display(),
                            "ALSA_CONFIG_PATH=" + std::string(kSystemAlsaConf) + ":" + alsa});
  ASSERT_GE(r.waitText(0, "listening for", 20s), 0) << r.output();
  netlab::StationProgram sender(stations_[0], TALVEX_SEND,
                                {"--video-device", "Test Pattern Camera", "--audio-device",
                                 "Test Tone Microphone", "--mode", "none", "--encoder", "mpeg4"});
  expectFollowing(r, 0, "sound", true);
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(sender.stop(), 0) << sender.output();
  const std::string output = r.output();
  EXPECT_EQ(r.stop(), 0) << output;
  std::ifstream played(dir_ + "/played.raw", std::ios::binary);
  const std::vector<uint8_t> pcm{std::istreambuf_iterator<char>(played), {}};
  EXPECT_GE(pcm.size(), size_t(44100 * 4 * 2)) << "less than two seconds of sound played\n" << output;
  EXPECT_NEAR(toneFrequency(pcm, 44100), 1000.0, 20.0);
}

namespace {

// The interface of a station's lab network, for the IPv6 status receiver.
unsigned labInterface(const std::string& station) {
  netlab::StationWorker worker(station);
  return worker.call<unsigned>([] { return if_nametoindex("eth0"); });
}

}  // namespace

// Each receiver's own pointer, driven through XTest on its X server, goes to
// a group the other receiver draws: the arrow shows at the cursor's place in
// the other's pictures, and the buttons and the wheel travel in the records.
// Both receivers play the sender's test tone, MP3 on the wire. Once over
// IPv4 and once with every group an IPv6 one (the sender's streams and
// status, the status receiver with its interface id, the pointer groups;
// receiver 1 then shows its picture in a window of its own).
TEST_F(WithTalvex, PointersAndSoundBetweenTheStationsOverIPv4AndIPv6) {
  constexpr const char* kSystemAlsaConf = "/usr/share/alsa/alsa.conf";
  if (access(kSystemAlsaConf, R_OK) != 0) GTEST_SKIP() << "needs " << kSystemAlsaConf << " (libasound2-data)";
  struct Network {
    const char* what;
    std::string senderGroup, pointerGroup;
    bool v6;
  };
  const Network networks[] = {{"IPv4", "234.5.6.7", "234.5.6.7", false},
                              {"IPv6", "ff15::2:8190", "ff15::2:8200", true}};
  for (const Network& n : networks) {
    SCOPED_TRACE(n.what);
    // Receiver 1 sends its pointer to the others' P2 (drawn red), receiver 2
    // to the others' P3 (green).
    std::unique_ptr<netlab::StationProgram> r[2];
    std::string display[2], played[2];
    for (int i : {1, 2}) {
      const std::string base = dir_ + "/" + n.what + "-" + std::to_string(i);
      std::ofstream ini(base + ".ini");
      for (const char* p : {"PointerP1Client", "PointerP2Client", "PointerP3Client"})
        ini << "[" << p << "]\nAddress=" << n.pointerGroup << "\n";
      ini << "[PointerServer]\nAddress=" << n.pointerGroup << "\nPort=" << 8200 + i
          << "\n[Blendor]\nPointerColor1=Red\nPointerColor2=Green\n[StatusReceiver]\nAddress="
          << n.senderGroup << "\n";
      if (n.v6) ini << "IPv6InterfaceId=" << labInterface(stations_[size_t(i)]) << "\n";
      ini.close();
      played[i - 1] = base + ".raw";
      std::ofstream(base + ".asound") << "pcm.!default { type file slave.pcm \"null\" file \""
                                      << played[i - 1] << "\" format \"raw\" }\n";
      std::vector<std::string> args = {"--ini", base + ".ini"};
      if (n.v6 && i == 1) args.push_back("--window");
      r[i - 1] = startReceiver(i, args,
                               {"ALSA_CONFIG_PATH=" + std::string(kSystemAlsaConf) + ":" + base + ".asound"});
      display[i - 1] = displays_.back()->display();
      ASSERT_GE(r[i - 1]->waitText(0, "listening for", 20s), 0) << r[i - 1]->output();
    }
    EXPECT_NE(r[0]->output().find("listening for the sender's status on " + n.senderGroup), std::string::npos)
        << r[0]->output();
    PointerListener pointerOf1(stations_[2], n.pointerGroup, 8201);
    ASSERT_TRUE(pointerOf1.isOpen());
    netlab::StationProgram sender(
        stations_[0], TALVEX_SEND,
        {"--video-device", "Test Pattern Camera", "--audio-device", "Test Tone Microphone", "--audio-encoder",
         "mp3", "--mode", "none", "--encoder", "mpeg4", "--group", n.senderGroup});
    size_t at[2];
    for (int i : {0, 1}) at[i] = expectFollowing(*r[i], 0, n.what);

    // A pointer's position is in pixels of the pointing station's video
    // window; the drawing station lays it over its own window. The pictures
    // are 640x480 (the camera's size), as are the off-screen windows;
    // receiver 1's own window (IPv6) is 704x576.
    ASSERT_TRUE(movePointer(display[0], 60, 200));
    ASSERT_TRUE(movePointer(display[1], 250, 125));
    const unsigned x1 = n.v6 ? 250 * 640 / 704 : 250, y1 = n.v6 ? 125 * 480 / 576 : 125;
    EXPECT_TRUE(seesArrow(*r[1], at[1], 60, 200, Rgb{255, 0, 0})) << "receiver 1's pointer at receiver 2";
    EXPECT_TRUE(seesArrow(*r[0], at[0], x1, y1, Rgb{0, 255, 0})) << "receiver 2's pointer at receiver 1";
    ASSERT_TRUE(movePointer(display[0], 150, 90));
    EXPECT_TRUE(seesArrow(*r[1], at[1], 150, 90, Rgb{255, 0, 0})) << "receiver 1's pointer, moved";

    // Buttons are held until the records say so; a wheel notch is a press
    // and release of button 4 (up) or 5 (down).
    struct Press {
      const char* what;
      unsigned button;
      std::function<bool(const PointerSeen&)> seen;
    };
    const Press presses[] = {
        {"left button", 1, [](const PointerSeen& p) { return p.buttons == 1 && p.x == 150 && p.y == 90; }},
        {"right button", 3, [](const PointerSeen& p) { return p.buttons == 2; }},
        {"middle button", 2, [](const PointerSeen& p) { return p.buttons == 4; }},
        {"wheel up", 4, [](const PointerSeen& p) { return p.wheel > 0; }},
        {"wheel down", 5, [](const PointerSeen& p) { return p.wheel < 0; }},
    };
    for (const Press& p : presses) {
      const size_t from = pointerOf1.count();
      ASSERT_TRUE(pressButton(display[0], p.button, true));
      if (p.button >= 4) pressButton(display[0], p.button, false);
      EXPECT_TRUE(pointerOf1.waitFor(from, p.seen, 5s)) << p.what << " not in receiver 1's records";
      if (p.button < 4) {
        const size_t released = pointerOf1.count();
        pressButton(display[0], p.button, false);
        EXPECT_TRUE(pointerOf1.waitFor(
            released, [](const PointerSeen& s) { return s.buttons == 0; }, 5s))
            << p.what << " released";
      }
    }

    // Receiver 2's X server goes away (its session ends): it goes on
    // receiving and drawing, and still ends cleanly.
    displays_.back().reset();
    for (int k = 0; k < 3; ++k) {
      SnapshotLine shot;
      const long i = r[1]->waitLine(
          at[1], [&](const std::string& l) { return parseSnapshot(l, shot); }, 10s);
      ASSERT_GE(i, 0) << "receiver 2 stopped with its X server\n" << r[1]->output();
      at[1] = size_t(i) + 1;
    }

    // The sound: the files are complete once the receivers have stopped.
    std::this_thread::sleep_for(1s);
    for (int i : {0, 1}) {
      const std::string output = r[i]->output();
      EXPECT_EQ(r[i]->stop(), 0) << output;
      std::ifstream in(played[i], std::ios::binary);
      const std::vector<uint8_t> pcm{std::istreambuf_iterator<char>(in), {}};
      EXPECT_GE(pcm.size(), size_t(44100 * 4 * 2)) << "less than two seconds of sound played\n" << output;
      EXPECT_NEAR(toneFrequency(pcm, 44100), 1000.0, 20.0) << "receiver " << i + 1;
    }
    EXPECT_EQ(sender.stop(), 0) << sender.output();
  }
}
