// A program run in one station of the network lab (through `ip netns
// exec`) for tests and benchmarks: its output and diagnostics collected line
// by line, its standard input a pipe the caller may write lines to, and its
// exit status once it ends by itself (wait) or on SIGTERM (stop).
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace netlab {

class StationProgram {
 public:
  StationProgram(const std::string& station, const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment = {}) {
    int out[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(in, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return;
    }
    std::vector<std::string> argv = {"ip", "netns", "exec", station, program};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(out[1], 2);
      for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
      std::vector<char*> a;
      for (auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
      a.push_back(nullptr);
      execvp(a[0], a.data());
      _exit(127);
    }
    close(out[1]);
    close(in[0]);
    input_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      FILE* in = fdopen(fd, "r");
      char line[4096];
      while (in && std::fgets(line, sizeof line, in)) {
        std::string l(line);
        if (!l.empty() && l.back() == '\n') l.pop_back();
        std::lock_guard<std::mutex> g(lock_);
        lines_.push_back(l);
        changed_.notify_all();
      }
      if (in) std::fclose(in);
    });
  }
  ~StationProgram() {
    stop();
    closeInput();
  }
  StationProgram(const StationProgram&) = delete;
  StationProgram& operator=(const StationProgram&) = delete;

  bool started() const { return pid_ > 0; }
  // The program's process id (`ip netns exec` execs it), -1 once stopped.
  pid_t pid() const { return pid_; }

  // One line to the process's standard input; false when it is gone.
  bool writeLine(const std::string& line) {
    const std::string l = line + "\n";
    sighandler_t old = signal(SIGPIPE, SIG_IGN);
    const bool ok = input_ >= 0 && write(input_, l.data(), l.size()) == ssize_t(l.size());
    signal(SIGPIPE, old);
    return ok;
  }
  // Ends its standard input.
  void closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  // The index of the first line from `from` on that satisfies the
  // condition, waiting up to the limit; -1 when none came.
  long waitLine(size_t from, const std::function<bool(const std::string&)>& condition,
                std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> g(lock_);
    const auto end = std::chrono::steady_clock::now() + limit;
    for (size_t i = from;;) {
      for (; i < lines_.size(); ++i)
        if (condition(lines_[i])) return long(i);
      if (changed_.wait_until(g, end) == std::cv_status::timeout && i == lines_.size()) return -1;
    }
  }  // The same for the first line that contains the text.
  long waitText(size_t from, const std::string& text, std::chrono::milliseconds limit) {
    return waitLine(
        from, [&](const std::string& l) { return l.find(text) != std::string::npos; }, limit);
  }

  size_t lineCount() {
    std::lock_guard<std::mutex> g(lock_);
    return lines_.size();
  }
  std::string line(size_t i) {
    std::lock_guard<std::mutex> g(lock_);
    return i < lines_.size() ? lines_[i] : std::string();
  }
  std::string output() {
    std::lock_guard<std::mutex> g(lock_);
    std::string all;
    for (const auto& l : lines_) all += l + "\n";
    return all;
  }

  // SIGTERM, then the exit status (-1 when it did not end by itself within
  // 15 s and had to be killed; its stacks are then printed first).
  int stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    return wait(std::chrono::seconds(15));
  }
  // The exit status once it ends by itself (128 + signal when a signal
  // ended it), or -1 as for stop() when it is still running after the limit.
  int wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (pid_ <= 0) return exit_;
    int status = 0;
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (exit_ == -2) {
      // A process that does not end is stuck: its threads' stacks go to the
      // test's output (where gdb is installed) before it is killed.
      const std::string gdb =
          "gdb -p " + std::to_string(pid_) + " -batch -ex 'thread apply all bt' 2>/dev/null";
      if (FILE* in = popen(gdb.c_str(), "r")) {
        std::fprintf(stderr, "--- stacks of the stuck process %d ---\n", int(pid_));
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, in)) std::fputs(buffer, stderr);
        pclose(in);
      }
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      exit_ = -1;
    }
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
    return exit_;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int exit_ = -2;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
};

}  // namespace netlab
