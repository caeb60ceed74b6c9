// mxIniFile: values written by one object are read back by another (and by
// a fresh parse of the file), malformed files read as defaults, and a write
// never leaves a half-written file.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <utility>

#include "pellum/mxIniFile.h"
#include "pellum/tests/temp_dir.h"

namespace {

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
  // A cut that leaves blanks at the end leaves them out: the value written
  // back reads the same.
  EXPECT_TRUE(ini.writeString("L", "blanks", (std::string(257, 'b') + "  \tc").c_str()));
  const mxString cut = ini.readString("L", "blanks", "");
  EXPECT_EQ(std::string(cut.c_str()), std::string(257, 'b'));
  EXPECT_TRUE(ini.writeString("L", "again", cut));
  EXPECT_EQ(std::string(ini.readString("L", "again", "").c_str()), std::string(cut.c_str()));
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

TEST(mxIniFile, ByteOrderMarkIsSkippedAndKept) {
  TempDir dir;
  std::string path = dir.file("bom.ini");
  spit(path, "\xEF\xBB\xBF[Video]\nPort=8200\n");
  mxIniFile ini(path.c_str());
  EXPECT_EQ(ini.readUInt("Video", "Port", 0), 8200u);
  EXPECT_TRUE(ini.writeUInt("Video", "Port", 8300));
  EXPECT_TRUE(ini.writeString("Video", "Group", "234.5.6.7"));
  EXPECT_EQ(slurp(path), "\xEF\xBB\xBF[Video]\nPort=8300\nGroup=234.5.6.7\n");
  // A mark anywhere else is part of the text.
  spit(path, "[A]\n\xEF\xBB\xBFk=1\n");
  EXPECT_STREQ(ini.readString("A", "k", "def").c_str(), "def");
}

TEST(mxIniFile, EmptyValuesAndBlanksAroundValues) {
  TempDir dir;
  std::string path = dir.file("net.ini");
  spit(path, "[Net]\nAddress=\nPort=8200\n");
  mxIniFile ini(path.c_str());
  EXPECT_TRUE(ini.readString("Net", "Address", "def").isEmpty());  // present, empty
  EXPECT_EQ(ini.readUInt("Net", "Address", 7), 7u);
  EXPECT_FLOAT_EQ(ini.readFloat("Net", "Address", 1.5f), 1.5f);
  EXPECT_TRUE(ini.writeUInt("Net", "Port", 8201));
  EXPECT_EQ(slurp(path), "[Net]\nAddress=\nPort=8201\n");

  // Blanks around a value are stored as the reader gives it back.
  struct Case {
    const char* value;
    bool ok;
    const char* readBack;
  };
  const Case cases[] = {
      {"Camera ", true, "Camera"},      {"\t Mic \t", true, "Mic"}, {"   ", true, ""},
      {"two words", true, "two words"}, {"a\nb", false, "def"},     {"a\rb", false, "def"},
      {"tail\r", false, "def"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ini.writeString("Dev", "Name", c.value), c.ok);
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("[Warn] : mxIniFile::writeString();") != std::string::npos, !c.ok);
    mxString back = ini.readString("Dev", "Name", "def");
    EXPECT_STREQ(back.isEmpty() ? "" : back.c_str(), c.readBack);
    ini.writeString("Dev", "Name", mxString());
  }
}

TEST(mxIniFile, NumbersFromHandEditedFiles) {
  TempDir dir;
  mxIniFile ini(dir.file("num.ini").c_str());
  EXPECT_EQ(ini.readUInt("N", "v", 7), 7u);  // no file at all
  EXPECT_TRUE(ini.writeUInt("N", "Max", 4294967295u));
  EXPECT_STREQ(ini.readString("N", "Max", "").c_str(), "-1");
  const float nan = std::numeric_limits<float>::quiet_NaN();  // "the default"
  struct Case {
    const char* text;
    unsigned asUInt;  // read with default 7
    float asFloat;    // read with default 1.5; NaN stands for the default
  };
  const Case cases[] = {
      {"4294967295", 4294967295u, 4294967295.0f},
      {"4294967296", 7, 4294967296.0f},
      {"99999999999999999999", 7, 1e20f},
      {"-1", 4294967295u, -1},
      {"-2147483648", 2147483648u, -2147483648.0f},
      {"-2147483649", 7, -2147483649.0f},
      {"+5", 5, 5},
      {"12abc", 12, 12},
      {"1.25", 1, 1.25f},
      {"3.5e2", 3, 350},
      {"abc", 7, nan},
      {"-", 7, nan},
      {"", 7, nan},
      {"nan", 7, nan},
      {"-nan", 7, nan},
      {"inf", 7, nan},
      {"-Infinity", 7, nan},
      {"1e39", 1, nan},
      {"0x1p3", 0, nan},
      {"-0X10", 0, nan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(ini.writeString("N", "v", c.text) || !*c.text);
    EXPECT_EQ(ini.readUInt("N", "v", 7), c.asUInt);
    float f = ini.readFloat("N", "v", 1.5f);
    if (std::isnan(c.asFloat)) {
      EXPECT_EQ(f, 1.5f);
    } else {
      EXPECT_FLOAT_EQ(f, c.asFloat);
    }
  }
  // A value that cannot be read back is not written.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(ini.writeFloat("N", "inf", std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(ini.writeFloat("N", "nan", nan));
  ::testing::internal::GetCapturedStderr();
  EXPECT_FLOAT_EQ(ini.readFloat("N", "inf", 2.5f), 2.5f);
  // A port above 65535 keeps the current one (and is said).
  for (const auto& [text, port] : {std::pair{"65535", 65535}, {"65536", 8190}, {"-1", 8190}, {"x", 8190}}) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(ini.writeString("P", "Port", text));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ini.readPort("Test", "P", 8190), port);
    ::testing::internal::GetCapturedStderr();
  }
}

#ifdef PELLUM_TEST_LOCALE_DIR
// A comma-decimal locale (built into the build tree by localedef).
TEST(mxIniFile, NumbersIgnoreTheProcessLocale) {
  struct RestoreC {
    ~RestoreC() { std::setlocale(LC_ALL, "C"); }
  } restore;
  ::setenv("LOCPATH", PELLUM_TEST_LOCALE_DIR, 1);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "de_DE.UTF-8 was not built in " PELLUM_TEST_LOCALE_DIR;
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.2f", 1.25);
  EXPECT_STREQ(shown, "1,25");  // the locale is really in force
  TempDir dir;
  std::string path = dir.file("loc.ini");
  mxIniFile ini(path.c_str());
  EXPECT_TRUE(ini.writeFloat("S", "Scale", 1.25f));
  EXPECT_TRUE(ini.writeUInt("S", "Rate", 1048576));
  EXPECT_TRUE(ini.writeString("S", "Given", "2.5"));
  EXPECT_FLOAT_EQ(ini.readFloat("S", "Scale", 0), 1.25f);
  EXPECT_FLOAT_EQ(ini.readFloat("S", "Given", 0), 2.5f);
  EXPECT_EQ(ini.readUInt("S", "Rate", 0), 1048576u);
  EXPECT_EQ(slurp(path), "[S]\nScale=1.250000\nRate=1048576\nGiven=2.5\n");
}
#endif

TEST(mxIniFile, WritesThroughSymbolicLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("real"));
  struct Case {
    const char* link;
    const char* pointsTo;  // relative to the link's folder
    const char* target;    // the file that is written
    bool targetExists;
  };
  const Case cases[] = {
      {"link.ini", "real/a.ini", "real/a.ini", true},
      {"chain.ini", "link.ini", "real/a.ini", true},
      {"dangling.ini", "real/new.ini", "real/new.ini", false},
  };
  spit(dir.file("real/a.ini"), "[S]\nk=0\n");
  ::chmod(dir.file("real/a.ini").c_str(), 0640);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    std::filesystem::create_symlink(c.pointsTo, dir.file(c.link));
    mxIniFile ini(dir.file(c.link).c_str());
    EXPECT_TRUE(ini.writeString("S", "k", c.link));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file(c.link)));
    std::error_code ec;
    EXPECT_EQ(std::filesystem::read_symlink(dir.file(c.link), ec), c.pointsTo);
    EXPECT_STREQ(mxIniFile(dir.file(c.target).c_str()).readString("S", "k", "").c_str(), c.link);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file(c.target).c_str(), &st), 0);
    if (c.targetExists) {
      EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
  }
  // Nothing but the links and the files they point to.
  int entries = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(dir.path())) entries += !e.is_directory();
  EXPECT_EQ(entries, 5);
}

// Runs `body` in a child process that cannot write the folder: as root the
// child drops to the unprivileged user 65534 (root ignores permission
// bits); otherwise it runs as the caller. Returns the child's exit code.
int runWithoutFolderRights(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(77);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(mxIniFile, ReadOnlyFolderRewritesTheFileInPlace) {
  struct Case {
    const char* name;
    mode_t mode;
    int expect;  // 0: written in place, 1: refused and left as it was
  };
  const Case cases[] = {{"writable file", 0644, 0}, {"read-only file", 0444, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.file("ro.ini");
    const std::string before = "; kept\n[S]\nk=old\n";
    spit(path, before);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ::chmod(path.c_str(), c.mode);
    ::chmod(dir.path().c_str(), 0555);
    struct stat was {};
    ::stat(path.c_str(), &was);
    const std::string value = "a longer value than before";
    int code = runWithoutFolderRights([&] {
      mxIniFile ini(path.c_str());
      bool ok = ini.writeString("S", "k", value.c_str()) && ini.writeString("T", "n", "1");
      bool back = ini.readString("S", "k", "?").c_str() == (ok ? value : "old");
      return back ? (ok ? 0 : 1) : 2;
    });
    ::chmod(dir.path().c_str(), 0700);
    if (code == 77) GTEST_SKIP() << "cannot drop to user 65534, so root would write the read-only folder";
    EXPECT_EQ(code, c.expect);
    EXPECT_EQ(slurp(path), c.expect == 0 ? "; kept\n[S]\nk=" + value + "\n\n[T]\nn=1\n" : before);
    struct stat now {};
    ::stat(path.c_str(), &now);
    EXPECT_EQ(now.st_ino, was.st_ino);  // the same file, rewritten
    EXPECT_EQ(now.st_mode, was.st_mode);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

}  // namespace
