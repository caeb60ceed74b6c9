// mxString: storage of the empty string, editing, parsing, comparison and
// hashing, also with multi-byte (Japanese UTF-8) text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pellum/mxString.h"

namespace {

const char* kJapanese = "着目点の遠隔共有";  // 8 characters, 24 bytes

mxString edited(const char* start, void (*edit)(mxString&)) {
  mxString s(start);
  edit(s);
  return s;
}

// Each result against its text; null: the empty string, which has no storage.
TEST(mxString, ResultsOfConstructionAndEditing) {
  const std::string big(2000, 'q'), cut(511, 'q');
  const struct {
    mxString got;
    const char* want;
  } cases[] = {
      {mxString(""), nullptr},
      {mxString("abc").subString(3), nullptr},
      {edited("abc", [](mxString& s) { s = ""; }), nullptr},
      {edited("abc", [](mxString& s) { s = static_cast<const char*>(nullptr); }), nullptr},
      {edited("abcd", [](mxString& s) { s.length(0); }), nullptr},
      {edited(nullptr, [](mxString& s) { s.length(5); }), nullptr},  // never lengthens
      {mxString(-42), "-42"},
      {mxString(1.5f), "1.500000"},
      {mxString(2.25), "2.250000"},
      {mxString("abc\0def", 7), "abc"},
      // Assignment and appending from itself, or from a tail of its own block.
      {edited("banana", [](mxString& s) { s = s; }), "banana"},
      {edited("banana", [](mxString& s) { s = s.c_str() + 2; }), "nana"},
      {edited("nana", [](mxString& s) { s += s; }), "nananana"},
      {edited("nananana", [](mxString& s) { s += s.c_str() + 6; }), "nanananana"},
      {mxString("abcd").subString(2, 5), nullptr},  // never clipped
      {mxString("abcd").subString(4), nullptr},
      {mxString("abcd").subString(5, 0), nullptr},
      {mxString("abcd").subString(1, 0xFFFFFFFFu), nullptr},  // no wrap-around
      {mxString("abcd").subString(1, 2), "bc"},
      {mxString("abcd").subString(0, 4), "abcd"},
      {edited("abcd", [](mxString& s) { s.insert("x", 4); }), "abcd"},
      {edited("abcd", [](mxString& s) { s.insert("x", 0); }), "xabcd"},
      {edited("xabcd", [](mxString& s) { s.insert("--", 3); }), "xab--cd"},
      {edited("banana", [](mxString& s) { s.replace("a", "X"); }), "bXnana"},  // the first only
      {edited("bXnana", [](mxString& s) { s.replace("zz", "y"); }), "bXnana"},
      {edited("bXnana", [](mxString& s) { s.replace("bXnana", mxString()); }), nullptr},
      {edited("abcd", [](mxString& s) { s.length(2); }), "ab"},
      {edited("ab", [](mxString& s) { s.length(10); }), "ab"},
      {mxString("AbC").lowerCase(), "abc"},
      {mxString("AbC").upperCase(), "ABC"},
      {(mxString("Ab") + kJapanese).upperCase(), "AB着目点の遠隔共有"},  // ASCII only
      {mxString(kJapanese).subString(0, 3), "着"},
      {mxString(kJapanese).subString(21), "有"},
      {edited(kJapanese, [](mxString& s) { s.replace("遠隔", "ローカル"); }), "着目点のローカル共有"},
      {edited(kJapanese, [](mxString& s) { s.insert("【", 0); }), "【着目点の遠隔共有"},
      {edited(nullptr, [](mxString& s) { s.format("%s-%d", "x", 5); }), "x-5"},
      {edited(big.c_str(), [](mxString& s) { s.format("%s", std::string(s.c_str()).c_str()); }),
       cut.c_str()},  // cut to the 512-byte area
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    if (!cases[i].want) {
      EXPECT_EQ(cases[i].got.c_str(), nullptr);
      EXPECT_EQ(cases[i].got.length(), 0u);
      EXPECT_TRUE(cases[i].got.isEmpty() && !cases[i].got);
    } else {
      EXPECT_STREQ(cases[i].got.c_str(), cases[i].want);
    }
  }
  mxString s("AbC");
  s.lowerCase();
  EXPECT_STREQ(s.c_str(), "AbC");  // the copies leave the original alone
  EXPECT_EQ(mxString(kJapanese).length(), 24u);
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

TEST(mxString, Comparisons) {
  // An empty side makes everything false but !=; bytes compare unsigned, so
  // a multi-byte lead byte sorts after ASCII.
  mxString empty, a("a"), b("b"), jp(kJapanese);
  const bool holds[] = {!(empty == ""),   empty != empty, !(empty == empty), !(a == static_cast<const char*>(nullptr)),
                        !(a <= empty),    !(a >= empty),  a == "a",          "a" == a,
                        a < b,            !(a < a),       a <= a,            a >= a,
                        b > a,            "a" < b,        "b" > a,           "a" <= a,
                        !("b" <= a),      a < jp,         jp > "zzz",        jp == kJapanese};
  for (size_t i = 0; i < std::size(holds); ++i) EXPECT_TRUE(holds[i]) << "comparison " << i;
}

TEST(mxString, Hash) {
  // Shifts 0, 5, 10, 15, 20, then 25 - 24 = 1: the sixth byte is shifted by 1.
  uint32_t seven = 0;
  for (unsigned shift : {0, 5, 10, 15, 20, 1, 6}) seven ^= uint32_t{'a'} << shift;
  EXPECT_EQ(mxString().hash(), 0u);
  EXPECT_EQ(mxString("a").hash(), 0x61u);
  EXPECT_EQ(mxString("ab").hash(), 0x61u ^ (0x62u << 5));
  EXPECT_EQ(mxString("aaaaaaa").hash(), seven);
  EXPECT_EQ(mxString("\xE7").hash(), static_cast<uint32_t>(int32_t{-25}));  // bytes sign-extended
}

}  // namespace
