// The pointer position filter in a real graph (filter → renderer) against a
// real X server (run under Xvfb): the test moves the pointer and presses
// buttons through XTest and checks the records as they leave the filter;
// and the same filter pointed at a display where nothing listens.
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "filters/tracion/ITracionControl.h"
#include "filters/tracion/tests/record_collector.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/log_capture.h"
#include "platform/media/guids.h"
#include "platform/media/property_page.h"
#include "platform/media/results.h"
#include "platform/media/tests/control_values.h"
#include "platform/media/tests/property_pages.h"
#include "platform/media/tests/settings_bytes.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace pointing;

namespace {

std::string command(ITracionControl* c) {
  char text[16] = {};
  c->getCommand(text);
  return text;
}

class Tracion : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> tracion, renderer;
  ComPtr<ITracionControl> control;
  RecordCollector records;
  Display* x_ = nullptr;
  int width_ = 0, height_ = 0;

  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY (run under the X11 test wrapper)";
    x_ = XOpenDisplay(nullptr);
    ASSERT_NE(x_, nullptr);
    int ev, err, major, minor;
    ASSERT_TRUE(XTestQueryExtension(x_, &ev, &err, &major, &minor));
    width_ = DisplayWidth(x_, DefaultScreen(x_));
    height_ = DisplayHeight(x_, DefaultScreen(x_));
    move(0, 0);
    ASSERT_TRUE(graph = newGraph());
    ASSERT_TRUE(tracion = addNew(graph.get(), CLSID_TracionFilter, u"Tracion"));
    ASSERT_TRUE(control = tracion.as<ITracionControl>());
    ASSERT_TRUE(renderer = addNew(graph.get(), CLSID_NullRenderer, u"Renderer"));
    renderer.as<INullRendererControl>()->SetSyncToClock(FALSE);
    renderer.as<INullRendererControl>()->SetCallback(&collectSample, &records);
    ASSERT_EQ(connect(graph.get(), tracion.get(), 0, renderer.get(), 0), S_OK);
  }
  void TearDown() override {
    if (graph) graph.as<IMediaControl>()->Stop();
    if (x_) XCloseDisplay(x_);
  }
  void move(int x, int y) {
    XTestFakeMotionEvent(x_, 0, x, y, 0);
    XSync(x_, False);
  }
  void button(unsigned b, bool down) {
    XTestFakeButtonEvent(x_, b, down ? True : False, 0);
    XSync(x_, False);
  }
  HRESULT run() { return graph.as<IMediaControl>()->Run(); }
  int firstValid() {
    return records.waitFor(0, [](const POINTER_INFO& r) { return r.valid == 1; });
  }
};

TEST_F(Tracion, OutputPinTypeAndBuffers) {
  ComPtr<IPin> out;
  ASSERT_EQ(tracion->FindPin(u"Out", out.put()), S_OK);
  const MediaType mt = connectionType(out.get());
  EXPECT_EQ(std::tuple(mt.majortype(), mt.subtype(), mt.formattype()),
            std::tuple(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None));
  EXPECT_EQ(mt.sampleSize(), 71u);
  EXPECT_FALSE(mt.temporalCompression());
  MediaType video(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  EXPECT_EQ(out->QueryAccept(video.ptr()), S_FALSE);
  // Quality notes from downstream are answered with success.
  auto q = out.as<IQualityControl>();
  ASSERT_TRUE(q);
  EXPECT_EQ(q->Notify(tracion.get(), Quality{}), S_OK);
}

TEST_F(Tracion, RecordsFollowThePointerAndKeepAlive) {
  ASSERT_EQ(run(), S_OK);
  int i = firstValid();
  ASSERT_GE(i, 0);
  auto first = records.at(i);
  EXPECT_EQ(std::tuple(first.length, first.hasTime, first.syncPoint), std::tuple(71, false, true));
  EXPECT_EQ(first.record.screenWidth, width_);
  EXPECT_EQ(first.record.screenHeight, height_);
  EXPECT_STREQ(first.record.command, "");  // the text travels with a new sequence only

  move(width_ / 4, height_ / 2);
  i = records.waitFor(i + 1, [&](const POINTER_INFO& r) { return r.cursorX == width_ / 4; });
  ASSERT_GE(i, 0);
  POINTER_INFO r = records.at(i).record;
  EXPECT_EQ(r.cursorY, height_ / 2);
  EXPECT_EQ(r.changeFlags & (kChangeCursor | kChangePosition), kChangeCursor | kChangePosition);
  EXPECT_FLOAT_EQ(r.positionX, float(width_ / 4) / width_);
  EXPECT_FLOAT_EQ(r.positionY, float(height_ / 2) / height_);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getTracion), std::pair(width_ / 4, height_ / 2));
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getScreenSize), std::pair(width_, height_));
  EXPECT_FLOAT_EQ(valueOf(control.get(), &ITracionControl::getNormalizedTracion).first, r.positionX);

  // Standing still: one full refresh about every 500 ms.
  const size_t base = records.size();
  ASSERT_GE(records.waitFor(base, [](const POINTER_INFO&) { return true; }), 0);
  const int next = records.waitFor(base + 1, [](const POINTER_INFO&) { return true; });
  ASSERT_GE(next, 0);
  const auto a = records.at(next - 1), b = records.at(next);
  const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(b.at - a.at).count();
  EXPECT_GE(gap, 400);
  EXPECT_LE(gap, 1500);
  EXPECT_EQ(b.record.valid, 1);
  EXPECT_EQ(b.record.changeFlags, kChangeScreenSize | kChangeCursor | kChangeSize | kChangePosition);
  EXPECT_STREQ(b.record.command, "");  // a full refresh at sequence 0 carries no text

  // Origin, size and shape through the control interface.
  control->setNormalizedOrigin(0.5f, 0.25f);
  control->setNormalizedSize(0.5f, 0.5f);
  control->setPointerShape(4);
  i = records.waitFor(records.size(),
                      [](const POINTER_INFO& r) { return r.originX == 0.5f && r.shape == 4; });
  ASSERT_GE(i, 0);
  r = records.at(i).record;
  EXPECT_FLOAT_EQ(r.positionX, 0.5f + 0.5f * (float(width_ / 4) / width_));
  EXPECT_FLOAT_EQ(r.positionY, 0.25f + 0.5f * 0.5f);

  // The command: the next record carries it with its flag.
  control->setCommand("point here, please");  // 18 characters: 15 kept
  control->sendCommand();
  control->sendCommand();
  i = records.waitFor(records.size(), [](const POINTER_INFO& r) { return r.commandSequence == 2; });
  ASSERT_GE(i, 0);
  r = records.at(i).record;
  EXPECT_NE(r.changeFlags & kChangeCommand, 0);
  EXPECT_STREQ(r.command, "point here, ple");
}

TEST_F(Tracion, ButtonBitsAndTheirDisplay) {
  ASSERT_EQ(run(), S_OK);
  int i = firstValid();
  ASSERT_GE(i, 0);
  button(1, true);
  button(2, true);  // the middle button is bit 2
  i = records.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0x5; });
  ASSERT_GE(i, 0) << "buttons 0 and 2 not seen";
  EXPECT_NE(records.at(i).record.changeFlags & kChangeButtons, 0);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getButtonStatus), 0x5);

  // The page shows them, bit 0 first.
  auto pages = openPropertyPages(tracion.get(), {CLSID_TracionPropertyPage}, {"Tracionフィルタ"});
  ASSERT_EQ(pages.size(), 1u);
  pages[0]->Refresh();
  EXPECT_STREQ(findPageField(pages[0].get(), 1020).value, "1010000000000000");
  pages[0]->SetObjects(0, nullptr);

  button(1, false);
  button(2, false);
  ASSERT_GE(records.waitFor(i + 1, [](const POINTER_INFO& r) { return r.buttons == 0; }), 0);
}

TEST_F(Tracion, StopsPromptlyAndRunsAgain) {
  ASSERT_EQ(run(), S_OK);
  ASSERT_GE(firstValid(), 0);
  control->setOutputInterval(100);
  // A stop while the thread sleeps inside a 500 ms record ends at once.
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(graph.as<IMediaControl>()->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  const size_t n = records.size();
  move(width_ / 2, height_ / 3);
  ASSERT_EQ(run(), S_OK);
  ASSERT_GE(records.waitFor(n, [&](const POINTER_INFO& r) { return r.cursorY == height_ / 3; }), 0);
}

TEST_F(Tracion, ControlSettingsPersistenceAndPage) {
  // The interval is kept within 1 to 100 ms; any shape is stored.
  for (auto [set, kept] : {std::pair{0u, 1u}, {1000u, 100u}, {45u, 45u}}) {
    control->setOutputInterval(set);
    EXPECT_EQ(valueOf(control.get(), &ITracionControl::getOutputInterval), kept);
  }
  control->setPointerShape(-7);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getPointerShape), -7);
  control->setPointerShape(2);
  control->setNormalizedOrigin(0.25f, -1.0f);
  control->setNormalizedSize(2.0f, 0.5f);
  control->setCommand("go");

  uint64_t max = 0;
  tracion.as<IPersistStream>()->GetSizeMax(&max);
  EXPECT_EQ(max, 24u + 44);
  const std::vector<uint8_t> bytes = saveSettings(tracion.get());
  std::vector<uint8_t> expect = settingsPrefix();
  expect.insert(expect.end(), {2, 0, 0, 0,    45, 0, 0, 0,    0, 0, 0x80, 0x3E, 0,   0,   0x80, 0xBF,
                               0, 0, 0, 0x40, 0,  0, 0, 0x3F, 3, 0, 0,    0,    'g', 'o', 0});
  EXPECT_EQ(bytes, expect);

  ComPtr<IBaseFilter> other = createFilter(CLSID_TracionFilter);
  ITracionControl* oc = other.as<ITracionControl>().get();
  ASSERT_EQ(loadSettings(other.get(), bytes), S_OK);
  EXPECT_EQ(valueOf(oc, &ITracionControl::getPointerShape), 2);
  EXPECT_EQ(valueOf(oc, &ITracionControl::getOutputInterval), 45u);
  EXPECT_EQ(valueOf(oc, &ITracionControl::getNormalizedOrigin), std::pair(0.25f, -1.0f));
  EXPECT_EQ(valueOf(oc, &ITracionControl::getNormalizedSize), std::pair(2.0f, 0.5f));
  EXPECT_EQ(command(oc), "go");

  // The longest command (15 characters) fits the announced size and comes
  // back whole.
  control->setCommand("fifteen chars!!");
  const std::vector<uint8_t> longest = saveSettings(tracion.get());
  EXPECT_EQ(longest.size(), max);
  ASSERT_EQ(loadSettings(other.get(), longest), S_OK);
  EXPECT_EQ(command(oc), "fifteen chars!!");

  // A text longer than 16 bytes, and a stream cut inside the text, fail.
  std::vector<uint8_t> bad = bytes;
  bad[24 + 24] = 17;
  EXPECT_TRUE(FAILED(loadSettings(other.get(), bad)));
  EXPECT_TRUE(FAILED(loadSettings(other.get(), std::vector<uint8_t>(bytes.begin(), bytes.end() - 2))));
  // A stored interval outside 1 to 100 is kept within it.
  std::vector<uint8_t> slow = bytes;
  slow[24 + 4] = 0xE8;
  slow[24 + 5] = 0x03;  // 1000 ms
  ASSERT_EQ(loadSettings(other.get(), slow), S_OK);
  EXPECT_EQ(valueOf(oc, &ITracionControl::getOutputInterval), 100u);

  // The page: connect reads, edits apply in order, the command goes at once.
  auto pages = openPropertyPages(tracion.get(), {CLSID_TracionPropertyPage}, {"Tracionフィルタ"});
  ASSERT_EQ(pages.size(), 1u);
  IPropertyPage* page = pages[0].get();
  PROPPAGEINFO info{};
  page->GetPageInfo(&info);
  EXPECT_EQ(info.refreshMs, 50u);
  ASSERT_EQ(page->SetFieldValue(1001, "5"), S_OK);
  ASSERT_EQ(page->SetFieldValue(1038, "abc"), S_OK);  // not a number: 0, stored as 1
  ASSERT_EQ(page->SetFieldValue(1006, "0.125"), S_OK);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getPointerShape), 2);  // not before Apply
  ASSERT_EQ(page->SetFieldValue(1035, "mark"), S_OK);
  EXPECT_EQ(command(control.get()), "mark");  // at once
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getPointerShape), 5);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getOutputInterval), 1u);
  EXPECT_EQ(valueOf(control.get(), &ITracionControl::getNormalizedOrigin), std::pair(0.125f, -1.0f));
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  page->SetObjects(0, nullptr);
}

// The process id of the X server of DISPLAY, from its lock file.
pid_t serverPid() {
  const char* display = std::getenv("DISPLAY");
  if (!display || display[0] != ':') return -1;
  std::ifstream lock("/tmp/.X" + std::string(display + 1, strcspn(display + 1, ".")) + "-lock");
  long pid = -1;
  lock >> pid;
  return pid > 0 ? static_cast<pid_t>(pid) : -1;
}

// The X server stops answering (stopped by a signal) while the filter runs:
// its control calls answer at once and Stop does not wait for the request
// the streaming thread is blocked in. When the server answers again, the
// filter runs on with the settings made meanwhile.
TEST_F(Tracion, AStalledServerHoldsUpNeitherControlCallsNorStop) {
  const pid_t server = serverPid();
  if (server <= 0) GTEST_SKIP() << "cannot find the X server's process";
  ASSERT_EQ(run(), S_OK);
  ASSERT_GE(firstValid(), 0);
  ASSERT_EQ(kill(server, SIGSTOP), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a request is waiting by now
  Timed calls([&] {
    valueOf(control.get(), &ITracionControl::getScreenSize);
    control->setPointerShape(4);
  });
  const bool callsInTime = calls.finished(1000);
  Timed stop([&] { graph.as<IMediaControl>()->Stop(); });
  const bool stopInTime = stop.finished(1000);
  kill(server, SIGCONT);
  calls.join();
  stop.join();
  EXPECT_TRUE(callsInTime);
  EXPECT_TRUE(stopInTime);
  const size_t n = records.size();
  ASSERT_EQ(run(), S_OK);
  EXPECT_GE(
      records.waitFor(n, [&](const POINTER_INFO& r) { return r.shape == 4 && r.screenWidth == width_; }), 0);
}

// No X server where DISPLAY points: the filter keeps sending records with
// the last known (zero) position, a keep-alive every 500 ms, and says once why.
TEST_F(Tracion, WithoutADisplayKeepsSendingAndSaysOnceWhy) {
  const std::string display = std::getenv("DISPLAY");
  ::setenv("DISPLAY", ":65001", 1);  // nothing listens there
  LogCapture log;
  const HRESULT ran = run();
  // Six records: past the display's 2 s retry, which must not say it again.
  for (size_t i = 0; i < 6; ++i) records.waitFor(i, [](const POINTER_INFO&) { return true; });
  graph.as<IMediaControl>()->Stop();
  ::setenv("DISPLAY", display.c_str(), 1);
  ASSERT_EQ(ran, S_OK);
  ASSERT_GE(records.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    const POINTER_INFO r = records.at(i).record;
    EXPECT_EQ(records.at(i).length, 71);
    EXPECT_EQ(std::tuple(r.valid, r.cursorX, r.cursorY, r.screenWidth), std::tuple(1, 0, 0, 0));
    EXPECT_EQ(std::tuple(r.positionX, r.positionY, r.sizeX), std::tuple(0.0f, 0.0f, 1.0f));
  }
  EXPECT_EQ(log.count("Pointer Position"), 1) << log.all();
}

}  // namespace
