// An Xvfb of the test's own, stopped by its process id.
//
// Its display number is claimed through the X lock file (/tmp/.X<n>-lock)
// that a server started on a given number takes. A number found by trying
// sockets (-displayfd) is not safe here: every lab runs in a network
// namespace of its own, where the servers' abstract sockets do not see each
// other's, so two tests running at once got the same number, the later
// server took over the socket file in /tmp and removed it when it ended,
// and the stations, which reach an X server only through that file, talked
// to the other test's server and lost it when that test ended. The numbers
// from 400 on are left to these tests (with-xvfb picks from 90, other
// tests from 190 and 300).
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

class XvfbServer {
 public:
  XvfbServer() {
    for (int n = 400; n < 500 && display_.empty(); ++n)
      if (access(lockFile(n).c_str(), F_OK) != 0 && access(socketFile(n).c_str(), F_OK) != 0) start(n);
  }
  // On the display given (":N"), once it is free again.
  explicit XvfbServer(const std::string& display) { start(std::stoi(display.substr(1))); }
  ~XvfbServer() { stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }

 private:
  static std::string lockFile(int n) { return "/tmp/.X" + std::to_string(n) + "-lock"; }
  static std::string socketFile(int n) { return "/tmp/.X11-unix/X" + std::to_string(n); }

  void start(int n) {
    const std::string display = ":" + std::to_string(n);
    pid_ = fork();
    if (pid_ == 0) {
      execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && pid_ > 0; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {  // the number was taken meanwhile
        pid_ = -1;
        return;
      }
      long owner = 0;
      std::ifstream(lockFile(n)) >> owner;
      if (owner == pid_ && access(socketFile(n).c_str(), F_OK) == 0) {
        display_ = display;
        return;
      }
      usleep(50000);
    }
    stop();
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
