#include "platform/win/own_x_connection.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct OwnConnection {
  Display* display;
  OwnXErrorLog log;
  bool* lost;  // set when the connection breaks; nullptr: Xlib ends the program then
};

// Built in place on first use and never destroyed: a program that ends
// through exit() (Xlib does so when a server goes away) destroys the objects
// that close these connections among the other statics, in no fixed order.
// No heap block is taken before a connection opens, so a module that loads
// and unloads this library without using it leaves nothing behind.
struct OwnConnections {
  std::mutex lock;
  std::vector<OwnConnection> displays;
  std::vector<Display*> graves;  // broken connections, kept unused (see buryOwnXConnection)
  XErrorHandler previous = nullptr;
  XIOErrorHandler previousIo = nullptr;
  bool installed = false;
  bool installedIo = false;
  std::atomic<int> errors{0};

  std::vector<OwnConnection>::iterator find(Display* d) {
    return std::find_if(displays.begin(), displays.end(), [d](const OwnConnection& c) { return c.display == d; });
  }
};

OwnConnections& own() {
  alignas(OwnConnections) static unsigned char storage[sizeof(OwnConnections)];
  static OwnConnections* const connections = new (storage) OwnConnections;
  return *connections;
}

int onXError(Display* d, XErrorEvent* e) {
  OwnConnections& o = own();
  OwnXErrorLog log = nullptr;
  {
    std::lock_guard<std::mutex> g(o.lock);
    auto it = o.find(d);
    if (it == o.displays.end()) return o.previous ? o.previous(d, e) : 0;
    log = it->log;
  }
  o.errors.fetch_add(1);
  if (log) log(e->error_code, e->request_code, e->resourceid);
  return 0;
}

// When a connection breaks, Xlib calls the process-wide I/O error handler
// and then the connection's exit handler; both end the program by default.
// For connections that are to survive, the first returns and the second
// only marks the connection lost.
int onIoError(Display* d) {
  OwnConnections& o = own();
  {
    std::lock_guard<std::mutex> g(o.lock);
    auto it = o.find(d);
    if (it != o.displays.end() && it->lost) return 0;
  }
  return o.previousIo ? o.previousIo(d) : 0;
}

void onConnectionLost(Display*, void* lost) {
  *static_cast<bool*>(lost) = true;
}

void forget(OwnConnections& o, Display* d) {
  std::erase_if(o.displays, [d](const OwnConnection& c) { return c.display == d; });
}

}  // namespace

Display* openOwnXConnection(const char* name, OwnXErrorLog log) {
  Display* d = XOpenDisplay(name);
  if (!d) return nullptr;
  OwnConnections& o = own();
  std::lock_guard<std::mutex> g(o.lock);
  o.displays.push_back({d, log, nullptr});
  if (!o.installed) {
    o.previous = XSetErrorHandler(onXError);
    o.installed = true;
  }
  return d;
}

void closeOwnXConnection(Display* d) {
  if (!d) return;
  XCloseDisplay(d);
  OwnConnections& o = own();
  std::lock_guard<std::mutex> g(o.lock);
  forget(o, d);
}

void surviveOwnXConnectionLoss(Display* d, bool* lost) {
  OwnConnections& o = own();
  {
    std::lock_guard<std::mutex> g(o.lock);
    auto it = o.find(d);
    if (it == o.displays.end()) return;  // not one of ours
    it->lost = lost;
    if (!o.installedIo) {
      o.previousIo = XSetIOErrorHandler(onIoError);
      o.installedIo = true;
    }
  }
  XSetIOErrorExitHandler(d, onConnectionLost, lost);
}

void buryOwnXConnection(Display* d) {
  if (!d) return;
  ::close(ConnectionNumber(d));
  OwnConnections& o = own();
  std::lock_guard<std::mutex> g(o.lock);
  forget(o, d);
  o.graves.push_back(d);
}

bool ownXServerClosed(Display* d) {
  pollfd p{ConnectionNumber(d), POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
  char byte = 0;
  return (p.revents & POLLIN) && ::recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

int ownXConnectionErrors() {
  return own().errors.load();
}
