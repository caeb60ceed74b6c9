// The status record's byte image against bytes built by hand, its round
// trip, rejection of damaged images, the first-time flag and the change mask.
#include "gravet/rsGraphStatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// n little-endian bytes of v (bytes beyond the eighth are zero).
void put(Bytes& b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(i < 8 ? static_cast<unsigned char>(v >> (8 * i)) : 0);
}
void putText(Bytes& b, const std::string& s) {
  put(b, static_cast<uint32_t>(s.size()), 4);
  b.insert(b.end(), s.begin(), s.end());
}

Bytes image(rsGraphStatus& r) {
  unsigned char* data = nullptr;
  unsigned size = 0;
  r.toByteArray(data, size);
  return Bytes(data, data + size);
}

rsGraphStatus sample() {
  rsGraphStatus r;
  r.running = 1;
  r.focusDisplay = 2;
  r.mainVideoAddress = "234.5.6.7";
  r.mainVideoPort = 8190;
  r.mainVideoFormat = 2;
  r.mainVideoResolution = 4;
  r.subVideoAddress = "ff15::1";
  r.subVideoPort = 8191;
  r.subVideoFormat = 1;
  r.subVideoResolution = 8;
  r.audioAddress = "";
  r.audioPort = 8192;
  r.audioFormat = 3;
  r.pointerAddress = "送信";  // UTF-8 bytes pass through unchanged
  r.pointerPort = 8193;
  r.loupexVideoFormat = 6;
  r.loupexMaskType = 1;
  r.loupexMaskWidth = 320;
  r.loupexMaskHeight = -240;
  r.videoFormat = 7;
  r.compoundMaskType = 0x7fffffff;
  r.compoundBlendingType = -1;
  return r;
}

TEST(GraphStatus, NewRecordIsEightyOneBytes) {
  rsGraphStatus r;
  Bytes expected;
  put(expected, 0, 1);
  put(expected, 0, 4);
  for (int text = 0; text < 4; ++text) {
    putText(expected, "-");
    put(expected, 0, 2);                        // port
    if (text < 2) put(expected, 0, 8);          // format, resolution
    if (text == 2) put(expected, 0, 4);         // audio format
  }
  put(expected, 0, 28);
  ASSERT_EQ(expected.size(), 81u);
  EXPECT_EQ(image(r), expected);
}

TEST(GraphStatus, EveryFieldAtItsPlace) {
  rsGraphStatus r = sample();
  Bytes e;
  put(e, 1, 1);
  put(e, 2, 4);
  putText(e, "234.5.6.7");
  put(e, 8190, 2);
  put(e, 2, 4);
  put(e, 4, 4);
  putText(e, "ff15::1");
  put(e, 8191, 2);
  put(e, 1, 4);
  put(e, 8, 4);
  putText(e, "");
  put(e, 8192, 2);
  put(e, 3, 4);
  putText(e, "送信");
  put(e, 8193, 2);
  for (int32_t v : {6, 1, 320, -240, 7, 0x7fffffff, -1}) put(e, static_cast<uint32_t>(v), 4);
  EXPECT_EQ(image(r), e);
  EXPECT_EQ(e.size(), rsGraphStatus::FixedSize + 9 + 7 + 0 + std::strlen("送信"));

  rsGraphStatus back;
  ASSERT_TRUE(back.fromByteArray(e.data(), static_cast<unsigned>(e.size())));
  EXPECT_EQ(rsGraphStatusChangeMask(r, back, false), 0u) << "every field reads back";
  EXPECT_EQ(back.audioAddress.length(), 0u);
  EXPECT_STREQ(back.pointerAddress.c_str(), "送信");
  EXPECT_EQ(back.loupexMaskHeight, -240);
  EXPECT_EQ(back.compoundBlendingType, -1);
}

TEST(GraphStatus, DamagedImagesChangeNothing) {
  rsGraphStatus source = sample();
  Bytes good = image(source);
  rsGraphStatus target;
  Bytes before = image(target);

  // Every truncation is refused.
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(target.fromByteArray(good.data(), static_cast<unsigned>(n))) << "length " << n;
  // A text length that runs past the end, or of 1024 bytes or more.
  for (uint32_t length : {0xffffffffu, 1024u, 100000u}) {
    Bytes bad = good;
    std::memcpy(&bad[5], &length, 4);
    EXPECT_FALSE(target.fromByteArray(bad.data(), static_cast<unsigned>(bad.size())));
  }
  EXPECT_FALSE(target.fromByteArray(nullptr, 81));
  EXPECT_EQ(image(target), before) << "a refused image leaves every field as it was";

  // A 1023-byte text is the longest that reads back.
  rsGraphStatus longText;
  longText.subVideoAddress = std::string(1023, 'x').c_str();
  Bytes bytes = image(longText);
  ASSERT_TRUE(target.fromByteArray(bytes.data(), static_cast<unsigned>(bytes.size())));
  EXPECT_EQ(target.subVideoAddress.length(), 1023u);
  longText.subVideoAddress = std::string(1024, 'x').c_str();
  bytes = image(longText);
  EXPECT_FALSE(target.fromByteArray(bytes.data(), static_cast<unsigned>(bytes.size())));

  // Bytes after the last field are ignored.
  bytes = good;
  bytes.push_back(0xAB);
  EXPECT_TRUE(target.fromByteArray(bytes.data(), static_cast<unsigned>(bytes.size())));
  EXPECT_EQ(rsGraphStatusChangeMask(source, target, false), 0u);
}

TEST(GraphStatus, FirstTimeAndBufferOwnership) {
  rsGraphStatus r;
  EXPECT_TRUE(r.firstTime());
  EXPECT_FALSE(r.firstTime());
  rsGraphStatus s = sample();
  Bytes bytes = image(s);
  unsigned char* held = nullptr;
  unsigned heldSize = 0;
  r.toByteArray(held, heldSize);
  ASSERT_TRUE(r.fromByteArray(bytes.data(), static_cast<unsigned>(bytes.size())));
  EXPECT_FALSE(r.firstTime()) << "reading does not make the record new again";

  rsGraphStatus copy(s);
  EXPECT_TRUE(copy.firstTime()) << "a copy inherits the flag's current value";
  rsGraphStatus assigned;
  assigned.firstTime();
  assigned = s;
  EXPECT_TRUE(assigned.firstTime());
  EXPECT_EQ(image(assigned), bytes);
}

TEST(GraphStatus, ChangeMaskBitsAreFieldNumbers) {
  rsGraphStatus a, b;
  EXPECT_EQ(rsGraphStatusChangeMask(a, b, true), rsGraphStatus::FirstRecordBit);
  EXPECT_EQ(rsGraphStatus::FirstRecordBit, 0x400000u);
  b.running = 1;
  b.mainVideoPort = 1;
  b.audioAddress = "234.5.6.8";
  b.compoundBlendingType = 5;
  EXPECT_EQ(rsGraphStatusChangeMask(a, b, false), (1u << 0) | (1u << 3) | (1u << 10) | (1u << 21));
  // Two empty texts are the same text.
  a.pointerAddress = "";
  b = a;
  EXPECT_EQ(rsGraphStatusChangeMask(a, b, false), 0u);
}

}  // namespace
