#include "tools/demo_run/station_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

int64_t monotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

StationProcess::~StationProcess() {
  stop(2000);
  if (data_ >= 0) close(data_);
}

bool StationProcess::start(const Setup& setup) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, data[2] = {-1, -1};
  auto closeAll = [&] {
    for (int fd : {in[0], in[1], out[0], out[1], data[0], data[1]})
      if (fd >= 0) close(fd);
  };
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
      (setup.dataPipe && pipe2(data, O_CLOEXEC) != 0)) {
    std::fprintf(stderr, "demo: pipe: %s\n", std::strerror(errno));
    closeAll();
    return false;
  }
  std::vector<std::string> argv;
  if (!setup.station.empty()) argv = {"ip", "netns", "exec", setup.station};
  argv.insert(argv.end(), setup.args.begin(), setup.args.end());
  pid_ = fork();
  if (pid_ < 0) {
    std::fprintf(stderr, "demo: fork: %s\n", std::strerror(errno));
    closeAll();
    return false;
  }
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    if (setup.dataPipe) dup2(data[1], 3);
    // Its own process group: a Ctrl-C at the terminal reaches us, and we
    // stop it in order.
    setpgid(0, 0);
    for (const std::string& e : setup.env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> a;
    for (const std::string& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    execvp(a[0], a.data());
    std::fprintf(stderr, "demo: cannot run %s: %s\n", a[0], std::strerror(errno));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (setup.dataPipe) {
    close(data[1]);
    data_ = data[0];
  }
  input_ = in[1];
  reader_ = std::thread([this, fd = out[0], logPath = setup.log] {
    FILE* in = fdopen(fd, "r");
    FILE* log = logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "w");
    char buffer[4096];
    while (in && std::fgets(buffer, sizeof buffer, in)) {
      std::string text(buffer);
      if (!text.empty() && text.back() == '\n') text.pop_back();
      if (log) std::fprintf(log, "%s\n", text.c_str());
      std::lock_guard<std::mutex> g(lock_);
      lines_.push_back({monotonicNs(), std::move(text)});
      changed_.notify_all();
    }
    if (log) std::fclose(log);
    if (in) std::fclose(in);
  });
  return true;
}

bool StationProcess::writeLine(const std::string& line) {
  if (input_ < 0) return false;
  const std::string l = line + "\n";
  // A program that has gone must not end us through SIGPIPE.
  sigset_t pipeSignal, old;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
  const bool ok = write(input_, l.data(), l.size()) == ssize_t(l.size());
  if (!ok) {
    timespec none{};
    sigtimedwait(&pipeSignal, nullptr, &none);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return ok;
}

std::vector<StationProcess::Line> StationProcess::linesFrom(size_t from) const {
  std::lock_guard<std::mutex> g(lock_);
  if (from >= lines_.size()) return {};
  return {lines_.begin() + long(from), lines_.end()};
}

size_t StationProcess::lineCount() const {
  std::lock_guard<std::mutex> g(lock_);
  return lines_.size();
}

long StationProcess::waitLine(size_t from, const std::function<bool(const std::string&)>& condition,
                              int timeoutMs) const {
  std::unique_lock<std::mutex> g(lock_);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (size_t i = from;;) {
    for (; i < lines_.size(); ++i)
      if (condition(lines_[i].text)) return long(i);
    if (changed_.wait_until(g, end) == std::cv_status::timeout && i == lines_.size()) return -1;
  }
}

int StationProcess::stop(int timeoutMs) {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pid_t done;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }
  if (input_ >= 0) {
    close(input_);
    input_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  return status_;
}
