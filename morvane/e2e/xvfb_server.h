// An Xvfb of the test's own, on a display number it picks itself
// (-displayfd), stopped by its process id.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const int w = dup(fds[1]);  // without O_CLOEXEC, so that Xvfb keeps it
      const std::string fd = std::to_string(w);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char text[16] = {};
    size_t n = 0;
    pollfd p{fds[0], POLLIN, 0};
    while (n < sizeof text - 1 && poll(&p, 1, 10000) > 0) {
      const ssize_t r = read(fds[0], text + n, sizeof text - 1 - n);
      if (r <= 0) break;
      n += size_t(r);
      if (text[n - 1] == '\n') break;
    }
    close(fds[0]);
    if (n > 0 && text[0] >= '0' && text[0] <= '9') display_ = ":" + std::string(text, text + n - 1);
  }
  ~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};
