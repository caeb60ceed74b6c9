#include "platform/win/display_modes.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace platform::win {

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ResourcesFree {
  void operator()(XRRScreenResources* r) const { XRRFreeScreenResources(r); }
};
struct OutputFree {
  void operator()(XRROutputInfo* o) const { XRRFreeOutputInfo(o); }
};
struct CrtcFree {
  void operator()(XRRCrtcInfo* c) const { XRRFreeCrtcInfo(c); }
};

using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;
using ResourcesPtr = std::unique_ptr<XRRScreenResources, ResourcesFree>;
using OutputPtr = std::unique_ptr<XRROutputInfo, OutputFree>;
using CrtcPtr = std::unique_ptr<XRRCrtcInfo, CrtcFree>;

// An X connection with RANDR 1.2 or later, its screen resources and the
// primary output (the first connected one when none is marked primary).
struct Screen {
  DisplayPtr display;
  Window root = 0;
  ResourcesPtr resources;
  RROutput outputId = 0;
  OutputPtr output;

  bool open() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    display.reset(XOpenDisplay(name));
    if (!display) return false;
    int eventBase, errorBase, major = 0, minor = 0;
    if (!XRRQueryExtension(display.get(), &eventBase, &errorBase) ||
        !XRRQueryVersion(display.get(), &major, &minor) || (major == 1 && minor < 2))
      return false;
    root = DefaultRootWindow(display.get());
    resources.reset(XRRGetScreenResources(display.get(), root));
    if (!resources) return false;
    RROutput primary = XRRGetOutputPrimary(display.get(), root);
    for (int i = 0; i < resources->noutput && !output; ++i) {
      RROutput id = resources->outputs[i];
      if (primary != 0 && id != primary) continue;
      OutputPtr info(XRRGetOutputInfo(display.get(), resources.get(), id));
      if (info && info->connection == RR_Connected) {
        outputId = id;
        output = std::move(info);
      }
    }
    for (int i = 0; i < resources->noutput && !output; ++i) {
      OutputPtr info(XRRGetOutputInfo(display.get(), resources.get(), resources->outputs[i]));
      if (info && info->connection == RR_Connected) {
        outputId = resources->outputs[i];
        output = std::move(info);
      }
    }
    return output != nullptr;
  }

  int depth() const { return DefaultDepth(display.get(), DefaultScreen(display.get())); }

  const XRRModeInfo* modeInfo(RRMode id) const {
    for (int i = 0; i < resources->nmode; ++i)
      if (resources->modes[i].id == id) return &resources->modes[i];
    return nullptr;
  }

  DisplayMode describe(const XRRModeInfo& m) const {
    DisplayMode mode;
    mode.width = static_cast<int>(m.width);
    mode.height = static_cast<int>(m.height);
    mode.depth = depth();
    if (m.hTotal && m.vTotal)
      mode.rate = static_cast<int>(std::lround(static_cast<double>(m.dotClock) /
                                               (static_cast<double>(m.hTotal) * m.vTotal)));
    return mode;
  }
};

// X errors during a switch (a refused size, a vanished output) are recorded
// instead of ending the process through the default handler.
std::atomic<bool> xErrorSeen{false};
int recordXError(Display*, XErrorEvent*) {
  xErrorSeen = true;
  return 0;
}

}  // namespace

bool currentDisplayMode(DisplayMode& mode) {
  Screen s;
  if (!s.open() || !s.output->crtc) return false;
  CrtcPtr crtc(XRRGetCrtcInfo(s.display.get(), s.resources.get(), s.output->crtc));
  if (!crtc) return false;
  if (const XRRModeInfo* info = s.modeInfo(crtc->mode)) {
    mode = s.describe(*info);
    return true;
  }
  return false;
}

std::vector<DisplayMode> listDisplayModes() {
  std::vector<DisplayMode> modes;
  Screen s;
  if (!s.open()) return modes;
  for (int i = 0; i < s.output->nmode; ++i)
    if (const XRRModeInfo* info = s.modeInfo(s.output->modes[i])) modes.push_back(s.describe(*info));
  return modes;
}

DisplayChangeResult changeDisplayMode(const DisplayMode& mode) {
  Screen s;
  if (!s.open() || !s.output->crtc) return DisplayChangeResult::Failed;
  if (mode.depth != s.depth()) return DisplayChangeResult::BadMode;
  RRMode chosen = 0;
  for (int i = 0; i < s.output->nmode && !chosen; ++i) {
    const XRRModeInfo* info = s.modeInfo(s.output->modes[i]);
    if (info && s.describe(*info) == mode) chosen = info->id;
  }
  if (!chosen) return DisplayChangeResult::BadMode;
  CrtcPtr crtc(XRRGetCrtcInfo(s.display.get(), s.resources.get(), s.output->crtc));
  if (!crtc) return DisplayChangeResult::Failed;
  Display* d = s.display.get();
  XSync(d, False);
  xErrorSeen = false;
  XErrorHandler previous = XSetErrorHandler(recordXError);
  XGrabServer(d);
  // The screen must be large enough for the new mode before the CRTC uses it.
  int screen = DefaultScreen(d);
  int width = std::max(DisplayWidth(d, screen), mode.width);
  int height = std::max(DisplayHeight(d, screen), mode.height);
  if (width != DisplayWidth(d, screen) || height != DisplayHeight(d, screen))
    XRRSetScreenSize(d, s.root, width, height, DisplayWidthMM(d, screen), DisplayHeightMM(d, screen));
  Status st = XRRSetCrtcConfig(d, s.resources.get(), s.output->crtc, CurrentTime, crtc->x, crtc->y, chosen,
                               crtc->rotation, crtc->outputs, crtc->noutput);
  XUngrabServer(d);
  XSync(d, False);
  XSetErrorHandler(previous);
  if (xErrorSeen) return DisplayChangeResult::Failed;
  return st == RRSetConfigSuccess ? DisplayChangeResult::Successful : DisplayChangeResult::Failed;
}

}  // namespace platform::win
