#include "filters/pointer/x11_pointer_source.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

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

}  // namespace

PointerLog stderrPointerLog() {
  return [](const std::string& line) { std::fprintf(stderr, "pointer: %s\n", line.c_str()); };
}

struct X11PointerSource::Connection {
  Display* display = nullptr;
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
    if (!XGetEventData(display, &ev.xcookie)) return;
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
    XFreeEventData(display, &ev.xcookie);
  }
};

X11PointerSource::X11PointerSource(std::string displayName, PointerLog log)
    : log_(std::move(log)), x_(std::move(displayName)) {}

X11PointerSource::~X11PointerSource() = default;

bool X11PointerSource::isOpen() const { return connection_ != nullptr; }
bool X11PointerSource::hasButtonDevice() const { return connection_ && connection_->xiOpcode >= 0; }

void X11PointerSource::say(const std::string& line) {
  if (log_) log_(line);
}

bool X11PointerSource::open() {
  const ReconnectingXConnection::Open opened = x_.open();
  if (opened == ReconnectingXConnection::Open::Waiting) return false;
  if (opened == ReconnectingXConnection::Open::Failed) {
    if (!toldNoDisplay_) {
      toldNoDisplay_ = true;
      const char* name = x_.name();
      const char* env = std::getenv("DISPLAY");
      std::string which = name ? name : (env && *env ? env : "");
      say(which.empty() ? "no X display (DISPLAY is not set); pointer records keep the last known position"
                        : "cannot open X display \"" + which +
                              "\"; pointer records keep the last known position");
    }
    return false;
  }
  Display* display = x_.display();

  auto c = std::make_unique<Connection>();
  c->display = display;
  c->screen = DefaultScreen(display);
  c->root = RootWindow(display, c->screen);

  int rrError = 0;
  if (XRRQueryExtension(display, &c->rrEventBase, &rrError)) {
    XRRSelectInput(display, c->root, RRScreenChangeNotifyMask);
  } else {
    c->rrEventBase = -1;
  }

  int event = 0, error = 0, major = 2, minor = 2;
  if (XQueryExtension(display, "XInputExtension", &c->xiOpcode, &event, &error) &&
      XIQueryVersion(display, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1))) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display, c->root, &mask, 1);
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
  XQueryPointer(display, c->root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state);
  if (c->xiOpcode >= 0) {
    if (state & Button1Mask) c->buttons |= 1u << 0;
    if (state & Button3Mask) c->buttons |= 1u << 1;
    if (state & Button2Mask) c->buttons |= 1u << 2;
  }
  XSync(display, False);
  if (x_.lost()) {
    x_.drop();
    return false;
  }
  connection_ = std::move(c);
  return true;
}

PointerReading X11PointerSource::read() {
  PointerReading reading;
  if (!connection_ && !open()) return reading;
  Connection& c = *connection_;
  Display* d = c.display;
  // A server that went away is noticed without a request running into
  // Xlib's I/O error path.
  const bool serverGone = x_.serverClosed();

  Window rootReturn = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned int state = 0;
  // Returns False when the pointer is on another screen; rx, ry are then
  // relative to that screen's root, which is still the best we know.
  if (!serverGone) XQueryPointer(d, c.root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state);

  // The round trip above has read every event the server sent before it.
  while (!serverGone && !x_.lost() && XPending(d) > 0) {
    XEvent ev;
    XNextEvent(d, &ev);
    c.handle(ev);
  }
  if (x_.lost() || serverGone) {
    say("lost the connection to the X display; pointer records keep the last known position until it is back");
    connection_.reset();
    x_.drop();
    x_.pauseRetries();
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
