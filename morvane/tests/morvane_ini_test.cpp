// The receiver's settings file through the control functions, on a real
// engine (its multicast filters open sockets, so it runs in the lab): the
// file written right after start, a byte-identical round trip, hand-written
// files, and writes that cannot succeed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "morvane/Morvane.h"
#include "netlab.h"
#include "pellum/tests/temp_dir.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class Engine : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!netlab::insideLab()) return;
    ASSERT_TRUE(MorvaneInitialize(0));
  }
  void TearDown() override {
    if (MorvaneIsInitialized()) MorvaneShutdown();
  }
};
const auto* const g_engine = ::testing::AddGlobalTestEnvironment(new Engine);

class MorvaneIni : public ::testing::Test {
 protected:
  void SetUp() override { NETLAB_REQUIRE(); }
  std::string path(const char* name) const { return dir_.file(name); }
  TempDir dir_;
};

// What the engine writes before anything was changed.
const char* const kDefaults =
    "[PointerP1Client]\nAddress=234.5.6.7\nPort=8200\nTimeToLive=1\n"
    "[PointerP2Client]\nAddress=234.5.6.7\nPort=8201\nTimeToLive=1\n"
    "[PointerP3Client]\nAddress=234.5.6.7\nPort=8202\nTimeToLive=1\n"
    "[PointerServer]\nAddress=234.5.6.7\nPort=8200\nTimeToLive=1\nMaxTransmittingRate=1073741824\n"
    "TransmittingCount=1\nPacketSize=1024\n"
    "[Blendor]\nPointerColor0=White\nPointerColor1=White\nPointerColor2=White\n"
    "[Tracion]\nPointerShape=Standard\n"
    "[StatusReceiver]\nAddress=234.5.6.7\nPort=8930\nTimeToLive=1\nIPv6InterfaceId=0\n";

}  // namespace

TEST_F(MorvaneIni, DefaultsRoundTripAndHandWrittenFiles) {
  // Right after start: the defaults, exactly.
  ASSERT_TRUE(MorvaneWriteIniFile(path("defaults.ini").c_str()));
  std::string written = readFile(path("defaults.ini"));
  // The writer may separate sections by blank lines; the content is fixed.
  std::string compact;
  std::istringstream lines(written);
  for (std::string l; std::getline(lines, l);)
    if (!l.empty()) compact += l + "\n";
  EXPECT_EQ(compact, kDefaults);

  // Every setting changed, written, changed again, read back, written
  // again: the two files are the same bytes.
  MorvaneSetPointerP1ClientAddress("239.1.2.3");
  MorvaneSetPointerP2ClientPort(9201);
  MorvaneSetPointerP3ClientTimeToLive(4);
  MorvaneSetPointerServerAddress("239.9.9.9");
  MorvaneSetPointerServerPort(9300);
  MorvaneSetPointerServerTimeToLive(3);
  MorvaneSetPointerServerMaxTransmittingRate(2000000);
  MorvaneSetPointerServerTransmittingCount(2);
  MorvaneSetPointerServerPacketSize(1400);
  MorvaneSetBlendorPointerColor(0, 4);
  MorvaneSetBlendorPointerColor(1, 3);
  MorvaneSetBlendorPointerColor(2, 0);
  MorvaneSetTracionPointerShape(5);
  ASSERT_TRUE(MorvaneSetStatusReceiverPort(8931));
  ASSERT_TRUE(MorvaneWriteIniFile(path("a.ini").c_str()));
  EXPECT_NE(readFile(path("a.ini")).find("PointerColor1=SkyBlue\n"), std::string::npos);
  EXPECT_NE(readFile(path("a.ini")).find("PointerShape=Star\n"), std::string::npos);

  ASSERT_TRUE(MorvaneReadIniFile(path("defaults.ini").c_str()));
  EXPECT_EQ(MorvaneGetPointerServerPort(), 8200);
  EXPECT_EQ(MorvaneGetBlendorPointerColor(0), 7);
  EXPECT_EQ(MorvaneGetStatusReceiverPort(), 8930);
  ASSERT_TRUE(MorvaneReadIniFile(path("a.ini").c_str()));
  ASSERT_TRUE(MorvaneWriteIniFile(path("b.ini").c_str()));
  EXPECT_EQ(readFile(path("a.ini")), readFile(path("b.ini")));
  EXPECT_STREQ(MorvaneGetPointerP1ClientAddress(), "239.1.2.3");
  EXPECT_EQ(MorvaneGetPointerP2ClientPort(), 9201);
  EXPECT_EQ(MorvaneGetPointerServerMaxTransmittingRate(), 2000000u);
  EXPECT_EQ(MorvaneGetStatusReceiverPort(), 8931);
  ASSERT_TRUE(MorvaneReadIniFile(path("defaults.ini").c_str()));

  // Hand-written files: names in any case, unknown names and numbers out of
  // range leave the value, a file with only the status section changes
  // only the status channel.
  struct Case {
    const char* text;
    int color0, color1, shape;
    uint16_t p1Port, statusPort;
  };
  const Case cases[] = {
      {"[blendor]\npointercolor1=SKYBLUE\npointerColor0 = red\n[TRACION]\nPointerShape=tArGeT\n", 4, 3, 4,
       8200, 8930},
      {"[Blendor]\nPointerColor0=Pink\nPointerColor1=\n[Tracion]\nPointerShape=Hexagon\n", 4, 3, 4, 8200,
       8930},
      {"[StatusReceiver]\nPort=8941\n", 4, 3, 4, 8200, 8941},
      {"[PointerP1Client]\nPort=70000\n[StatusReceiver]\nPort=99999\n", 4, 3, 4, 8200, 8941},
      {"; comment\n[PointerP1Client]\nPort=8210\n[Blendor]\nPointerColor0=Black\n", 0, 3, 4, 8210, 8941},
  };
  for (const Case& c : cases) {
    writeFile(path("hand.ini"), c.text);
    ASSERT_TRUE(MorvaneReadIniFile(path("hand.ini").c_str())) << c.text;
    EXPECT_EQ(MorvaneGetBlendorPointerColor(0), c.color0) << c.text;
    EXPECT_EQ(MorvaneGetBlendorPointerColor(1), c.color1) << c.text;
    EXPECT_EQ(MorvaneGetTracionPointerShape(), c.shape) << c.text;
    EXPECT_EQ(MorvaneGetPointerP1ClientPort(), c.p1Port) << c.text;
    EXPECT_EQ(MorvaneGetPointerP2ClientPort(), 8201) << c.text;
    EXPECT_EQ(MorvaneGetPointerP3ClientPort(), 8202) << c.text;
    EXPECT_EQ(MorvaneGetStatusReceiverPort(), c.statusPort) << c.text;
  }
  ASSERT_TRUE(MorvaneReadIniFile(path("defaults.ini").c_str()));
}

TEST_F(MorvaneIni, WritesThatCannotSucceedSayFalseAndLeaveTheFile) {
  EXPECT_FALSE(MorvaneWriteIniFile(nullptr));
  EXPECT_FALSE(MorvaneWriteIniFile(""));
  EXPECT_FALSE(MorvaneReadIniFile(nullptr));
  EXPECT_FALSE(MorvaneReadIniFile(""));
  EXPECT_FALSE(MorvaneWriteIniFile(path("no/such/folder/x.ini").c_str()));
  // A folder in the file's place cannot be replaced by a file.
  ASSERT_TRUE(std::filesystem::create_directory(path("taken.ini")));
  EXPECT_FALSE(MorvaneWriteIniFile(path("taken.ini").c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(path("taken.ini")));
  // A missing file reads as all defaults kept.
  EXPECT_TRUE(MorvaneReadIniFile(path("missing.ini").c_str()));
  EXPECT_EQ(MorvaneGetPointerP1ClientPort(), 8200);

  // Other sections of an existing file stay; nothing is left beside it.
  writeFile(path("kept.ini"), "[Window]\nLeft=10\n[Tracion]\nPointerShape=Circle\nOwnKey=1\n");
  ASSERT_TRUE(MorvaneWriteIniFile(path("kept.ini").c_str()));
  const std::string kept = readFile(path("kept.ini"));
  EXPECT_NE(kept.find("[Window]\nLeft=10\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("OwnKey=1\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("PointerShape=Standard\n"), std::string::npos) << kept;
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);  // kept.ini only: no scratch copy remains

  // Through a symbolic link the file it leads to is written; the link stays.
  std::filesystem::create_symlink(path("kept.ini"), path("link.ini"));
  MorvaneSetTracionPointerShape(2);
  ASSERT_TRUE(MorvaneWriteIniFile(path("link.ini").c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
  EXPECT_NE(readFile(path("kept.ini")).find("PointerShape=Circle\n"), std::string::npos);
  MorvaneSetTracionPointerShape(0);
}
