#include "filters/pointer/x11_pointer_source.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <set>
#include <vector>

namespace pointing {

namespace {

// One wheel notch, in the relative units the record carries.
constexpr int kWheelNotch = 120;

// X button numbers (1 left, 2 middle, 3 right, 4/5 wheel, 6/7 horizontal
// wheel, 8 and up side buttons) to record bits (0 left, 1 right, 2 middle,
// 3 to 7 further buttons). Returns -1 for buttons the record does not carry.
int buttonBit(int xButton) {
  switch (xButton) {
    case 1: return 0;
    case 3: return 1;
    case 2: return 2;
    default: break;
  }
  if (xButton >= 8 && xButton <= 12) return xButton - 5;
  return -1;
}

void disown(Display* d);

struct DisplayCloser {
  void operator()(Display* d) const {
    XCloseDisplay(d);
    disown(d);
  }
};

}  // namespace

PointerLog stderrPointerLog() {
  return [](const std::string& line) { std::fprintf(stderr, "pointer: %s\n", line.c_str()); };
}

struct X11PointerSource::Connection {
  std::unique_ptr<Display, DisplayCloser> display;
  bool lost = false;        // Xlib found the connection broken; only closing is left
  bool serverGone = false;  // the server closed the connection before Xlib noticed
  Window root = 0;
  int screen = 0;
  int rrEventBase = -1;
  int xiOpcode = -1;  // -1: no XInput2, buttons and wheel unavailable
  uint16_t buttons = 0;
  int wheel = 0;

  void handle(XEvent& ev) {
    if (rrEventBase >= 0 && ev.type == rrEventBase + RRScreenChangeNotify) {
      XRRUpdateConfiguration(&ev);
      return;
    }
    if (ev.type != GenericEvent || ev.xcookie.extension != xiOpcode) return;
    if (!XGetEventData(display.get(), &ev.xcookie)) return;
    const auto* raw = static_cast<const XIRawEvent*>(ev.xcookie.data);
    const bool press = ev.xcookie.evtype == XI_RawButtonPress;
    const bool release = ev.xcookie.evtype == XI_RawButtonRelease;
    if (press || release) {
      const int bit = buttonBit(raw->detail);
      if (bit >= 0) {
        const auto mask = static_cast<uint16_t>(1u << bit);
        buttons = press ? static_cast<uint16_t>(buttons | mask) : static_cast<uint16_t>(buttons & ~mask);
      } else if (press && raw->detail == 4) {
        wheel += kWheelNotch;
      } else if (press && raw->detail == 5) {
        wheel -= kWheelNotch;
      }
    }
    XFreeEventData(display.get(), &ev.xcookie);
  }
};

namespace {

// When a connection to the server breaks (the server ended, the session
// closed), Xlib calls the process-wide I/O error handler and then the
// connection's exit handler; both end the process by default. For our own
// connections the exit handler only marks the connection lost, and the
// process-wide handler is wrapped once so that it returns for our
// connections and hands every other connection to the handler it had.
// The set and its lock are built in place on first use and never
// destroyed: a program that ends through exit() destroys the filters that
// close these connections among the other statics, in no fixed order. No
// heap block holds them, so unloading the module leaves nothing behind.
struct OwnDisplays {
  std::mutex lock;
  std::set<Display*> displays;
};
OwnDisplays& own() {
  alignas(OwnDisplays) static unsigned char storage[sizeof(OwnDisplays)];
  static OwnDisplays* const o = new (storage) OwnDisplays;
  return *o;
}
XIOErrorHandler previousIoHandler = nullptr;

int onIoError(Display* d) {
  {
    std::lock_guard lock(own().lock);
    if (own().displays.count(d)) return 0;
  }
  return previousIoHandler ? previousIoHandler(d) : 0;
}

void disown(Display* d) {
  std::lock_guard lock(own().lock);
  own().displays.erase(d);
}

// A connection whose server went away before Xlib noticed cannot be closed
// through Xlib without its I/O error path running (which, once its handlers
// return, unlocks the display twice). Its socket is closed instead and the
// Display is kept unused: a few kilobytes for each server that vanished.
void bury(Display* d) {
  static std::vector<Display*> graves;
  ::close(ConnectionNumber(d));
  std::lock_guard lock(own().lock);
  own().displays.erase(d);
  graves.push_back(d);
}

void onConnectionLost(Display*, void* connection) { *static_cast<bool*>(connection) = true; }

void adopt(Display* d, bool* lost) {
  static std::once_flag wrapped;
  std::call_once(wrapped, [] { previousIoHandler = XSetIOErrorHandler(onIoError); });
  {
    std::lock_guard lock(own().lock);
    own().displays.insert(d);
  }
  XSetIOErrorExitHandler(d, onConnectionLost, lost);
}

}  // namespace

X11PointerSource::X11PointerSource(std::string displayName, PointerLog log)
    : displayName_(std::move(displayName)), log_(std::move(log)) {}

X11PointerSource::~X11PointerSource() = default;

bool X11PointerSource::isOpen() const { return connection_ != nullptr; }
bool X11PointerSource::hasButtonDevice() const { return connection_ && connection_->xiOpcode >= 0; }

void X11PointerSource::say(const std::string& line) {
  if (log_) log_(line);
}

bool X11PointerSource::open() {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextAttempt_) return false;
  nextAttempt_ = now + std::chrono::seconds(2);

  const char* name = displayName_.empty() ? nullptr : displayName_.c_str();
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(name));
  if (!display) {
    if (!toldNoDisplay_) {
      toldNoDisplay_ = true;
      const char* env = std::getenv("DISPLAY");
      std::string which = name ? name : (env && *env ? env : "");
      say(which.empty() ? "no X display (DISPLAY is not set); pointer records keep the last known position"
                        : "cannot open X display \"" + which +
                              "\"; pointer records keep the last known position");
    }
    return false;
  }

  auto c = std::make_unique<Connection>();
  adopt(display.get(), &c->lost);
  c->screen = DefaultScreen(display.get());
  c->root = RootWindow(display.get(), c->screen);

  int rrError = 0;
  if (XRRQueryExtension(display.get(), &c->rrEventBase, &rrError)) {
    XRRSelectInput(display.get(), c->root, RRScreenChangeNotifyMask);
  } else {
    c->rrEventBase = -1;
  }

  int event = 0, error = 0, major = 2, minor = 2;
  if (XQueryExtension(display.get(), "XInputExtension", &c->xiOpcode, &event, &error) &&
      XIQueryVersion(display.get(), &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1))) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display.get(), c->root, &mask, 1);
  } else {
    c->xiOpcode = -1;
    if (!toldNoButtons_) {
      toldNoButtons_ = true;
      say("the X server offers no XInput 2.1 raw events; buttons and wheel stay 0");
    }
  }

  // Buttons already held when sampling starts.
  Window rootReturn = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned int state = 0;
  XQueryPointer(display.get(), c->root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state);
  if (c->xiOpcode >= 0) {
    if (state & Button1Mask) c->buttons |= 1u << 0;
    if (state & Button3Mask) c->buttons |= 1u << 1;
    if (state & Button2Mask) c->buttons |= 1u << 2;
  }
  XSync(display.get(), False);
  if (c->lost) return false;

  c->display = std::move(display);
  connection_ = std::move(c);
  return true;
}

namespace {
// Whether the server has closed the connection: the socket reports a hang-up
// or reads as ended. Checked before each read so that a server that went
// away is noticed without a request running into Xlib's I/O error path.
bool serverClosed(Display* d) {
  pollfd p{ConnectionNumber(d), POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
  char byte;
  return (p.revents & POLLIN) && recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}
}  // namespace

PointerReading X11PointerSource::read() {
  PointerReading reading;
  if (!connection_ && !open()) return reading;
  Connection& c = *connection_;
  Display* d = c.display.get();
  if (serverClosed(d)) c.serverGone = true;

  Window rootReturn = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned int state = 0;
  // Returns False when the pointer is on another screen; rx, ry are then
  // relative to that screen's root, which is still the best we know.
  if (!c.serverGone) XQueryPointer(d, c.root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state);

  // The round trip above has read every event the server sent before it.
  while (!c.serverGone && !c.lost && XPending(d) > 0) {
    XEvent ev;
    XNextEvent(d, &ev);
    c.handle(ev);
  }
  if (c.lost || c.serverGone) {
    say("lost the connection to the X display; pointer records keep the last known position until it is back");
    if (!c.lost) bury(c.display.release());
    connection_.reset();
    nextAttempt_ = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    toldNoDisplay_ = true;  // said why already
    return reading;
  }

  reading.hasPosition = true;
  reading.screenWidth = DisplayWidth(d, c.screen);
  reading.screenHeight = DisplayHeight(d, c.screen);
  reading.cursorX = rx;
  reading.cursorY = ry;
  if (c.xiOpcode >= 0) {
    reading.hasButtons = true;
    reading.buttons = c.buttons;
    reading.wheel = static_cast<int16_t>(c.wheel);
    c.wheel = 0;
  }
  return reading;
}

}  // namespace pointing
