// mxIniFile: values written by one object are read back by another (and by
// a fresh parse of the file), malformed files read as defaults, and a write
// never leaves a half-written file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pellum/mxIniFile.h"
#include "pellum/tests/temp_dir.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

TEST(mxIniFile, RoundTripThroughASecondReader) {
  TempDir dir;
  std::string path = dir.file("settings.ini");
  mxIniFile writer(path.c_str());
  EXPECT_TRUE(writer.writeString("Video", "Group", "234.5.6.7"));
  EXPECT_TRUE(writer.writeUInt("Video", "Port", 8190));
  EXPECT_TRUE(writer.writeFloat("Video", "Scale", 1.25f));
  EXPECT_TRUE(writer.writeString("Pointer", "Label", "着目点の遠隔共有"));
  EXPECT_TRUE(writer.writeString("Video", "Port2", "8191"));
  EXPECT_TRUE(writer.writeUInt("Video", "Port", 8200));  // overwrite in place

  mxIniFile reader;
  reader.setFilename(path.c_str());
  EXPECT_STREQ(reader.getFilename().c_str(), path.c_str());
  EXPECT_STREQ(reader.readString("Video", "Group", "x").c_str(), "234.5.6.7");
  EXPECT_EQ(reader.readUInt("video", "PORT", 0), 8200u);  // names ignore case
  EXPECT_FLOAT_EQ(reader.readFloat("Video", "Scale", 0), 1.25f);
  EXPECT_STREQ(reader.readString("Pointer", "Label", "").c_str(), "着目点の遠隔共有");
  EXPECT_EQ(slurp(path),
            "[Video]\nGroup=234.5.6.7\nPort=8200\nScale=1.250000\nPort2=8191\n\n"
            "[Pointer]\nLabel=着目点の遠隔共有\n");
}

TEST(mxIniFile, NumbersAndDefaults) {
  TempDir dir;
  mxIniFile ini(dir.file("n.ini").c_str());
  EXPECT_EQ(ini.readUInt("S", "missing", 42), 42u);  // no file at all
  EXPECT_TRUE(ini.writeUInt("S", "Max", 4294967295u));
  EXPECT_STREQ(ini.readString("S", "Max", "").c_str(), "-1");
  EXPECT_EQ(ini.readUInt("S", "Max", 0), 4294967295u);
  EXPECT_TRUE(ini.writeString("S", "Neg", "-1"));
  EXPECT_EQ(ini.readUInt("S", "Neg", 0), 4294967295u);
  EXPECT_TRUE(ini.writeString("S", "Text", "abc"));
  EXPECT_EQ(ini.readUInt("S", "Text", 9), 0u);  // no digits: 0
  EXPECT_EQ(ini.readUInt("S", "Nope", 9), 9u);
  EXPECT_FLOAT_EQ(ini.readFloat("S", "Nope", 1.5f), 1.5f);
  EXPECT_FLOAT_EQ(ini.readFloat("S", "Text", 1.5f), 1.5f);
  EXPECT_TRUE(ini.writeString("S", "Num", "12abc"));
  EXPECT_EQ(ini.readUInt("S", "Num", 0), 12u);
}

TEST(mxIniFile, EmptyValueRemovesKeyEmptyKeyRemovesSection) {
  TempDir dir;
  std::string path = dir.file("r.ini");
  mxIniFile ini(path.c_str());
  ini.writeString("A", "k1", "v1");
  ini.writeString("A", "k2", "v2");
  ini.writeString("B", "k3", "v3");
  EXPECT_TRUE(ini.writeString("A", "k1", mxString()));
  EXPECT_STREQ(ini.readString("A", "k1", "def").c_str(), "def");
  EXPECT_STREQ(ini.readString("A", "k2", "def").c_str(), "v2");
  EXPECT_TRUE(ini.writeString("A", mxString(), mxString()));
  EXPECT_STREQ(ini.readString("A", "k2", "def").c_str(), "def");
  EXPECT_STREQ(ini.readString("B", "k3", "def").c_str(), "v3");
  EXPECT_EQ(slurp(path), "[B]\nk3=v3\n");
  // Removing from a missing file succeeds and creates nothing.
  mxIniFile none(dir.file("none.ini").c_str());
  EXPECT_TRUE(none.writeString("A", "k", mxString()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.ini")));
}

TEST(mxIniFile, MalformedFilesReadAsDefaults) {
  TempDir dir;
  std::string path = dir.file("bad.ini");
  std::string image =
      "orphan=before any section\n"
      "[First]\n"
      "no equals sign here\n"
      "  Key = spaced value  \r\n"
      "dup=one\n"
      "dup=two\n"
      "[Unclosed\n"
      "after=still first\n"
      "[Nul]\n"
      "with" + std::string(1, '\0') + "nul=x\n"
      "val=ab" + std::string(1, '\0') + "cd\n"
      "bad=\xff\xfe\xc3\n"
      "[First]\n"
      "later=from the second copy\n";
  spit(path, image);
  mxIniFile ini(path.c_str());
  EXPECT_STREQ(ini.readString("", "orphan", "def").c_str(), "def");
  EXPECT_STREQ(ini.readString("First", "orphan", "def").c_str(), "def");
  EXPECT_STREQ(ini.readString("First", "key", "def").c_str(), "spaced value");
  EXPECT_STREQ(ini.readString("First", "dup", "def").c_str(), "one");
  EXPECT_STREQ(ini.readString("First", "after", "def").c_str(), "still first");
  EXPECT_STREQ(ini.readString("First", "later", "def").c_str(), "from the second copy");
  EXPECT_STREQ(ini.readString("Nul", "val", "def").c_str(), "ab");
  EXPECT_STREQ(ini.readString("Nul", "bad", "def").c_str(), "\xff\xfe\xc3");  // bytes passed through
  EXPECT_STREQ(ini.readString("Nul", "missing", "def").c_str(), "def");

  // A write keeps every other line of the file as it was.
  EXPECT_TRUE(ini.writeString("First", "dup", "three"));
  EXPECT_STREQ(ini.readString("First", "dup", "def").c_str(), "three");
  std::string after = slurp(path);
  EXPECT_NE(after.find("no equals sign here"), std::string::npos);
  EXPECT_NE(after.find("orphan=before any section"), std::string::npos);
  EXPECT_EQ(after.find("dup=two"), std::string::npos);
}

TEST(mxIniFile, LongValuesAreCutToTheReadArea) {
  TempDir dir;
  mxIniFile ini(dir.file("long.ini").c_str());
  std::string ascii(1000, 'a');
  EXPECT_TRUE(ini.writeString("L", "ascii", ascii.c_str()));
  EXPECT_EQ(ini.readString("L", "ascii", "").length(), 259u);
  // 3-byte characters: 259 = 86 * 3 + 1, so a cut at 259 would split the
  // 87th character; it is left out whole.
  std::string jp;
  for (int i = 0; i < 100; ++i) jp += "共";
  EXPECT_TRUE(ini.writeString("L", "jp", jp.c_str()));
  mxString back = ini.readString("L", "jp", "");
  EXPECT_EQ(back.length(), 258u);
  EXPECT_EQ(std::string(back.c_str()), jp.substr(0, 258));
  std::string longLine(100000, 'z');
  spit(dir.file("huge.ini"), "[H]\nk=" + longLine + "\nnext=1\n");
  mxIniFile huge(dir.file("huge.ini").c_str());
  EXPECT_EQ(huge.readString("H", "k", "").length(), 259u);
  EXPECT_EQ(huge.readUInt("H", "next", 0), 1u);
}

TEST(mxIniFile, RefusesWhatCannotBeStoredAndNeverHalfWrites) {
  TempDir dir;
  std::string path = dir.file("safe.ini");
  mxIniFile ini(path.c_str());
  ASSERT_TRUE(ini.writeString("S", "k", "v"));
  std::string before = slurp(path);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(ini.writeString("S", "a=b", "v"));
  EXPECT_FALSE(ini.writeString("S", "k", "line\nbreak"));
  EXPECT_FALSE(ini.writeString("Se]ction", "k", "v"));
  EXPECT_FALSE(ini.writeString("", "k", "v"));
  std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("[Warn] : mxIniFile::writeString();"), std::string::npos);
  EXPECT_EQ(slurp(path), before);

  // A folder that cannot be written: false, and the old file stays whole.
  if (::geteuid() != 0) {
    ::chmod(dir.path().c_str(), 0500);
    EXPECT_FALSE(ini.writeString("S", "k", "new"));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(slurp(path), before);
  }
  // The target is a directory: it cannot be read as a file, so nothing is written.
  std::filesystem::create_directory(dir.file("adir"));
  mxIniFile onDir(dir.file("adir").c_str());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(onDir.writeString("S", "k", "v"));
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("adir")));
  EXPECT_STREQ(onDir.readString("S", "k", "def").c_str(), "def");
  // No temporary files are left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
