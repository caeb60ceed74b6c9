// The whole system side by side with the programs a user would otherwise
// pick for the same job (ffmpeg and GStreamer, used only as yardsticks):
// test-pattern pictures with frame numbers are paced into each system's
// sender in lab station 1, decoded at its receiver in station 2, and the
// frame number read back from every picture with the same reader.
//
//   build/bin/system_bench [--quick]
//     makes the labs itself, one per phase: latency in a clean lab, loss in
//     one that loses 2 % of what the stations send, fan-out (the sender's
//     processor time with one and with 8 receiving stations, by default for
//     our own system only) in a clean lab of 9 stations, and the mode switch
//     (our sender changes its focus display, each receiving station timed
//     to its first picture of the new mode) in a clean lab of 3 stations;
//   tools/netlab/netlab --stations 2 [--netem "loss 2%"] -- build/bin/system_bench [--quick]
//   tools/netlab/netlab --stations 9 -- build/bin/system_bench --phase fanout [--quick]
//   tools/netlab/netlab --stations 3 -- build/bin/system_bench --phase switch [--quick]
//     runs one phase in the lab it is given.
// Options: --phase latency,loss,fanout,switch (a list; "both" is
// latency,loss), --seconds S (per run), --systems a,b, --sizes
// 352x288,720x480, --receivers N (fan-out, default 8; mode switch, default
// 2), --rounds N (fan-out runs of each count, default 2, 1 when quick),
// --changes N (mode switch, default 20, 4 when quick), --out DIR (default
// build/bench); --from
// A.records.json,B.records.json reports again on the records earlier runs
// left in DIR, without running anything.
// It prints a table, writes DIR/system_bench.json and draws
// DIR/system_bench_latency.png. The exit status tells whether every
// available system ran, never how fast it was.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bench/system/child_process.h"
#include "bench/system/lab_run.h"
#include "bench/system/mode_switch.h"
#include "bench/system/ours_runner.h"
#include "bench/system/report.h"
#include "bench/system/systems.h"
#include "tools/netlab/netlab.h"

namespace {

constexpr const char* kLossImpairment = "loss 2%";
constexpr int kSkip = 77;

const std::vector<std::string> kPhases = {"latency", "loss", "fanout", "switch"};

struct Options {
  bool quick = false;
  std::vector<std::string> phases;  // empty: all, or the one that suits the lab
  double seconds = 0;
  int receivers = 0;  // fan-out and mode switch, 0: the phase's own number
  int rounds = 0;     // fan-out, 0: by the form
  int changes = 0;    // mode switch, 0: by the form
  std::vector<std::string> systems;
  std::vector<std::pair<int, int>> sizes;
  std::string out = SYSTEM_BENCH_OUT_DIR;
  std::string records;            // a lab run's records go here instead of a report
  std::vector<std::string> from;  // report on records left by earlier runs
};

std::vector<std::string> split(const std::string& list) {
  std::vector<std::string> parts;
  std::istringstream in(list);
  for (std::string p; std::getline(in, p, ',');)
    if (!p.empty()) parts.push_back(p);
  return parts;
}

void usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--quick] [--phase latency,loss,fanout,switch] [--seconds S] [--systems %s]\n"
               "          [--sizes 352x288,720x480] [--receivers N] [--rounds N] [--changes N]\n"
               "          [--out DIR] [--from RECORDS.json,...]\n",
               self, systemNames().c_str());
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--quick") {
      o->quick = true;
    } else if (a == "--phase" && more) {
      o->phases.clear();
      for (const std::string& p : split(argv[++i])) {
        if (p == "both") {
          o->phases.insert(o->phases.end(), {"latency", "loss"});
        } else if (std::find(kPhases.begin(), kPhases.end(), p) != kPhases.end()) {
          o->phases.push_back(p);
        } else {
          return false;
        }
      }
    } else if (a == "--receivers" && more) {
      o->receivers = std::atoi(argv[++i]);
      if (o->receivers < 1 || o->receivers > 32) return false;
    } else if (a == "--changes" && more) {
      o->changes = std::atoi(argv[++i]);
      if (o->changes < 1) return false;
    } else if (a == "--rounds" && more) {
      o->rounds = std::atoi(argv[++i]);
      if (o->rounds < 1) return false;
    } else if (a == "--seconds" && more) {
      o->seconds = std::atof(argv[++i]);
      if (o->seconds <= 0) return false;
    } else if (a == "--systems" && more) {
      o->systems = split(argv[++i]);
    } else if (a == "--sizes" && more) {
      for (const std::string& s : split(argv[++i])) {
        int w = 0, h = 0;
        if (std::sscanf(s.c_str(), "%dx%d", &w, &h) != 2 || w < 16 || h < 12 || w % 2 || h % 2) return false;
        o->sizes.push_back({w, h});
      }
    } else if (a == "--out" && more) {
      o->out = argv[++i];
    } else if (a == "--records" && more) {
      o->records = argv[++i];
    } else if (a == "--from" && more) {
      o->from = split(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

// Receiving stations of a phase: 8 for the fan-out, 2 for the mode switch
// (each receiver rebuilds its graph at the same moment, and on this one
// machine more of them would measure the machine), 1 for the others.
size_t receiversFor(const Options& o, const std::string& phase) {
  if (phase == "fanout") return o.receivers ? size_t(o.receivers) : 8;
  if (phase == "switch") return o.receivers ? size_t(o.receivers) : 2;
  return 1;
}

int stationsFor(const Options& o, const std::string& phase) {
  return int(1 + receiversFor(o, phase));
}

// The fan-out runs only our own system unless others are asked for; the
// mode switch only ours (the others have no focus display).
bool selected(const Options& o, const std::string& phase, const std::string& system) {
  if (phase == "switch") return system == "ours";
  if (o.systems.empty()) return phase != "fanout" || system == "ours";
  return std::find(o.systems.begin(), o.systems.end(), system) != o.systems.end();
}

// Whether our sender takes commands on its standard input (its usage text
// names --control); `--help` opens no socket.
bool senderTakesCommands() {
  FILE* p = popen((std::string("'") + SYSTEM_BENCH_TALVEX_SEND + "' --help 2>/dev/null").c_str(), "r");
  if (!p) return false;
  std::string text;
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
  pclose(p);
  return text.find("--control") != std::string::npos;
}

// One run of our system with focus-display changes at the sender.
RunRecord runModeSwitch(const Options& o, LabRun& lab, RunSetup setup) {
  if (!senderTakesCommands()) {
    RunRecord r;
    r.system = "ours";
    r.phase = "switch";
    r.width = setup.width;
    r.height = setup.height;
    r.error = "talvex-send's command input (--control) is missing";
    return r;
  }
  ModeSwitchPlan plan;
  plan.changes = o.changes ? size_t(o.changes) : o.quick ? 4 : 20;
  std::vector<std::unique_ptr<SystemRunner>> sides;
  std::vector<SystemRunner*> pointers;
  for (size_t k = 0; k < lab.receiverStations(); ++k) {
    sides.push_back(std::make_unique<OursRunner>());
    pointers.push_back(sides.back().get());
  }
  auto& sender = static_cast<OursRunner&>(*sides.front());
  setup.focusControl = true;
  // Room in the capture record for the longest such run.
  setup.frames =
      size_t(setup.fps) * (60 + plan.changes * size_t(2 * plan.changeTimeoutMs + plan.pauseMs) / 1000);
  std::string stopped;
  std::vector<ModeChange> changes;
  RunRecord r =
      lab.run(pointers, setup, "switch", "", [&](const std::vector<const FrameSink*>& sinks, RunRecord&) {
        stopped = driveModeChanges(sender, setup, sinks, plan, &changes);
      });
  r.modeChanges = std::move(changes);
  if (r.error.empty() && !stopped.empty()) r.error = stopped;
  return r;
}

// Runs one phase in the lab this process is in.
std::vector<RunRecord> runPhase(const Options& o, const std::string& phase, const std::string& impairment) {
  const auto names = netlab::stations();
  const bool fanout = phase == "fanout";
  LabRun lab(names[0], std::vector<std::string>(names.begin() + 1, names.begin() + stationsFor(o, phase)));
  std::vector<RunRecord> records;
  if (!lab.ready()) {
    std::fprintf(stderr, "system_bench: cannot enter the lab's stations\n");
    return records;
  }
  const bool loss = phase == "loss";
  std::vector<std::pair<int, int>> sizes = o.sizes;
  if (sizes.empty()) {
    sizes = {{352, 288}};
    if (!o.quick && phase == "latency") sizes.push_back({720, 480});
  }
  // Our receivers need about 3 s to show their first picture and 2 s more
  // to settle (see Window): a quick run still leaves frames to measure.
  const double seconds = o.seconds > 0 ? o.seconds : o.quick ? (fanout ? 8 : 7) : loss ? 30 : 20;
  // Fan-out: the runs with one and with all receiving stations alternate.
  std::vector<size_t> receiverCounts = {1};
  if (fanout) {
    receiverCounts.clear();
    for (int round = 0; round < (o.rounds ? o.rounds : o.quick ? 1 : 2); ++round)
      receiverCounts.insert(receiverCounts.end(), {1, receiversFor(o, phase)});
  }
  const std::string logDir = o.out + "/system_bench_logs";
  std::filesystem::create_directories(logDir);
  int port = 9700;
  for (const auto& system : makeSystems()) {
    if (!selected(o, phase, system->name())) continue;
    for (const auto& [w, h] : sizes) {
      for (size_t run = 0; run < receiverCounts.size(); ++run) {
        const size_t receivers = receiverCounts[run];
        RunSetup setup;
        setup.width = w;
        setup.height = h;
        setup.frames = static_cast<size_t>(seconds * setup.fps);
        setup.group = "239.255.77.1";
        setup.port = port;
        port += 4;
        setup.transmitCount = loss ? 2 : 1;
        setup.logPrefix =
            logDir + "/" + system->name() + "-" + phase + "-" + std::to_string(w) + "x" + std::to_string(h);
        if (fanout) setup.logPrefix += "-rx" + std::to_string(receivers) + "-run" + std::to_string(run + 1);
        if (phase == "switch") {
          std::fprintf(stderr, "system_bench: %s, focus-display changes, %dx%d, %zu receiving stations\n",
                       system->name().c_str(), w, h, lab.receiverStations());
          records.push_back(runModeSwitch(o, lab, setup));
          continue;
        }
        std::fprintf(stderr, "system_bench: %s, %s phase, %dx%d, %zu receiving station%s, %.0f s\n",
                     system->name().c_str(), phase.c_str(), w, h, receivers, receivers == 1 ? "" : "s",
                     seconds);
        // The first side also sends; the others are fresh runners of the
        // same system that only receive.
        std::vector<std::unique_ptr<SystemRunner>> more;
        std::vector<SystemRunner*> sides = {system.get()};
        for (size_t k = 1; k < receivers; ++k) {
          more.push_back(makeSystem(system->name()));
          sides.push_back(more.back().get());
        }
        records.push_back(lab.run(sides, setup, phase, impairment));
      }
    }
  }
  return records;
}

bool writeRecords(const std::string& path, const std::vector<RunRecord>& records) {
  std::ofstream f(path);
  f << nlohmann::json(records).dump() << "\n";
  return bool(f);
}

bool readRecords(const std::string& path, std::vector<RunRecord>* records) {
  std::ifstream f(path);
  if (!f) return false;
  try {
    const std::vector<RunRecord> more = nlohmann::json::parse(f).get<std::vector<RunRecord>>();
    records->insert(records->end(), more.begin(), more.end());
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

// Outside a lab: runs each phase in a lab of its own, this program inside.
int runInLabs(const Options& o, char** argv, std::vector<RunRecord>* records) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe");
  const std::string impair = std::filesystem::path(self).parent_path() / "netlab-impair";
  if (access(impair.c_str(), X_OK) == 0) setenv("NETLAB_IMPAIR", impair.c_str(), 0);
  const std::vector<std::string> phases = o.phases.empty() ? kPhases : o.phases;
  std::filesystem::create_directories(o.out);
  for (const std::string& phase : phases) {
    const std::string path = o.out + "/system_bench_" + phase + ".records.json";
    std::filesystem::remove(path);
    std::vector<std::string> args = {SYSTEM_BENCH_NETLAB, "--stations",
                                     std::to_string(stationsFor(o, phase))};
    if (phase == "loss") args.insert(args.end(), {"--netem", kLossImpairment});
    args.insert(args.end(), {"--", self, "--phase", phase, "--records", path, "--out", o.out});
    for (int i = 1; argv[i]; ++i) {
      const std::string a = argv[i];
      if (a == "--phase" || a == "--records" || a == "--out") {
        ++i;
        if (!argv[i]) break;
        continue;
      }
      args.push_back(a);
    }
    ChildProcess lab;
    if (!lab.start(args, ChildProcess::Pipe::None, "-")) {
      std::fprintf(stderr, "system_bench: cannot start %s\n", SYSTEM_BENCH_NETLAB);
      return 1;
    }
    lab.finish(24 * 3600 * 1000);
    const int status = lab.status();
    if (WIFEXITED(status) && WEXITSTATUS(status) == kSkip) {
      std::fprintf(stderr,
                   "system_bench: SKIP: no private network lab can be made here; nothing is run on the "
                   "host's network\n");
      return kSkip;
    }
    if (!readRecords(path, records)) {
      std::fprintf(stderr, "system_bench: the %s phase left no records (%s)\n", phase.c_str(), path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  signal(SIGPIPE, SIG_IGN);  // a sender that died shows as missing frames
  Options o;
  if (!parse(argc, argv, &o)) {
    usage(argv[0]);
    return 2;
  }
  std::vector<RunRecord> records;
  if (!o.from.empty()) {
    for (const std::string& path : o.from)
      if (!readRecords(path, &records)) {
        std::fprintf(stderr, "system_bench: cannot read records from %s\n", path.c_str());
        return 1;
      }
  } else if (!netlab::insideLab()) {
    if (int rc = runInLabs(o, argv, &records)) return rc;
  } else {
    const char* netem = std::getenv("NETLAB_NETEM");
    const std::string impairment = netem ? netem : "";
    if (o.phases.size() > 1) {
      std::fprintf(stderr, "system_bench: one lab runs one phase; run it outside a lab for several\n");
      return 2;
    }
    const std::string phase = !o.phases.empty() ? o.phases[0] : impairment.empty() ? "latency" : "loss";
    const int needed = stationsFor(o, phase);
    if (netlab::stations().size() < size_t(needed)) {
      std::fprintf(stderr,
                   "system_bench: the %s phase needs %d stations: tools/netlab/netlab --stations %d -- %s "
                   "--phase %s\n",
                   phase.c_str(), needed, needed, argv[0], phase.c_str());
      return 2;
    }
    if (phase == "loss" && impairment.empty())
      std::fprintf(stderr, "system_bench: the loss phase runs in a lab without impairment (--netem \"%s\")\n",
                   kLossImpairment);
    std::filesystem::create_directories(o.out);
    records = runPhase(o, phase, impairment);
    if (!o.records.empty()) return writeRecords(o.records, records) ? 0 : 1;
  }

  std::filesystem::create_directories(o.out);
  ReportSetup report;
  report.quick = o.quick;
  report.jsonPath = o.out + "/system_bench.json";
  report.chartPath = o.out + "/system_bench_latency.png";
  printTable(records, report);
  int rc = 0;
  if (!writeJson(records, report)) {
    std::fprintf(stderr, "system_bench: cannot write %s\n", report.jsonPath.c_str());
    rc = 1;
  }
  const std::string chart = drawChart(records, report);
  std::printf("results: %s\nchart:   %s\n", report.jsonPath.c_str(),
              chart.empty() ? report.chartPath.c_str() : ("not drawn: " + chart).c_str());
  for (const RunRecord& r : records)
    if (!r.error.empty() && r.error.find("not installed") == std::string::npos &&
        r.error.find("is missing") == std::string::npos)
      rc = 1;
  return rc;
}
