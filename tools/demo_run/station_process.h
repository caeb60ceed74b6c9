// A program started in one station of the network lab (`ip netns exec`):
// its standard input is a pipe we write command lines to, its standard
// output and diagnostics come back line by line with the moment each line
// arrived, and on request a third pipe (its descriptor 3) carries data of
// its own (morvane-receive's --pictures-out /dev/fd/3).
#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// CLOCK_MONOTONIC in nanoseconds (the clock of the capture log).
int64_t monotonicNs();

class StationProcess {
 public:
  struct Line {
    int64_t when;
    std::string text;
  };
  struct Setup {
    std::string station;            // empty: run here, outside every station
    std::vector<std::string> args;  // program and its arguments
    std::vector<std::string> env;   // NAME=value added to its environment
    bool dataPipe = false;          // descriptor 3 as a pipe to us
    std::string log;                // every line also goes to this file (optional)
  };

  StationProcess() = default;
  ~StationProcess();
  StationProcess(const StationProcess&) = delete;
  StationProcess& operator=(const StationProcess&) = delete;

  // Starts it; false (with errno's message on stderr) when that failed.
  bool start(const Setup& setup);
  bool running() const { return pid_ > 0; }
  // Our end of the data pipe (-1 without one); the caller reads it.
  int dataFd() const { return data_; }

  // One line to its standard input; false when it can no longer read.
  bool writeLine(const std::string& line);
  // Lines from index `from` on (copies: the reader thread keeps adding).
  std::vector<Line> linesFrom(size_t from) const;
  size_t lineCount() const;
  // Waits up to timeoutMs for a line from `from` on that satisfies the
  // condition; its index, or -1.
  long waitLine(size_t from, const std::function<bool(const std::string&)>& condition, int timeoutMs) const;

  // SIGTERM, then SIGKILL after timeoutMs; the exit status (128 + signal
  // for a killed one, -1 when it had not started).
  int stop(int timeoutMs = 10000);

 private:
  pid_t pid_ = -1;
  int input_ = -1, data_ = -1;
  int status_ = -1;
  std::thread reader_;
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  std::vector<Line> lines_;
};
