// The pointer sampler against a real X server (run under Xvfb): the test
// moves the pointer and presses buttons through XTest and watches the records
// the runner emits.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "filters/pointer/pointer_sampler.h"
#include "filters/pointer/pointer_sampler_runner.h"
#include "filters/pointer/tests/record_collector.h"
#include "filters/pointer/x11_pointer_source.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace pointing;

namespace {

class X11Sampler : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY (run under tools/with-xvfb)";
    control_ = XOpenDisplay(nullptr);
    ASSERT_NE(control_, nullptr);
    int ev, err, major, minor;
    ASSERT_TRUE(XTestQueryExtension(control_, &ev, &err, &major, &minor));
    width_ = DisplayWidth(control_, DefaultScreen(control_));
    height_ = DisplayHeight(control_, DefaultScreen(control_));
    move(0, 0);
    auto source = std::make_unique<X11PointerSource>("", [this](const std::string& line) { logged_.push_back(line); });
    source_ = source.get();
    sampler_ = std::make_unique<PointerSampler>(std::move(source));
    runner_ = std::make_unique<PointerSamplerRunner>(
        *sampler_, [this](const uint8_t* b, size_t n) { records_.add(b, n); });
    runner_->start();
  }
  void TearDown() override {
    if (runner_) runner_->stop();
    if (control_) XCloseDisplay(control_);
  }
  void move(int x, int y) {
    XTestFakeMotionEvent(control_, 0, x, y, 0);
    XSync(control_, False);
  }
  void button(unsigned b, bool down) {
    XTestFakeButtonEvent(control_, b, down ? True : False, 0);
    XSync(control_, False);
  }

  Display* control_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::string> logged_;
  X11PointerSource* source_ = nullptr;
  std::unique_ptr<PointerSampler> sampler_;
  std::unique_ptr<PointerSamplerRunner> runner_;
  RecordCollector records_;
};

}  // namespace

// Normalisation and keep-alive over a real server are checked through the
// pointer filter, which drives the same sampler; here the source itself.
TEST_F(X11Sampler, OpensTheServerAndReadsThePointerToTheFarCorner) {
  int i = records_.waitFor(0, [](const POINTER_INFO& r) { return r.valid == 1; });
  ASSERT_GE(i, 0);
  EXPECT_TRUE(source_->isOpen());
  EXPECT_TRUE(source_->hasButtonDevice());
  EXPECT_TRUE(logged_.empty());
  EXPECT_EQ(records_.at(i).record.screenWidth, width_);
  EXPECT_EQ(records_.at(i).record.screenHeight, height_);
  move(width_ - 1, height_ - 1);
  i = records_.waitFor(i + 1, [&](const POINTER_INFO& r) { return r.cursorX == width_ - 1; });
  ASSERT_GE(i, 0);
  const POINTER_INFO r = records_.at(i).record;
  EXPECT_EQ(r.cursorY, height_ - 1);
  EXPECT_FLOAT_EQ(r.positionX, static_cast<float>(width_ - 1) / width_);
  EXPECT_FLOAT_EQ(r.positionY, static_cast<float>(height_ - 1) / height_);
}

TEST_F(X11Sampler, ButtonsAndWheel) {
  int i = records_.waitFor(0, [](const POINTER_INFO& r) { return r.valid == 1; });
  ASSERT_GE(i, 0);

  button(1, true);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0x1; });
  ASSERT_GE(i, 0) << "left button not seen";
  EXPECT_NE(records_.at(i).record.changeFlags & kChangeButtons, 0);

  button(3, true);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0x3; });
  ASSERT_GE(i, 0) << "right button not seen as bit 1";
  button(2, true);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0x7; });
  ASSERT_GE(i, 0) << "middle button not seen as bit 2";

  button(1, false);
  button(2, false);
  button(3, false);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0; });
  ASSERT_GE(i, 0);
  EXPECT_NE(records_.at(i).record.changeFlags & kChangeButtons, 0);

  // One notch up, then one down; the wheel is relative.
  button(4, true);
  button(4, false);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.wheel > 0; });
  ASSERT_GE(i, 0) << "wheel up not seen";
  EXPECT_EQ(records_.at(i).record.wheel, 120);
  EXPECT_NE(records_.at(i).record.changeFlags & kChangeWheel, 0);
  EXPECT_EQ(records_.at(i).record.buttons, 0) << "wheel notches are not buttons";
  button(5, true);
  button(5, false);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.wheel < 0; });
  ASSERT_GE(i, 0) << "wheel down not seen";
  EXPECT_EQ(records_.at(i).record.wheel, -120);
  i = records_.waitFor(i + 1, [](const POINTER_INFO& r) { return r.wheel == 0; });
  ASSERT_GE(i, 0);
}

namespace {

// An X server of the test's own, so that the test can end it and start it
// again on the same display.
class OwnServer {
 public:
  bool start(int display) {
    display_ = display;
    const std::string name = ":" + std::to_string(display);
    char* argv[] = {const_cast<char*>("Xvfb"), const_cast<char*>(name.c_str()), const_cast<char*>("-screen"),
                    const_cast<char*>("0"), const_cast<char*>("800x600x24"), const_cast<char*>("-nolisten"),
                    const_cast<char*>("tcp"), nullptr};
    if (posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv, environ) != 0) return false;
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
    for (int i = 0; i < 100; ++i) {
      if (access(socket.c_str(), F_OK) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Stops and resumes the server process: it keeps its connections but
  // answers nothing meanwhile.
  void pause() { kill(pid_, SIGSTOP); }
  void resume() { kill(pid_, SIGCONT); }
  ~OwnServer() {
    resume();
    stop();
  }
  std::string name() const { return ":" + std::to_string(display_); }

 private:
  pid_t pid_ = -1;
  int display_ = 0;
};

// A display number nobody uses.
int freeDisplay() {
  for (int n = 190; n < 290; ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (access(lock.c_str(), F_OK) != 0 && access(socket.c_str(), F_OK) != 0) return n;
  }
  return -1;
}

}  // namespace

TEST(X11PointerSourceLifetime, SurvivesTheServerEndingAndReconnects) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY (run under tools/with-xvfb)";
  const int n = freeDisplay();
  ASSERT_GT(n, 0);
  OwnServer server;
  ASSERT_TRUE(server.start(n)) << "cannot start Xvfb on :" << n;

  std::vector<std::string> lines;
  X11PointerSource source(server.name(), [&](const std::string& line) { lines.push_back(line); });
  PointerReading r = source.read();
  ASSERT_TRUE(r.hasPosition);
  EXPECT_EQ(r.screenWidth, 800);
  EXPECT_EQ(r.screenHeight, 600);

  server.stop();
  // The process goes on; reads report no position, and the loss is said once.
  for (int i = 0; i < 3; ++i) {
    r = source.read();
    EXPECT_FALSE(r.hasPosition);
  }
  EXPECT_FALSE(source.isOpen());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("lost"), std::string::npos) << lines[0];

  // The server comes back: within a few seconds the source reads it again.
  ASSERT_TRUE(server.start(n));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!r.hasPosition && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    r = source.read();
  }
  EXPECT_TRUE(r.hasPosition);
  EXPECT_EQ(lines.size(), 1u);
}

// A server that stops answering blocks the sampling thread in a request.
// The sampler's control operations go on at once, and stopping the runner
// ends the blocked request; once the server answers again, records with a
// position follow.
TEST(X11PointerSourceLifetime, AStalledServerHoldsUpNeitherControlCallsNorStop) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY (run under tools/with-xvfb)";
  const int n = freeDisplay();
  ASSERT_GT(n, 0);
  OwnServer server;
  ASSERT_TRUE(server.start(n)) << "cannot start Xvfb on :" << n;
  std::vector<std::string> lines;
  PointerSampler sampler(std::make_unique<X11PointerSource>(server.name(), [&](const std::string& l) {
    lines.push_back(l);
  }));
  RecordCollector records;
  PointerSamplerRunner runner(sampler, [&](const uint8_t* b, size_t size) { records.add(b, size); });
  runner.start();
  ASSERT_GE(records.waitFor(0, [](const POINTER_INFO& r) { return r.screenWidth == 800; }), 0);

  server.pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a request is waiting by now
  Timed control([&] {
    sampler.setShape(3);
    sampler.setInterval(20);
    (void)sampler.currentPointer();
  });
  EXPECT_TRUE(control.finished(1000));
  Timed stop([&] { runner.stop(); });
  EXPECT_TRUE(stop.finished(1000));
  server.resume();
  control.join();
  stop.join();
  EXPECT_EQ(sampler.shape(), 3);

  const size_t from = records.size();
  runner.start();
  EXPECT_GE(records.waitFor(from, [](const POINTER_INFO& r) { return r.screenWidth == 800 && r.shape == 3; }), 0);
  runner.stop();
  EXPECT_TRUE(lines.empty()) << lines.front();  // an interruption is not a lost server
}
