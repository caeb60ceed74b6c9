// mxRegistry on the file-backed store (in a folder of the test's own) and
// mxFile: streams, the position stack, path routines and listings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "pellum/mxFile.h"
#include "pellum/mxRegistry.h"
#include "pellum/tests/temp_dir.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("POINTSHARE_REGISTRY_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("POINTSHARE_REGISTRY_DIR"); }
  TempDir dir_;
};

TEST_F(RegistryTest, ValuesRoundTripThroughASecondObject) {
  mxRegistry::setCompanyName("Acme");
  mxRegistry::setProductName("Pointer");
  EXPECT_STREQ(mxRegistry::getCompanyName().c_str(), "Acme");
  {
    mxRegistry reg;
    ASSERT_TRUE(reg.createKey("Settings", mxRegistry::CurrentUser));
    EXPECT_TRUE(reg.writeUInt("Net", "Port", 8930));
    EXPECT_TRUE(reg.writeString("Net", "Group", "234.5.6.7"));
    EXPECT_TRUE(reg.writeString("Net", "Label", "受信"));
    EXPECT_TRUE(reg.writeUInt("Net", "Max", 0xFFFFFFFFu));
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() +
                                            "/HKEY_CURRENT_USER/software/acme/pointer/settings/net"));
  mxRegistry reg;
  ASSERT_TRUE(reg.createKey("settings", mxRegistry::CurrentUser));  // names ignore case
  EXPECT_EQ(reg.readUInt("NET", "port", 0), 8930u);
  EXPECT_EQ(reg.readUInt("Net", "Max", 0), 0xFFFFFFFFu);
  EXPECT_STREQ(reg.readString("Net", "Group", "").c_str(), "234.5.6.7");
  EXPECT_STREQ(reg.readString("Net", "Label", "").c_str(), "受信");
  // Wrong kinds and missing values give the defaults.
  EXPECT_EQ(reg.readUInt("Net", "Group", 5), 5u);
  EXPECT_STREQ(reg.readString("Net", "Port", "d").c_str(), "d");
  EXPECT_STREQ(reg.readString("Net", "None", "d").c_str(), "d");
  // Texts up to the 256-byte area read back whole; longer ones give the default.
  std::string fits(256, 'x'), tooLong(257, 'y');
  EXPECT_TRUE(reg.writeString("Net", "Fits", fits.c_str()));
  EXPECT_TRUE(reg.writeString("Net", "Long", tooLong.c_str()));
  EXPECT_EQ(reg.readString("Net", "Fits", "").length(), 256u);
  EXPECT_STREQ(reg.readString("Net", "Long", "d").c_str(), "d");

  EXPECT_TRUE(reg.deleteValue("Net", "Port"));
  EXPECT_FALSE(reg.deleteValue("Net", "Port"));
  EXPECT_EQ(reg.readUInt("Net", "Port", 1), 1u);
  EXPECT_TRUE(reg.deleteSection("Net"));
  EXPECT_STREQ(reg.readString("Net", "Group", "gone").c_str(), "gone");
  EXPECT_TRUE(reg.closeKey());
  EXPECT_FALSE(reg.closeKey());
  mxRegistry::setCompanyName("Company");
  mxRegistry::setProductName("Product");
}

TEST_F(RegistryTest, BadRootsAndCorruptStore) {
  mxRegistry reg;
  EXPECT_FALSE(reg.createKey("X", static_cast<mxRegistry::RootKeyEnum>(7)));
  EXPECT_EQ(reg.readUInt("S", "k", 3), 3u);
  EXPECT_STREQ(reg.readString("S", "k", "d").c_str(), "d");
  EXPECT_FALSE(reg.writeUInt("S", "k", 1));
  ASSERT_TRUE(reg.createKey("X", mxRegistry::LocalMachine));
  ASSERT_TRUE(reg.writeUInt("S", "k", 1));
  // A damaged values file: bad lines are skipped, good ones still read.
  std::string values = dir_.path() + "/HKEY_LOCAL_MACHINE/software/company/product/x/s/.values";
  {
    std::ofstream out(values, std::ios::app | std::ios::binary);
    out << "garbage line\nD zz 00\nS 6e 4\n" << std::string(3, '\0') << "\nD 6d 02000000\n";
  }
  EXPECT_EQ(reg.readUInt("S", "k", 0), 1u);
  EXPECT_EQ(reg.readUInt("S", "m", 0), 2u);
  EXPECT_STREQ(reg.readString("S", "n", "d").c_str(), "d");
  // A store folder that is a file: keys cannot be opened, reads give defaults.
  std::string blocked = dir_.file("blocked");
  std::ofstream(blocked) << "x";
  ::setenv("POINTSHARE_REGISTRY_DIR", blocked.c_str(), 1);
  mxRegistry other;
  EXPECT_FALSE(other.createKey("Y", mxRegistry::CurrentUser));
  EXPECT_EQ(other.readUInt("S", "k", 4), 4u);
}

TEST(mxFile, StreamsAndPositionStack) {
  TempDir dir;
  std::string path = dir.file("data.bin");
  mxFile f;
  EXPECT_FALSE(f.open(path.c_str(), mxFile::Read));  // missing
  EXPECT_FALSE(f.isOpen());
  EXPECT_STREQ(f.getFilename().c_str(), path.c_str());  // the name is kept
  ASSERT_TRUE(f.open(path.c_str(), mxFile::Write));
  EXPECT_EQ(f.getSize(), 0);
  const char bytes[] = "0123456789";
  EXPECT_EQ(f.write(bytes, 1, 10), 10u);
  EXPECT_TRUE(f.close());
  EXPECT_TRUE(f.getFilename().isEmpty());

  ASSERT_TRUE(f.open(path.c_str(), mxFile::Read));
  EXPECT_EQ(f.getSize(), 10);
  EXPECT_FALSE(f.pop());  // empty stack: no move
  int64_t pos = -1;
  EXPECT_TRUE(f.getPosition(pos));
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(f.setPosition(3));
  EXPECT_TRUE(f.push());
  char buf[4] = {};
  EXPECT_EQ(f.read(buf, 2, 2), 2u);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_TRUE(f.pop());
  EXPECT_TRUE(f.getPosition(pos));
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(f.read(buf, 4, 5), 1u);  // 7 bytes remain: one whole item of 4
  EXPECT_TRUE(f.isEndOfFile());
  f.close();

  // Opening with mode Write reports the size the file had before truncation.
  ASSERT_TRUE(f.open(path.c_str(), mxFile::Write));
  EXPECT_EQ(f.getSize(), 10);
  f.close();
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  ASSERT_TRUE(f.open(path.c_str(), mxFile::Append));
  EXPECT_EQ(f.write(bytes, 5, 1), 1u);
  f.close();
  EXPECT_EQ(std::filesystem::file_size(path), 5u);
  EXPECT_FALSE(f.open(path.c_str(), static_cast<mxFile::ModeEnum>(9)));
  EXPECT_FALSE(f.open(dir.path().c_str(), mxFile::Read));  // a folder
  EXPECT_FALSE(f.isOpen());
}

TEST(mxFile, PathRoutines) {
  EXPECT_STREQ(mxFile::getFilenameWithoutPath("/usr/lib/libx.so").c_str(), "libx.so");
  EXPECT_STREQ(mxFile::getFilenameWithoutPath("C:\\dir\\file.dll").c_str(), "file.dll");
  EXPECT_STREQ(mxFile::getFilenameWithoutPath("plain").c_str(), "plain");
  EXPECT_TRUE(mxFile::getPathWithoutFilename("plain").isEmpty());
  EXPECT_STREQ(mxFile::getPathWithoutFilename("/usr/lib/libx.so").c_str(), "/usr/lib");
  // With both separators the last backslash decides.
  EXPECT_STREQ(mxFile::getPathWithoutFilename("a/b\\c/d").c_str(), "a/b");
  EXPECT_STREQ(mxFile::getFilenameWithoutPath("a/b\\c/d").c_str(), "c/d");
  EXPECT_STREQ(mxFile::getExtension("dir.v2/name.tar.gz").c_str(), "gz");
  EXPECT_TRUE(mxFile::getExtension("noext").isEmpty());
  EXPECT_STREQ(mxFile::getExtension("dir.v2/noext").c_str(), "v2/noext");  // the last dot anywhere

  mxString exe = mxFile::getModuleFilename();
  EXPECT_TRUE(std::filesystem::exists(exe.c_str()));
  EXPECT_STREQ(mxFile::getModulePath().c_str(), std::filesystem::path(exe.c_str()).parent_path().c_str());
  mxString tmp = mxFile::getTemporaryPath();
  EXPECT_EQ(tmp.c_str()[tmp.length() - 1], '/');
  mxString t1 = mxFile::getTemporaryFilename("pellum"), t2 = mxFile::getTemporaryFilename("pellum");
  EXPECT_TRUE(std::filesystem::exists(t1.c_str()));
  EXPECT_TRUE(t1 != t2);
  std::filesystem::remove(t1.c_str());
  std::filesystem::remove(t2.c_str());
}

TEST(mxFile, Listings) {
  TempDir a, b;
  for (const char* name : {"z.so", "a.so", "b.txt"}) std::ofstream(a.file(name)) << "x";
  std::filesystem::create_directory(a.file("sub.so"));  // directories match too
  std::ofstream(b.file("c.so")) << "x";
  mxArray<mxString> found = mxFile::findFilenames((a.path() + "/*.so").c_str());
  ASSERT_EQ(found.getSize(), 3u);
  EXPECT_STREQ(found[0].c_str(), a.file("a.so").c_str());
  EXPECT_STREQ(found[1].c_str(), a.file("sub.so").c_str());
  EXPECT_STREQ(found[2].c_str(), a.file("z.so").c_str());
  mxArray<mxString> dirs;
  dirs.append(a.path().c_str());
  dirs.append("/nonexistent-folder");
  dirs.append(b.path().c_str());
  mxArray<mxString> all = mxFile::findFilenames(dirs, "*.so");
  ASSERT_EQ(all.getSize(), 4u);
  EXPECT_STREQ(all[3].c_str(), b.file("c.so").c_str());
  EXPECT_EQ(mxFile::findFilenames("/nonexistent-folder/*").getSize(), 0u);
}

}  // namespace
