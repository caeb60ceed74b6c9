#include "platform/win/own_x_connection.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Never destroyed: a program that ends through exit() (Xlib does so when a
// server goes away) destroys the objects that close these connections among
// the other statics, in no fixed order.
struct OwnConnections {
  std::mutex lock;
  std::vector<std::pair<Display*, OwnXErrorLog>> displays;
  XErrorHandler previous = nullptr;
  bool installed = false;
  std::atomic<int> errors{0};
};

OwnConnections& own() {
  static OwnConnections* const connections = new OwnConnections;
  return *connections;
}

int onXError(Display* d, XErrorEvent* e) {
  OwnConnections& o = own();
  OwnXErrorLog log = nullptr;
  {
    std::lock_guard<std::mutex> g(o.lock);
    auto it = std::find_if(o.displays.begin(), o.displays.end(), [d](const auto& p) { return p.first == d; });
    if (it == o.displays.end()) return o.previous ? o.previous(d, e) : 0;
    log = it->second;
  }
  o.errors.fetch_add(1);
  if (log) log(e->error_code, e->request_code, e->resourceid);
  return 0;
}

}  // namespace

Display* openOwnXConnection(const char* name, OwnXErrorLog log) {
  Display* d = XOpenDisplay(name);
  if (!d) return nullptr;
  OwnConnections& o = own();
  std::lock_guard<std::mutex> g(o.lock);
  o.displays.emplace_back(d, log);
  if (!o.installed) {
    o.previous = XSetErrorHandler(onXError);
    o.installed = true;
  }
  return d;
}

void closeOwnXConnection(Display* d) {
  if (!d) return;
  XCloseDisplay(d);
  forgetOwnXConnection(d);
}

void forgetOwnXConnection(Display* d) {
  OwnConnections& o = own();
  std::lock_guard<std::mutex> g(o.lock);
  std::erase_if(o.displays, [d](const auto& p) { return p.first == d; });
}

int ownXConnectionErrors() {
  return own().errors.load();
}
