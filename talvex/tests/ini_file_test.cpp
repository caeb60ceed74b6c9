// The settings file: the file written right after initialisation, byte for
// byte; a round trip through a fresh engine; hand-written files (mixed
// case, unknown texts, out-of-range ports) and the rebuilds reading causes,
// in their order; a failed write that leaves the old file alone.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "netlab.h"
#include "pellum/tests/temp_dir.h"
#include "talvex/Talvex.h"
#include "talvex/TalvexEngine.h"
#include "talvex/tests/sender_lab.h"

using namespace senderlab;

namespace {

// The engine's settings, as the control functions read them back.
struct Settings {
  int videoEncoder, audioEncoder, videoFormat, focus, loupexFormat, loupexMask, compoundBase, compoundCut,
      compoundMask, blending;
  unsigned maskWidth, maskHeight;
  uint16_t ports[4];
  bool operator==(const Settings&) const = default;
};

Settings current() {
  Settings s{TalvexGetVideoEncoder(),
             TalvexGetAudioEncoder(),
             TalvexGetVideoFormat(),
             TalvexGetFocusDisplay(),
             TalvexGetLoupexVideoFormat(),
             TalvexGetLoupexMaskType(),
             TalvexGetImageCompoundBaseVideoFormat(),
             TalvexGetImageCompoundAdditionalVideoFormat(),
             TalvexGetImageCompoundMaskType(),
             TalvexGetImageCompoundBlendingType(),
             0,
             0,
             {TalvexGetVideoServerMainPort(), TalvexGetVideoServerSubPort(), TalvexGetAudioServerPort(),
              TalvexGetPointerServerClientPort()}};
  TalvexGetLoupexMaskSize(&s.maskWidth, &s.maskHeight);
  return s;
}

const Settings kDefaults{1, 0, 8, 0, 4, 0, 0, 1, 0, 0, 160, 120, {8190, 8191, 8192, 8193}};

std::vector<std::string> rebuildsSince(unsigned before) {
  const auto& log = TalvexRunningEngine()->getRecentRebuilds();
  const unsigned n = TalvexRunningEngine()->getNumRebuilds() - before;
  return std::vector<std::string>(log.end() - n, log.end());
}

// A server's section as the file holds it after initialisation.
std::string serverSection(const std::string& name, int port, bool status = false) {
  return "[" + name + "]\nAddress=234.5.6.7\nPort=" + std::to_string(port) + "\nTimeToLive=1\n" +
         (status ? "" : "MaxTransmittingRate=104857600\nTransmittingCount=1\n") + "PacketSize=1024\n";
}

// The file written right after initialisation, after the capture devices
// (the first of each list).
const std::string kDefaultFile =
    "[Encoder]\nVideoEncoder=MPEG42\nAudioEncoder=None\n\n"
    "[VideoFormat]\nVideoFormat=Through\n\n"
    "[FocusDisplay]\nFocusDisplay=None\nLoupexVideoFormat=320x240\nLoupexMaskType=Rectangle\n"
    "LoupexMaskWidth=160\nLoupexMaskHeight=120\nImageCompoundBaseVideoFormat=SQCIF\n"
    "ImageCompoundAdditionalVideoFormat=QCIF\nImageCompoundMaskType=Rectangle\n"
    "ImageCompoundBlendingType=Simple\n\n" +
    serverSection("VideoServer(Main)", 8190) + "\n" + serverSection("VideoServer(Sub)", 8191) + "\n" +
    serverSection("AudioServer", 8192) + "\n" + serverSection("PointerServerClient", 8193) + "\n" +
    serverSection("StatusSender", 8930, true);

class TalvexIniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    ASSERT_TRUE(TalvexInitialize(0));
  }
  void TearDown() override { TalvexShutdown(); }
  SenderRegistry registry_{Modules{true, true, false}};
  TempDir dir_;
};

}  // namespace

TEST_F(TalvexIniFile, DefaultsRoundTripByteForByte) {
  const std::string first = dir_.file("first.ini"), second = dir_.file("second.ini");
  ASSERT_TRUE(TalvexWriteIniFile(first.c_str()));
  EXPECT_EQ(slurp(first), std::string("[Capture]\nVideoCapture=") + TalvexGetVideoCaptureFriendlyName(0) +
                              "\nAudioCapture=" + TalvexGetAudioCaptureFriendlyName(0) + "\n\n" +
                              kDefaultFile);
  TalvexShutdown();

  // A fresh engine reads it: nothing changes, and only the two image-compound
  // formats rebuild (their setters rebuild even for the current value).
  ASSERT_TRUE(TalvexInitialize(0));
  const unsigned before = TalvexRunningEngine()->getNumRebuilds();
  ASSERT_TRUE(TalvexReadIniFile(first.c_str()));
  EXPECT_EQ(rebuildsSince(before),
            (std::vector<std::string>{"ImageCompoundBaseVideoFormat", "ImageCompoundAdditionalVideoFormat"}));
  EXPECT_EQ(current(), kDefaults);
  ASSERT_TRUE(TalvexWriteIniFile(second.c_str()));
  EXPECT_EQ(slurp(second), slurp(first));

  // Changed settings come back the same way.
  TalvexSetVideoFormat(2);
  TalvexSetFocusDisplay(1);
  TalvexSetLoupexMaskSize(200, 100);
  TalvexSetImageCompoundBlendingType(1);
  TalvexSetAudioServerPort(9000);
  TalvexSetPointerServerClientTimeToLive(3);
  TalvexSetVideoServerSubPacketSize(4096);
  TalvexSetStatusSenderPort(9100);
  const Settings changed = current();
  ASSERT_TRUE(TalvexWriteIniFile(first.c_str()));
  TalvexShutdown();
  ASSERT_TRUE(TalvexInitialize(0));
  ASSERT_TRUE(TalvexReadIniFile(first.c_str()));
  EXPECT_EQ(current(), changed);
  EXPECT_EQ(TalvexGetPointerServerClientTimeToLive(), 3u);
  EXPECT_EQ(TalvexGetVideoServerSubPacketSize(), 4096u);
  EXPECT_EQ(TalvexGetStatusSenderPort(), 9100);
  ASSERT_TRUE(TalvexWriteIniFile(second.c_str()));
  EXPECT_EQ(slurp(second), slurp(first));
}

TEST_F(TalvexIniFile, HandWrittenFilesAndTheirRebuilds) {
  struct Case {
    const char* text;
    Settings expected;
    std::vector<std::string> rebuilds;
  };
  auto with = [](auto change) {
    Settings s = kDefaults;
    change(s);
    return s;
  };
  const std::vector<std::string> compound = {"ImageCompoundBaseVideoFormat",
                                             "ImageCompoundAdditionalVideoFormat"};
  auto plus = [&](std::vector<std::string> first) {
    first.insert(first.end(), compound.begin(), compound.end());
    return first;
  };
  const Case cases[] = {
      // Names and texts compare without regard to case.
      {"[VideoFormat]\nVideoFormat=640X480\n", with([](Settings& s) { s.videoFormat = 6; }),
       plus({"VideoFormat"})},
      {"[videoformat]\nVIDEOFORMAT=cif\n[FOCUSDISPLAY]\nfocusdisplay=loupex\n",
       with([](Settings& s) { s.videoFormat = 2, s.focus = 1; }), plus({"VideoFormat", "FocusDisplay"})},
      // An unknown format is SQCIF; an unknown mode, encoder or mask changes nothing.
      {"[VideoFormat]\nVideoFormat=800x600\n[FocusDisplay]\nFocusDisplay=zoom\nLoupexMaskType=star\n"
       "ImageCompoundAdditionalVideoFormat=huge\n[Encoder]\nVideoEncoder=H264\n",
       with([](Settings& s) { s.videoFormat = 0, s.compoundCut = 0; }), plus({"VideoFormat"})},
      // A number that does not fit in 16 bits is no port: the port stays.
      {"[VideoServer(Main)]\nPort=70000\n[PointerServerClient]\nPort=65537\n[AudioServer]\nPort=65535\n",
       with([](Settings& s) { s.ports[2] = 65535; }), compound},
      // Several rebuild settings: one rebuild each, in the reading order.
      {"[FocusDisplay]\nImageCompoundBaseVideoFormat=CIF\nFocusDisplay=ImageCompound\n"
       "[VideoFormat]\nVideoFormat=QCIF\n[Encoder]\nAudioEncoder=MP3\nVideoEncoder=None\n",
       with([](Settings& s) {
         s.videoFormat = 1, s.focus = 2, s.compoundBase = 2, s.videoEncoder = 0, s.audioEncoder = 1;
       }),
       plus({"VideoEncoder", "AudioEncoder", "VideoFormat", "FocusDisplay"})},
      // A missing file changes nothing.
      {nullptr, kDefaults, compound},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(no file)");
    TalvexShutdown();
    ASSERT_TRUE(TalvexInitialize(0));
    const std::string path = dir_.file(("hand" + std::to_string(n++) + ".ini").c_str());
    if (c.text) spit(path, c.text);
    const unsigned before = TalvexRunningEngine()->getNumRebuilds();
    ASSERT_TRUE(TalvexReadIniFile(path.c_str()));
    EXPECT_EQ(current(), c.expected);
    EXPECT_EQ(rebuildsSince(before), c.rebuilds);
  }
  EXPECT_FALSE(TalvexReadIniFile(nullptr));
  EXPECT_FALSE(TalvexReadIniFile(""));
  EXPECT_FALSE(TalvexWriteIniFile(""));
}

TEST_F(TalvexIniFile, AFailedWriteKeepsTheOldFile) {
  // Writing into a folder that does not exist fails.
  EXPECT_FALSE(TalvexWriteIniFile(dir_.file("missing/sender.ini").c_str()));

  // A full disk: a small file system of the lab's own (the lab has a mount
  // namespace of its own).
  const std::string mnt = dir_.file("small");
  ASSERT_EQ(mkdir(mnt.c_str(), 0700), 0);
  if (mount("talvex", mnt.c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  const std::string path = mnt + "/sender.ini";
  ASSERT_TRUE(TalvexWriteIniFile(path.c_str()));
  const std::string before = slurp(path);
  TalvexSetLoupexMaskSize(300, 200);
  {
    std::ofstream filler(mnt + "/filler", std::ios::binary);
    std::string block(1024, 'x');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  EXPECT_FALSE(TalvexWriteIniFile(path.c_str()));
  EXPECT_EQ(slurp(path), before);
  // Nothing half-written is left beside it.
  const auto entries = std::distance(std::filesystem::directory_iterator(mnt), {});
  EXPECT_EQ(entries, 2);  // sender.ini and the filler
  umount(mnt.c_str());
}

TEST_F(TalvexIniFile, ASymbolicLinkStaysALinkAndOtherKeysStay) {
  const std::string real = dir_.file("real.ini"), link = dir_.file("link.ini");
  spit(real, "[Other]\nKey=kept\n");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(TalvexWriteIniFile(link.c_str()));
  char target[512] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), real);
  const std::string text = slurp(real);
  EXPECT_EQ(text.rfind("[Other]\nKey=kept\n", 0), 0u) << text;
  EXPECT_NE(text.find("[StatusSender]"), std::string::npos);
}
