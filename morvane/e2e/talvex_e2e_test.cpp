// The receivers against the real sender: talvex-send in station 1, two
// morvane-receive processes in stations 2 and 3. Each run of the sender is
// followed (pictures with the test pattern's frame numbers in order, or,
// where the zoom squeezes the picture, pictures that keep coming), and each
// end of a run (its last status says it stopped) empties the receivers'
// graphs.
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "morvane/e2e/e2e_fixture.h"

namespace {

using namespace e2e;

class WithTalvex : public EndToEndFixture {};

}  // namespace

TEST_F(WithTalvex, ReceiversFollowEveryRunOfTheSender) {
  auto a = startReceiver(1);
  auto b = startReceiver(2);
  for (ReceiverProcess* r : {a.get(), b.get()})
    ASSERT_GE(r->waitLine(
                  0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20s),
              0)
        << r->output();
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
    ReceiverProcess sender(stations_[0], TALVEX_SEND, args);
    ASSERT_TRUE(sender.started());
    atA = expectFollowing(*a, atA, run.what, run.readable);
    atB = expectFollowing(*b, atB, run.what, run.readable);
    EXPECT_EQ(sender.stop(), 0) << sender.output();
    for (ReceiverProcess* r : {a.get(), b.get()}) {
      size_t& at = r == a.get() ? atA : atB;
      const long i = r->waitLine(
          at, [](const std::string& l) { return l.find("sender stopped") != std::string::npos; }, 15s);
      EXPECT_GE(i, 0) << "the sender's last status did not empty the receiver\n" << r->output();
      if (i >= 0) at = size_t(i) + 1;
    }
  }
  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}

TEST_F(WithTalvex, AReceiverFollowsAModeChangedWhileTheSenderRuns) {
  auto r = startReceiver(1);
  ReceiverProcess sender(stations_[0], TALVEX_SEND,
                         {"--control", "--video-device", "Test Pattern Camera", "--audio-device", "none",
                          "--encoder", "mpeg4", "--mode", "none"});
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
  ReceiverProcess r(stations_[1], MORVANE_RECEIVE,
                    {"--snapshot", dir_ + "/receiver", "--every", "0.4", "--quiet"},
                    {"DISPLAY=" + displays_.back()->display(),
                     "ALSA_CONFIG_PATH=" + std::string(kSystemAlsaConf) + ":" + alsa});
  ASSERT_GE(r.waitLine(
                0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20s),
            0)
      << r.output();
  ReceiverProcess sender(stations_[0], TALVEX_SEND,
                         {"--video-device", "Test Pattern Camera", "--audio-device", "Test Tone Microphone",
                          "--mode", "none", "--encoder", "mpeg4"});
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
