// mxIniFile under concurrent writers: threads of one process and several
// processes write different keys of one file at once, and every write
// survives.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "pellum/mxIniFile.h"
#include "pellum/tests/temp_dir.h"

namespace {

constexpr int kKeysPerWriter = 20;

std::string keyOf(int process, int thread, int i) {
  return "P" + std::to_string(process) + "T" + std::to_string(thread) + "K" + std::to_string(i);
}

// Writes kKeysPerWriter keys from each of `threads` threads, all starting
// together; true when every write reported success.
bool writeFromThreads(const std::string& path, int process, int threads) {
  std::latch start(threads);
  std::vector<int> failures(static_cast<size_t>(threads), 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      mxIniFile ini(path.c_str());
      start.arrive_and_wait();
      for (int i = 0; i < kKeysPerWriter; ++i) {
        std::string key = keyOf(process, t, i);
        // Half the keys go to a section of their own, half to a shared one.
        const char* section = i % 2 ? "Shared" : (t % 2 ? "Odd" : "Even");
        failures[static_cast<size_t>(t)] += !ini.writeString(section, key.c_str(), key.c_str());
      }
    });
  for (auto& w : workers) w.join();
  for (int f : failures)
    if (f) return false;
  return true;
}

TEST(mxIniFileConcurrency, EveryWriteSurvives) {
  struct Case {
    int processes;
    int threads;  // per process
  };
  const Case cases[] = {{1, 4}, {2, 1}, {2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.processes) + " processes x " + std::to_string(c.threads) + " threads");
    TempDir dir;
    std::string path = dir.file("shared.ini");
    if (c.processes == 1) {
      EXPECT_TRUE(writeFromThreads(path, 0, c.threads));
    } else {
      // The children wait on a pipe so that they all start writing at once.
      int go[2];
      ASSERT_EQ(::pipe(go), 0);
      std::vector<pid_t> children;
      for (int p = 0; p < c.processes; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
          ::close(go[1]);
          char byte;
          if (::read(go[0], &byte, 1) != 1) ::_exit(2);
          ::_exit(writeFromThreads(path, p, c.threads) ? 0 : 1);
        }
        children.push_back(pid);
      }
      ::close(go[0]);
      std::string bytes(static_cast<size_t>(c.processes), 'g');
      EXPECT_EQ(::write(go[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
      ::close(go[1]);
      for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer process status " << status;
      }
    }
    mxIniFile ini(path.c_str());
    int lost = 0;
    for (int p = 0; p < c.processes; ++p)
      for (int t = 0; t < c.threads; ++t)
        for (int i = 0; i < kKeysPerWriter; ++i) {
          std::string key = keyOf(p, t, i);
          const char* section = i % 2 ? "Shared" : (t % 2 ? "Odd" : "Even");
          lost += std::string(ini.readString(section, key.c_str(), "lost").c_str()) != key;
        }
    EXPECT_EQ(lost, 0);
    // No temporary or lock file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

}  // namespace
