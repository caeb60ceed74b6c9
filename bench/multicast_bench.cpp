// Multicast filter measurements between two stations of the lab:
//   tools/netlab/netlab --stations 2 -- build/bin/multicast_bench [--seconds S] [--only N]
//   tools/netlab/netlab --stations 2 --netem "loss 5%" -- build/bin/multicast_bench --only 3
// 1 latency from the server's receive call to the client's delivery, CIF and
//   720x480 RGB24 at 30 frames per second: median and 99th percentile;
// 2 the same pictures sent side by side by the ffmpeg program as a peer
//   (rawvideo over UDP multicast into a second ffmpeg): our latency and CPU
//   time per frame as ratios to the peer's, and frames lost on either side;
// 3 with repeat count 2: the fraction of frames delivered (run it under a
//   lossy lab).
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/lab_station.h"
#include "bench/system/child_process.h"
#include "filters/ingrel/IIngrelControl.h"
#include "filters/mediaclass/mediaclass.h"
#include "filters/ostrel/IOstrelControl.h"
#include "filters/ostrel/tests/pattern_source.h"
#include "netlab.h"
#include "tools/netlab/station_worker.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/media/guids.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Runs tasks on a thread inside one station, with the component model
// initialised there.
class Station : public netlab::StationWorker {
 public:
  explicit Station(const std::string& name)
      : netlab::StationWorker(
            name, [] { CoInitialize(nullptr); }, [] { CoUninitialize(); }) {}
};

ComPtr<IBaseFilter> create(REFCLSID clsid) {
  ComPtr<IBaseFilter> f;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.putVoid())))
    std::fprintf(stderr, "cannot create %s (are the modules built and registered?)\n", guidToString(clsid).c_str());
  return f;
}

ComPtr<IPin> pin(IBaseFilter* f, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> e;
  f->EnumPins(e.put());
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == dir) return p;
  }
  return {};
}

struct Graph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  bool create() {
    return SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph.putVoid())) &&
           SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.putVoid()));
  }
  bool join(IBaseFilter* from, IBaseFilter* to) {
    return graph->ConnectDirect(pin(from, PINDIR_OUTPUT).get(), pin(to, PINDIR_INPUT).get(), nullptr) == S_OK;
  }
};

struct Times {
  std::vector<std::atomic<int64_t>> sent, arrived;
  explicit Times(size_t n) : sent(n), arrived(n) {}
  static void onSend(void* self, uint64_t frame) {
    auto* t = static_cast<Times*>(self);
    if (frame < t->sent.size()) t->sent[frame] = nowNs();
  }
  static void onSample(void* self, IMediaSample* s) {
    int64_t a = 0, b = 0;
    if (s->GetMediaTime(&a, &b) != S_OK) return;  // a filler
    auto* t = static_cast<Times*>(self);
    if (a >= 0 && static_cast<size_t>(a) < t->arrived.size()) t->arrived[a] = nowNs();
  }
};

struct Result {
  double medianMs = 0, p99Ms = 0, cpuMsPerFrame = 0;
  size_t sent = 0, delivered = 0;
  // The client's own counters, to tell where missing frames went.
  uint32_t clientDropped = 0, clientDiscarded = 0;
  bool haveClient = false;
  // The kernel's: datagrams dropped for the client's full receive buffer,
  // and the server's datagrams its interface's queue refused.
  uint64_t rcvbufDrops = 0, sendDrops = 0;
};

Result summarize(const std::vector<int64_t>& sent, const std::vector<int64_t>& arrived, double cpu) {
  Result r;
  std::vector<double> lat;
  for (size_t i = 0; i < sent.size(); ++i) {
    if (!sent[i]) continue;
    ++r.sent;
    if (arrived[i]) lat.push_back((arrived[i] - sent[i]) * 1e-6);
  }
  r.delivered = lat.size();
  if (!lat.empty()) {
    std::sort(lat.begin(), lat.end());
    r.medianMs = lat[lat.size() / 2];
    r.p99Ms = lat[std::min(lat.size() - 1, lat.size() * 99 / 100)];
  }
  r.cpuMsPerFrame = r.sent ? cpu * 1000 / r.sent : 0;
  return r;
}

struct Codes {
  int kind, format, resolution;
};

// Our filters: pattern source → server in one station, client → null
// renderer in the other.
Result runFilters(Station& tx, Station& rx, Codes c, int width, int height, double seconds, uint32_t repeat,
                  int64_t interval) {
  (void)width;
  (void)height;
  const size_t frames = static_cast<size_t>(seconds * 1e7 / interval);
  Times times(frames + 16);
  Graph send, receive;
  ComPtr<IBaseFilter> source, server, client, renderer;
  bool ok = true;
  rx.run([&] {
    ok = receive.create() && (client = create(CLSID_IngrelFilter)) && (renderer = create(CLSID_NullRenderer));
    if (!ok) return;
    receive.graph->AddFilter(client.get(), u"Client");
    receive.graph->AddFilter(renderer.get(), u"Null");
    ComPtr<IIngrelControl> ic;
    client->QueryInterface(IID_IIngrelControl, ic.putVoid());
    ic->SetAddress("234.5.9.1");
    ic->SetPort(9500);
    ic->SetOutputMediaKind(c.kind);
    ic->SetOutputVideoFormat(c.format);
    ic->SetOutputResolution(c.resolution);
    ComPtr<INullRendererControl> nr;
    renderer->QueryInterface(IID_INullRendererControl, nr.putVoid());
    nr->SetCallback(Times::onSample, &times);
    ok = receive.join(client.get(), renderer.get()) && SUCCEEDED(receive.control->Run());
  });
  if (!ok) return {};
  tx.run([&] {
    ok = send.create() && (source = create(CLSID_PatternSource)) && (server = create(CLSID_OstrelFilter));
    if (!ok) return;
    send.graph->AddFilter(source.get(), u"Source");
    send.graph->AddFilter(server.get(), u"Server");
    ComPtr<IPatternSource> ps;
    source->QueryInterface(IID_IPatternSource, ps.putVoid());
    ps->SetType(c.kind, c.format, c.resolution, AudioFormat_PCM, Frequency_44100, Channel_Stereo, BitCount_16);
    ps->SetFrameCount(static_cast<uint32_t>(frames));
    ps->SetFrameInterval(interval);
    ps->SetTimeMode(PatternTimes_None);
    ps->SetLightFill(TRUE);
    ps->SetSendHook(Times::onSend, &times);
    ComPtr<IOstrelControl> oc;
    server->QueryInterface(IID_IOstrelControl, oc.putVoid());
    oc->SetAddress("234.5.9.1");
    oc->SetPort(9500);
    oc->SetRepeatCount(repeat);
    ok = send.join(source.get(), server.get());
  });
  if (!ok) return {};
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const lab::NetCounters txBefore = tx.call<lab::NetCounters>(lab::readNetCounters);
  const lab::NetCounters rxBefore = rx.call<lab::NetCounters>(lab::readNetCounters);
  const double cpu0 = cpuSeconds(RUSAGE_SELF);
  tx.run([&] { send.control->Run(); });
  ComPtr<IPatternSource> ps;
  tx.run([&] { source->QueryInterface(IID_IPatternSource, ps.putVoid()); });
  for (uint64_t n = 0; n < frames;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ps->GetFramesSent(&n);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
  tx.run([&] {
    send.control->Stop();
    ps.reset();
    send = Graph();
    source.reset();
    server.reset();
  });
  uint32_t dropped = 0, discarded = 0;
  rx.run([&] {
    ComPtr<IIngrelControl> ic;
    client->QueryInterface(IID_IIngrelControl, ic.putVoid());
    ic->GetDroppedFrames(&dropped);
    ic->GetDiscardedSamples(&discarded);
    receive.control->Stop();
    receive = Graph();
    client.reset();
    renderer.reset();
  });
  std::vector<int64_t> s(frames), a(frames);
  for (size_t i = 0; i < frames; ++i) {
    s[i] = times.sent[i];
    a[i] = times.arrived[i];
  }
  Result r = summarize(s, a, cpu);
  r.rcvbufDrops = (rx.call<lab::NetCounters>(lab::readNetCounters) - rxBefore).udp.rcvbufErrors;
  r.sendDrops = (tx.call<lab::NetCounters>(lab::readNetCounters) - txBefore).udp.sndbufErrors;
  r.haveClient = true;
  r.clientDropped = dropped;
  r.clientDiscarded = discarded;
  return r;
}

Result runPeer(Station& tx, Station& rx, int width, int height, double seconds) {
  const size_t frameSize = static_cast<size_t>(width) * height * 3;
  const size_t frames = static_cast<size_t>(seconds * 30);
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::vector<int64_t> sent(frames, 0), arrived(frames, 0);
  ChildProcess sender, receiver;
  const double children0 = cpuSeconds(RUSAGE_CHILDREN);
  bool ok = true;
  rx.run([&] {
    const std::string local = lab::stationAddress();
    ok = receiver.start({"ffmpeg", "-hide_banner", "-loglevel", "error", "-probesize", "32", "-analyzeduration", "0",
                         "-fflags", "nobuffer", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", size, "-i",
                         "udp://234.5.9.2:9502?fifo_size=1000000&overrun_nonfatal=1&buffer_size=8388608&localaddr=" + local,
                         "-f",
                         "rawvideo", "-flush_packets", "1", "pipe:1"},
                        ChildProcess::Pipe::FromStdout, "-");
  });
  if (!ok) return {};
  std::thread reader([&] {
    std::vector<uint8_t> buf(frameSize);
    for (;;) {
      size_t got = 0;
      while (got < frameSize) {
        ssize_t n = read(receiver.fd(), buf.data() + got, frameSize - got);
        if (n <= 0) return;
        got += static_cast<size_t>(n);
      }
      const uint32_t index = buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<uint32_t>(buf[3]) << 24;
      if (index < frames && !arrived[index]) arrived[index] = nowNs();
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  tx.run([&] {
    const std::string local = lab::stationAddress();
    ok = sender.start({"ffmpeg", "-hide_banner", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s",
                       size, "-r", "30", "-i", "pipe:0", "-f", "rawvideo", "-flush_packets", "1",
                       "udp://234.5.9.2:9502?pkt_size=1316&ttl=1&localaddr=" + local},
                      ChildProcess::Pipe::ToStdin, "-");
  });
  if (ok) {
    std::vector<uint8_t> frame(frameSize, 0);
    auto next = Clock::now();
    for (size_t i = 0; i < frames; ++i) {
      next += std::chrono::nanoseconds(33333333);
      std::this_thread::sleep_until(next);
      for (int b = 0; b < 4; ++b) frame[b] = static_cast<uint8_t>(i >> (8 * b));
      sent[i] = nowNs();
      size_t put = 0;
      while (put < frameSize) {
        ssize_t n = write(sender.fd(), frame.data() + put, frameSize - put);
        if (n <= 0) break;
        put += static_cast<size_t>(n);
      }
    }
  }
  sender.closePipe();
  sender.finish(10000);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  receiver.kill();
  reader.join();
  receiver.closePipe();
  return summarize(sent, arrived, cpuSeconds(RUSAGE_CHILDREN) - children0);
}

void print(const char* what, const Result& r) {
  std::printf("  %-34s median %7.2f ms  p99 %7.2f ms  cpu %6.2f ms/frame  delivered %zu of %zu", what,
              r.medianMs, r.p99Ms, r.cpuMsPerFrame, r.delivered, r.sent);
  if (r.haveClient && r.delivered < r.sent)
    std::printf(" (client: %u dropped, %u discarded from its full queue; kernel: %llu rcvbuf drops, %llu send drops)",
                r.clientDropped, r.clientDiscarded, (unsigned long long)r.rcvbufDrops, (unsigned long long)r.sendDrops);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  signal(SIGPIPE, SIG_IGN);  // a peer that died shows as missing frames
  double seconds = 10;
  int only = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[++i]);
    if (!std::strcmp(argv[i], "--only")) only = std::atoi(argv[++i]);
  }
  if (!netlab::insideLab() || netlab::stations().size() < 2) {
    std::fprintf(stderr, "run inside the lab with two stations: tools/netlab/netlab --stations 2 -- %s\n", argv[0]);
    return 2;
  }
  const auto names = netlab::stations();
  Station tx(names[0]), rx(names[1]);
  struct Size {
    const char* name;
    Codes codes;
    int width, height;
  } sizes[] = {{"CIF RGB24", {MediaKind_Video, VideoFormat_RGB24, Resolution_CIF}, 352, 288},
               {"720x480 RGB24", {MediaKind_Video, VideoFormat_RGB24, Resolution_720x480}, 720, 480}};
  if (!only || only == 1) {
    std::printf("1. latency, server receive to client delivery, 30 frames/s, %.0f s\n", seconds);
    for (const Size& s : sizes) print(s.name, runFilters(tx, rx, s.codes, s.width, s.height, seconds, 1, 333333));
  }
  if (!only || only == 2) {
    std::printf("2. against ffmpeg rawvideo over UDP multicast, 30 frames/s, %.0f s each\n", seconds);
    for (const Size& s : sizes) {
      Result ours = runFilters(tx, rx, s.codes, s.width, s.height, seconds, 1, 333333);
      Result peer = runPeer(tx, rx, s.width, s.height, seconds);
      print((std::string(s.name) + " ours").c_str(), ours);
      print((std::string(s.name) + " ffmpeg").c_str(), peer);
      if (peer.medianMs > 0 && peer.cpuMsPerFrame > 0)
        std::printf("  %-34s latency %.2f  cpu %.2f (goal <= 0.8 each), lost ours %zu peer %zu\n", "ratio ours/peer",
                    ours.medianMs / peer.medianMs, ours.cpuMsPerFrame / peer.cpuMsPerFrame,
                    ours.sent - ours.delivered, peer.sent - peer.delivered);
    }
  }
  if (!only || only == 3) {
    std::printf("3. repeat count 2, fraction delivered (run under --netem \"loss 5%%\"), %.0f s\n", seconds);
    Codes pointer{MediaKind_Pointer, 0, 0};
    Result p = runFilters(tx, rx, pointer, 0, 0, seconds, 2, 333333);
    print("pointer records", p);
    std::printf("  %-34s %.4f\n", "fraction delivered", p.sent ? double(p.delivered) / p.sent : 0.0);
    Result v = runFilters(tx, rx, sizes[0].codes, 352, 288, seconds, 2, 333333);
    print("CIF RGB24", v);
    std::printf("  %-34s %.4f\n", "fraction delivered", v.sent ? double(v.delivered) / v.sent : 0.0);
  }
  return 0;
}
