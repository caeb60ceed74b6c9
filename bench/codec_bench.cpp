// Frames per second of the video encoders and decoders through our graph,
// side by side with the ffmpeg command-line tool doing the same work with
// the same codec and settings in the same run (ffmpeg is only a yardstick).
//
// Encode: RGB24 pictures (30 distinct pictures of the codec tests' moving
// picture, repeated) from memory through the encoder into a renderer that
// only counts; ffmpeg reads the same pictures from a raw file and encodes
// them into its null output. Decode: the coded frames from memory through
// the decoder into RGB24; ffmpeg decodes the same stream from a file into
// RGB24 for its null output. MPEG-4 V2 runs at 1500 kbit/s with a key frame
// every 30 frames (single-threaded, as the codec is); DV runs with slice
// threads in both. The time of each side is the best of three runs; for
// ffmpeg it is its own "rtime" of the transcoding, without start-up.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/frame_code.h"
#include "platform/filters/codecs/tests/pattern_source.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/filters/codecs/video_types.h"
#include "platform/media/guids.h"
#include "platform/media/renderer.h"
#include "platform/media/results.h"

namespace {

using Clock = std::chrono::steady_clock;

// Frames per second by the wall clock and by processor time (user + system,
// all threads): on a machine shared with other work the second is the
// steadier measure of what the work costs.
struct Speed {
  double wall = 0, cpu = 0;
};

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Counts samples and notes the end of the stream.
class CountingRenderer final : public BaseRenderer {
 public:
  CountingRenderer() : BaseRenderer(makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A30}")) { setSyncToClock(false); }
  HRESULT checkMediaType(const MediaType&) override { return S_OK; }
  HRESULT doRenderSample(IMediaSample*) override {
    if (count.fetch_add(1) == 0) first = Clock::now();
    last = Clock::now();
    return S_OK;
  }
  Clock::time_point first, last;
  HRESULT onEndOfStream() override {
    std::lock_guard<std::mutex> g(lock);
    ended = true;
    done.notify_all();
    return S_OK;
  }
  bool waitEnd() {
    std::unique_lock<std::mutex> g(lock);
    return done.wait_for(g, std::chrono::seconds(120), [&] { return ended; });
  }
  std::atomic<uint64_t> count{0};
  std::mutex lock;
  std::condition_variable done;
  bool ended = false;
};

// Serves stored coded frames.
class CodedSource final : public SourceFilter {
 public:
  CodedSource(MediaType type, const std::vector<std::vector<uint8_t>>* frames)
      : SourceFilter(makeGuid("{8A41D4A2-5C3B-4E1F-9B70-2D6C1E8F4A31}")), type_(std::move(type)), frames_(frames) {
    addStream(new Stream(this));
  }

 private:
  class Stream final : public SourceStream {
   public:
    explicit Stream(CodedSource* s) : SourceStream(s, u"Out"), s_(s) {}
    HRESULT checkMediaType(const MediaType& mt) override { return mt == s_->type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT getMediaType(int position, MediaType* mt) override {
      if (position) return VFW_S_NO_MORE_ITEMS;
      *mt = s_->type_;
      return S_OK;
    }
    HRESULT decideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES*) override {
      LONG size = 0;
      for (const auto& f : *s_->frames_) size = std::max<LONG>(size, static_cast<LONG>(f.size()));
      return setAllocatorProperties(a, {4, size, 16, 0}, 1, size);
    }
    HRESULT onThreadStart() override {
      n_ = 0;
      return S_OK;
    }
    HRESULT fillBuffer(IMediaSample* sample) override {
      if (n_ >= s_->frames_->size()) return S_FALSE;
      const auto& f = (*s_->frames_)[n_];
      uint8_t* p = nullptr;
      sample->GetPointer(&p);
      std::copy(f.begin(), f.end(), p);
      sample->SetActualDataLength(static_cast<LONG>(f.size()));
      REFERENCE_TIME start = REFERENCE_TIME(n_) * 333333, stop = start + 333333;
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(n_ % 30 == 0);
      sample->SetDiscontinuity(n_ == 0);
      ++n_;
      return S_OK;
    }

   private:
    CodedSource* s_;
    size_t n_ = 0;
  };
  MediaType type_;
  const std::vector<std::vector<uint8_t>>* frames_;
};

ComPtr<IPin> pinOf(IBaseFilter* f, PIN_DIRECTION dir) {
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

// Runs source -> codec -> counting renderer (zeros on failure).
Speed runGraph(IBaseFilter* source, REFCLSID codec, uint64_t frames) {
  ComPtr<IGraphBuilder> graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.putVoid())))
    return {};
  ComPtr<IBaseFilter> filter;
  if (FAILED(CoCreateInstance(codec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putVoid()))) return {};
  auto* r = new CountingRenderer;
  r->AddRef();
  auto renderer = ComPtr<IBaseFilter>::adopt(r);
  graph->AddFilter(source, u"Source");
  graph->AddFilter(filter.get(), u"Codec");
  graph->AddFilter(r, u"Renderer");
  if (graph->ConnectDirect(pinOf(source, PINDIR_OUTPUT).get(), pinOf(filter.get(), PINDIR_INPUT).get(), nullptr) != S_OK ||
      graph->ConnectDirect(pinOf(filter.get(), PINDIR_OUTPUT).get(), pinOf(r, PINDIR_INPUT).get(), nullptr) != S_OK)
    return {};
  auto control = graph.as<IMediaControl>();
  auto t0 = Clock::now();
  double c0 = processCpuSeconds();
  control->Run();
  bool ended = r->waitEnd();
  auto t1 = Clock::now();
  double c1 = processCpuSeconds();
  control->Stop();
  graph->RemoveFilter(r);
  graph->RemoveFilter(filter.get());
  graph->RemoveFilter(source);
  if (!ended || r->count.load() != frames) {
    std::fprintf(stderr, "graph delivered %llu of %llu frames\n", (unsigned long long)r->count.load(),
                 (unsigned long long)frames);
    return {};
  }
  if (getenv("CODEC_BENCH_DEBUG"))
    std::fprintf(stderr, "run %.2f ms, first sample after %.2f ms, last %.2f ms, end seen %.2f ms\n",
                 std::chrono::duration<double, std::milli>(t1 - t0).count(),
                 std::chrono::duration<double, std::milli>(r->first - t0).count(),
                 std::chrono::duration<double, std::milli>(r->last - t0).count(),
                 std::chrono::duration<double, std::milli>(t1 - t0).count());
  return {frames / std::chrono::duration<double>(t1 - t0).count(), frames / std::max(c1 - c0, 1e-6)};
}

// Runs ffmpeg with -benchmark: its "rtime" and "utime" + "stime" of the
// transcoding (without its start-up).
Speed runFfmpeg(const std::string& args, uint64_t frames) {
  std::string cmd = "ffmpeg -hide_banner -nostdin -nostats -loglevel info -benchmark " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return {};
  char line[512];
  double rtime = 0, cpu = 0;
  while (std::fgets(line, sizeof line, p)) {
    const char *r = std::strstr(line, "rtime="), *u = std::strstr(line, "utime="), *st = std::strstr(line, "stime=");
    if (r && u && st) {
      rtime = std::atof(r + 6);
      cpu = std::atof(u + 6) + std::atof(st + 6);
    }
  }
  int status = pclose(p);
  if (status != 0 || rtime <= 0) {
    std::fprintf(stderr, "ffmpeg failed: %s\n", cmd.c_str());
    return {};
  }
  return {frames / rtime, frames / std::max(cpu, 1e-6)};
}

void writeFile(const std::string& path, const std::vector<std::vector<uint8_t>>& parts) {
  std::ofstream out(path, std::ios::binary);
  for (const auto& b : parts) out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

struct Row {
  std::string what;
  Speed ours, ffmpeg;
};

// Best of five runs of each side, taken in turns so that both see the same
// machine load.
template <typename A, typename B>
void bestOf(A ours, B peer, Row* row) {
  for (int i = 0; i < 5; ++i) {
    Speed a = ours(), b = peer();
    row->ours.wall = std::max(row->ours.wall, a.wall);
    row->ours.cpu = std::max(row->ours.cpu, a.cpu);
    row->ffmpeg.wall = std::max(row->ffmpeg.wall, b.wall);
    row->ffmpeg.cpu = std::max(row->ffmpeg.cpu, b.cpu);
  }
}

void benchCodec(VideoCodecKind kind, int w, int h, uint64_t frames, std::vector<Row>* rows) {
  const bool dv = kind == VideoCodecKind::DV;
  const char* name = dv ? "DV" : "MPEG-4 V2";
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  const std::string dir = "/tmp/codec_bench_" + std::to_string(getpid());
  std::system(("mkdir -p " + dir).c_str());

  // Pictures: 30 distinct, top-down for ffmpeg's raw file.
  std::vector<std::vector<uint8_t>> pictures;
  for (uint32_t n = 0; n < 30; ++n) {
    pictures.emplace_back(size_t(w) * h * 3);
    drawCodedPicture(pictures.back().data(), ptrdiff_t(w) * 3, w, h, n);
  }
  std::vector<std::vector<uint8_t>> raw;
  for (uint64_t n = 0; n < frames; ++n) raw.push_back(pictures[n % 30]);
  const std::string rawPath = dir + "/in.rgb";
  writeFile(rawPath, raw);
  raw.clear();

  const std::string input = "-f rawvideo -pix_fmt bgr24 -s " + size + (dv ? " -r 30000/1001" : " -r 30") + " -i " + rawPath;
  const std::string codecArgs = dv ? " -c:v dvvideo -pix_fmt yuv411p -threads 0 -thread_type slice"
                                   : " -c:v msmpeg4v2 -b:v 1500k -g 30 -bf 0 -threads 1";
  // Encode.
  const CLSID encoder = dv ? CLSID_DVEncoder : CLSID_MP42Encoder;
  Row encode{std::string(name) + " encode " + size, {}, {}};
  bestOf(
      [&] {
        auto* s = new PatternSource(w, h, static_cast<uint32_t>(frames), 30);
        s->AddRef();
        auto source = ComPtr<IBaseFilter>::adopt(s);
        return runGraph(s, encoder, frames);
      },
      [&] { return runFfmpeg(input + codecArgs + " -f null -", frames); }, &encode);
  rows->push_back(encode);

  // Decode: the same stream, coded once.
  std::vector<std::vector<uint8_t>> coded;
  {
    VideoEncoderCore e;
    EncoderSettings settings;
    e.open(kind, w, h, settings);
    for (uint64_t n = 0; n < frames; ++n) {
      e.encode({AV_PIX_FMT_BGR24, w, h, false}, pictures[n % 30].data());
      coded.push_back(e.data());
    }
  }
  const std::string codedPath = dir + (dv ? "/in.dv" : "/in.avi");
  if (dv)
    writeFile(codedPath, coded);
  else
    runFfmpeg(input + codecArgs + " -y " + codedPath, frames);
  const CLSID decoder = dv ? CLSID_DVDecoder : CLSID_MP42Decoder;
  const MediaType type = makeCodedType(kind, w, h, 333333);
  const std::string decodeArgs = std::string(dv ? "-threads 0 -thread_type slice " : "-threads 1 ") + "-i " + codedPath +
                                 " -pix_fmt bgr24 -f null -";
  Row decode{std::string(name) + " decode " + size, {}, {}};
  bestOf(
      [&] {
        auto* s = new CodedSource(type, &coded);
        s->AddRef();
        auto source = ComPtr<IBaseFilter>::adopt(s);
        return runGraph(s, decoder, frames);
      },
      [&] { return runFfmpeg(decodeArgs, frames); }, &decode);
  rows->push_back(decode);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  std::vector<Row> rows;
  benchCodec(VideoCodecKind::MP42, 352, 288, 900, &rows);
  benchCodec(VideoCodecKind::MP42, 720, 480, 450, &rows);
  benchCodec(VideoCodecKind::DV, 720, 480, 300, &rows);
  std::printf("%-26s | %-30s | %-30s\n", "", "frames/s by wall clock", "frames/s by processor time");
  std::printf("%-26s | %9s %9s %8s | %9s %9s %8s\n", "", "graph", "ffmpeg", "ratio", "graph", "ffmpeg", "ratio");
  bool ok = true;
  for (const Row& r : rows) {
    double wall = r.ffmpeg.wall > 0 ? r.ours.wall / r.ffmpeg.wall : 0;
    double cpu = r.ffmpeg.cpu > 0 ? r.ours.cpu / r.ffmpeg.cpu : 0;
    std::printf("%-26s | %9.1f %9.1f %8.3f | %9.1f %9.1f %8.3f%s\n", r.what.c_str(), r.ours.wall, r.ffmpeg.wall, wall,
                r.ours.cpu, r.ffmpeg.cpu, cpu, cpu >= 0.95 ? "" : "  (below 0.95)");
    ok = ok && cpu >= 0.95;
  }
  std::printf("DV frames are 720x480 only: no CIF row for DV.\n");
  CoUninitialize();
  return ok ? 0 : 1;
}
