#include "bench/system/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

// Room for two large pictures in the pipe, so that a writer seldom waits.
constexpr int kPipeBytes = 1 << 20;

double seconds(const timeval& t) {
  return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

}  // namespace

ChildProcess::~ChildProcess() {
  kill();
  closePipe();
}

bool ChildProcess::start(const std::vector<std::string>& args, Pipe pipe, const std::string& logPath) {
  if (args.empty() || pid_ > 0) return false;
  args_ = args;
  int p[2] = {-1, -1}, out[2] = {-1, -1};
  if (pipe != Pipe::None) {
    if (pipe2(p, O_CLOEXEC) != 0) return false;
    fcntl(p[0], F_SETPIPE_SZ, kPipeBytes);
  }
  if (pipe == Pipe::Both && pipe2(out, O_CLOEXEC) != 0) {
    close(p[0]);
    close(p[1]);
    return false;
  }
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (pipe == Pipe::ToStdin || pipe == Pipe::Both) {
    posix_spawn_file_actions_adddup2(&fa, p[0], 0);
  } else {
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  }
  if (pipe == Pipe::FromStdout) posix_spawn_file_actions_adddup2(&fa, p[1], childFd_);
  if (pipe == Pipe::Both) posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  if (logPath != "-")
    posix_spawn_file_actions_addopen(&fa, 2, logPath.empty() ? "/dev/null" : logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Standard output that is not our pipe goes with the diagnostics.
  if (logPath != "-" && pipe != Pipe::Both && (pipe != Pipe::FromStdout || childFd_ != 1))
    posix_spawn_file_actions_adddup2(&fa, 2, 1);
  std::vector<char*> argv;
  for (const auto& a : args_) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (auto& e : env_) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int rc = posix_spawnp(&pid_, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (pipe == Pipe::ToStdin || pipe == Pipe::Both) {
    close(p[0]);
    fd_ = p[1];
  } else if (pipe == Pipe::FromStdout) {
    close(p[1]);
    fd_ = p[0];
  }
  if (pipe == Pipe::Both) {
    close(out[1]);
    outFd_ = out[0];
  }
  if (rc != 0) {
    pid_ = -1;
    closePipe();
    return false;
  }
  return true;
}

void ChildProcess::closePipe() {
  if (fd_ >= 0) close(fd_);
  if (outFd_ >= 0) close(outFd_);
  fd_ = outFd_ = -1;
}

void ChildProcess::reap(int options) {
  if (pid_ <= 0) return;
  rusage use{};
  int status = 0;
  pid_t done = wait4(pid_, &status, options, &use);
  if (done == pid_ || (done < 0 && errno != EINTR)) {
    if (done == pid_) {
      cpu_ = seconds(use.ru_utime) + seconds(use.ru_stime);
      systemCpu_ = seconds(use.ru_stime);
      status_ = status;
    }
    pid_ = -1;
  }
}

void ChildProcess::finish(int timeoutMs) {
  closePipe();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    reap(WNOHANG);
    if (pid_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill();
}

void ChildProcess::terminate(int timeoutMs) {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  finish(timeoutMs);
}

void ChildProcess::kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    while (pid_ > 0) reap(0);
  }
}

std::string ChildProcess::commandLine() const {
  std::string line;
  for (const auto& a : args_) line += (line.empty() ? "" : " ") + a;
  return line;
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

bool commandSucceeds(const std::vector<std::string>& args, int timeoutMs) {
  ChildProcess p;
  if (!p.start(args, ChildProcess::Pipe::None, "")) return false;
  p.finish(timeoutMs);
  return WIFEXITED(p.status()) && WEXITSTATUS(p.status()) == 0;
}
