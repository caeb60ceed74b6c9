// morvane_bench: the receiver engine's figures, between two stations of the
// network lab (the sending station in st1, the receiver in st2; rebuild
// drives the receiver from the lab's own sending station, latency and cpu
// from talvex-send):
//
//   tools/netlab/netlab --stations 2 -- build/bin/morvane_bench [rebuild] [latency] [cpu]
//
// rebuild  time from the sender's status announcing focus display Loupex
//          (after None) to the first Loupex picture rendered at the
//          receiver; median and p99 over 20 changes (the sender's own
//          rebuild before it broadcasts is reported apart).
// latency  capture to rendered picture, MPEG-4 CIF at 30 fps, from
//          talvex-send to the receiver engine: the capture time of each
//          frame noted by the sender's camera (POINTSHARE_CAPTURE_LOG), the
//          frame numbers read from the receiver's rendered pictures; median
//          and p99.
// cpu      a morvane-receive process following talvex-send in Loupex mode
//          (CIF) and drawing three remote pointers (circling pointers sent
//          by the lab to P1..P3): its CPU time per rendered frame.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "morvane/MorvaneEngine.h"
#include "morvane/tests/e2e/lab_sender.h"
#include "morvane/tests/test_status_sender.h"
#include "netlab.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "platform/filters/video_renderer.h"
#include "platform/media/graph_registry.h"
#include "station_worker.h"
#include "tools/netlab/tests/station_program.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
  return v[i];
}

ComPtr<IVideoFrameSnapshot> renderer() {
  ComPtr<IVideoFrameSnapshot> found;
  for (RegisteredGraph& g : registeredGraphs()) {
    ComPtr<IGraphBuilder> graph;
    g.graph->QueryInterface(IID_IGraphBuilder, graph.putVoid());
    g.graph->Release();
    ComPtr<IBaseFilter> f;
    if (!found && graph && SUCCEEDED(graph->FindFilterByName(utf8ToUtf16("VideoRender").c_str(), f.put())) &&
        f)
      f->QueryInterface(IID_IVideoFrameSnapshot, found.putVoid());
  }
  return found;
}

// The sending station and the receiver engine of this process.
struct Lab {
  netlab::StationWorker tx, rx;
  mxObjectPtr<LabSender> sender;
  mxObjectPtr<TestStatusSender> channel;
  mxObjectPtr<Morvane> engine;

  Lab(const std::string& st1, const std::string& st2)
      : tx(
            st1, [] { CoInitialize(nullptr); }, [] { CoUninitialize(); }),
        rx(st2) {}
  ~Lab() {
    rx.run([&] {
      if (!engine.isNull()) engine->shutdown();
      engine = nullptr;
    });
    tx.run([&] {
      if (!sender.isNull()) {
        sender->stop();
        sender->destroyGraph();
        sender->shutdown();
      }
      sender = nullptr;
      channel = nullptr;
    });
  }
  bool start(const LabSenderConfig& c) {
    if (!rx.call<bool>([&] {
          engine = new Morvane();
          return engine->initialize(0);
        }))
      return false;
    return tx.call<bool>([&] {
      sender = new LabSender();
      channel = new TestStatusSender();
      return sender->initialize() && channel->open() && sender->reconfigure(c);
    });
  }
  void send() {
    tx.run([&] { channel->send(sender->status().bytes()); });
  }
};

void benchRebuild(Lab& lab) {
  LabSenderConfig none;
  none.zoomFormat = 4;  // Loupex pictures: 320x240, None: 352x288
  LabSenderConfig loupex = none;
  loupex.focusDisplay = 1;
  lab.send();
  std::this_thread::sleep_for(2500ms);
  std::vector<double> follow, senderRebuild;
  for (int i = 0; i < 20; ++i) {
    for (const LabSenderConfig* c : {&none, &loupex}) {
      const auto t0 = Clock::now();
      lab.tx.run([&] { lab.sender->reconfigure(*c); });
      const auto sent = Clock::now();
      uint64_t before = 0;
      if (auto r = renderer()) r->GetFrameCount(&before);
      lab.send();
      const LONG wantW = c->focusDisplay == 1 ? 320 : 352;
      bool seen = false;
      while (Clock::now() - sent < 10s && !seen) {
        std::this_thread::sleep_for(2ms);
        auto r = renderer();
        LONG w = 0, h = 0;
        uint64_t n = 0;
        if (r && SUCCEEDED(r->GetFrameSize(&w, &h)) && SUCCEEDED(r->GetFrameCount(&n)) && w == wantW &&
            n > before)
          seen = true;
      }
      if (c->focusDisplay == 1) {
        senderRebuild.push_back(ms(sent - t0));
        if (seen) follow.push_back(ms(Clock::now() - sent));
      }
      std::this_thread::sleep_for(300ms);
    }
  }
  std::printf(
      "rebuild: None -> Loupex, status sent -> first Loupex picture rendered: median %.0f ms, p99 %.0f ms "
      "(%zu of 20 changes seen; goal median <= 1500 ms)\n",
      percentile(follow, 50), percentile(follow, 99), follow.size());
  std::printf("rebuild: the sender's own rebuild before its broadcast: median %.0f ms\n",
              percentile(senderRebuild, 50));
}

// talvex-send in the sending station with the test-pattern camera, CIF
// pictures (also in the zoom), MPEG-4, no sound; with captureLog set, the
// camera notes each frame's capture time there.
std::unique_ptr<netlab::StationProgram> startTalvex(const std::string& station, const std::string& dir,
                                                    const char* mode, const std::string& captureLog = {}) {
  const std::string ini = dir + "/talvex.ini";
  std::ofstream(ini) << "[VideoFormat]\nVideoFormat=CIF\n[FocusDisplay]\nLoupexVideoFormat=CIF\n";
  std::vector<std::string> environment;
  if (!captureLog.empty()) environment.push_back("POINTSHARE_CAPTURE_LOG=" + captureLog);
  return std::make_unique<netlab::StationProgram>(
      station, TALVEX_SEND,
      std::vector<std::string>{"--ini", ini, "--video-device", "Test Pattern Camera", "--audio-device",
                               "none", "--encoder", "mpeg4", "--mode", mode},
      environment);
}

void benchLatency(const std::string& st1, const std::string& st2) {
  char dir[] = "/tmp/morvane_bench_XXXXXX";
  if (!mkdtemp(dir)) return;
  netlab::StationWorker rx(st2);
  mxObjectPtr<Morvane> engine;
  if (!rx.call<bool>([&] {
        engine = new Morvane();
        return engine->initialize(0);
      })) {
    std::printf("latency: the receiver engine cannot start\n");
    return;
  }
  const std::string log = std::string(dir) + "/capture.log";
  auto sender = startTalvex(st1, dir, "none", log);
  // The sender announces its state in steps; the receiver rebuilds for each.
  std::this_thread::sleep_for(6s);
  std::map<uint32_t, Clock::time_point> shown;
  uint64_t last = 0;
  std::vector<uint8_t> rgb;
  LONG width = 0, height = 0;
  const auto end = Clock::now() + 10s;
  while (Clock::now() < end) {
    std::this_thread::sleep_for(1ms);
    auto r = renderer();
    uint64_t n = 0;
    LONG w = 0, h = 0;
    if (!r || FAILED(r->GetFrameCount(&n)) || n == last || FAILED(r->GetFrameSize(&w, &h))) continue;
    const auto at = Clock::now();
    last = n;
    width = w;
    height = h;
    rgb.resize(size_t(w) * size_t(h) * 3);
    if (FAILED(r->GetFrame(rgb.data(), ULONG(rgb.size())))) continue;
    uint32_t frame = 0;
    if (test_pattern::readFrameNumberRgb(rgb.data(), int(w), int(h), &frame))
      shown.emplace(frame, at);
  }
  sender->stop();
  rx.run([&] {
    engine->shutdown();
    engine = nullptr;
  });
  // The camera counts from 0 at each start of the sender's graph: a picture
  // belongs to the latest capture of its number before it was shown.
  std::multimap<uint32_t, int64_t> captured;
  std::ifstream in(log);
  unsigned long long frame = 0;
  long long ns = 0;
  while (in >> frame >> ns) captured.emplace(uint32_t(frame & test_pattern::kFrameMask), ns);
  std::vector<double> latency;
  for (const auto& [number, at] : shown) {
    const int64_t shownNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    int64_t best = -1;
    for (auto [it, to] = captured.equal_range(number); it != to; ++it)
      if (it->second <= shownNs) best = std::max(best, it->second);
    if (best >= 0) latency.push_back(double(shownNs - best) / 1e6);
  }
  std::printf(
      "latency: talvex-send -> receiver engine, capture -> rendered, MPEG-4 %ldx%ld 30 fps: median %.1f ms, "
      "p99 %.1f ms over %zu frames (goal median < 40 ms; includes up to 1 ms of polling)\n",
      long(width), long(height), percentile(latency, 50), percentile(latency, 99), latency.size());
  std::filesystem::remove_all(dir);
}

unsigned long cpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return utime + stime;
}

void benchCpu(const std::string& st1, const std::string& st2) {
  // The three remote pointers: circling pointers the lab sends from the
  // sending station to P1..P3 on a group of their own (its small picture
  // goes to that group too, where nobody listens).
  Lab lab(st1, st2);
  LabSenderConfig c;
  c.encoder = false;
  c.videoFormat = 0;
  c.extraPointers = 3;
  if (!lab.tx.call<bool>([&] {
        lab.sender = new LabSender("234.5.6.99");
        return lab.sender->initialize() && lab.sender->reconfigure(c);
      })) {
    std::printf("cpu: the remote pointers cannot start\n");
    return;
  }
  char dir[] = "/tmp/morvane_bench_XXXXXX";
  if (!mkdtemp(dir)) return;
  const std::string ini = std::string(dir) + "/r.ini";
  // Its own pointer elsewhere: P1..P3 are the three.
  std::ofstream(ini) << "[PointerP1Client]\nAddress=234.5.6.99\n[PointerP2Client]\nAddress=234.5.6.99\n"
                        "[PointerP3Client]\nAddress=234.5.6.99\n[PointerServer]\nPort=8210\n";
  netlab::StationProgram r(st2, MORVANE_RECEIVE,
                           {"--ini", ini, "--snapshot", dir, "--every", "1", "--quiet"});
  auto sender = startTalvex(st1, dir, "loupex");
  static const std::regex re(R"(^morvane-receive: snapshot \S+ (\d+)x(\d+) rendered (\d+).*$)");
  std::string size;
  auto nextShot = [&](size_t& at, unsigned long& rendered) {
    std::smatch m;
    const long i = r.waitLine(
        at, [&](const std::string& l) { return std::regex_match(l, m, re); }, 10s);
    if (i < 0) return false;
    const std::string l = r.line(size_t(i));
    std::regex_match(l, m, re);
    rendered = std::stoul(m[3]);
    size = std::string(m[1]) + "x" + std::string(m[2]);
    at = size_t(i) + 1;
    return true;
  };
  size_t at = 0;
  unsigned long f0 = 0, f1 = 0;
  for (int i = 0; i < 6; ++i) nextShot(at, f0);  // settle: the sender announces its state in steps
  // `ip netns exec` execs the receiver: the child's pid is the receiver's.
  const pid_t pid = r.pid();
  const unsigned long t0 = cpuTicks(pid);
  for (int i = 0; i < 10; ++i) nextShot(at, f1);
  const unsigned long t1 = cpuTicks(pid);
  const double cpuMs = double(t1 - t0) * 1000.0 / double(sysconf(_SC_CLK_TCK));
  const unsigned long frames = f1 - f0;
  std::printf(
      "cpu: morvane-receive following talvex-send, Loupex CIF (pictures %s) with three remote pointers: "
      "%.0f ms CPU for %lu frames = %.2f ms per frame (%.0f%% of one core at %.0f fps)\n",
      size.c_str(), cpuMs, frames, frames ? cpuMs / double(frames) : 0.0, cpuMs / 100.0,
      double(frames) / 10.0);
  sender->stop();
  r.stop();
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  if (!netlab::insideLab() || netlab::stations().size() < 2) {
    std::fprintf(stderr, "morvane_bench: run it in the lab: tools/netlab/netlab --stations 2 -- %s\n",
                 argv[0]);
    return 2;
  }
  std::vector<std::string> parts(argv + 1, argv + argc);
  if (parts.empty()) parts = {"rebuild", "latency", "cpu"};
  const auto st = netlab::stations();
  if (std::find(parts.begin(), parts.end(), "rebuild") != parts.end()) {
    Lab lab(st[0], st[1]);
    LabSenderConfig c;
    if (!lab.start(c)) {
      std::fprintf(stderr, "morvane_bench: the lab cannot start\n");
      return 1;
    }
    benchRebuild(lab);
  }
  if (std::find(parts.begin(), parts.end(), "latency") != parts.end()) benchLatency(st[0], st[1]);
  if (std::find(parts.begin(), parts.end(), "cpu") != parts.end()) benchCpu(st[0], st[1]);
  return 0;
}
