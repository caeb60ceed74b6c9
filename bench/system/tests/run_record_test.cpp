// A run's figures: the window that leaves out the start and the end, the
// delivered share, median and 99th percentile, CPU per frame; and records
// surviving their trip through JSON between the lab runs and the report.
#include "bench/system/run_record.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench/system/fanout_figure.h"
#include "bench/system/monitor_log.h"

namespace {

RunRecord record(std::vector<double> latency) {
  RunRecord r;
  r.system = "x";
  r.phase = "latency";
  r.sent = latency.size();
  r.latencyMs = std::move(latency);
  r.senderCpu = 0.5;
  r.receiverCpu = 0.25;
  return r;
}

}  // namespace

TEST(RunRecord, SummaryCountsTheWindowOnly) {
  struct Case {
    const char* what;
    std::vector<double> latency;
    Window window;
    double share, median, p99;
    size_t delivered;
  } cases[] = {
      {"all in the window", {4, 1, 3, 2}, {0, 0, 0}, 1.0, 3, 4, 4},
      {"start and end left out", {900, 1, 2, -1, 3, 800}, {1, 1, 0, 0, 0}, 0.75, 2, 3, 5},
      {"settling after the first picture", {-1, -1, 5, 6, 7, 8}, {0, 0, 2}, 1.0, 8, 8, 4},
      {"nothing came", {-1, -1, -1}, {0, 0, 0}, 0.0, 0, 0, 0},
      {"window larger than the run", {1, 2}, {5, 5, 0}, 0.0, 0, 0, 2},
      {"numbers never sent are not missed", {1, kNotSent, 2, -1, kNotSent}, {0, 0, 0, 0, 0}, 2.0 / 3, 2, 2, 2},
      // The receiver's start-up pause (its graph restart): the window
      // begins after it, however long it ran, within bounds.
      {"start-up pause left out", {1, 1, -1, -1, -1, 5, 6, -1, 7}, {0, 0, 0, 2, 6}, 0.75, 6, 7, 5},
      {"a later gap is loss", {1, 1, 1, -1, 5, 6}, {0, 0, 0, 2, 6}, 5.0 / 6, 1, 6, 5},
      {"a pause that ends too late is loss", {1, -1, -1, -1, 5}, {0, 0, 0, 2, 3}, 0.4, 5, 5, 2},
      {"the fixed settling still counts", {1, -1, 3, 4, 5, 6}, {0, 0, 4, 2, 6}, 1.0, 6, 6, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RunSummary s = summarize(record(c.latency), c.window);
    EXPECT_DOUBLE_EQ(s.deliveredShare, c.share);
    EXPECT_DOUBLE_EQ(s.medianMs, c.median);
    EXPECT_DOUBLE_EQ(s.p99Ms, c.p99);
    EXPECT_EQ(s.delivered, c.delivered);
    EXPECT_DOUBLE_EQ(s.senderCpuMsPerFrame, 500.0 / double(c.latency.size()));
  }
}

TEST(RunRecord, SurvivesJson) {
  RunRecord r = record({1.5, -1, 2.25});
  r.impairment = "loss 2%";
  r.width = 720;
  r.height = 480;
  r.transmitCount = 2;
  r.pictures = 7;
  r.unreadable = 1;
  r.rate = 29.9;
  r.loadAverage = 3.5;
  r.error = "why";
  r.wireBytes = 123456789012;
  r.drops = {1, 2, 3, 4, 5};
  r.labDrops = {6, 7, 8, 9};
  r.moreReceivers.push_back({"st3", 5, 2, 0.125, {-1, 3.5, 4}, {10, 11, 12, -1, -1}});
  const RunRecord back = nlohmann::json::parse(nlohmann::json(r).dump()).get<RunRecord>();
  EXPECT_EQ(nlohmann::json(back), nlohmann::json(r));
  EXPECT_EQ(back.latencyMs, r.latencyMs);
  ASSERT_EQ(back.receivers(), 2u);
  EXPECT_EQ(back.moreReceivers[0].latencyMs, r.moreReceivers[0].latencyMs);
  EXPECT_EQ(back.moreReceivers[0].drops.linkDrops, 12u);
  EXPECT_EQ(back.labDrops.backlogDrops, 9u);
  // The keys, as the report's readers know them.
  const nlohmann::json j = r;
  EXPECT_EQ(j.at("cpu_seconds").at("receiver"), 0.25);
  EXPECT_EQ(j.at("drops").at("dropped_frames"), 5);
  EXPECT_EQ(j.at("lab_drops").at("send_refused"), 6);
  EXPECT_EQ(j.at("more_receivers").at(0).at("drops").at("rcvbuf_errors"), 10);
  // Records written before the drop counters read with none counted.
  nlohmann::json old = j;
  old.erase("drops");
  old.erase("lab_drops");
  old.erase("wire_bytes");
  old["more_receivers"][0].erase("drops");
  const RunRecord earlier = old.get<RunRecord>();
  EXPECT_EQ(earlier.drops.droppedFrames, -1);
  EXPECT_EQ(earlier.labDrops.sendRefused, 0u);
  EXPECT_EQ(earlier.moreReceivers[0].drops.rcvbufErrors, 0u);
  // A required key missing is an error, not a zero.
  old.erase("frames_sent");
  EXPECT_THROW(old.get<RunRecord>(), nlohmann::json::exception);
}

TEST(RunRecord, ReceiverMonitorDropsFromItsLog) {
  struct Case {
    const char* what;
    const char* log;
    int64_t packets, frames;
  } cases[] = {
      {"no monitor", "morvane-receive: stopping\n", -1, -1},
      {"the largest counts, the emptied graph's zeros after them",
       "[    3 s]       Kbit/s  frames/s  drop pkts  drop frames  packet B\n"
       "  main video       1500        30          2            1      1024\n"
       "  second video        0         0          9            9         0\n"
       "  main video       1500        30          7            3      1024\n"
       "  main video          0         0          0            0         0\n",
       7, 3},
      {"a cut row", "  main video 1500 30 7\n", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ReceiverDrops d = monitorDrops(c.log);
    EXPECT_EQ(d.packets, c.packets);
    EXPECT_EQ(d.frames, c.frames);
  }
}

TEST(RunRecord, FanoutPoolsSenderTimeAndKeepsTheWorstReceiver) {
  // Two rounds of 1 and 3 receiving stations, 4 frames each; in the
  // second round with 3 stations the last station missed a frame. All the
  // sender's extra time with 3 stations is the kernel's.
  auto run = [](double senderCpu, size_t receivers, bool missing) {
    RunRecord r = record({1, 1, 1, 1});
    r.phase = "fanout";
    r.senderCpu = senderCpu;
    r.senderSystemCpu = senderCpu - 0.3;
    for (size_t k = 1; k < receivers; ++k)
      r.moreReceivers.push_back({"st", 4, 0, 0.1, {1, 1, missing && k + 1 == receivers ? -1.0 : 1.0, 1}, {}});
    return r;
  };
  std::vector<RunRecord> runs = {run(0.4, 1, false), run(0.44, 3, false), run(0.4, 1, false),
                                 run(0.48, 3, true)};
  runs.push_back(run(9, 3, false));
  runs.back().error = "did not start";  // failed runs do not count
  runs.push_back(run(9, 1, false));
  runs.back().phase = "latency";  // nor runs of another phase
  const std::vector<FanoutFigure> f = fanoutFigures(runs, Window{0, 0, 0, 0, 0});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].fewReceivers, 1u);
  EXPECT_EQ(f[0].manyReceivers, 3u);
  EXPECT_EQ(f[0].fewRuns, 2u);
  EXPECT_EQ(f[0].manyRuns, 2u);
  EXPECT_DOUBLE_EQ(f[0].fewCpuMsPerFrame, 100);
  EXPECT_DOUBLE_EQ(f[0].manyCpuMsPerFrame, 115);
  EXPECT_DOUBLE_EQ(f[0].ratio, 1.15);
  EXPECT_DOUBLE_EQ(f[0].fewUserMsPerFrame, 75);
  EXPECT_DOUBLE_EQ(f[0].userRatio, 1);
  EXPECT_DOUBLE_EQ(f[0].lowestDeliveredShare, 0.75);
  // The mean receiver time counts every receiving station.
  EXPECT_DOUBLE_EQ(summarize(runs[1], Window{0, 0, 0}).receiverCpuMsPerFrame, (0.25 + 0.2) * 1000 / 4 / 3);
}

TEST(ModeChange, FirstAndSteadyPictureOfTheNewSize) {
  // Pictures (ms after the command, width) of a receiver going from 352
  // to 320 wide; the command at 0, the next one at 5000.
  const int64_t ms = 1'000'000;
  struct Case {
    const char* what;
    std::vector<std::pair<int64_t, int>> pictures;
    double first, settled;
    size_t stray;
  } cases[] = {
      {"build, pause, restart",
       {{-40, 352}, {10, 352}, {900, 320}, {933, 320}, {1500, 320}, {1533, 320}},
       900,
       1500,
       0},
      {"steady at once", {{700, 320}, {733, 320}, {766, 320}}, 700, 700, 0},
      {"an old picture after the first new one", {{700, 320}, {733, 352}, {766, 320}}, 700, 700, 1},
      {"never shown", {{100, 352}, {200, 352}}, -1, -1, 0},
      {"shown only after the next command", {{100, 352}, {5000, 320}}, -1, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PictureSeen> seen;
    for (const auto& [when, width] : c.pictures)
      seen.push_back({10'000 * ms + when * ms, width, width == 320 ? 240 : 288});
    double first = 0, settled = 0;
    size_t stray = 9;
    timeModeChange(seen, 10'000 * ms, 15'000 * ms, {320, 240}, &first, &settled, &stray);
    EXPECT_DOUBLE_EQ(first, c.first);
    EXPECT_DOUBLE_EQ(settled, c.settled);
    EXPECT_EQ(stray, c.stray);
  }
  // The summary over changes and receivers: median and p99 of the shown.
  ModeChange a{"none", "loupex", "ok", 300, {900, 1100}, {1500, 1700}, {0, 1}};
  ModeChange b{"loupex", "compound", "ok", 500, {1000, -1}, {1600, -1}, {0, 0}};
  const ModeSwitchSummary s = summarizeModeChanges({a, b});
  EXPECT_EQ(s.changes, 2u);
  EXPECT_EQ(s.receivers, 2u);
  EXPECT_EQ(s.shown, 3u);
  EXPECT_DOUBLE_EQ(s.firstMedianMs, 1000);
  EXPECT_DOUBLE_EQ(s.firstMaxMs, 1100);
  EXPECT_DOUBLE_EQ(s.settledMedianMs, 1600);
  EXPECT_EQ(s.strayPictures, 1u);
  const ModeChange back = nlohmann::json::parse(nlohmann::json(b).dump()).get<ModeChange>();
  EXPECT_EQ(nlohmann::json(back), nlohmann::json(b));
}
