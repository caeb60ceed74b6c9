// Helpers for programs that run inside the network lab (tools/netlab/netlab).
//
// insideLab() tells whether this process really runs in a private network
// namespace made by the lab; network tests skip themselves when it is false,
// so that nothing is ever sent on the host's interfaces. stations() lists
// the station namespaces of a lab started with --stations, and
// StationThread runs a function on a thread that has entered one of them
// (a network namespace is a property of the thread, so sockets made there
// belong to that station).
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace netlab {

inline bool insideLab() {
  const char* flag = std::getenv("NETLAB");
  if (!flag || std::string(flag) != "1") return false;
  struct stat self {}, init {};
  if (stat("/proc/self/ns/net", &self) != 0) return false;
  // An unprivileged lab may not see init's namespace: then the flag decides.
  if (stat("/proc/1/ns/net", &init) != 0) return true;
  return self.st_ino != init.st_ino || self.st_dev != init.st_dev;
}

inline std::vector<std::string> stations() {
  std::vector<std::string> names;
  const char* list = std::getenv("NETLAB_STATIONS");
  if (!list) return names;
  std::istringstream in(list);
  for (std::string name; in >> name;) names.push_back(name);
  return names;
}

// Moves the calling thread into the station's network namespace.
inline bool enterStation(const std::string& name) {
  const std::string path = "/run/netns/" + name;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = setns(fd, CLONE_NEWNET) == 0;
  close(fd);
  return ok;
}

// A thread that lives in one station: body runs after the thread entered the
// station; entered() tells whether that worked.
class StationThread {
 public:
  StationThread(const std::string& station, std::function<void()> body)
      : thread_([this, station, body = std::move(body)] {
          entered_ = enterStation(station);
          if (entered_) body();
        }) {}
  ~StationThread() { join(); }
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  bool entered() const { return entered_; }

 private:
  bool entered_ = false;
  std::thread thread_;
};

}  // namespace netlab

// In a GoogleTest body: skip unless the test runs inside the lab.
#define NETLAB_REQUIRE()                                                                  \
  do {                                                                                    \
    if (!::netlab::insideLab())                                                           \
      GTEST_SKIP() << "not inside the private network lab (run through tools/netlab); " \
                      "network tests never run on the host";                              \
  } while (0)
