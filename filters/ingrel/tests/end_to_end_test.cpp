// Two stations of the network lab: a pattern source feeds the multicast
// server in one, the multicast client feeds a null renderer in the other.
// Video, audio and pointer samples arrive bit-identical with their media
// times and flags over IPv4 and IPv6; the records on the wire are the
// hand-built bytes; a stall gives filler samples and the stream resumes.
#include <gtest/gtest.h>

#include <cstring>

#include "filters/ingrel/tests/e2e_support.h"
#include "koBase/koMulticastReceiver.h"
#include "koBase/tests/wire_helpers.h"
#include "platform/media/records.h"

using namespace std::chrono;

namespace {

using Bytes = std::vector<uint8_t>;

struct Capture {
  std::mutex lock;
  std::vector<Bytes> frames;
  static void onFrame(const uint8_t* d, uint32_t n, void* self) {
    auto* c = static_cast<Capture*>(self);
    std::lock_guard<std::mutex> g(c->lock);
    c->frames.emplace_back(d, d + n);
  }
  std::vector<Bytes> take() {
    std::lock_guard<std::mutex> g(lock);
    return frames;
  }
};

// The record the server must send for pattern frame n of this type.
Bytes expectedRecord(const MediaType& mt, uint32_t sampleNumber, int64_t previousClock, int64_t clock, uint64_t n,
                     int64_t interval, int timeMode, const Bytes& userData, uint32_t length) {
  wire::HandRecord r;
  r.sampleNumber = sampleNumber;
  r.userData = userData;
  ByteWriter w(r.mediaType);
  writeMediaTypeRecord(w, mt.get());
  r.format.assign(mt.format(), mt.format() + mt.formatLength());
  r.previousClock = previousClock;
  r.clock = clock;
  const int64_t start = static_cast<int64_t>(n) * interval;
  r.startValid = timeMode != PatternTimes_None;
  r.stopValid = timeMode == PatternTimes_StartStop;
  r.start = r.startValid ? start : 0;
  r.stop = r.stopValid ? start + interval : 0;
  r.mediaStartValid = r.mediaStopValid = true;
  r.mediaStart = static_cast<int64_t>(n);
  r.mediaStop = static_cast<int64_t>(n) + 1;
  r.syncPoint = n % 2 == 0;
  r.discontinuity = n == 0;
  for (uint32_t i = 0; i < length; ++i) r.data.push_back(patternByte(n, i));
  return r.bytes();
}

int64_t read64(const Bytes& b, size_t at) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t(b[at + i]) << (8 * i);
  return static_cast<int64_t>(v);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    auto stations = netlab::stations();
    ASSERT_GE(stations.size(), 2u);
    tx = std::make_unique<StationWorker>(stations[0]);
    rx = std::make_unique<StationWorker>(stations[1]);
    ASSERT_TRUE(tx->entered());
    ASSERT_TRUE(rx->entered());
  }
  void TearDown() override {
    if (tx) tx->run([&] { sender.release(); });
    if (rx) rx->run([&] { receiver.release(); });
  }

  // Runs one stream of `frames` pattern frames and returns what arrived.
  void stream(const StreamCodes& codes, const char* group, uint16_t port, uint32_t frames, int64_t interval,
              int timeMode, Capture* capture = nullptr, const Bytes& userData = {}) {
    koMulticastReceiver raw;
    ASSERT_TRUE(rx->call<bool>([&] { return receiver.build(codes, group, port, &seen); }));
    ASSERT_TRUE(tx->call<bool>([&] { return sender.build(codes, group, port); }));
    tx->run([&] {
      sender.pattern->SetFrameCount(frames);
      sender.pattern->SetFrameInterval(interval);
      sender.pattern->SetTimeMode(timeMode);
      sender.control->SetUserDataLength(static_cast<uint32_t>(userData.size()));
      uint8_t area[64] = {};
      if (!userData.empty()) std::memcpy(area, userData.data(), userData.size());
      sender.control->SetUserData(area);
    });
    if (capture) {
      rx->run([&] {
        raw.setAddress(group);
        raw.setPort(port);
        raw.setFrameCallback(Capture::onFrame, capture);
        raw.open();
      });
    }
    ASSERT_TRUE(rx->call<bool>([&] { return SUCCEEDED(receiver.g.control->Run()); }));
    ASSERT_TRUE(tx->call<bool>([&] { return SUCCEEDED(sender.g.control->Run()); }));
    EXPECT_TRUE(seen.waitReal(frames, 30)) << seen.realCount() << " of " << frames;
    std::this_thread::sleep_for(milliseconds(100));
    tx->run([&] { sender.g.control->Stop(); });
    rx->run([&] {
      receiver.g.control->Stop();
      if (capture) raw.close();
    });
  }

  std::unique_ptr<StationWorker> tx, rx;
  SenderSide sender;
  ReceiverSide receiver;
  Seen seen;
};

void expectPatternStream(Seen& seen, uint32_t frames, size_t length) {
  auto real = seen.real();
  ASSERT_EQ(real.size(), frames);
  for (uint32_t n = 0; n < frames; ++n) {
    const SeenSample& s = real[n];
    EXPECT_TRUE(isPattern(s, n, length)) << "frame " << n << " length " << s.data.size();
    EXPECT_EQ(s.mediaStart, int64_t(n));
    EXPECT_EQ(s.mediaStop, int64_t(n) + 1);
    EXPECT_EQ(s.sync, n % 2 == 0) << n;
    EXPECT_EQ(s.discontinuity, n == 0) << n;
    EXPECT_FALSE(s.preroll);
    EXPECT_FALSE(s.timeValid);  // a live source's samples carry no time stamp
  }
}

}  // namespace

TEST_F(EndToEnd, Rgb24FramesArriveIdenticalAsTheHandBuiltRecordsOverIpv4) {
  StreamCodes video;
  Capture capture;
  const Bytes user = {'a', 'b', 'c'};
  stream(video, "234.5.8.1", 9410, 12, 200000, PatternTimes_StartStop, &capture, user);
  expectPatternStream(seen, 12, 176 * 144 * 3);

  // The records on the wire, byte for byte (the clock times are the graph's).
  auto frames = capture.take();
  ASSERT_GE(frames.size(), 12u);
  MediaClassification c;
  c.videoFormat = VideoFormat_RGB24;
  c.resolution = Resolution_QCIF;
  ASSERT_TRUE(c.buildMediaType());
  const size_t clockAt = 4 + 4 + user.size() + 72 + 4 + c.mediaType().formatLength();
  int64_t previous = -1;
  for (uint32_t n = 0; n < 12; ++n) {
    const Bytes& f = frames[n];
    ASSERT_GT(f.size(), clockAt + 16);
    const int64_t clock = read64(f, clockAt + 8);
    EXPECT_EQ(read64(f, clockAt), previous) << n;
    EXPECT_GE(clock, previous);
    EXPECT_EQ(f, expectedRecord(c.mediaType(), n, previous, clock, n, 200000, PatternTimes_StartStop, user,
                                176 * 144 * 3))
        << "record " << n;
    previous = clock;
  }

  // A start without a stop, and no time at all; after Stop and Run the
  // sample numbers start at 0 again.
  for (int mode : {PatternTimes_StartOnly, PatternTimes_None}) {
    Capture again;
    koMulticastReceiver raw;
    rx->run([&] {
      raw.setAddress("234.5.8.1");
      raw.setPort(9410);
      raw.setFrameCallback(Capture::onFrame, &again);
      raw.open();
    });
    tx->run([&] {
      sender.pattern->SetFrameCount(2);
      sender.pattern->SetTimeMode(mode);
      sender.g.control->Run();
    });
    auto until = steady_clock::now() + seconds(10);
    while (again.take().size() < 2 && steady_clock::now() < until) std::this_thread::sleep_for(milliseconds(5));
    tx->run([&] { sender.g.control->Stop(); });
    rx->run([&] { raw.close(); });
    auto got = again.take();
    ASSERT_GE(got.size(), 2u);
    const int64_t clock0 = read64(got[0], clockAt + 8);
    EXPECT_EQ(got[0], expectedRecord(c.mediaType(), 0, -1, clock0, 0, 200000, mode, user, 176 * 144 * 3))
        << "mode " << mode;
  }
}

TEST_F(EndToEnd, VideoAudioAndPointerStreamsArriveIdenticalOverIpv6) {
  StreamCodes video;
  // Paced like the IPv4 stream: with 76 KB frames every 10 ms a
  // thread-sanitizer build on a busy machine lost frames (most likely the
  // receiving side falling behind its socket).
  stream(video, "ff15::8:1", 9412, 10, 200000, PatternTimes_StartStop);
  expectPatternStream(seen, 10, 176 * 144 * 3);
  TearDown();
  seen.samples.clear();

  StreamCodes audio;
  audio.kind = MediaKind_Audio;
  audio.frequency = Frequency_22050;
  audio.channels = Channel_Monaural;
  stream(audio, "ff15::8:2", 9414, 10, 100000, PatternTimes_StartStop);
  expectPatternStream(seen, 10, kAudioSampleSize);
  TearDown();
  seen.samples.clear();

  StreamCodes pointer;
  pointer.kind = MediaKind_Pointer;
  stream(pointer, "ff15::8:3", 9416, 30, 50000, PatternTimes_None);
  expectPatternStream(seen, 30, kPointerRecordSize);
}

TEST_F(EndToEnd, AStallGivesFillersEveryThreeSecondsAndTheStreamResumes) {
  StreamCodes video;
  video.resolution = Resolution_SQCIF;
  const size_t length = 128 * 96 * 3;
  ASSERT_TRUE(rx->call<bool>([&] { return receiver.build(video, "234.5.8.4", 9418, &seen); }));
  ASSERT_TRUE(tx->call<bool>([&] { return sender.build(video, "234.5.8.4", 9418); }));
  tx->run([&] { sender.pattern->SetFrameInterval(200000); });
  ASSERT_TRUE(rx->call<bool>([&] { return SUCCEEDED(receiver.g.control->Run()); }));
  ASSERT_TRUE(tx->call<bool>([&] { return SUCCEEDED(sender.g.control->Run()); }));
  ASSERT_TRUE(seen.waitReal(5, 10));
  tx->run([&] { sender.pattern->SetHold(TRUE); });
  std::this_thread::sleep_for(milliseconds(7000));
  tx->run([&] { sender.pattern->SetHold(FALSE); });
  const size_t before = seen.realCount();
  ASSERT_TRUE(seen.waitReal(before + 5, 10));
  tx->run([&] { sender.g.control->Stop(); });
  uint32_t fillers = 0;
  rx->run([&] {
    receiver.control->GetFillerCount(&fillers);
    receiver.g.control->Stop();
  });

  // Fillers: the last picture again, sync point and discontinuity, about 3 s apart.
  std::lock_guard<std::mutex> g(seen.lock);
  std::vector<size_t> fillerAt;
  for (size_t i = 0; i < seen.samples.size(); ++i)
    if (!seen.samples[i].mediaTimeValid) fillerAt.push_back(i);
  ASSERT_GE(fillerAt.size(), 2u);
  EXPECT_EQ(fillers, fillerAt.size());
  for (size_t k = 0; k < fillerAt.size(); ++k) {
    const SeenSample& f = seen.samples[fillerAt[k]];
    const SeenSample& last = seen.samples[fillerAt[k] - 1];
    EXPECT_TRUE(f.sync);
    EXPECT_TRUE(f.discontinuity);
    EXPECT_FALSE(f.preroll);
    EXPECT_EQ(f.data.size(), length);
    EXPECT_EQ(f.data, last.data);  // the last real picture, or the filler that repeated it
    if (k > 0) {
      const auto gap = duration_cast<milliseconds>(f.at - seen.samples[fillerAt[k - 1]].at).count();
      EXPECT_GT(gap, 2500);
      EXPECT_LT(gap, 4500);
    }
  }
  // The stream resumed with the frames after the stall, in order.
  const SeenSample& resumed = seen.samples[fillerAt.back() + 1];
  ASSERT_TRUE(resumed.mediaTimeValid);
  EXPECT_TRUE(isPattern(resumed, static_cast<uint64_t>(resumed.mediaStart), length));
}
