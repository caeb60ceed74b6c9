#include <gtest/gtest.h>

#include <cstring>

#include "koBase/koArray.h"
#include "koBase/koByteStream.h"

TEST(koOutputByteStream, GrowsInStepsAndKeepsItsBufferAcrossClear) {
  koOutputByteStream out;
  uint8_t block[1500];
  for (int i = 0; i < 1500; ++i) block[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(out.writeBytes(block, 1500), 1500u);
  EXPECT_EQ(out.capacity(), 2048u);
  EXPECT_EQ(out.length(), 1500u);
  EXPECT_EQ(std::memcmp(out.data(), block, 1500), 0);
  const uint8_t* before = out.data();
  out.clear();
  EXPECT_EQ(out.writeBytes(block, 10), 10u);
  EXPECT_EQ(out.data(), before);
  EXPECT_EQ(out.capacity(), 2048u);
  EXPECT_EQ(out.writeBytes(block, 0), 0u);
  EXPECT_EQ(out.length(), 10u);
}

TEST(koOutputByteStream, WritesLittleEndianValues) {
  koOutputByteStream out;
  const uint32_t words[2] = {0x04030201, 0xAABBCCDD};
  out.write32(words, 2);
  out.writeU64(0x1122334455667788ull);
  out.writeU16(0xBEEF);
  out.writeU8(7);
  out.writeI64(-1);
  const uint8_t expected[] = {1, 2, 3, 4, 0xDD, 0xCC, 0xBB, 0xAA, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33,
                              0x22, 0x11, 0xEF, 0xBE, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(out.length(), sizeof expected);
  EXPECT_EQ(std::memcmp(out.data(), expected, sizeof expected), 0);
}

TEST(koInputByteStream, ReadsBackAndRefusesReadsPastTheEnd) {
  const uint8_t bytes[] = {1, 2, 3, 4, 0xEF, 0xBE, 9, 8, 7, 6};
  koInputByteStream in(bytes, sizeof bytes);
  EXPECT_EQ(in.readU32(), 0x04030201u);
  EXPECT_EQ(in.readU16(), 0xBEEF);
  EXPECT_FALSE(in.failed());
  uint64_t v = 0;
  EXPECT_FALSE(in.read64(&v, 1));  // 8 wanted, 4 left
  EXPECT_EQ(in.position(), 6u);
  EXPECT_TRUE(in.failed());
  uint8_t four[4];
  EXPECT_TRUE(in.readBytes(four, 4));  // still readable; the error flag stays
  EXPECT_EQ(four[3], 6);
  EXPECT_TRUE(in.failed());
  EXPECT_EQ(in.readU8(), 0);
  EXPECT_EQ(in.remaining(), 0u);
  in.attach(bytes, sizeof bytes);
  EXPECT_FALSE(in.failed());
  EXPECT_FALSE(in.skip(11));
  EXPECT_TRUE(in.skip(10));
  uint32_t huge[2];
  in.attach(bytes, 4);
  EXPECT_FALSE(in.read32(huge, 0x40000001u));  // count * 4 would wrap
  EXPECT_EQ(in.position(), 0u);
}

TEST(koArray, GrowsByItsStepAndRemovesInOrder) {
  koArray<int> a;
  for (int i = 0; i < 16; ++i) a.append(i);
  EXPECT_EQ(a.capacity(), 16u);
  a.append(16);
  EXPECT_EQ(a.capacity(), 32u);
  EXPECT_EQ(a.size(), 17u);

  koArray<uint8_t> b;
  b.reserve(16);
  b.setSize(16);
  EXPECT_EQ(b.capacity(), 32u);  // the capacity always exceeds the size set
  EXPECT_EQ(b.size(), 16u);

  koArray<int> c;
  for (int v : {10, 11, 12}) c.append(v);
  c.removeAt(0);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0], 11);
  EXPECT_EQ(c[1], 12);
  c.removeAt(1);
  EXPECT_EQ(c.size(), 1u);
  EXPECT_EQ(c.capacity(), 16u);

  c.reserve(16);  // same capacity: nothing happens
  EXPECT_EQ(c.size(), 1u);
  c.reserve(0);
  EXPECT_EQ(c.capacity(), 0u);
  EXPECT_EQ(c.size(), 0u);
  koArray<int> d(256);
  d.setSize(1);
  EXPECT_EQ(d.capacity(), 256u);
  d[0] = 5;
  d.reserve(300);
  EXPECT_EQ(d[0], 5);
}

TEST(koArrayDeathTest, RemovingPastTheEndIsAProgrammingError) {
  koArray<int> a;
  a.append(1);
  EXPECT_DEATH(a.removeAt(1), "index < _size");
}
