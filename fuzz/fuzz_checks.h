// What the settings and status fuzzers share: a check that stops the run
// naming what did not hold, and the settings-file pair each run writes its
// input into and its reading back out of.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pellum/mxNotify.h"

// Stops the run, naming what did not hold.
#define REQUIRE(condition)                                     \
  do {                                                         \
    if (!(condition)) {                                        \
      std::fprintf(stderr, "does not hold: %s\n", #condition); \
      std::abort();                                            \
    }                                                          \
  } while (0)

// Two files of the run's own (in and out), in memory where the machine has
// such a folder: the settings library replaces the file for every key
// written. Notifications are silenced; the files are removed when the run
// ends. `write` puts the input into `in`.
class ScratchIniFiles {
 public:
  explicit ScratchIniFiles(const char* fuzzer) : in(path(fuzzer, "in.ini")), out(path(fuzzer, "out.ini")) {
    mxNotify::setOutput(static_cast<mxNotify::OutputEnum>(99));  // no output
  }
  ~ScratchIniFiles() {
    unlink(in.c_str());
    unlink(out.c_str());
  }
  void write(const uint8_t* data, size_t size) const {
    FILE* f = std::fopen(in.c_str(), "wb");
    REQUIRE(f);
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }

  const std::string in, out;

 private:
  static std::string path(const char* fuzzer, const char* name) {
    const char* dir = std::getenv("TMPDIR");
    struct stat st {};
    if (!dir || !*dir) dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/" + fuzzer + "." + std::to_string(getpid()) + "." + name;
  }
};
