// The sender engine's timings, inside the network lab:
//   tools/netlab/netlab -- build/bin/talvex_bench
// 1. A rebuild-type change (the main video format, CIF <-> QCIF, MPEG-4 V2)
//    until the first frame of the rebuilt graph leaves "VideoServer(Main)":
//    median and 99th percentile over 50 changes. Goal: median under 100 ms.
// 2. TalvexInitialize until the first frame leaves "VideoServer(Main)", with
//    the built-in devices: median over 10 starts. Goal: under 300 ms.
// 3. Sender CPU per frame, MPEG-4 V2 at CIF, 30 frames per second (the whole
//    sender: capture, format transform, preview, encoder, multicast), against
//    ffmpeg encoding the same test pictures with its msmpeg4v2 encoder at the
//    same bit rate to a multicast group of the lab. Goal: at most 0.9 of
//    ffmpeg's.
// Nothing is sent outside the lab's private namespace: the program refuses
// to run elsewhere.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "filters/ostrel/IOstrelControl.h"
#include "netlab.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/filters/capture/test_pattern_image.h"
#include "platform/media/graph_registry.h"
#include "platform/media/guids.h"
#include "talvex/Talvex.h"

using namespace std::chrono;
using Clock = steady_clock;

namespace {

bool makeRegistry() {
  char path[] = "/tmp/talvex_bench_XXXXXX";
  if (!mkdtemp(path)) return false;
  setenv("POINTSHARE_CLASS_REGISTRY", (std::string(path) + "/class_registry.txt").c_str(), 1);
  const char* modules[] = {PLATFORM_FILTERS_MODULE, PLATFORM_CAPTURE_MODULE, PLATFORM_CODECS_MODULE,
                           PLATFORM_AUDIO_MODULE,   OUTSIDE_FILTERS_MODULE,  OSTREL_MODULE,
                           INGREL_MODULE,           TRACION_MODULE};
  for (const char* m : modules)
    if (FAILED(registerServerModule(m))) {
      std::fprintf(stderr, "cannot register %s\n", m);
      return false;
    }
  return true;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// "VideoServer(Main)" of the sender's graph, found through the graph registry.
ComPtr<IBaseFilter> mainServer() {
  ComPtr<IBaseFilter> found;
  for (RegisteredGraph& g : registeredGraphs()) {
    ComPtr<IFilterGraph> graph;
    if (!found && g.name.rfind("FilterGraph ", 0) == 0 &&
        SUCCEEDED(g.graph->QueryInterface(IID_IFilterGraph, graph.putVoid())))
      graph->FindFilterByName(u"VideoServer(Main)", found.put());
    g.graph->Release();
  }
  return found;
}

uint32_t framesSent(IBaseFilter* server) {
  uint32_t n = 0;
  if (auto control = ComPtr<IBaseFilter>(server).as<IOstrelControl>()) control->GetFramesSent(&n);
  return n;
}

FILTER_STATE stateOf(IBaseFilter* server) {
  FILTER_STATE s = State_Stopped;
  server->GetState(0, &s);
  return s;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// 1. A change of the main video format until the new graph's first frame.
void rebuildToFirstFrame() {
  TalvexSetVideoFormat(2);
  ComPtr<IBaseFilter> server = mainServer();
  std::vector<double> ms;
  int missed = 0;
  for (int i = 0; i < 50 && server; ++i) {
    std::this_thread::sleep_for(milliseconds(150));
    const int format = (i % 2 == 0) ? 1 : 2;  // QCIF, CIF
    std::atomic<bool> stopped{false};
    uint32_t atStop = 0;
    const Clock::time_point t0 = Clock::now();
    std::future<void> change = std::async(std::launch::async, [format] { TalvexSetVideoFormat(format); });
    // No frame leaves while the graph is stopped: the count seen then is
    // that of the old graph; the first frame above it is the new graph's.
    Clock::time_point first{};
    while (Clock::now() - t0 < seconds(5)) {
      if (!stopped && stateOf(server.get()) != State_Running) {
        atStop = framesSent(server.get());
        if (stateOf(server.get()) != State_Running) stopped = true;
      } else if (stopped && framesSent(server.get()) > atStop) {
        first = Clock::now();
        break;
      }
      std::this_thread::sleep_for(microseconds(100));
    }
    change.wait();
    if (first != Clock::time_point{})
      ms.push_back(duration<double, std::milli>(first - t0).count());
    else
      ++missed;
  }
  std::printf(
      "rebuild (main video format) to first frame sent: median %.1f ms, p99 %.1f ms over %zu changes "
      "(goal: median under 100 ms)\n",
      percentile(ms, 0.5), percentile(ms, 0.99), ms.size());
  if (missed)
    std::printf("  %d changes not timed: the watcher did not run while the graph was stopped\n", missed);
}

// 2. Initialisation until the first frame.
void initialiseToFirstFrame() {
  std::vector<double> ms;
  for (int i = 0; i < 10; ++i) {
    std::atomic<bool> done{false};
    const Clock::time_point t0 = Clock::now();
    std::thread init([&] {
      TalvexInitialize(0);
      done = true;
    });
    Clock::time_point first{};
    ComPtr<IBaseFilter> server;
    while (Clock::now() - t0 < seconds(10)) {
      if (!server) server = mainServer();
      if (server && framesSent(server.get()) > 0) {
        first = Clock::now();
        break;
      }
      std::this_thread::sleep_for(microseconds(200));
    }
    init.join();
    server = {};
    if (first != Clock::time_point{}) ms.push_back(duration<double, std::milli>(first - t0).count());
    TalvexShutdown();
  }
  std::printf(
      "TalvexInitialize to first frame sent: median %.1f ms, worst %.1f ms over %zu starts "
      "(goal: under 300 ms)\n",
      percentile(ms, 0.5), percentile(ms, 1.0), ms.size());
}

// 3a. The sender's CPU per frame at CIF, MPEG-4 V2; its bit rate for ffmpeg.
double senderCpuPerFrame(unsigned& bitsPerSecond) {
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    if (std::strcmp(TalvexGetVideoCaptureFriendlyName(int32_t(i)), "Test Pattern Camera") == 0)
      TalvexSetVideoCapture(int32_t(i));
  TalvexSetAudioCapture(-1);
  TalvexSetVideoEncoder(1);
  TalvexSetVideoFormat(2);
  ComPtr<IBaseFilter> server = mainServer();
  std::this_thread::sleep_for(seconds(2));
  TalvexGetVideoServerMainTransmittingRate();  // opens the rate window
  const uint32_t f0 = framesSent(server.get());
  const double c0 = cpuSeconds();
  std::this_thread::sleep_for(seconds(10));
  const double cpu = cpuSeconds() - c0;
  const uint32_t frames = framesSent(server.get()) - f0;
  bitsPerSecond = TalvexGetVideoServerMainTransmittingRate();
  std::printf("sender, MPEG-4 V2 CIF: %u frames in 10 s, %.0f kbit/s, CPU %.2f ms per frame\n", frames,
              bitsPerSecond / 1000.0, frames ? cpu * 1000 / frames : 0.0);
  return frames ? cpu * 1000 / frames : 0;
}

// 3b. ffmpeg on the same pictures (the test pattern at CIF, 30 per second).
double ffmpegCpuPerFrame(unsigned bitsPerSecond) {
  const int w = 352, h = 288, frames = 300;
  char raw[] = "/tmp/talvex_bench_frames_XXXXXX";
  const int fd = mkstemp(raw);
  std::vector<uint8_t> picture(size_t(w) * h * 3);
  for (int i = 0; i < frames; ++i) {
    renderTestPattern(uint64_t(i), VideoFormat{w, h, MEDIASUBTYPE_RGB24}, picture.data(), picture.size());
    if (write(fd, picture.data(), picture.size()) != ssize_t(picture.size())) break;
  }
  close(fd);
  const std::string rate = std::to_string(std::max(bitsPerSecond, 100000u));
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("ffmpeg", "ffmpeg", "-hide_banner", "-loglevel", "error", "-re", "-f", "rawvideo", "-pix_fmt",
           "bgr24", "-s", "352x288", "-r", "30", "-i", raw, "-c:v", "msmpeg4v2", "-b:v", rate.c_str(), "-f",
           "mpegts", "udp://234.5.6.7:9000?ttl=1&pkt_size=1316", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  unlink(raw);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("ffmpeg did not run (status %d)\n", status);
    return 0;
  }
  const double cpu =
      double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  std::printf("ffmpeg msmpeg4v2 CIF to multicast: %d frames, CPU %.2f ms per frame\n", frames,
              cpu * 1000 / frames);
  return cpu * 1000 / frames;
}

}  // namespace

int main() {
  if (!netlab::insideLab()) {
    std::fprintf(stderr, "talvex_bench sends multicast: run it inside the lab (tools/netlab/netlab -- %s)\n",
                 "build/bin/talvex_bench");
    return 77;
  }
  if (!makeRegistry()) return 1;
  initialiseToFirstFrame();
  if (!TalvexInitialize(0)) return 1;
  rebuildToFirstFrame();
  unsigned bitsPerSecond = 0;
  const double sender = senderCpuPerFrame(bitsPerSecond);
  TalvexShutdown();
  const double ffmpeg = ffmpegCpuPerFrame(bitsPerSecond);
  if (sender > 0 && ffmpeg > 0)
    std::printf("sender / ffmpeg CPU per frame: %.2f (goal: at most 0.9)\n", sender / ffmpeg);
  return 0;
}
