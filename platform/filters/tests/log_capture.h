// Collects the platform's log lines ("<level tag> <text>") while it lives.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/log.h"

class LogCapture {
 public:
  LogCapture() {
    std::lock_guard<std::mutex> g(lock());
    store().clear();
    previous_ = setPlatformLogSink(&LogCapture::keep);
  }
  ~LogCapture() { setPlatformLogSink(previous_); }
  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> g(lock());
    return store();
  }
  // The lines that contain needle.
  std::vector<std::string> matching(const std::string& needle) const {
    std::vector<std::string> found;
    for (const std::string& l : lines())
      if (l.find(needle) != std::string::npos) found.push_back(l);
    return found;
  }
  int count(const std::string& needle) const { return static_cast<int>(matching(needle).size()); }
  std::string all() const {
    std::string s;
    for (const std::string& l : lines()) s += l + "\n";
    return s;
  }

 private:
  static std::mutex& lock() {
    static std::mutex m;
    return m;
  }
  static std::vector<std::string>& store() {
    static std::vector<std::string> v;
    return v;
  }
  static void keep(PlatformLogLevel level, const char* line) {
    std::lock_guard<std::mutex> g(lock());
    store().push_back(std::string(platformLogTag(level)) + " " + line);
  }
  PlatformLogSink previous_;
};
