// Emission logic of the pointer sampler, driven by an explicit clock, and the
// threaded runner without any X display.
#include "filters/pointer/pointer_sampler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "filters/pointer/pointer_sampler_runner.h"
#include "filters/pointer/tests/record_collector.h"
#include "filters/pointer/x11_pointer_source.h"

using namespace pointing;

namespace {

// A pointer the test moves by hand.
class ScriptedSource : public PointerSource {
 public:
  explicit ScriptedSource(PointerReading* r) : r_(r) {}
  PointerReading read() override {
    PointerReading out = *r_;
    r_->wheel = 0;  // relative: consumed by the read
    return out;
  }

 private:
  PointerReading* r_;
};

struct ClockedSampler {
  PointerReading pointer;
  PointerSampler sampler{std::make_unique<ScriptedSource>(&pointer)};
  uint64_t now = 1000;

  ClockedSampler() {
    pointer.hasPosition = true;
    pointer.screenWidth = 1000;
    pointer.screenHeight = 500;
    pointer.cursorX = 250;
    pointer.cursorY = 100;
  }
  // Runs one emission as a streaming thread would; returns the record and
  // the milliseconds it took.
  POINTER_INFO emit(uint64_t* tookMs = nullptr) {
    const uint64_t start = now;
    sampler.beginRecord(now);
    do {
      now += sampler.interval();
    } while (!sampler.tick(now));
    if (tookMs) *tookMs = now - start;
    return sampler.emittedPointer();
  }
};

}  // namespace

TEST(PointerSampler, KeepAliveFullRefreshAndMovement) {
  ClockedSampler s;
  s.sampler.startStream();
  uint64_t took = 0;

  // The first record after start carries everything that differs from the
  // cleared record, after one interval.
  const uint16_t refresh = kChangeScreenSize | kChangeCursor | kChangeSize | kChangePosition;
  POINTER_INFO r = s.emit(&took);
  EXPECT_EQ(std::tuple(took, r.valid, r.changeFlags, r.cursorX), std::tuple(30u, 1, refresh, 250));
  EXPECT_FLOAT_EQ(r.positionX, 0.25f);
  EXPECT_FLOAT_EQ(r.positionY, 0.2f);

  // Nothing moves: one full refresh after the keep-alive period, each time.
  for (int i = 0; i < 3; ++i) {
    r = s.emit(&took);
    EXPECT_GE(took, 500u);
    EXPECT_LT(took, 500u + 30u);
    EXPECT_EQ(std::tuple(r.valid, r.changeFlags, r.screenWidth), std::tuple(1, refresh, 1000));
    EXPECT_FLOAT_EQ(r.sizeX, 1.0f);
    // Sequence 0: a refresh carries no command text.
    EXPECT_EQ(pointerCommand(r), "");
  }

  // A moving pointer: one record per interval with cursor and position flagged.
  for (int i = 1; i <= 5; ++i) {
    s.pointer.cursorX = 250 + 10 * i;
    r = s.emit(&took);
    EXPECT_EQ(std::tuple(took, r.changeFlags, r.cursorX),
              std::tuple(30u, kChangeCursor | kChangePosition, 250 + 10 * i));
  }

  // Normalisation by origin and size.
  s.sampler.setOrigin(0.5f, 0.0f);
  s.sampler.setSize(0.5f, 2.0f);
  r = s.emit();
  EXPECT_EQ(r.changeFlags, kChangeOrigin | kChangeSize | kChangePosition);
  EXPECT_FLOAT_EQ(r.positionX, 0.5f + 0.5f * 0.3f);
  EXPECT_FLOAT_EQ(r.positionY, 2.0f * 0.2f);

  // Shape changes are flagged, unknown shapes carried as set.
  s.sampler.setShape(3);
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, r.shape), std::tuple(kChangeShape, 3));

  // The desktop changes size.
  s.pointer.screenWidth = 2000;
  r = s.emit();
  EXPECT_EQ(r.changeFlags, kChangeScreenSize | kChangePosition);
}

TEST(PointerSampler, CommandTextTravelsWithItsSequence) {
  ClockedSampler s;
  s.sampler.startStream();
  s.emit();
  EXPECT_EQ(s.sampler.command(), "erase");
  s.sampler.setCommand("0123456789abcdefXYZ");
  EXPECT_EQ(s.sampler.command(), "0123456789abcde");
  s.sampler.setCommand("erase");

  s.sampler.sendCommand();
  POINTER_INFO r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, r.commandSequence, pointerCommand(r)),
            std::tuple(kChangeCommand, 1, "erase"));

  // A new text without sending: not carried by change records...
  s.sampler.setCommand("mark");
  s.pointer.cursorX += 1;
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, pointerCommand(r)),
            std::tuple(kChangeCursor | kChangePosition, "erase"));
  // ...but a keep-alive refresh sends the whole current state, text included.
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags & kChangeCommand, r.commandSequence, pointerCommand(r)),
            std::tuple(kChangeCommand, 1, "mark"));
  s.sampler.sendCommand();
  s.sampler.sendCommand();
  r = s.emit();
  EXPECT_EQ(std::tuple(r.commandSequence, pointerCommand(r)), std::tuple(3, "mark"));
  // The keep-alive refresh keeps the text while the sequence is non-zero.
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags & kChangeCommand, pointerCommand(r)),
            std::tuple(kChangeCommand, "mark"));
}

TEST(PointerSampler, IntervalButtonsAndWheel) {
  ClockedSampler s;
  EXPECT_EQ(s.sampler.interval(), 30u);
  for (auto [set, kept] : {std::pair{0u, 1u}, {250u, 100u}, {45u, 45u}}) {
    s.sampler.setInterval(set);
    EXPECT_EQ(s.sampler.interval(), kept);
  }
  uint64_t took = 0;
  s.sampler.startStream();
  s.emit(&took);
  EXPECT_EQ(took, 45u);

  // No input device: buttons and wheel stay 0 whatever the reading says.
  s.pointer.buttons = 3;
  s.pointer.wheel = 120;
  POINTER_INFO r = s.emit();
  EXPECT_EQ(std::tuple(r.buttons, r.wheel), std::tuple(0, 0));

  s.pointer.hasButtons = true;
  s.pointer.buttons = 0x0105;  // bits above 7 are never carried
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, r.buttons), std::tuple(kChangeButtons, 0x0005));
  s.pointer.wheel = -240;
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, r.wheel), std::tuple(kChangeWheel, -240));
  // The wheel is relative: the next read is 0 again, which is a change too.
  r = s.emit();
  EXPECT_EQ(std::tuple(r.changeFlags, r.wheel), std::tuple(kChangeWheel, 0));
}

TEST(PointerSampler, NoSourceKeepsEmittingZeroPosition) {
  PointerSampler sampler(nullptr);
  sampler.startStream();
  sampler.beginRecord(0);
  EXPECT_TRUE(sampler.tick(30));  // size (1, 1) differs from the cleared record
  POINTER_INFO r = sampler.emittedPointer();
  EXPECT_EQ(std::tuple(r.valid, r.cursorX, r.positionX), std::tuple(1, 0, 0.0f));
  sampler.beginRecord(30);
  EXPECT_FALSE(sampler.tick(60));
  EXPECT_TRUE(sampler.tick(530));
  EXPECT_EQ(sampler.emittedPointer().changeFlags, kChangeSize);
}

TEST(PointerSamplerRunner, WithoutDisplaySaysOnceAndKeepsEmitting) {
  ::unsetenv("DISPLAY");
  std::mutex m;
  std::vector<std::string> lines;
  auto source = std::make_unique<X11PointerSource>("", [&](const std::string& line) {
    std::lock_guard lock(m);
    lines.push_back(line);
  });
  PointerSampler sampler(std::move(source));
  RecordCollector records;
  PointerSamplerRunner runner(sampler, [&](const uint8_t* bytes, size_t size) { records.add(bytes, size); });
  runner.start();
  const bool three = records.waitFor(2, [](const POINTER_INFO&) { return true; }) >= 0;
  const auto stopAt = std::chrono::steady_clock::now();
  runner.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(2));
  ASSERT_TRUE(three);
  for (size_t i = 0; i < records.size(); ++i) {
    const POINTER_INFO r = records.at(i).record;
    EXPECT_EQ(std::tuple(r.valid, r.cursorX, r.screenWidth, r.positionX), std::tuple(1, 0, 0, 0.0f));
  }
  std::lock_guard lock(m);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("DISPLAY"), std::string::npos) << lines[0];
}

TEST(PointerSamplerRunner, StopsPromptlyAndRestarts) {
  PointerSampler sampler(nullptr);
  std::atomic<int> count{0};
  PointerSamplerRunner runner(sampler, [&](const uint8_t*, size_t) { ++count; });
  for (int i = 0; i < 3; ++i) {
    runner.start();
    EXPECT_TRUE(runner.isRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t0 = std::chrono::steady_clock::now();
    runner.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(runner.isRunning());
  }
  EXPECT_GE(count.load(), 1);
}
