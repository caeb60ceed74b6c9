// A helper program started by the system benchmark: its standard input or
// output can be a pipe to us, its diagnostics go to a log file, and when it
// ends we keep the processor time it used (its own and that of the
// processes it waited for).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
 public:
  // Both: a pipe to its standard input (fd()) and one from its standard
  // output (outFd()), for a program driven by commands it answers.
  enum class Pipe { None, ToStdin, FromStdout, Both };

  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts args[0] (looked up on PATH) from the calling thread, so it runs in
  // that thread's network namespace. stderr goes to logPath (dropped when
  // empty, ours when "-"), and so does stdout unless it is the pipe.
  bool start(const std::vector<std::string>& args, Pipe pipe, const std::string& logPath);
  // Where the child sees a FromStdout pipe (another descriptor than 1 puts
  // its standard output with its diagnostics), and variables added to its
  // environment ("NAME=value"); both for the next start.
  void setPipeDescriptor(int childFd) { childFd_ = childFd; }
  void setEnvironment(std::vector<std::string> more) { env_ = std::move(more); }
  // Our end of the pipe, -1 when there is none.
  int fd() const { return fd_; }
  // Our end of the second pipe of Pipe::Both (the child's standard output).
  int outFd() const { return outFd_; }
  // Closes our end of the pipes (the child sees the end of its input).
  void closePipe();
  // Waits up to timeoutMs for the child to end by itself, then kills it.
  void finish(int timeoutMs);
  // Asks the child to end (SIGTERM), kills it after timeoutMs.
  void terminate(int timeoutMs);
  // Kills the child at once and waits for it (our end of the pipe stays
  // open until closePipe or the destructor, so a reader can drain it).
  void kill();
  bool running() const { return pid_ > 0; }
  // User and system seconds the ended child used.
  double cpuSeconds() const { return cpu_; }
  // Of those, the seconds spent in the kernel on its behalf.
  double systemCpuSeconds() const { return systemCpu_; }
  // Exit status as waitpid gave it (valid once it ended).
  int status() const { return status_; }
  std::string commandLine() const;

 private:
  void reap(int options);
  pid_t pid_ = -1;
  int fd_ = -1;
  int outFd_ = -1;
  double cpu_ = 0, systemCpu_ = 0;
  int status_ = 0;
  std::vector<std::string> args_;
  int childFd_ = 1;
  std::vector<std::string> env_;
};

// Whether a program can be found on PATH.
bool onPath(const std::string& program);
// Runs a command that opens no socket, output dropped; true when it exits
// with 0 within timeoutMs.
bool commandSucceeds(const std::vector<std::string>& args, int timeoutMs = 20000);
