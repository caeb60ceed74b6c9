// The sender seen from another station of the lab: the status messages it
// multicasts (decoded here on their own) and the pictures that leave
// "VideoServer(Main)", decoded at the receiving station with the codes the
// status announced and read back frame by frame.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "filters/mediaclass/mediaclass.h"
#include "gravet/rsFilterEnumerator.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsVideoRenderFilter.h"
#include "netlab.h"
#include "platform/com/runtime.h"
#include "talvex/Talvex.h"
#include "talvex/tests/sender_lab.h"
#include "talvex/tests/wire_status.h"
#include "tarnil/TarnilReceiver.h"
#include "tools/lab_probes/frame_probe.h"
#include "tools/lab_probes/frame_sequence.h"
#include "tools/lab_probes/station_worker.h"

using namespace std::chrono;
using namespace senderlab;

namespace {

// The receiving station's graph: the main video client with the codes of
// the status, the MPEG-4 decoder, a probe reading the frame numbers, and an
// off-screen renderer.
class PictureReceiver : public rsGraphManager {
 public:
  PictureReceiver() : rsGraphManager(0) {}
  bool setUp(const WireStatus& s) {
    if (!initialize()) return false;
    mxObjectPtr<rsCodecEnumerator> decoders = new rsCodecEnumerator(rsCodecEnumerator::VideoDecoder);
    mxObjectPtr<rsFilter> f;
    while (decoder.isNull() && decoders->nextFilter(f))
      if (std::strcmp(f->getName().c_str(), kMP42DecoderName) == 0) decoder = f;
    client = new rsIngrelFilter("VideoClient(Main)");
    client->setAddress(s.mainVideoAddress.c_str());
    client->setPort(s.mainVideoPort);
    client->setMediaType(MediaKind_Video);
    client->setVideoFormat(s.mainVideoFormat);
    client->setVideoResolution(s.mainVideoResolution);
    probe = new rsFrameProbeFilter("FrameProbe");
    render = new rsVideoRenderFilter("VideoRender");
    return !decoder.isNull() && client->isValid() && render->isValid();
  }
  bool buildGraph() override {
    for (rsFilter* f : {static_cast<rsFilter*>(client.get()), decoder.get(),
                        static_cast<rsFilter*>(probe.get()), static_cast<rsFilter*>(render.get())})
      addFilter(f);
    return connectFilter(client.get(), 0, decoder, 0) && connectFilter(decoder, 0, probe.get(), 0) &&
           connectFilter(probe.get(), 0, render.get(), 0);
  }
  bool destroyGraph() override {
    removeAllFilters();
    return true;
  }
  void tearDown() {
    destroyGraph();
    client = nullptr;
    decoder = nullptr;
    probe = nullptr;
    render = nullptr;
    shutdown();
  }
  mxObjectPtr<rsIngrelFilter> client;
  mxObjectPtr<rsFilter> decoder;
  mxObjectPtr<rsFrameProbeFilter> probe;
  mxObjectPtr<rsVideoRenderFilter> render;

 protected:
  ~PictureReceiver() override = default;
};

// What the status says right after initialisation: the test-pattern camera
// at its 640x480, MPEG-4 V2 on the main stream, nothing on the second, the
// test-tone microphone's PCM on the audio stream, the format transform's
// actual output 640x480.
WireStatus initialStatus() {
  WireStatus s;
  s.mainVideoFormat = VideoFormat_MPEG4v2, s.mainVideoResolution = Resolution_640x480;
  s.subVideoFormat = VideoFormat_Unknown, s.subVideoResolution = Resolution_Unknown;
  s.audioFormat = AudioFormat_PCM, s.videoFormat = 6, s.loupexMaskType = s.compoundMaskType = 0;
  return s;
}

}  // namespace

TEST(TalvexOnTheWire, StatusMessagesAndPictures) {
  NETLAB_REQUIRE();
  const auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  SenderRegistry registry(Modules{true, true, false});
  netlab::StationWorker sender(stations[0]);
  StationWorker receiver(stations[1]);
  ASSERT_TRUE(sender.entered() && receiver.entered());

  mxObjectPtr<StatusListener> listener = new StatusListener;
  ASSERT_TRUE(receiver.call<bool>([&] { return listener->open(); }));
  ASSERT_TRUE(sender.call<bool>([] { return TalvexInitialize(0); }));
  ASSERT_TRUE(listener->waitFor(1)) << "no status after initialisation";
  // With a camera of the machine's own first, choosing the test pattern
  // rebuilds and says so.
  sender.run(selectTestPattern);
  std::this_thread::sleep_for(milliseconds(200));
  WireStatus expected = initialStatus();
  EXPECT_EQ(listener->status(listener->count() - 1), expected);

  // Each broadcasting setter sends one message with the whole state; the
  // others send nothing, until the periodic tick repeats the last record.
  struct Step {
    const char* what;
    std::function<void()> call;
    std::function<void(WireStatus&)> change;  // empty: nothing is broadcast
  };
  const Step steps[] = {
      {"main address", [] { TalvexSetVideoServerMainAddress("234.5.6.11"); },
       [](WireStatus& s) { s.mainVideoAddress = "234.5.6.11"; }},
      {"main port", [] { TalvexSetVideoServerMainPort(9190); },
       [](WireStatus& s) { s.mainVideoPort = 9190; }},
      {"main time to live", [] { TalvexSetVideoServerMainTimeToLive(2); }, [](WireStatus&) {}},
      {"main rate", [] { TalvexSetVideoServerMainMaxTransmittingRate(50000000); }, {}},
      {"main count", [] { TalvexSetVideoServerMainTransmittingCount(2); }, {}},
      {"main packet size", [] { TalvexSetVideoServerMainPacketSize(1400); }, {}},
      {"sub address", [] { TalvexSetVideoServerSubAddress("234.5.6.12"); },
       [](WireStatus& s) { s.subVideoAddress = "234.5.6.12"; }},
      {"sub port", [] { TalvexSetVideoServerSubPort(9191); }, [](WireStatus& s) { s.subVideoPort = 9191; }},
      {"audio address", [] { TalvexSetAudioServerAddress("234.5.6.13"); },
       [](WireStatus& s) { s.audioAddress = "234.5.6.13"; }},
      {"audio port", [] { TalvexSetAudioServerPort(9192); }, [](WireStatus& s) { s.audioPort = 9192; }},
      {"audio packet size", [] { TalvexSetAudioServerPacketSize(2048); }, {}},
      {"pointer address", [] { TalvexSetPointerServerClientAddress("234.5.6.14"); },
       [](WireStatus& s) { s.pointerAddress = "234.5.6.14"; }},
      {"pointer port", [] { TalvexSetPointerServerClientPort(9193); },
       [](WireStatus& s) { s.pointerPort = 9193; }},
      {"pointer time to live", [] { TalvexSetPointerServerClientTimeToLive(3); }, [](WireStatus&) {}},
      {"pointer count", [] { TalvexSetPointerServerTransmittingCount(3); }, {}},
      {"status time to live", [] { TalvexSetStatusSenderTimeToLive(2); }, {}},
      {"status packet size", [] { TalvexSetStatusSenderPacketSize(2048); }, {}},
      {"Loupex format", [] { TalvexSetLoupexVideoFormat(6); },
       [](WireStatus& s) { s.loupexVideoFormat = 6; }},
      {"Loupex mask", [] { TalvexSetLoupexMaskType(1); }, [](WireStatus& s) { s.loupexMaskType = 1; }},
      {"Loupex mask size", [] { TalvexSetLoupexMaskSize(200, 100); },
       [](WireStatus& s) { s.loupexMaskWidth = 200, s.loupexMaskHeight = 100; }},
      {"compound mask", [] { TalvexSetImageCompoundMaskType(2); },
       [](WireStatus& s) { s.compoundMaskType = 2; }},
      {"blending", [] { TalvexSetImageCompoundBlendingType(1); },
       [](WireStatus& s) { s.compoundBlendingType = 1; }},
      {"the current encoder", [] { TalvexSetVideoEncoder(1); }, {}},
      {"the current format", [] { TalvexSetVideoFormat(8); }, {}},
      {"video format QCIF", [] { TalvexSetVideoFormat(1); },
       [](WireStatus& s) { s.mainVideoResolution = Resolution_QCIF, s.videoFormat = 1; }},
      {"the current compound base format", [] { TalvexSetImageCompoundBaseVideoFormat(0); },
       [](WireStatus&) {}},
      {"focus display Loupex", [] { TalvexSetFocusDisplay(1); }, [](WireStatus& s) { s.focusDisplay = 1; }},
      {"no video encoder", [] { TalvexSetVideoEncoder(0); },
       [](WireStatus& s) { s.mainVideoFormat = VideoFormat_RGB24; }},
      {"MP3", [] { TalvexSetAudioEncoder(1); }, [](WireStatus& s) { s.audioFormat = AudioFormat_MP3; }},
      {"MPEG-4 at the capture size", [] { TalvexSetVideoEncoder(1), TalvexSetVideoFormat(8); },
       [](WireStatus& s) {
         s.mainVideoFormat = VideoFormat_MPEG4v2, s.mainVideoResolution = Resolution_640x480,
         s.videoFormat = 6;
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const size_t before = listener->count();
    sender.run(step.call);
    if (!step.change) {
      std::this_thread::sleep_for(milliseconds(300));
      ASSERT_EQ(listener->count(), before) << "a setter that does not broadcast sent the status";
      sender.run([] { TalvexTimerProcess(); });
      ASSERT_TRUE(listener->waitFor(before + 1));
      EXPECT_EQ(listener->raw(before), listener->raw(before - 1))
          << "the tick does not repeat the last record";
      continue;
    }
    step.change(expected);
    ASSERT_TRUE(listener->waitFor(before + 1));
    // "MPEG-4 at the capture size" makes two changes, each with its message.
    const size_t wanted = std::strcmp(step.what, "MPEG-4 at the capture size") == 0 ? 2 : 1;
    ASSERT_TRUE(listener->waitFor(before + wanted));
    std::this_thread::sleep_for(milliseconds(150));
    ASSERT_EQ(listener->count(), before + wanted);
    EXPECT_EQ(listener->status(listener->count() - 1), expected);
  }

  // Pictures leave "VideoServer(Main)": decoded at the receiving station with
  // the codes of the status, their frame numbers in order.
  const WireStatus announced = listener->status(listener->count() - 1);
  mxObjectPtr<PictureReceiver> pictures = new PictureReceiver;
  ASSERT_TRUE(receiver.call<bool>([&] { return pictures->setUp(announced) && pictures->buildGraph(); }));
  receiver.run([&] { pictures->start(); });
  EXPECT_TRUE(waitFor([&] { return pictures->probe->getReadings().size() >= 30; }, 10000))
      << "pictures read at the receiver: " << pictures->probe->getReadings().size();
  std::vector<ProbeReading> readings;
  receiver.run([&] {
    pictures->stop();
    readings = pictures->probe->getReadings();
    pictures->tearDown();
  });
  const SequenceSummary sequence = summariseSequence(frameNumbers(readings));
  EXPECT_GE(sequence.count, 30u);
  EXPECT_TRUE(sequence.inOrder()) << sequence.backward << " steps backwards";
  EXPECT_EQ(sequence.repeated, 0u);

  // The last message says the sender no longer runs; its graph is gone, so
  // no stream has a format any more.
  const size_t before = listener->count();
  EXPECT_TRUE(sender.call<bool>([] { return TalvexShutdown(); }));
  ASSERT_TRUE(listener->waitFor(before + 1));
  WireStatus last = listener->status(listener->count() - 1);
  expected.running = 0;
  expected.mainVideoFormat = expected.subVideoFormat = VideoFormat_Unknown;
  expected.mainVideoResolution = expected.subVideoResolution = Resolution_Unknown;
  expected.audioFormat = AudioFormat_Unknown;
  expected.videoFormat = 8;
  EXPECT_EQ(last, expected);
  receiver.run([&] { listener->close(); });
}

// Moving the status channel: receivers left on the old port or group hear
// that the sender no longer runs there (and then nothing), the new channel
// hears the running sender; setting the current value again moves nothing.
TEST(TalvexOnTheWire, MovingTheStatusChannelLeavesTheOldOneStopped) {
  NETLAB_REQUIRE();
  const auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  SenderRegistry registry(Modules{true, true, false});
  netlab::StationWorker sender(stations[0]);
  StationWorker receiver(stations[1]);
  ASSERT_TRUE(sender.entered() && receiver.entered());

  struct Move {
    const char* what;
    std::function<void()> call;
    std::function<void(StatusListener&)> to;  // empty: the channel stays
  };
  const Move moves[] = {
      {"same port", [] { TalvexSetStatusSenderPort(TarnilReceiver::kDefaultPort); }, {}},
      {"another port", [] { TalvexSetStatusSenderPort(8940); }, [](StatusListener& l) { l.setPort(8940); }},
      {"another group", [] { TalvexSetStatusSenderAddress("234.5.6.21"); },
       [](StatusListener& l) { l.setAddress("234.5.6.21"), l.setPort(8940); }},
  };
  ASSERT_TRUE(sender.call<bool>([] { return TalvexInitialize(0); }));
  sender.run(selectTestPattern);
  for (const Move& move : moves) {
    SCOPED_TRACE(move.what);
    mxObjectPtr<StatusListener> old = new StatusListener, next = new StatusListener;
    std::string address;
    uint16_t port = 0;
    sender.run([&] { address = TalvexGetStatusSenderAddress(), port = TalvexGetStatusSenderPort(); });
    ASSERT_TRUE(receiver.call<bool>([&] {
      // The old listener where the sender is now.
      old->setAddress(address.c_str());
      old->setPort(port);
      if (move.to) move.to(*next);
      return old->open() && (!move.to || next->open());
    }));
    sender.run([] { TalvexTimerProcess(); });
    ASSERT_TRUE(old->waitFor(1));
    const size_t before = old->count();
    sender.run(move.call);
    sender.run([] { TalvexTimerProcess(); });
    if (!move.to) {
      ASSERT_TRUE(old->waitFor(before + 1));
      EXPECT_EQ(old->status(old->count() - 1).running, 1);
    } else {
      ASSERT_TRUE(old->waitFor(before + 3));
      ASSERT_TRUE(next->waitFor(1));
      std::this_thread::sleep_for(milliseconds(300));
      // The leaving message, three times (nothing repeats it later).
      EXPECT_EQ(old->count(), before + 3) << "the old channel heard more or less than the leaving message";
      for (size_t i = before; i < old->count(); ++i) EXPECT_EQ(old->status(i).running, 0);
      EXPECT_EQ(next->status(next->count() - 1).running, 1);
    }
    receiver.run([&] {
      old->close();
      next->close();
    });
  }
  EXPECT_TRUE(sender.call<bool>([] { return TalvexShutdown(); }));
}
