// The demo's figures on hand-made runs, and the monitor lines of the two
// programs read back (the receiver's as its own formatter writes them).
#include "tools/demo_run/demo_summary.h"

#include <gtest/gtest.h>

#include <cmath>

#include "morvane/receive/receive_monitor.h"
#include "tools/demo_run/monitor_lines.h"

using namespace demo;

namespace {

constexpr int64_t ms(double v) {
  return int64_t(v * 1e6);
}

// A run of the camera: frames 0..count-1 at 30 per second from `start` ms.
void cameraRun(std::vector<Capture>& log, double start, int count) {
  for (int f = 0; f < count; ++f) log.push_back({uint64_t(f), ms(start + f * 1000.0 / 30)});
}

}  // namespace

TEST(DemoSummary, FiguresPerReceiverAndMode) {
  // The sender starts twice before it settles (None), then is asked for
  // Loupex at 3 s and for ImageCompound at 5 s; each change restarts its
  // camera from frame 0.
  std::vector<Capture> captures;
  cameraRun(captures, 0, 10);
  cameraRun(captures, 1000, 60);
  cameraRun(captures, 3050, 60);
  cameraRun(captures, 5050, 60);
  const std::vector<int64_t> commands = {ms(3000), ms(5000)};

  std::vector<Picture> pictures;
  auto shown = [&](double at, long frame) {
    Picture p{ms(at)};
    p.frameRead = frame >= 0;
    p.frame = uint32_t(frame < 0 ? 0 : frame);
    pictures.push_back(p);
  };
  shown(500, 3);  // before the receiver handled its first status: no mode's
  for (int f = 6; f <= 50; f += 2) shown(1000 + f * 1000.0 / 30 + 10, f);  // None, 10 ms after capture
  shown(2800, 20);    // a late copy of an older frame: out of order, counted once
  shown(2810, 9999);  // a number the camera never took (a misread)
  shown(3080, 55);    // the old mode, still shown until the change is handled
  for (int i = 0; i < 10; ++i) shown(3200 + i * 150, -1);                // Loupex: numbers squeezed
  for (int f = 3; f < 40; f += 3) shown(5050 + f * 1000.0 / 30 + 8, f);  // ImageCompound, 8 ms

  struct Case {
    const char* what;
    std::vector<int64_t> statusChanges;
    size_t pictures[3], framesRead[3], backwards[3];
    double medianMs[3], switchMs[3];
    bool everyMode;
  };
  const Case cases[] = {
      {"every change handled",
       {ms(1100), ms(3100), ms(5100)},
       {26, 10, 13},
       {24, 0, 13},
       {1, 0, 0},
       {10, -1, 8},
       {-1, 200, 158},
       true},
      // Its Loupex status was lost: those pictures stay with None, and
      // Loupex was never shown.
      {"the Loupex change missed",
       {ms(1100), ms(5100)},
       {36, 0, 13},
       {24, 0, 13},
       {1, 0, 0},
       {10, -1, 8},
       {-1, -1, 158},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReceiverRun run{pictures, c.statusChanges};
    const std::vector<ModeFigures> modes = summarise(captures, commands, run);
    ASSERT_EQ(modes.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(modes[k].pictures, c.pictures[k]);
      EXPECT_EQ(modes[k].framesRead, c.framesRead[k]);
      EXPECT_EQ(modes[k].backwards, c.backwards[k]);
      EXPECT_NEAR(modes[k].latencyMedianMs, c.medianMs[k], 0.01);
      EXPECT_NEAR(modes[k].switchMs, c.switchMs[k], 0.01);
    }
    EXPECT_EQ(showedEveryMode(modes, 3), c.everyMode);
  }
}

TEST(DemoSummary, CaptureLogLines) {
  const std::vector<Capture> log = parseCaptureLog("0 100\n1 133\nnoise\n2 166 extra\n\n2 200\n");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].frame, 1u);
  EXPECT_EQ(log[1].when, 133);
  EXPECT_EQ(log[2].frame, 2u);
  EXPECT_EQ(log[2].when, 200);
}

TEST(DemoMonitorLines, ReadBack) {
  SenderRates s;
  ASSERT_TRUE(
      parseSenderMonitor("  12.0 s | VideoServer(Main) 812.3 Kbit/s 30 fps | VideoServer(Sub) 0.0 Kbit/s 0 "
                         "fps | AudioServer 141.5 Kbit/s 38 fps",
                         s));
  EXPECT_DOUBLE_EQ(s.videoKbit, 812.3);
  EXPECT_EQ(s.videoFps, 30u);
  EXPECT_DOUBLE_EQ(s.audioKbit, 141.5);
  EXPECT_EQ(s.audioFps, 38u);
  EXPECT_FALSE(parseSenderMonitor("talvex-send: mode loupex applied", s));

  // The receiver's table as morvane-receive prints it.
  ReceiveMonitor m;
  m.mainVideo = {900 * 1024, 30, 4, 2, 1316};
  m.audio = {140 * 1024, 38, 0, 1, 1024};
  std::istringstream table(formatReceiveMonitor(7, m));
  std::map<std::string, ReceiverRow> rows;
  for (std::string line; std::getline(table, line);) {
    std::string name;
    ReceiverRow row;
    if (parseReceiverRow(line, name, row)) rows[name] = row;
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows["main video"].kbit, 900u);
  EXPECT_EQ(rows["main video"].fps, 30u);
  EXPECT_EQ(rows["main video"].dropPackets, 4u);
  EXPECT_EQ(rows["main video"].dropFrames, 2u);
  EXPECT_EQ(rows["audio"].dropFrames, 1u);

  struct Case {
    const char* line;
    bool ok;
    long ms;
  };
  const Case restarts[] = {
      {"[Notice] : Morvane: status change 0x000002 (focusDisplay): graph restarted after 1006 ms", true,
       1006},
      {"[Notice] : Morvane: status change 0x000322 (focusDisplay, mainVideoResolution): graph restarted "
       "incomplete "
       "after 12 ms",
       true, 12},
      {"[Notice] : Morvane: status change 0x081331 (running): sender stopped, graph empty", false, 0},
      {"[Notice] : Morvane: status change 0x000002 (focusDisplay): graph restarted after ms", false, 0},
      {"[Notice] : Morvane: status change 0x000002 (focusDisplay): graph restarted after "
       "99999999999999999999 ms",
       false, 0},
      {"morvane-receive: sender running", false, 0},
  };
  for (const Case& c : restarts) {
    long got = 0;
    EXPECT_EQ(parseGraphRestart(c.line, got), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(got, c.ms) << c.line;
    }
  }
}
