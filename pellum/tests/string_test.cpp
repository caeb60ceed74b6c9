// mxString: storage of the empty string, editing, parsing, comparison and
// hashing, also with multi-byte (Japanese UTF-8) text.
#include <gtest/gtest.h>

#include <cstring>

#include "pellum/mxString.h"

namespace {

const char* kJapanese = "着目点の遠隔共有";  // 8 characters, 24 bytes

TEST(mxString, EmptyStringHasNoStorage) {
  mxString s("abc");
  s = "";
  EXPECT_EQ(s.c_str(), nullptr);
  EXPECT_EQ(s.length(), 0u);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_TRUE(!s);
  s = static_cast<const char*>(nullptr);
  EXPECT_EQ(s.c_str(), nullptr);
  EXPECT_EQ(mxString("").c_str(), nullptr);
  EXPECT_EQ(mxString("abc").subString(3).c_str(), nullptr);
  mxString t("abcd");
  t.length(0);
  EXPECT_EQ(t.c_str(), nullptr);
  mxString e;
  e.length(5);  // lengthening an empty string keeps it empty (no storage)
  EXPECT_EQ(e.c_str(), nullptr);
}

TEST(mxString, ConstructionFromNumbers) {
  EXPECT_STREQ(mxString(-42).c_str(), "-42");
  EXPECT_STREQ(mxString(1.5f).c_str(), "1.500000");
  EXPECT_STREQ(mxString(2.25).c_str(), "2.250000");
  EXPECT_STREQ(mxString("abc\0def", 7).c_str(), "abc");
}

TEST(mxString, AssignmentFromItself) {
  mxString s("banana");
  s = s;
  EXPECT_STREQ(s.c_str(), "banana");
  s = s.c_str() + 2;  // a tail of its own block
  EXPECT_STREQ(s.c_str(), "nana");
  s += s;
  EXPECT_STREQ(s.c_str(), "nananana");
  s += s.c_str() + 6;
  EXPECT_STREQ(s.c_str(), "nanananana");
}

TEST(mxString, SubStringInsertReplace) {
  mxString abcd("abcd");
  EXPECT_TRUE(abcd.subString(2, 5).isEmpty());
  EXPECT_TRUE(abcd.subString(4).isEmpty());
  EXPECT_STREQ(abcd.subString(1, 2).c_str(), "bc");
  EXPECT_STREQ(abcd.subString(0, 4).c_str(), "abcd");
  EXPECT_TRUE(abcd.subString(5, 0).isEmpty());
  EXPECT_TRUE(abcd.subString(1, 0xFFFFFFFFu).isEmpty());  // no wrap-around

  mxString s("abcd");
  s.insert("x", 4);
  EXPECT_STREQ(s.c_str(), "abcd");
  s.insert("x", 0);
  EXPECT_STREQ(s.c_str(), "xabcd");
  s.insert("--", 3);
  EXPECT_STREQ(s.c_str(), "xab--cd");

  mxString b("banana");
  b.replace("a", "X");
  EXPECT_STREQ(b.c_str(), "bXnana");
  b.replace("zz", "y");
  EXPECT_STREQ(b.c_str(), "bXnana");
  b.replace("bXnana", mxString());
  EXPECT_TRUE(b.isEmpty());

  mxString cut("abcd");
  cut.length(2);
  EXPECT_STREQ(cut.c_str(), "ab");
  cut.length(10);
  EXPECT_STREQ(cut.c_str(), "ab");
}

TEST(mxString, ParsingNumbers) {
  EXPECT_EQ(mxString().toInt(7), 7);
  EXPECT_EQ(mxString("abc").toInt(7), 7);
  EXPECT_EQ(mxString("12ab").toInt(7), 12);
  EXPECT_EQ(mxString("-3").toInt(7), -3);
  EXPECT_FLOAT_EQ(mxString("2.5x").toFloat(1.0f), 2.5f);
  EXPECT_FLOAT_EQ(mxString("x").toFloat(1.0f), 1.0f);
  EXPECT_DOUBLE_EQ(mxString("1e3").toDouble(0), 1000.0);
}

TEST(mxString, CaseConversionIsAsciiOnly) {
  mxString s("AbC");
  EXPECT_STREQ(s.lowerCase().c_str(), "abc");
  EXPECT_STREQ(s.upperCase().c_str(), "ABC");
  EXPECT_STREQ(s.c_str(), "AbC");
  mxString j = mxString("Ab") + kJapanese;
  j.toUpper();
  EXPECT_EQ(std::strcmp(j.c_str() + 2, kJapanese), 0);  // multi-byte text unchanged
  EXPECT_STREQ(j.subString(0, 2).c_str(), "AB");
}

TEST(mxString, Comparisons) {
  mxString empty, a("a"), b("b");
  EXPECT_FALSE(empty == "");
  EXPECT_TRUE(empty != empty);
  EXPECT_FALSE(empty == empty);
  EXPECT_FALSE(a == static_cast<const char*>(nullptr));
  EXPECT_FALSE(a <= empty);
  EXPECT_FALSE(a >= empty);
  EXPECT_TRUE(a == "a");
  EXPECT_TRUE("a" == a);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(a < a);
  EXPECT_TRUE(a <= a);
  EXPECT_TRUE(a >= a);
  EXPECT_TRUE(b > a);
  EXPECT_TRUE("a" < b);
  EXPECT_TRUE("b" > a);
  EXPECT_TRUE("a" <= a);
  EXPECT_FALSE("b" <= a);
  // Bytes are unsigned: a multi-byte lead byte sorts after ASCII.
  mxString jp(kJapanese);
  EXPECT_TRUE(a < jp);
  EXPECT_TRUE(jp > "zzz");
  EXPECT_TRUE(jp == kJapanese);
}

TEST(mxString, MultiByteText) {
  mxString jp(kJapanese);
  EXPECT_EQ(jp.length(), 24u);
  EXPECT_STREQ(jp.subString(0, 3).c_str(), "着");
  EXPECT_STREQ(jp.subString(21).c_str(), "有");
  mxString edited(jp);
  edited.replace("遠隔", "ローカル");
  EXPECT_STREQ(edited.c_str(), "着目点のローカル共有");
  edited.insert("【", 0);
  EXPECT_STREQ(edited.c_str(), "【着目点のローカル共有");
}

TEST(mxString, FormatIsBounded) {
  mxString s;
  s.format("%s-%d", "x", 5);
  EXPECT_STREQ(s.c_str(), "x-5");
  std::string big(2000, 'q');
  s.format("%s", big.c_str());
  EXPECT_EQ(s.length(), 511u);
}

TEST(mxString, Hash) {
  EXPECT_EQ(mxString().hash(), 0u);
  EXPECT_EQ(mxString("a").hash(), 0x61u);
  // 'a' << 0 ^ 'b' << 5
  EXPECT_EQ(mxString("ab").hash(), 0x61u ^ (0x62u << 5));
  // Shifts 0,5,10,15,20 then 25-24=1: the sixth byte is shifted by 1.
  uint32_t expect = 0;
  const unsigned shifts[] = {0, 5, 10, 15, 20, 1, 6};
  for (int i = 0; i < 7; ++i) expect ^= uint32_t{'a'} << shifts[i];
  EXPECT_EQ(mxString("aaaaaaa").hash(), expect);
  // Bytes are sign-extended: 0xE7 counts as -25.
  mxString high("\xE7");
  EXPECT_EQ(high.hash(), static_cast<uint32_t>(int32_t{-25}));
}

}  // namespace
