#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>
#include <vector>

#include "filters/pointer/pointer_info.h"

using namespace pointing;

namespace {

void putLe(std::vector<uint8_t>& b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putF(std::vector<uint8_t>& b, float f) {
  putLe(b, std::bit_cast<uint32_t>(f), 4);
}

POINTER_INFO sampleRecord() {
  POINTER_INFO p;
  p.valid = 1;
  p.changeFlags = 0x0185;
  p.shape = 4;
  p.screenWidth = 1920;
  p.screenHeight = -1080;
  p.cursorX = 0x01020304;
  p.cursorY = -2;
  p.buttons = 0x00a5;
  p.wheel = -120;
  p.originX = 0.25f;
  p.originY = -1.5f;
  p.sizeX = 2.0f;
  p.sizeY = 0.5f;
  p.positionX = 0.75f;
  p.positionY = 3.0f;
  p.commandSequence = 0x7ffffffe;
  setPointerCommand(p, "draw");
  return p;
}

// The same record as bytes written out by hand, field by field.
std::vector<uint8_t> sampleBytes() {
  std::vector<uint8_t> b;
  b.push_back(1);
  putLe(b, 0x0185, 2);
  putLe(b, 4, 4);
  putLe(b, 1920, 4);
  putLe(b, static_cast<uint32_t>(-1080), 4);
  putLe(b, 0x01020304, 4);
  putLe(b, static_cast<uint32_t>(-2), 4);
  putLe(b, 0x00a5, 2);
  putLe(b, static_cast<uint16_t>(-120), 2);
  putF(b, 0.25f);
  putF(b, -1.5f);
  putF(b, 2.0f);
  putF(b, 0.5f);
  putF(b, 0.75f);
  putF(b, 3.0f);
  putLe(b, 0x7ffffffe, 4);
  const char text[16] = {'d', 'r', 'a', 'w'};
  b.insert(b.end(), text, text + 16);
  return b;
}

}  // namespace

TEST(PointerRecord, ByteLayoutMatchesHandBuiltBytes) {
  const std::vector<uint8_t> expected = sampleBytes();
  ASSERT_EQ(expected.size(), 71u);
  const auto bytes = pointerInfoBytes(sampleRecord());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);

  POINTER_INFO back;
  ASSERT_TRUE(readPointerInfo(expected.data(), expected.size(), back));
  EXPECT_EQ(pointerInfoBytes(back), bytes);
  EXPECT_EQ(back.cursorY, -2);
  EXPECT_EQ(back.wheel, -120);
  EXPECT_EQ(back.positionY, 3.0f);
  EXPECT_EQ(pointerCommand(back), "draw");

  // A cleared record is 71 zero bytes; the all-zero record reads as invalid.
  const auto zero = pointerInfoBytes(POINTER_INFO{});
  for (uint8_t v : zero) EXPECT_EQ(v, 0);
  POINTER_INFO z = sampleRecord();
  ASSERT_TRUE(readPointerInfo(zero.data(), zero.size(), z));
  EXPECT_EQ(z.valid, 0);
  EXPECT_EQ(z.sizeX, 0.0f);
}

TEST(PointerRecord, ShortOrOddSamples) {
  const std::vector<uint8_t> bytes = sampleBytes();
  POINTER_INFO out = initialPointerState();
  const auto before = pointerInfoBytes(out);
  for (size_t n = 0; n < 71; ++n) {
    EXPECT_FALSE(readPointerInfo(bytes.data(), n, out)) << n;
    EXPECT_EQ(pointerInfoBytes(out), before) << "short sample must leave the record untouched";
  }
  EXPECT_FALSE(readPointerInfo(nullptr, 71, out));

  // A longer sample: the first 71 bytes are the record.
  std::vector<uint8_t> longer = bytes;
  longer.resize(200, 0xee);
  ASSERT_TRUE(readPointerInfo(longer.data(), longer.size(), out));
  EXPECT_EQ(out.commandSequence, 0x7ffffffe);

  // An unterminated command from the network comes back terminated (15 characters).
  std::vector<uint8_t> noZero = bytes;
  std::memset(noZero.data() + 55, 'x', 16);
  ASSERT_TRUE(readPointerInfo(noZero.data(), noZero.size(), out));
  EXPECT_EQ(pointerCommand(out), std::string(15, 'x'));

  // NaN and infinities are carried unchanged; consumers judge them.
  std::vector<uint8_t> nan = bytes;
  const uint32_t qnan = std::bit_cast<uint32_t>(std::numeric_limits<float>::quiet_NaN());
  for (int i = 0; i < 4; ++i) nan[43 + i] = static_cast<uint8_t>(qnan >> (8 * i));
  ASSERT_TRUE(readPointerInfo(nan.data(), nan.size(), out));
  EXPECT_TRUE(std::isnan(out.positionX));

  // Writing into a short buffer writes nothing.
  uint8_t small[70];
  std::memset(small, 0x5a, sizeof small);
  EXPECT_FALSE(writePointerInfo(sampleRecord(), small, sizeof small));
  for (uint8_t v : small) EXPECT_EQ(v, 0x5a);
}

TEST(PointerRecord, CommandTextAndInitialState) {
  POINTER_INFO p = initialPointerState();
  EXPECT_EQ(std::tuple(p.valid, p.shape, p.sizeX, p.sizeY, p.originX), std::tuple(0, 0, 1.0f, 1.0f, 0.0f));
  EXPECT_EQ(pointerCommand(p), "erase");
  setPointerCommand(p, "0123456789abcdefghij");
  EXPECT_EQ(pointerCommand(p), "0123456789abcde");
  EXPECT_EQ(p.command[15], 0);
  setPointerCommand(p, "");
  EXPECT_EQ(pointerCommand(p), "");
  for (auto [shape, label] : {std::pair{0, "標準"}, {5, "星"}, {6, ""}, {-1, ""}})
    EXPECT_EQ(pointerShapeLabel(shape), label) << shape;
}

TEST(PointerRecord, Normalisation) {
  EXPECT_FLOAT_EQ(normalisedPosition(0.0f, 1.0f, 640, 1280), 0.5f);
  EXPECT_FLOAT_EQ(normalisedPosition(0.0f, 1.0f, 0, 1280), 0.0f);
  EXPECT_FLOAT_EQ(normalisedPosition(0.0f, 1.0f, 1280, 1280), 1.0f);
  EXPECT_FLOAT_EQ(normalisedPosition(0.25f, 0.5f, 512, 1024), 0.5f);
  // Outside 0..1 is legal and carried (pointer on another monitor).
  EXPECT_FLOAT_EQ(normalisedPosition(0.0f, 1.0f, -640, 1280), -0.5f);
  EXPECT_FLOAT_EQ(normalisedPosition(0.0f, 1.0f, 2560, 1280), 2.0f);
  // No desktop size known: the origin, not an infinity.
  EXPECT_EQ(normalisedPosition(0.125f, 1.0f, 100, 0), 0.125f);
  // A negative screen size counts as unsigned: a tiny, finite quotient.
  const float neg = normalisedPosition(0.0f, 1.0f, 100, -1);
  EXPECT_TRUE(std::isfinite(neg));
  EXPECT_NEAR(neg, 0.0f, 1e-6f);
}

TEST(PointerRecord, ChangeFlagsPerFieldGroup) {
  const POINTER_INFO base = sampleRecord();
  struct Case {
    void (*change)(POINTER_INFO&);
    uint16_t flag;
  };
  const Case cases[] = {
      {[](POINTER_INFO& p) { p.shape = 1; }, kChangeShape},
      {[](POINTER_INFO& p) { p.screenHeight = 7; }, kChangeScreenSize},
      {[](POINTER_INFO& p) { p.cursorX += 1; }, kChangeCursor},
      {[](POINTER_INFO& p) { p.buttons = 1; }, kChangeButtons},
      {[](POINTER_INFO& p) { p.wheel = 120; }, kChangeWheel},
      {[](POINTER_INFO& p) { p.originY = 0.5f; }, kChangeOrigin},
      {[](POINTER_INFO& p) { p.sizeX = 0.25f; }, kChangeSize},
      {[](POINTER_INFO& p) { p.positionY = 0.1f; }, kChangePosition},
      {[](POINTER_INFO& p) { p.commandSequence = 1; }, kChangeCommand},
  };
  for (const Case& c : cases) {
    POINTER_INFO current = base;
    c.change(current);
    POINTER_INFO emitted = base;
    emitted.changeFlags = 0;
    EXPECT_EQ(copyChangedFields(emitted, current), c.flag);
    EXPECT_EQ(emitted.changeFlags, c.flag);
    // After the copy, nothing differs any more.
    EXPECT_EQ(copyChangedFields(emitted, current), 0);
  }

  // The command text travels only with a new sequence number.
  POINTER_INFO current = base;
  setPointerCommand(current, "other");
  POINTER_INFO emitted = base;
  emitted.changeFlags = 0;
  EXPECT_EQ(copyChangedFields(emitted, current), 0);
  EXPECT_EQ(pointerCommand(emitted), "draw");
  current.commandSequence += 1;
  EXPECT_EQ(copyChangedFields(emitted, current), kChangeCommand);
  EXPECT_EQ(pointerCommand(emitted), "other");

  // A full refresh from a cleared record flags every non-zero group.
  POINTER_INFO fresh;
  EXPECT_EQ(copyChangedFields(fresh, base), 0x01ff);

  // A NaN in the state is one change, not a change on every comparison.
  current = base;
  current.positionX = std::numeric_limits<float>::quiet_NaN();
  emitted = base;
  EXPECT_EQ(copyChangedFields(emitted, current), kChangePosition);
  EXPECT_EQ(copyChangedFields(emitted, current), 0);
}

TEST(PointerRecord, MovesFocusOnlyWithValidChangedFinitePosition) {
  POINTER_INFO p;
  p.valid = 1;
  p.changeFlags = kChangePosition | kChangeCursor;
  p.positionX = 0.5f;
  p.positionY = 7.0f;  // far outside is legal
  EXPECT_TRUE(movesFocus(p));
  POINTER_INFO q = p;
  q.valid = 0;
  EXPECT_FALSE(movesFocus(q));
  q = p;
  q.changeFlags = kChangeCursor;
  EXPECT_FALSE(movesFocus(q));
  q = p;
  q.positionX = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(movesFocus(q));
  q = p;
  q.positionY = -std::numeric_limits<float>::infinity();
  EXPECT_FALSE(movesFocus(q));
}
