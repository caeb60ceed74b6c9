// The lines a helper program writes on a pipe, read on a thread of our own:
// each is copied to a log file, and those that start with one of the given
// prefixes (the program's answers to commands) are kept with the moment
// they came, for waitFor().
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LineReader {
 public:
  struct Line {
    std::string text;
    int64_t when = 0;  // CLOCK_MONOTONIC ns
  };

  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads from a copy of fd until its end (the caller may close fd).
  // logPath empty: lines are not copied anywhere.
  bool start(int fd, std::vector<std::string> answerPrefixes, const std::string& logPath);
  // The next kept line, waiting up to timeoutMs; false when none came.
  bool waitFor(Line* line, int timeoutMs);
  // Waits for the end of the input (the writer ended).
  void join();

 private:
  void run(int fd, std::string logPath);

  std::vector<std::string> prefixes_;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<Line> answers_;
  std::thread thread_;
};
