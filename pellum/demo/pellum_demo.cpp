// pellum_demo: exercises the core library and prints what it showed.
// Exit status 0 when every check held, 1 otherwise.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "pellum/Pellum.h"
#include "pellum/mxDisplaySetting.h"
#include "pellum/mxFile.h"
#include "pellum/mxIniFile.h"
#include "pellum/mxNotify.h"
#include "pellum/mxQuickSort.h"
#include "pellum/mxRegistry.h"
#include "pellum/mxThread.h"
#include "pellum/mxTime.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("  [%s] %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++failures;
}

int compareInt(const void* a, const void* b) {
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

struct Shared {
  mxCriticalSection section;
  long counter = 0;
  mxSemaphore done{0, 8, mxString()};
};

unsigned countUp(void* arg) {
  auto* shared = static_cast<Shared*>(arg);
  for (int i = 0; i < 100000; ++i) {
    mxCriticalSectionLock lock(shared->section);
    ++shared->counter;
  }
  shared->done.release(1);
  return 0;
}

}  // namespace

int main() {
  Pellum::initialize();
  std::printf("Core library demonstration\n\n");

  std::printf("Notification log (standard output chosen):\n");
  mxNotify::setOutput(mxNotify::StandardOutput);
  mxNotify::post(mxNotify::Info, "demo started by process %d", static_cast<int>(::getpid()));
  mxNotify::post(mxNotify::Warn, mxString("着目点の遠隔共有ソフトウェア　（送信）"));

  std::printf("\nSettings file written by one object, read back by another:\n");
  mxString folder = mxFile::getTemporaryFilename("pellum-demo-");
  std::filesystem::remove(folder.c_str());
  std::filesystem::create_directory(folder.c_str());
  mxString path = folder + "/sender.ini";
  {
    mxIniFile writer(path);
    writer.writeString("Network", "Group", "234.5.6.7");
    writer.writeUInt("Network", "Port", 8190);
    writer.writeFloat("Video", "Scale", 0.5f);
    writer.writeString("Pointer", "Shape", "照準");
  }
  mxIniFile reader(path);
  std::printf("  file %s:\n", path.c_str());
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char line[300];
    while (std::fgets(line, sizeof line, f)) std::printf("    | %s", line);
    std::fclose(f);
  }
  check(reader.readString("network", "group", "") == "234.5.6.7", "Group reads back (names ignore case)");
  check(reader.readUInt("Network", "Port", 0) == 8190, "Port reads back as 8190");
  check(reader.readFloat("Video", "Scale", 0) == 0.5f, "Scale reads back as 0.5");
  check(reader.readString("Pointer", "Shape", "") == "照準", "Japanese text reads back unchanged");
  check(reader.readUInt("Network", "Missing", 77) == 77, "a missing key gives the default 77");

  std::printf("\nRegistry (store in the demo's temporary folder):\n");
  ::setenv("POINTSHARE_REGISTRY_DIR", (folder + "/registry").c_str(), 1);
  {
    mxRegistry reg;
    bool opened = reg.createKey("Demo", mxRegistry::CurrentUser);
    reg.writeUInt("Window", "Width", 640);
    mxRegistry again;
    again.createKey("Demo", mxRegistry::CurrentUser);
    check(opened && again.readUInt("Window", "Width", 0) == 640, "a value written through one key reads back through another");
  }

  std::printf("\nSorting 200000 random numbers (many duplicates):\n");
  std::vector<int> numbers(200000);
  std::mt19937 rng(1);
  for (auto& n : numbers) n = static_cast<int>(rng() % 5000);
  std::vector<int> expected = numbers;
  std::sort(expected.begin(), expected.end());
  mxQuickSort::sort(numbers.data(), static_cast<unsigned>(numbers.size()), sizeof(int), compareInt);
  check(numbers == expected, "mxQuickSort gives the same order as std::sort");

  std::printf("\nThreads and a critical section:\n");
  Shared shared;
  {
    mxThread a(countUp, &shared, false), b(countUp, &shared, false), c(countUp, &shared, false),
        d(countUp, &shared, false);
    bool allDone = shared.done.loopWaitFor(4, 40000);
    check(allDone, "four threads signalled the semaphore");
  }
  std::printf("  counter = %ld\n", shared.counter);
  check(shared.counter == 400000, "4 x 100000 increments under the lock, none lost");

  std::printf("\nTime:\n");
  mxObjectPtr<mxTime> now(new mxTime);
  std::printf("  %.6f seconds since 1970 (calendar clock says %ld)\n", now->getTime(), static_cast<long>(::time(nullptr)));

  std::printf("\nDisplay modes:\n");
  if (const char* display = ::getenv("DISPLAY"); display && *display) {
    mxNotify::setOutput(mxNotify::StandardOutput);
    mxDisplaySetting& setting = mxDisplaySetting::instance(true);
    int w, h, depth, rate;
    setting.getCurrent(w, h, depth, rate);
    std::printf("  display %s: current %dx%d, %d bits, %d Hz; %u modes listed\n", display, w, h, depth, rate,
                setting.getModes().getSize());
    for (uint32_t i = 0; i < setting.getModes().getSize() && i < 10; ++i) {
      const auto& m = setting.getModes()[i];
      std::printf("    %dx%d %d bits %d Hz\n", m.width, m.height, m.depth, m.rate);
    }
  } else {
    std::printf("  no display (DISPLAY is not set): nothing to list\n");
  }

  std::filesystem::remove_all(folder.c_str());
  Pellum::shutdown();
  std::printf("\n%s: %d check(s) failed\n", failures ? "FAILED" : "all checks held", failures);
  return failures ? 1 : 0;
}
