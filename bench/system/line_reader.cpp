#include "bench/system/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "bench/system/frame_source.h"

LineReader::~LineReader() {
  join();
}

bool LineReader::start(int fd, std::vector<std::string> answerPrefixes, const std::string& logPath) {
  if (thread_.joinable()) return false;
  // Our own descriptor: the owner of fd may close it while we still read.
  const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return false;
  prefixes_ = std::move(answerPrefixes);
  thread_ = std::thread([this, own, logPath] { run(own, logPath); });
  return true;
}

void LineReader::run(int fd, std::string logPath) {
  FILE* log = logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "w");
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const int64_t when = monotonicNs();
    pending.append(buffer, size_t(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      const std::string text = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (log) std::fprintf(log, "%s\n", text.c_str());
      for (const std::string& p : prefixes_)
        if (text.compare(0, p.size(), p) == 0) {
          std::lock_guard<std::mutex> g(lock_);
          answers_.push_back({text, when});
          arrived_.notify_all();
          break;
        }
    }
  }
  if (log) std::fclose(log);
  close(fd);
}

bool LineReader::waitFor(Line* line, int timeoutMs) {
  std::unique_lock<std::mutex> g(lock_);
  if (!arrived_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !answers_.empty(); }))
    return false;
  *line = std::move(answers_.front());
  answers_.pop_front();
  return true;
}

void LineReader::join() {
  if (thread_.joinable()) thread_.join();
}
