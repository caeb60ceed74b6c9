// demo_run: the real system in the network lab, as `tools/bootstrap demo`
// shows it. Run inside a lab of three stations (tools/demo does that):
//
//   station 1  talvex-send: test-pattern camera, test tone, MPEG-4 V2, MP3
//   station 2  morvane-receive under an Xvfb of its own, whose pointer a
//   station 3  morvane-receive   hand-like motion (XTest) circles, so that
//                                 the other receiver draws it
//
// The sender starts without a focus display and is switched to Loupex and
// then to ImageCompound through its --control input, each mode shown for
// --phase-seconds once every receiver has handled it. Every second a line of
// the live table: the sender's rates, each receiver's rates, drops and
// pictures shown. At the end a summary per receiver and mode: pictures,
// frame numbers read from the pixels and whether they came in order,
// capture-to-picture latency (the camera's capture log against the moment
// each picture left the receiver), and how long the receiver took to show
// the new mode. Each receiver's pictures are saved as PNG files (one a
// second) under OUTPUT/receiverN.
//
// With --gui (and DISPLAY set) it opens talvex-ui and two morvane-ui
// windows on that display instead, the receivers still in their stations,
// and keeps them open for --seconds (default: until Ctrl-C).
//
// Exit status: 0 when every receiver showed pictures in every mode and
// every program ended cleanly; 1 otherwise; 2 for a bad command line; 77
// when it does not run inside a lab of three stations.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "morvane/tests/e2e/xvfb_server.h"
#include "netlab.h"
#include "tools/demo_run/demo_summary.h"
#include "tools/demo_run/monitor_lines.h"
#include "tools/demo_run/picture_log.h"
#include "tools/demo_run/pointer_mover.h"
#include "tools/demo_run/screenshot.h"
#include "tools/demo_run/station_process.h"

namespace fs = std::filesystem;
using namespace demo;

namespace {

const char kUsage[] =
    "usage: demo_run [--output DIR] [--phase-seconds N] [--gui [--seconds N] [--screenshot FILE]]\n"
    "  --output DIR        pictures and logs (default build/demo)\n"
    "  --phase-seconds N   how long each focus display is shown (default 8)\n"
    "  --gui               the two desktop programs on $DISPLAY instead of the headless ones\n"
    "  --seconds N         with --gui: close the windows after N seconds (default: at Ctrl-C)\n"
    "  --screenshot FILE   with --gui: save the screen as PNG once the pictures flow\n"
    "  --help              this text\n";

struct Options {
  std::string output = "build/demo";
  double phaseSeconds = 8;
  bool gui = false;
  double seconds = 0;
  std::string screenshot;
};

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    auto number = [&](double& out, double low, double high) {
      char* end = nullptr;
      const double v = hasValue ? std::strtod(argv[++i], &end) : 0;
      if (!hasValue || !end || *end || !(v >= low && v <= high)) {
        error = a + " takes a number from " + std::to_string(int(low)) + " to " + std::to_string(int(high));
        return false;
      }
      out = v;
      return true;
    };
    if (a == "--help" || a == "-h") {
      std::printf("%s", kUsage);
      std::exit(0);
    } else if (a == "--gui") {
      o.gui = true;
    } else if (a == "--phase-seconds") {
      if (!number(o.phaseSeconds, 2, 600)) return false;
    } else if (a == "--seconds") {
      if (!number(o.seconds, 1, 1e6)) return false;
    } else if ((a == "--output" || a == "--screenshot") && hasValue && *argv[i + 1]) {
      (a == "--output" ? o.output : o.screenshot) = argv[++i];
    } else {
      error = "unknown option or missing value: " + a;
      return false;
    }
  }
  return true;
}

volatile sig_atomic_t g_stop = 0;
void onSignal(int) {
  g_stop = 1;
}

void sleepSeconds(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

double seconds(int64_t ns) {
  return double(ns) / 1e9;
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream f(path);
  f << text;
  return bool(f);
}

std::string readFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The sender's settings: the test camera and the test tone, both encoders.
std::string senderIni(const char* focusDisplay) {
  return std::string("[Capture]\nVideoCapture=Test Pattern Camera\nAudioCapture=Test Tone Microphone\n") +
         "[Encoder]\nVideoEncoder=MPEG42\nAudioEncoder=MP3\n[FocusDisplay]\nFocusDisplay=" + focusDisplay +
         "\n";
}

// Receiver n (1 or 2) sends its pointer as the others' pointer n + 1
// (port 8201 or 8202) and draws pointer 2 in red, pointer 3 in green.
std::string receiverIni(int n) {
  return "[PointerServer]\nPort=" + std::to_string(8200 + n) +
         "\n[Blendor]\nPointerColor1=Red\nPointerColor2=Green\n";
}

const char* const kModes[] = {"None", "Loupex", "ImageCompound"};
const char* const kModeWords[] = {"none", "loupex", "compound"};

struct Receiver {
  ~Receiver() {
    // In this order: the pointer lets go of the display, the program ends
    // (its picture pipe with it), the pipe's reader finishes; the X server
    // goes last.
    pointer.reset();
    process.stop();
    pictures.join();
  }
  int number = 0;  // 1 or 2
  std::unique_ptr<XvfbServer> x;
  StationProcess process;
  PictureLog pictures;
  std::unique_ptr<PointerMover> pointer;
  // For the live table.
  size_t linesRead = 0, picturesBefore = 0;
  ReceiverRow video, audio;
};

// The live table: one line a second.
class LiveTable {
 public:
  LiveTable(StationProcess& sender, std::vector<std::unique_ptr<Receiver>>& receivers)
      : sender_(sender), receivers_(receivers), start_(monotonicNs()) {}
  void header() const {
    std::printf("\n   time  mode          | sender  video Kbit/s fps  audio Kbit/s");
    for (const auto& r : receivers_)
      std::printf(" | receiver %d  video Kbit/s fps  shown/s  drops pkt/frm", r->number);
    std::printf("\n");
  }
  void line(const char* mode) {
    for (const StationProcess::Line& l : sender_.linesFrom(senderLines_)) {
      ++senderLines_;
      parseSenderMonitor(l.text, sender_rates_);
    }
    std::printf("%6.1f s  %-13s | %18.0f %3u %13.0f", seconds(monotonicNs() - start_), mode,
                sender_rates_.videoKbit, sender_rates_.videoFps, sender_rates_.audioKbit);
    for (auto& r : receivers_) {
      for (const StationProcess::Line& l : r->process.linesFrom(r->linesRead)) {
        ++r->linesRead;
        std::string name;
        ReceiverRow row;
        if (!parseReceiverRow(l.text, name, row)) continue;
        if (name == "main video") r->video = row;
        if (name == "audio") r->audio = row;
      }
      const size_t shown = r->pictures.count();
      std::printf(" | %23u %3u %8zu %8u/%u", r->video.kbit, r->video.fps, shown - r->picturesBefore,
                  r->video.dropPackets, r->video.dropFrames);
      r->picturesBefore = shown;
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  // Lines once a second for `duration` seconds (less after a signal).
  void run(const char* mode, double duration) {
    for (double t = 0; t < duration && !g_stop; t += 1) {
      sleepSeconds(std::min(1.0, duration - t));
      line(mode);
    }
  }

 private:
  StationProcess& sender_;
  std::vector<std::unique_ptr<Receiver>>& receivers_;
  int64_t start_;
  size_t senderLines_ = 0;
  SenderRates sender_rates_;
};

void printSummary(const Receiver& r, const std::vector<ModeFigures>& modes, int exitStatus,
                  const std::string& pictureDir) {
  size_t total = 0;
  for (const ModeFigures& m : modes) total += m.pictures;
  std::printf("\nreceiver %d (station %d): %zu pictures shown, exit status %d, pictures saved in %s\n",
              r.number, r.number + 1, total, exitStatus, pictureDir.c_str());
  std::printf(
      "  mode           pictures  frames read  out of order  latency median / p95  shown after the change\n");
  for (size_t k = 0; k < modes.size(); ++k) {
    const ModeFigures& m = modes[k];
    char latency[48] = "           -", change[32] = "-";
    if (m.latencies)
      std::snprintf(latency, sizeof latency, "%6.0f / %4.0f ms", m.latencyMedianMs, m.latencyP95Ms);
    if (k > 0 && m.switchMs >= 0) std::snprintf(change, sizeof change, "%.2f s", m.switchMs / 1000);
    if (k > 0 && m.switchMs < 0) std::snprintf(change, sizeof change, "never");
    std::printf("  %-13s %9zu %12zu %13zu  %20s  %s\n", kModes[k], m.pictures, m.framesRead, m.backwards,
                latency, change);
  }
}

int runHeadless(const Options& o, const std::vector<std::string>& stations) {
  const std::string logs = o.output + "/logs";
  fs::create_directories(logs);
  std::vector<std::unique_ptr<Receiver>> receivers;
  for (int n = 1; n <= 2; ++n) {
    auto r = std::make_unique<Receiver>();
    r->number = n;
    const std::string dir = o.output + "/receiver" + std::to_string(n);
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string ini = logs + "/receiver" + std::to_string(n) + ".ini";
    writeFile(ini, receiverIni(n));
    r->x = std::make_unique<XvfbServer>();
    if (r->x->display().empty()) {
      std::fprintf(stderr, "demo: no Xvfb for receiver %d (package xvfb)\n", n);
      return 1;
    }
    StationProcess::Setup s;
    s.station = stations[size_t(n)];
    s.args = {MORVANE_RECEIVE,  "--ini",    ini, "--snapshot", dir, "--every", "1",
              "--pictures-out", "/dev/fd/3"};
    s.env = {"DISPLAY=" + r->x->display()};
    s.dataPipe = true;
    s.log = logs + "/receiver" + std::to_string(n) + ".log";
    if (!r->process.start(s)) return 1;
    r->pictures.start(r->process.dataFd());
    receivers.push_back(std::move(r));
  }
  for (auto& r : receivers)
    if (r->process.waitLine(
            0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20000) <
        0) {
      std::fprintf(stderr, "demo: receiver %d did not start (see %s/receiver%d.log)\n", r->number,
                   logs.c_str(), r->number);
      return 1;
    }
  // Each receiver's pointer circles in its own part of the picture.
  for (auto& r : receivers) {
    r->pointer = std::make_unique<PointerMover>(r->x->display(), r->number == 1 ? 110 : 240,
                                                r->number == 1 ? 190 : 110, 50, 4.0, 0.5 * r->number);
    if (!r->pointer->moving())
      std::fprintf(stderr, "demo: receiver %d's pointer stays still (no XTest on %s)\n", r->number,
                   r->x->display().c_str());
  }

  const std::string captureLog = logs + "/capture.txt";
  std::remove(captureLog.c_str());
  const std::string ini = logs + "/sender.ini";
  writeFile(ini, senderIni("None"));
  StationProcess sender;
  {
    StationProcess::Setup s;
    s.station = stations[0];
    s.args = {TALVEX_SEND, "--control", "--ini", ini, "--mode", "none"};
    s.env = {"POINTSHARE_CAPTURE_LOG=" + captureLog};
    s.log = logs + "/sender.log";
    if (!sender.start(s)) return 1;
  }
  std::printf(
      "demo: talvex-send in station 1 (test-pattern camera, test tone, MPEG-4 V2, MP3);\n"
      "demo: morvane-receive in stations 2 and 3, each with its own pointer circling on its own X server\n");
  LiveTable table(sender, receivers);
  table.header();
  // Until both receivers show pictures (at most 30 s).
  for (int i = 0; i < 30 && !g_stop; ++i) {
    bool all = true;
    for (auto& r : receivers) all = all && r->pictures.count() > 0;
    if (all) break;
    table.line("starting");
    sleepSeconds(1);
  }

  std::vector<int64_t> commandTimes;
  bool refused = false;
  for (size_t k = 0; k < 3 && !g_stop; ++k) {
    if (k > 0) {
      std::vector<size_t> receiverFrom;
      for (auto& r : receivers) receiverFrom.push_back(r->process.lineCount());
      const size_t from = sender.lineCount();
      commandTimes.push_back(monotonicNs());
      const std::string answer = std::string("talvex-send: mode ") + kModeWords[k] + " applied";
      sender.writeLine(std::string("mode ") + kModeWords[k]);
      const long i = sender.waitLine(
          from, [](const std::string& l) { return l.rfind("talvex-send: ", 0) == 0; }, 20000);
      const std::string got = i < 0 ? "no answer" : sender.linesFrom(size_t(i)).front().text;
      std::printf("demo: sender switched to %s: %s\n", kModes[k], got.c_str());
      if (got != answer) refused = true;
      // Each mode is shown for the whole phase: the phase counts from the
      // moment every receiver has handled the change (at most 30 s; a slow
      // machine, e.g. a sanitizer build, takes seconds for it).
      auto handled = [&] {
        for (size_t i = 0; i < receivers.size(); ++i) {
          long ms = 0;
          auto restarted = [&](const std::string& l) { return parseGraphRestart(l, ms); };
          if (receivers[i]->process.waitLine(receiverFrom[i], restarted, 0) < 0) return false;
        }
        return true;
      };
      for (int waited = 0; waited < 30 && !handled() && !g_stop; ++waited) table.run(kModes[k], 1);
    }
    table.run(kModes[k], o.phaseSeconds);
  }
  if (g_stop) std::printf("demo: interrupted\n");

  const size_t senderFrom = sender.lineCount();
  sender.writeLine("quit");
  sender.waitLine(
      senderFrom, [](const std::string& l) { return l == "talvex-send: stopped"; }, 15000);
  const int senderStatus = sender.stop();
  sleepSeconds(1);  // the receivers handle the sender's last status
  std::vector<int> receiverStatus;
  for (auto& r : receivers) {
    r->pointer.reset();
    receiverStatus.push_back(r->process.stop());
    r->pictures.join();
  }

  const std::vector<Capture> captures = parseCaptureLog(readFile(captureLog));
  std::printf("\nsummary\nsender: exit status %d, %zu frames captured, mode changes %s\n", senderStatus,
              captures.size(), refused ? "NOT all applied" : "applied");
  bool ok = senderStatus == 0 && !refused && commandTimes.size() == 2;
  // The moments the figures are taken from, for a closer look beside the
  // receivers' picture lists.
  FILE* timeline = std::fopen((logs + "/timeline.txt").c_str(), "w");
  if (timeline) {
    std::fprintf(timeline, "# ns (CLOCK_MONOTONIC) and what happened\n");
    for (size_t k = 0; k < commandTimes.size(); ++k)
      std::fprintf(timeline, "%lld sender asked for %s\n", (long long)commandTimes[k], kModes[k + 1]);
  }
  for (size_t i = 0; i < receivers.size(); ++i) {
    Receiver& r = *receivers[i];
    ReceiverRun run;
    run.pictures = r.pictures.pictures();
    // Every picture as it came, for a closer look.
    if (FILE* f =
            std::fopen((logs + "/receiver" + std::to_string(r.number) + "-pictures.txt").c_str(), "w")) {
      std::fprintf(f, "# ns (CLOCK_MONOTONIC) and the frame number read from the pixels (- where none)\n");
      for (const Picture& p : run.pictures)
        p.frameRead ? std::fprintf(f, "%lld %u\n", (long long)p.when, p.frame)
                    : std::fprintf(f, "%lld -\n", (long long)p.when);
      std::fclose(f);
    }
    for (const StationProcess::Line& l : r.process.linesFrom(0)) {
      long ms = 0;
      if (!parseGraphRestart(l.text, ms)) continue;
      run.statusChanges.push_back(l.when - int64_t(ms) * 1000000);
      if (timeline)
        std::fprintf(timeline, "%lld receiver %d began to handle a status change\n",
                     (long long)run.statusChanges.back(), r.number);
    }
    const std::vector<ModeFigures> modes = summarise(captures, commandTimes, run);
    printSummary(r, modes, receiverStatus[i], o.output + "/receiver" + std::to_string(r.number));
    ok = ok && receiverStatus[i] == 0 && showedEveryMode(modes, 3);
  }
  if (timeline) std::fclose(timeline);
  std::printf("\nlogs in %s\n", logs.c_str());
  std::printf(
      ok ? "demo: every receiver showed pictures in every mode\n"
         : "demo: FAILED: a receiver missed a mode, or a program did not end cleanly (see the logs)\n");
  return ok ? 0 : 1;
}

int runGui(const Options& o, const std::vector<std::string>& stations) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr, "demo: --gui needs DISPLAY\n");
    return 2;
  }
  const std::string dir = o.output + "/gui";
  fs::create_directories(dir);
  writeFile(dir + "/talvex-ui.ini", senderIni("Loupex"));
  const struct {
    size_t station;
    const char* program;
    std::string ini, geometry;
  } windows[] = {
      {0, TALVEX_UI, dir + "/talvex-ui.ini", "+0+0"},
      {1, MORVANE_UI, dir + "/morvane-ui-1.ini", "+640+0"},
      {2, MORVANE_UI, dir + "/morvane-ui-2.ini", "+640+512"},
  };
  writeFile(windows[1].ini, receiverIni(1));
  writeFile(windows[2].ini, receiverIni(2));
  std::vector<std::unique_ptr<StationProcess>> programs;
  for (const auto& w : windows) {
    auto p = std::make_unique<StationProcess>();
    StationProcess::Setup s;
    s.station = stations[w.station];
    s.args = {w.program, "--ini", w.ini, "-geometry", w.geometry};
    s.log = dir + "/" + fs::path(w.ini).stem().string() + ".log";
    if (!p->start(s)) return 1;
    programs.push_back(std::move(p));
  }
  std::printf("demo: talvex-ui in station 1, morvane-ui in stations 2 and 3, on display %s%s\n", display,
              o.seconds > 0 ? "" : " (Ctrl-C ends the demo)");
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  bool shot = o.screenshot.empty();
  while (!g_stop && (o.seconds <= 0 || elapsed() < o.seconds)) {
    sleepSeconds(0.2);
    // The receivers rebuild on the sender's first status and settle within
    // a few seconds: then the screen shows all three at work.
    if (!shot && elapsed() >= std::min(10.0, o.seconds > 0 ? o.seconds - 1 : 10.0)) {
      std::string error;
      if (!o.screenshot.empty()) fs::create_directories(fs::path(o.screenshot).parent_path());
      if (saveScreenshot(display, o.screenshot, error))
        std::printf("demo: screenshot %s\n", o.screenshot.c_str());
      else
        std::fprintf(stderr, "demo: %s\n", error.c_str());
      shot = true;
    }
  }
  int worst = 0;
  for (auto& p : programs) worst = std::max(worst, p->stop(15000));
  std::printf("demo: windows closed (exit status %d)\n", worst);
  return worst == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!parseOptions(argc, argv, o, error)) {
    std::fprintf(stderr, "demo_run: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  const std::vector<std::string> stations = netlab::stations();
  if (!netlab::insideLab() || stations.size() < 3) {
    std::fprintf(stderr,
                 "demo_run: run it inside a network lab of three stations "
                 "(tools/netlab/netlab --stations 3 -- ...)\n");
    return 77;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return o.gui ? runGui(o, stations) : runHeadless(o, stations);
}
