// Test support for the end-to-end tests: a sender station (pattern source →
// multicast server) and a receiver station (multicast client → null
// renderer that records what arrives).
#pragma once
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "filters/ingrel/IIngrelControl.h"
#include "filters/ingrel/tests/built_codes.h"
#include "filters/ingrel/tests/station_graph.h"
#include "filters/mediaclass/mediaclass.h"
#include "filters/ostrel/IOstrelControl.h"
#include "filters/ostrel/tests/pattern_source.h"
#include "koBase/koByteStream.h"
#include "koBase/koSampleRecord.h"
#include "platform/media/records.h"

// One sample as the renderer saw it.
struct SeenSample {
  std::vector<uint8_t> data;
  bool mediaTimeValid = false;
  int64_t mediaStart = 0, mediaStop = 0;
  bool timeValid = false;
  bool sync = false, discontinuity = false, preroll = false;
  std::chrono::steady_clock::time_point at;
};

struct Seen {
  std::mutex lock;
  std::vector<SeenSample> samples;
  std::atomic<int> blockMs{0};  // the renderer blocks this long on the next sample

  static void record(void* self, IMediaSample* s) {
    auto* seen = static_cast<Seen*>(self);
    SeenSample x;
    x.at = std::chrono::steady_clock::now();
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    x.data.assign(p, p + s->GetActualDataLength());
    x.mediaTimeValid = s->GetMediaTime(&x.mediaStart, &x.mediaStop) == S_OK;
    REFERENCE_TIME a, b;
    x.timeValid = SUCCEEDED(s->GetTime(&a, &b));
    x.sync = s->IsSyncPoint() == S_OK;
    x.discontinuity = s->IsDiscontinuity() == S_OK;
    x.preroll = s->IsPreroll() == S_OK;
    {
      std::lock_guard<std::mutex> g(seen->lock);
      seen->samples.push_back(std::move(x));
    }
    if (int ms = seen->blockMs.exchange(0)) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  // Samples that came from the network (fillers carry no media time).
  std::vector<SeenSample> real() {
    std::lock_guard<std::mutex> g(lock);
    std::vector<SeenSample> out;
    for (const auto& s : samples)
      if (s.mediaTimeValid) out.push_back(s);
    return out;
  }
  size_t realCount() {
    std::lock_guard<std::mutex> g(lock);
    size_t n = 0;
    for (const auto& s : samples) n += s.mediaTimeValid;
    return n;
  }
  bool waitReal(size_t n, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (realCount() < n) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
};

struct StreamCodes {
  int kind = MediaKind_Video, videoFormat = VideoFormat_RGB24, resolution = Resolution_QCIF;
  int audioFormat = AudioFormat_PCM, frequency = Frequency_44100, channels = Channel_Stereo,
      bitCount = BitCount_16;
};

// The sender graph; every call on the sender station's worker.
struct SenderSide {
  TestGraph g;
  ComPtr<IBaseFilter> source, server;
  ComPtr<IPatternSource> pattern;
  ComPtr<IOstrelControl> control;

  bool build(const StreamCodes& c, const char* group, uint16_t port) {
    if (!g.create()) return false;
    source = g.add(CLSID_PatternSource, u"Source");
    server = g.add(CLSID_OstrelFilter, u"VideoServer(Main)");
    if (!source || !server) return false;
    source->QueryInterface(IID_IPatternSource, pattern.putVoid());
    server->QueryInterface(IID_IOstrelControl, control.putVoid());
    if (!pattern || !control) return false;
    if (FAILED(pattern->SetType(c.kind, c.videoFormat, c.resolution, c.audioFormat, c.frequency, c.channels,
                                c.bitCount)))
      return false;
    control->SetAddress(group);
    control->SetPort(port);
    return connect(g.graph.get(), source.get(), 0, server.get(), 0) == S_OK;
  }
  void release() {
    g.release();
    pattern.reset();
    control.reset();
    source.reset();
    server.reset();
  }
};

// The receiver graph (client → null renderer that records into `seen`);
// every call on the receiver station's worker. add() puts one such pair
// into a graph that already exists.
struct ReceiverSide {
  TestGraph g;
  ComPtr<IBaseFilter> client, renderer;
  ComPtr<IIngrelControl> control;

  bool build(const StreamCodes& c, const char* group, uint16_t port, Seen* seen) {
    return g.create() && add(g, c, group, port, seen);
  }
  bool add(TestGraph& graph, const StreamCodes& c, const char* group, uint16_t port, Seen* seen) {
    client = graph.add(CLSID_IngrelFilter, u"VideoClient(Main)");
    renderer = graph.add(CLSID_NullRenderer, u"Renderer");
    if (!client || !renderer) return false;
    client->QueryInterface(IID_IIngrelControl, control.putVoid());
    ComPtr<INullRendererControl> nr;
    renderer->QueryInterface(IID_INullRendererControl, nr.putVoid());
    if (!control || !nr) return false;
    nr->SetCallback(Seen::record, seen);
    control->SetAddress(group);
    control->SetPort(port);
    control->SetOutputMediaKind(c.kind);
    control->SetOutputVideoFormat(c.videoFormat);
    control->SetOutputResolution(c.resolution);
    control->SetOutputAudioFormat(c.audioFormat);
    control->SetOutputFrequency(c.frequency);
    control->SetOutputChannels(c.channels);
    control->SetOutputBitCount(c.bitCount);
    return connect(graph.graph.get(), client.get(), 0, renderer.get(), 0) == S_OK;
  }
  void release() {
    if (renderer) renderer.as<INullRendererControl>()->SetCallback(nullptr, nullptr);
    g.release();
    control.reset();
    client.reset();
    renderer.reset();
  }
};

inline bool isPattern(const SeenSample& s, uint64_t frame, size_t length) {
  if (s.data.size() != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (s.data[i] != patternByte(frame, i)) return false;
  return true;
}

// A record as the server's writer makes it of a sample of the type (its
// whole format block unless told otherwise): media times start and start + 1,
// a sync point, user data of `userData` zero bytes.
inline std::vector<uint8_t> writtenRecord(const MediaType& mt, uint32_t number,
                                          const std::vector<uint8_t>& data, int64_t mediaStart,
                                          int64_t previousClock = -1, int64_t clock = 0,
                                          uint32_t userData = 0, uint32_t formatLength = UINT32_MAX) {
  koSampleRecord r;
  r.sampleNumber = number;
  r.userDataLength = userData;
  std::vector<uint8_t> typeBytes;
  ByteWriter w(typeBytes);
  writeMediaTypeRecord(w, mt.get());
  std::memcpy(r.mediaType, typeBytes.data(), koSampleRecord::kMediaTypeSize);
  r.format = mt.format();
  r.formatLength = std::min(formatLength, mt.formatLength());
  r.previousClockTime = previousClock;
  r.clockTime = clock;
  r.mediaStartValid = r.mediaStopValid = true;
  r.mediaStart = mediaStart;
  r.mediaStop = mediaStart + 1;
  r.syncPoint = true;
  r.data = data.data();
  r.dataLength = static_cast<uint32_t>(data.size());
  koOutputByteStream out;
  koWriteSampleRecord(out, r);
  return std::vector<uint8_t>(out.data(), out.data() + out.length());
}

// Pattern frame `frame`: `length` pattern bytes.
inline std::vector<uint8_t> patternData(uint64_t frame, uint32_t length) {
  std::vector<uint8_t> data(length);
  for (uint32_t i = 0; i < length; ++i) data[i] = patternByte(frame, i);
  return data;
}
