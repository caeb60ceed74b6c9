// talvex-send: the sender engine without a GUI. It initialises the engine
// (the preview goes to an off-screen renderer, or with --window into a
// top-level X11 window of its own), applies the settings file and the
// options, calls the engine's timer every second and prints the send
// monitor (bit rate and frame rate of each server) once a second, until the
// time is up or Ctrl-C / SIGTERM asks it to stop; then it shuts the engine
// down cleanly (the last status says the sender no longer runs).
// With --control it also reads commands from standard input (see
// send/control_command.h) and answers each with one line on standard
// output; the end of the input leaves it running.
//
// Exit status: 0 after a clean run, 1 when the engine or a device could not
// be had, 2 for a bad command line.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "talvex/Talvex.h"
#include "talvex/send/control_command.h"
#include "talvex/send/device_list.h"
#include "talvex/send/send_options.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void onSignal(int) {
  g_stop = 1;
}

void catchSignals() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// A top-level window that holds the preview; empty without a display.
class PreviewWindow {
 public:
  PreviewWindow() {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, kWidth, kHeight, 0,
                                  BlackPixel(display_, screen), BlackPixel(display_, screen));
    XStoreName(display_, window_, "talvex-send");
    deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    XFlush(display_);
  }
  ~PreviewWindow() {
    if (!display_) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  TalvexWindow id() const { return display_ ? TalvexWindow(window_) : 0; }
  // Handles the window's events; false once the user closed it.
  bool pump() {
    while (display_ && XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow_) return false;
      if (event.type == ConfigureNotify)
        TalvexSetVideoWindowSize(unsigned(event.xconfigure.width), unsigned(event.xconfigure.height));
    }
    return true;
  }
  static constexpr unsigned kWidth = 640, kHeight = 480;

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
  Atom deleteWindow_ = 0;
};

// A device by index or by friendly name; -1 for "none" where allowed, -2
// when there is no such device.
int findDevice(const std::string& wanted, unsigned count, const char* (*name)(int32_t), bool noneAllowed) {
  if (noneAllowed && wanted == "none") return -1;
  if (wanted.find_first_not_of("0123456789") == std::string::npos) {
    const unsigned long index = std::strtoul(wanted.c_str(), nullptr, 10);
    return index < count ? int(index) : -2;
  }
  for (unsigned i = 0; i < count; ++i)
    if (wanted == name(int32_t(i))) return int(i);
  return -2;
}

// Applies the options on top of the settings file; false (with a message)
// for a device that is not there.
bool applyOptions(const SendOptions& o) {
  if (!o.videoDevice.empty()) {
    const int index =
        findDevice(o.videoDevice, TalvexGetNumVideoCaptures(), TalvexGetVideoCaptureFriendlyName, false);
    if (index < 0) {
      std::fprintf(stderr, "talvex-send: no video capture device \"%s\" (see --list-devices)\n",
                   o.videoDevice.c_str());
      return false;
    }
    TalvexSetVideoCapture(index);
  }
  if (!o.audioDevice.empty()) {
    const int index =
        findDevice(o.audioDevice, TalvexGetNumAudioCaptures(), TalvexGetAudioCaptureFriendlyName, true);
    if (index < -1) {
      std::fprintf(stderr, "talvex-send: no audio capture device \"%s\" (see --list-devices)\n",
                   o.audioDevice.c_str());
      return false;
    }
    TalvexSetAudioCapture(index);
  }
  if (o.encoder >= 0) TalvexSetVideoEncoder(o.encoder);
  if (o.audioEncoder >= 0) {
    if (!TalvexIsValidAudioEncoder(o.audioEncoder)) {
      std::fprintf(stderr, "talvex-send: this audio encoder is not installed\n");
      return false;
    }
    TalvexSetAudioEncoder(o.audioEncoder);
  }
  if (o.mode >= 0) {
    if (!TalvexIsValidFocusDisplay(o.mode))
      std::fprintf(stderr,
                   "talvex-send: this focus display cannot be built with the chosen camera and encoder\n");
    TalvexSetFocusDisplay(o.mode);
  }
  if (!o.group.empty()) {
    TalvexSetVideoServerMainAddress(o.group.c_str());
    TalvexSetVideoServerSubAddress(o.group.c_str());
    TalvexSetAudioServerAddress(o.group.c_str());
    TalvexSetPointerServerClientAddress(o.group.c_str());
    TalvexSetStatusSenderAddress(o.group.c_str());
  }
  return true;
}

// One monitor line: each server's bit rate (Kbit of 1024 bits) and frame
// rate since the previous line.
void printMonitor(double elapsed) {
  struct Meter {
    const char* name;
    unsigned (*rate)();
    unsigned (*frames)();
  };
  const Meter meters[] = {
      {"VideoServer(Main)", TalvexGetVideoServerMainTransmittingRate, TalvexGetVideoServerMainFrameRate},
      {"VideoServer(Sub)", TalvexGetVideoServerSubTransmittingRate, TalvexGetVideoServerSubFrameRate},
      {"AudioServer", TalvexGetAudioServerTransmittingRate, TalvexGetAudioServerFrameRate},
  };
  std::printf("%6.1f s", elapsed);
  for (const Meter& m : meters)
    std::printf(" | %s %.1f Kbit/s %u fps", m.name, m.rate() / 1024.0, m.frames());
  std::printf("\n");
  std::fflush(stdout);
}

// Carries out one command line as the sender window's menu would (the
// engine rebuilds and restarts its graph for a new focus display) and
// answers it; true when the command asks the program to end.
bool runCommand(const std::string& line) {
  ControlCommand command;
  std::string error;
  bool quit = false;
  if (!parseControlCommand(line, command, error)) {
    std::printf("talvex-send: error: %s\n", error.c_str());
  } else if (command.kind == ControlCommand::Quit) {
    std::printf("talvex-send: quit\n");
    quit = true;
  } else if (!TalvexIsValidFocusDisplay(command.mode)) {
    // The window offers only the focus displays the camera and encoder can
    // build: the same ones are accepted here.
    std::printf("talvex-send: error: mode %s cannot be built with the chosen camera and encoder\n",
                modeWord(command.mode));
  } else {
    TalvexSetFocusDisplay(command.mode);
    if (TalvexGetFocusDisplay() != command.mode)
      std::printf("talvex-send: error: mode %s refused (see the log)\n", modeWord(command.mode));
    else if (!TalvexIsValidGraph())
      std::printf("talvex-send: error: mode %s set, but the sender graph is not complete (see the log)\n",
                  modeWord(command.mode));
    else
      std::printf("talvex-send: mode %s applied\n", modeWord(command.mode));
  }
  std::fflush(stdout);
  return quit;
}

}  // namespace

int main(int argc, char** argv) {
  SendOptions options;
  std::string error;
  if (!parseSendOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "talvex-send: %s\n%s", error.c_str(), kSendUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", kSendUsage);
    return 0;
  }
  if (options.listDevices) {
    if (printCaptureDevices()) return 0;
    std::fprintf(stderr, "talvex-send: the component model could not start\n");
    return 1;
  }
  catchSignals();

  std::unique_ptr<PreviewWindow> window;
  if (options.window) {
    window = std::make_unique<PreviewWindow>();
    if (!window->id()) std::fprintf(stderr, "talvex-send: no display: the preview stays off-screen\n");
  }
  const TalvexWindow owner = window ? window->id() : 0;
  if (!TalvexInitialize(owner)) {
    std::fprintf(stderr, "talvex-send: the sender engine could not start (its messages are above)\n");
    TalvexShutdown();
    return 1;
  }
  if (owner) TalvexSetVideoWindowSize(PreviewWindow::kWidth, PreviewWindow::kHeight);
  if (!options.ini.empty() && !TalvexReadIniFile(options.ini.c_str()))
    std::fprintf(stderr, "talvex-send: cannot read %s\n", options.ini.c_str());
  if (!applyOptions(options)) {
    TalvexShutdown();
    return 1;
  }
  if (!TalvexIsValidGraph())
    std::fprintf(stderr, "talvex-send: the sender graph is not complete (see the log)\n");

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point nextTick = start + std::chrono::seconds(1);
  // Open the meters' first window now.
  printMonitor(0);
  ControlInput control(STDIN_FILENO);
  bool quit = false;
  while (!g_stop && !quit) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (options.seconds > 0 && elapsed >= options.seconds) break;
    if (window && !window->pump()) break;
    for (std::string line; options.control && !quit && control.next(line);) quit = runCommand(line);
    if (Clock::now() >= nextTick) {
      TalvexTimerProcess();
      printMonitor(elapsed);
      nextTick += std::chrono::seconds(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  int status = 0;
  if (options.save && !TalvexWriteIniFile(options.ini.c_str())) {
    std::fprintf(stderr, "talvex-send: cannot write %s\n", options.ini.c_str());
    status = 1;
  }
  TalvexShutdown();
  window.reset();
  std::printf("talvex-send: stopped\n");
  return status;
}
