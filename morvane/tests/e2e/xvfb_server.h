// An Xvfb of the test's own, on a free display number, stopped by its
// process id.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class XvfbServer {
 public:
  // Display numbers are taken from 300 on, where neither a lock file nor a
  // socket says that a server is there. Xvfb's own search (-displayfd) is
  // not used: it detects a running server by its abstract socket, which
  // exists per network namespace, so a server started from another lab
  // station takes over the socket file of one already running (and removes
  // it when it then finds the lock taken). The start is spread by process
  // id, so that tests starting together rarely try the same number.
  XvfbServer() {
    const int first = 300 + int(getpid() % 50) * 4;
    for (int n = first; n < first + 200 && display_.empty(); ++n) {
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (access(lock.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0) continue;
      if (start(n, socket) && ownsLock(lock)) {
        display_ = ":" + std::to_string(n);
      } else {
        stop();
      }
    }
  }
  // On the display given (":N"), once it is free again (the same number
  // after a server ended).
  explicit XvfbServer(const std::string& display) {
    const std::string n = display.substr(1);
    if (start(std::stoi(n), "/tmp/.X11-unix/X" + n) && ownsLock("/tmp/.X" + n + "-lock"))
      display_ = display;
    else
      stop();
  }
  ~XvfbServer() { stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }

 private:
  bool start(int n, const std::string& socket) {
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      const std::string name = ":" + std::to_string(n);
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid_ < 0) return false;
    for (int i = 0; i < 200; ++i) {
      if (access(socket.c_str(), F_OK) == 0) return true;
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      usleep(50000);
    }
    return false;
  }
  // The display is ours only when its lock names our server.
  bool ownsLock(const std::string& lock) const {
    char text[32] = {};
    const int fd = open(lock.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    return n > 0 && atol(text) == long(pid_);
  }
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  std::string display_;
};
