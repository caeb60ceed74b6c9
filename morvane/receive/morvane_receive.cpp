// morvane-receive: the receiver engine without a GUI.
//
//   morvane-receive [--ini FILE [--save]] [--group ADDR] [--port N] [--window]
//                   [--snapshot DIR [--every SECONDS]] [--pictures-out FILE]
//                   [--seconds N] [--quiet]
//
// It follows the sender's status like the receiver GUI does: the picture is
// rendered off-screen (or, with --window, in a top-level window of its
// own), MorvaneTimerProcess runs every second, the receive monitor (main
// video, second video, audio) is printed every second, and the engine's log
// (one line per handled status change, saying what changed and when the
// graph ran again) goes to standard output. Ctrl-C or SIGTERM stop it
// cleanly; SIGHUP reads the --ini FILE again (a new status port, say) while
// it runs. Exit status: 0 after a clean stop, 1 when the engine cannot
// start, 2 for bad options. It multicasts: run it inside the network lab.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "morvane/Morvane.h"
#include "morvane/receive/receive_monitor.h"
#include "morvane/receive/receive_options.h"
#include "morvane/receive/receive_pictures.h"
#include "morvane/receive/receive_snapshot.h"
#include "morvane/receive/receive_window.h"
#include "pellum/mxNotify.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_reread = 0;
std::atomic<bool> g_resize{false};

void onSignal(int signal) {
  if (signal == SIGHUP)
    g_reread = 1;
  else
    g_stop = 1;
}

int onEngine(const char* message, int32_t number, void*) {
  // Called on the engine's status thread: only note what to do.
  if (number == 0) g_resize = true;
  (void)message;  // problems are in the engine's log already
  return 0;
}

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  ReceiveOptions o;
  std::string error;
  if (!parseReceiveOptions(argc, argv, o, error)) {
    std::fprintf(stderr, "morvane-receive: %s\n%s", error.c_str(), kReceiveUsage);
    return 2;
  }
  if (o.help) {
    std::fputs(kReceiveUsage, stdout);
    return 0;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  mxNotify::setOutput(mxNotify::StandardOutput);
  if (!o.snapshot.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.snapshot, ec);
    if (ec) {
      std::fprintf(stderr, "morvane-receive: cannot create %s: %s\n", o.snapshot.c_str(),
                   ec.message().c_str());
      return 2;
    }
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);

  ReceiveWindow window;
  if (o.window && !window.open(704, 576, "morvane-receive", error)) {
    std::fprintf(stderr, "morvane-receive: --window: %s\n", error.c_str());
    return 1;
  }
  if (!MorvaneInitialize(window.id())) {
    std::fprintf(stderr, "morvane-receive: the receiver engine cannot start (see the messages above)\n");
    MorvaneShutdown();
    return 1;
  }
  MorvaneSetCallbackFunction(onEngine, nullptr);
  if (!o.ini.empty() && !MorvaneReadIniFile(o.ini.c_str()))
    std::fprintf(stderr, "morvane-receive: cannot read %s\n", o.ini.c_str());
  if (!o.group.empty() && !MorvaneSetStatusReceiverAddress(o.group.c_str()))
    std::fprintf(stderr, "morvane-receive: cannot listen on the status group %s\n", o.group.c_str());
  if (o.port > 0 && !MorvaneSetStatusReceiverPort(uint16_t(o.port)))
    std::fprintf(stderr, "morvane-receive: cannot listen on status port %d\n", o.port);
  PictureStream pictureStream;
  if (!o.pictures.empty() && !pictureStream.start(o.pictures, &error)) {
    std::fprintf(stderr, "morvane-receive: --pictures-out: %s\n", error.c_str());
    MorvaneShutdown();
    return 1;
  }
  std::printf("morvane-receive: listening for the sender's status on %s port %u\n",
              MorvaneGetStatusReceiverAddress(), unsigned(MorvaneGetStatusReceiverPort()));

  const auto start = Clock::now();
  auto nextTick = start + std::chrono::seconds(1);
  auto nextSnapshot =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.every));
  int pictures = 0;
  bool running = false;
  while (!g_stop && (o.seconds <= 0 || since(start) < o.seconds)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!window.pump()) break;
    if (g_resize.exchange(false) && o.window) {
      unsigned w = 0, h = 0;
      window.size(w, h);
      MorvaneSetVideoWindowPosition(0, 0);
      MorvaneSetVideoWindowSize(w, h);
    }
    if (g_reread) {
      g_reread = 0;
      if (o.ini.empty())
        std::printf("morvane-receive: SIGHUP without --ini: nothing to read again\n");
      else if (!MorvaneReadIniFile(o.ini.c_str()))
        std::fprintf(stderr, "morvane-receive: cannot read %s\n", o.ini.c_str());
      else
        std::printf("morvane-receive: read %s again: listening for the sender's status on %s port %u\n",
                    o.ini.c_str(), MorvaneGetStatusReceiverAddress(), unsigned(MorvaneGetStatusReceiverPort()));
    }
    const auto now = Clock::now();
    if (now >= nextTick) {
      nextTick += std::chrono::seconds(1);
      MorvaneTimerProcess();
      const bool r = MorvaneReceiveSenderData();
      if (r != running) std::printf("morvane-receive: sender %s\n", r ? "running" : "not running");
      running = r;
      if (!o.quiet) std::fputs(formatReceiveMonitor(since(start), readReceiveMonitor()).c_str(), stdout);
    }
    if (!o.snapshot.empty() && now >= nextSnapshot) {
      nextSnapshot += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.every));
      char name[32];
      std::snprintf(name, sizeof name, "picture-%04d.png", ++pictures);
      const std::string path = (std::filesystem::path(o.snapshot) / name).string();
      const Snapshot s = saveRenderedPicture(path);
      if (!s.saved)
        std::printf("morvane-receive: snapshot %s: %s\n", path.c_str(), s.error.c_str());
      else if (s.frameRead)
        std::printf("morvane-receive: snapshot %s %ldx%ld rendered %llu frame %u\n", path.c_str(), s.width,
                    s.height, static_cast<unsigned long long>(s.rendered), s.frame);
      else
        std::printf("morvane-receive: snapshot %s %ldx%ld rendered %llu\n", path.c_str(), s.width, s.height,
                    static_cast<unsigned long long>(s.rendered));
    }
  }
  std::printf("morvane-receive: stopping\n");
  pictureStream.stop();  // lets go of the renderer before the engine goes
  int status = 0;
  if (o.save && !MorvaneWriteIniFile(o.ini.c_str())) {
    std::fprintf(stderr, "morvane-receive: cannot write %s\n", o.ini.c_str());
    status = 1;
  }
  MorvaneShutdown();
  return status;
}
