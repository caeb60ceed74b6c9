#include "bench/system/report.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "bench/system/child_process.h"
#include "bench/system/lab_run.h"
#include "bench/system/systems.h"

namespace {

std::string sizeName(const RunRecord& r) {
  return std::to_string(r.width) + "x" + std::to_string(r.height);
}

// Where datagrams and frames were lost in each run with several receiving
// stations, or with any loss counted: the receivers' figures summed.
void printDrops(const std::vector<RunRecord>& runs) {
  bool header = false;
  for (size_t i = 0; i < runs.size(); ++i) {
    const RunRecord& r = runs[i];
    if (!r.error.empty() || r.phase == "switch") continue;
    StationDrops sum = r.drops;
    // -1 (not told) stays unless some receiver told.
    auto add = [](int64_t& total, int64_t more) {
      if (more >= 0) total = std::max<int64_t>(total, 0) + more;
    };
    for (const ReceiverRecord& more : r.moreReceivers) {
      sum.rcvbufErrors += more.drops.rcvbufErrors;
      sum.udpInErrors += more.drops.udpInErrors;
      sum.linkDrops += more.drops.linkDrops;
      add(sum.droppedPackets, more.drops.droppedPackets);
      add(sum.droppedFrames, more.drops.droppedFrames);
    }
    const LabDrops& l = r.labDrops;
    if (r.phase != "fanout" && !sum.rcvbufErrors && !sum.udpInErrors && !sum.linkDrops && sum.droppedFrames <= 0 &&
        !l.sendRefused && !l.sendLinkDrops && !l.hubDrops)
      continue;
    if (!header)
      std::printf(
          "drops per run (receivers summed; rx reassembly = dropped frames and packets the receivers'\n"
          "own monitors counted, - when not told; frames without packets were complete but discarded\n"
          "from the client's full queue, its receiving side starved; send refused/link: datagrams the\n"
          "sender's kernel refused, which our sender sends again; backlog = the whole machine's):\n"
          "%-4s %-18s %-8s %-3s %12s %12s %10s %12s %9s %9s %13s %13s\n",
          "run", "system", "phase", "rx", "rcvbuf drops", "udp in err", "link drops", "send refused",
          "send link", "hub drops", "backlog drops", "rx reassembly");
    header = true;
    char own[40] = "-";
    if (sum.droppedFrames >= 0)
      std::snprintf(own, sizeof own, "%lld fr %lld pk", (long long)sum.droppedFrames,
                    (long long)std::max<int64_t>(sum.droppedPackets, 0));
    std::printf("%-4zu %-18s %-8s %-3zu %12llu %12llu %10llu %12llu %9llu %9llu %13llu %13s\n", i + 1,
                r.system.c_str(), r.phase.c_str(), r.receivers(), (unsigned long long)sum.rcvbufErrors,
                (unsigned long long)sum.udpInErrors, (unsigned long long)sum.linkDrops,
                (unsigned long long)l.sendRefused, (unsigned long long)l.sendLinkDrops,
                (unsigned long long)l.hubDrops, (unsigned long long)l.backlogDrops, own);
  }
}

}  // namespace

void printTable(const std::vector<RunRecord>& runs, const ReportSetup& setup) {
  std::printf(
      "\nSystem benchmark%s: capture to decoded picture; delivered share and latency of the frames\n"
      "sent after the first %zu (and %zu after the first picture out, and after the receiver's\n"
      "start-up pause) and before the last %zu; CPU\n"
      "in ms per frame sent (recv: per receiving station); rx = receiving stations (delivered: the\n"
      "lowest of them); Mbit/s = what the sending station put on the wire, headers and repeats\n"
      "included; load = 1-minute load average at the start of the run. Phase switch: delivered = the\n"
      "share of focus-display changes each receiver showed, median and p99 = command to the first\n"
      "picture of the new mode\n",
      setup.quick ? " (quick)" : "", setup.window.warmupFrames, setup.window.settleFrames,
      setup.window.tailFrames);
  std::printf("%-18s %-8s %-9s %-3s %-3s %6s %9s %9s %9s %9s %9s %7s %6s\n", "system", "phase", "size", "rx",
              "tx", "sent", "delivered", "median ms", "p99 ms", "cpu send", "cpu recv", "Mbit/s", "load");
  for (const RunRecord& r : runs) {
    if (!r.error.empty()) {
      std::printf("%-18s %-8s %-9s not run: %s\n", r.system.c_str(), r.phase.c_str(), sizeName(r).c_str(),
                  r.error.c_str());
      continue;
    }
    const RunSummary s = summarize(r, setup.window);
    if (r.phase == "switch") {
      // Delivered: the changes every receiver showed; median and p99: from
      // the command to the first picture of the new mode.
      const ModeSwitchSummary m = summarizeModeChanges(r.modeChanges);
      const size_t pairs = m.changes * m.receivers;
      // The camera numbers its frames from 0 again at each rebuild of the
      // sender's graph: no figures per frame here.
      std::printf("%-18s %-8s %-9s %-3zu %-3d %6s %8.2f%% %9.1f %9.1f %9s %9s %7s %6.2f\n", r.system.c_str(),
                  r.phase.c_str(), sizeName(r).c_str(), r.receivers(), r.transmitCount, "-",
                  pairs ? 100.0 * double(m.shown) / double(pairs) : 0.0, m.firstMedianMs, m.firstP99Ms, "-",
                  "-", "-", r.loadAverage);
      continue;
    }
    std::printf("%-18s %-8s %-9s %-3zu %-3d %6zu %8.2f%% %9.1f %9.1f %9.2f %9.2f %7.2f %6.2f\n",
                r.system.c_str(), r.phase.c_str(), sizeName(r).c_str(), r.receivers(), r.transmitCount,
                r.sent, 100 * s.lowestDeliveredShare, s.medianMs, s.p99Ms, s.senderCpuMsPerFrame,
                s.receiverCpuMsPerFrame, s.wireBitsPerSecond * 1e-6, r.loadAverage);
    if (r.rate > 0 && r.rate < 0.95 * r.fps)
      std::printf("%-18s   the source kept only %.1f of %d frames per second (machine too busy)\n", "",
                  r.rate, r.fps);
  }
  printDrops(runs);
  for (const FanoutFigure& f : fanoutFigures(runs, setup.window))
    std::printf(
        "fan-out %s %s: sender %.2f ms per frame with %zu receiving station%s (%zu run%s), %.2f with %zu "
        "(%zu run%s): "
        "ratio %.3f (goal <= %.2f: %s; in user time alone %.2f and %.2f ms, ratio %.3f); lowest receiver "
        "%.2f%% of the frames (goal >= %.1f%%: %s)\n",
        f.system.c_str(), f.size.c_str(), f.fewCpuMsPerFrame, f.fewReceivers, f.fewReceivers == 1 ? "" : "s",
        f.fewRuns, f.fewRuns == 1 ? "" : "s", f.manyCpuMsPerFrame, f.manyReceivers, f.manyRuns,
        f.manyRuns == 1 ? "" : "s", f.ratio, kFanoutRatioGoal,
        f.ratio <= kFanoutRatioGoal ? "met" : "not met", f.fewUserMsPerFrame, f.manyUserMsPerFrame, f.userRatio,
        100 * f.lowestDeliveredShare, 100 * kFanoutShareGoal,
        f.lowestDeliveredShare >= kFanoutShareGoal ? "met" : "not met");
  for (const RunRecord& r : runs) {
    if (r.phase != "switch" || r.modeChanges.empty()) continue;
    const ModeSwitchSummary m = summarizeModeChanges(r.modeChanges);
    std::printf(
        "mode switch %s %s: %zu focus-display changes x %zu receiving stations, %zu shown; command to the "
        "first picture of the new mode: median %.0f ms, p99 %.0f ms, max %.0f ms (goal median <= %.0f ms: "
        "%s); "
        "to steady pictures: median %.0f ms, p99 %.0f ms; the sender answered after %.0f ms (median); %zu "
        "pictures of the old mode after the first of the new\n",
        r.system.c_str(), sizeName(r).c_str(), m.changes, m.receivers, m.shown, m.firstMedianMs, m.firstP99Ms,
        m.firstMaxMs, kModeSwitchGoalMs,
        m.shown == m.changes * m.receivers && m.firstMedianMs <= kModeSwitchGoalMs ? "met" : "not met",
        m.settledMedianMs, m.settledP99Ms, m.answerMedianMs, m.strayPictures);
  }
  // What is not the same job, for the systems in the table.
  for (const auto& system : makeSystems()) {
    const std::string differs = system->jobDifferences();
    const bool inTable =
        std::any_of(runs.begin(), runs.end(), [&](const RunRecord& r) { return r.system == system->name(); });
    if (inTable && !differs.empty()) std::printf("not the same job: %s: %s\n", system->name().c_str(), differs.c_str());
  }
  std::printf("(figures from a shared, loaded machine are noisy; the loss phase runs under \"%s\")\n", [&] {
    for (const RunRecord& r : runs)
      if (r.phase == "loss" && !r.impairment.empty()) return r.impairment.c_str();
    return "no loss phase";
  }());
}

bool writeJson(const std::vector<RunRecord>& runs, const ReportSetup& setup) {
  nlohmann::json out;
  out["quick"] = setup.quick;
  out["window"] = {{"warmup_frames", setup.window.warmupFrames},
                   {"settle_frames", setup.window.settleFrames},
                   {"startup_pause_frames", {setup.window.pauseStartFrames, setup.window.pauseEndFrames}},
                   {"tail_frames", setup.window.tailFrames}};
  out["load_average_at_report"] = loadAverage();
  out["chart"] = setup.chartPath;
  nlohmann::json systems = nlohmann::json::object();
  for (const auto& system : makeSystems()) systems[system->name()] = system->description();
  out["systems"] = std::move(systems);
  nlohmann::json differences = nlohmann::json::object();
  for (const auto& system : makeSystems())
    if (!system->jobDifferences().empty()) differences[system->name()] = system->jobDifferences();
  out["job_differences"] = std::move(differences);
  nlohmann::json list = nlohmann::json::array();
  for (const RunRecord& r : runs) {
    nlohmann::json j = r;
    j["size"] = sizeName(r);
    if (r.error.empty() && r.phase != "switch") {  // see mode_switch below
      const RunSummary s = summarize(r, setup.window);
      j["summary"] = {
          {"frames_delivered", s.delivered},
          {"delivered_share_all", s.deliveredShareAll},
          {"frames_measured", s.measured},
          {"window_first_frame", s.windowFirst},
          {"delivered_share", s.deliveredShare},
          {"latency_ms", {{"median", s.medianMs}, {"p99", s.p99Ms}, {"min", s.minMs}, {"max", s.maxMs}}},
          {"cpu_ms_per_frame", {{"sender", s.senderCpuMsPerFrame}, {"receiver", s.receiverCpuMsPerFrame}}},
          {"receivers", r.receivers()},
          {"lowest_delivered_share", s.lowestDeliveredShare},
          {"wire_bits_per_second", s.wireBitsPerSecond}};
    }
    list.push_back(std::move(j));
  }
  out["runs"] = std::move(list);
  nlohmann::json fanout = nlohmann::json::array();
  for (const FanoutFigure& f : fanoutFigures(runs, setup.window))
    fanout.push_back({{"system", f.system},
                      {"size", f.size},
                      {"receivers", {f.fewReceivers, f.manyReceivers}},
                      {"runs", {f.fewRuns, f.manyRuns}},
                      {"sender_cpu_ms_per_frame", {f.fewCpuMsPerFrame, f.manyCpuMsPerFrame}},
                      {"ratio", f.ratio},
                      {"sender_user_ms_per_frame", {f.fewUserMsPerFrame, f.manyUserMsPerFrame}},
                      {"user_ratio", f.userRatio},
                      {"ratio_goal", kFanoutRatioGoal},
                      {"lowest_delivered_share", f.lowestDeliveredShare},
                      {"share_goal", kFanoutShareGoal}});
  out["fanout"] = std::move(fanout);
  nlohmann::json modeSwitch = nlohmann::json::array();
  for (const RunRecord& r : runs) {
    if (r.phase != "switch") continue;
    const ModeSwitchSummary m = summarizeModeChanges(r.modeChanges);
    modeSwitch.push_back(
        {{"system", r.system},
         {"size", sizeName(r)},
         {"changes", m.changes},
         {"receivers", m.receivers},
         {"shown", m.shown},
         {"first_picture_ms", {{"median", m.firstMedianMs}, {"p99", m.firstP99Ms}, {"max", m.firstMaxMs}}},
         {"settled_ms", {{"median", m.settledMedianMs}, {"p99", m.settledP99Ms}}},
         {"sender_answer_ms_median", m.answerMedianMs},
         {"stray_pictures", m.strayPictures},
         {"goal_median_ms", kModeSwitchGoalMs}});
  }
  out["mode_switch"] = std::move(modeSwitch);
  std::ofstream f(setup.jsonPath);
  f << out.dump(1) << "\n";
  return bool(f);
}

std::string drawChart(const std::vector<RunRecord>& runs, const ReportSetup& setup) {
  if (setup.chartPath.empty()) return "no chart asked for";
  // One data file block per run: sorted latency, share of frames up to it.
  std::map<std::string, std::vector<const RunRecord*>> bySize;
  for (const RunRecord& r : runs)
    if (r.error.empty() && r.phase == "latency" && !measuredLatencies(r, setup.window).empty())
      bySize[sizeName(r)].push_back(&r);
  if (bySize.empty()) return "no latency figures to draw";
  // One latency axis for every panel.
  double low = 1e9, high = 0;
  for (const auto& [size, list] : bySize)
    for (const RunRecord* r : list) {
      const std::vector<double> v = measuredLatencies(*r, setup.window);
      low = std::min(low, v.front());
      high = std::max(high, v.back());
    }
  const std::string data = setup.chartPath + ".dat";
  const std::string script = setup.chartPath + ".gp";
  std::ofstream d(data), g(script);
  g << "set terminal pngcairo size " << 720 * bySize.size() << ",480 noenhanced font ',10'\n"
    << "set output '" << setup.chartPath << "'\n"
    << "set multiplot layout 1," << bySize.size() << "\n"
    << "set logscale x\nset grid\nset key outside right top vertical\n"
    << "set xrange [" << std::max(0.01, low * 0.8) << ":" << high * 1.25 << "]\n"
    << "set xlabel 'capture to decoded picture (ms, log scale)'\n"
    << "set ylabel 'share of frames'\nset yrange [0:1]\n";
  int block = 0;
  for (const auto& [size, list] : bySize) {
    g << "set title 'Latency distribution, " << size << " at " << list.front()->fps << " fps'\nplot ";
    for (size_t i = 0; i < list.size(); ++i) {
      const std::vector<double> v = measuredLatencies(*list[i], setup.window);
      d << "# " << list[i]->system << " " << size << "\n";
      for (size_t k = 0; k < v.size(); ++k) d << v[k] << " " << double(k + 1) / double(v.size()) << "\n";
      d << "\n\n";
      g << (i ? ", " : "") << "'" << data << "' index " << block++ << " using 1:2 with steps lw 2 title '"
        << list[i]->system << "'";
    }
    g << "\n";
  }
  g << "unset multiplot\n";
  d.close();
  g.close();
  if (!onPath("gnuplot")) return "gnuplot is not installed (Debian package gnuplot-nox)";
  ChildProcess p;
  if (!p.start({"gnuplot", script}, ChildProcess::Pipe::None, setup.chartPath + ".log"))
    return "gnuplot did not start";
  p.finish(60000);
  if (!WIFEXITED(p.status()) || WEXITSTATUS(p.status()) != 0)
    return "gnuplot failed (see " + setup.chartPath + ".log)";
  return {};
}
