// The client filter's output pin in a running graph, fed by records sent
// on the lab network: the filler of every output type when the stream
// stalls, the automatic type taken over from good and hostile types, and
// address, port and time-to-live changed while frames arrive.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "filters/ingrel/ingrel_fillers.h"
#include "filters/ingrel/tests/e2e_support.h"
#include "koBase/koMulticastSender.h"
#include "platform/media/records.h"

using namespace std::chrono;

namespace {

using Bytes = std::vector<uint8_t>;

MediaType typeOf(int kind, int format, int resolution, ULONG claimedSize = 0) {
  MediaType mt = builtCodes(kind, format, resolution).mediaType();
  if (claimedSize) mt.setSampleSize(claimedSize);
  return mt;
}

// A record of the type whose data is `length` bytes of `fill`.
Bytes record(const MediaType& mt, uint32_t number, uint32_t length, uint8_t fill, int64_t previousClock = -1,
             int64_t clock = 0) {
  return writtenRecord(mt, number, Bytes(length, fill), number, previousClock, clock);
}

struct Sender {
  koMulticastSender s;
  Sender(const char* group, uint16_t port) {
    s.setAddress(group);
    s.setPort(port);
    s.setMaximumRate(200000000);
    EXPECT_TRUE(s.open());
  }
  void send(const Bytes& b) { s.send(b.data(), static_cast<uint32_t>(b.size())); }
};

// One client → null renderer pair in a graph shared by several.
struct Lane : ReceiverSide {
  Seen seen;
};

}  // namespace

// Every row of the filler table, all lanes of one graph stalling at once:
// about 6.5 s see two fillers each (one every 3 s). The lanes marked with a
// sample get one real record first, so their stall comes after it.
TEST(ClientOutput, FillersOfEveryOutputTypeThroughThePin) {
  NETLAB_REQUIRE();
  ComSession com;
  TestGraph g;
  ASSERT_TRUE(g.create());
  struct Row {
    const char* name;
    int kind, format, resolution;
    bool withSample;
    std::vector<std::pair<Bytes, std::string>> fillers;  // content, flags
  };
  const Bytes key(ingrelMpeg4Filler(), ingrelMpeg4Filler() + kMpeg4FillerSize);
  const Bytes& jpeg = ingrelJpegFiller(Resolution_QCIF);
  const Bytes picture(128 * 96 * 3, 0x5A);
  const std::vector<Row> rows = {
      {"audio", MediaKind_Audio, 0, 0, false, {{Bytes(100000, 0), "---"}, {Bytes(100000, 0), "---"}}},
      {"pointer", MediaKind_Pointer, 0, 0, true, {{Bytes(71, 0), "---"}, {Bytes(71, 0), "---"}}},
      {"MPEG-4", MediaKind_Video, VideoFormat_MPEG4v2, Resolution_CIF, true, {{key, "SD-"}, {{}, "SD-"}}},
      {"H.261", MediaKind_Video, VideoFormat_H261, Resolution_CIF, false,
       {{Bytes(100000, 0), "S-P"}, {Bytes(100000, 0), "S-P"}}},
      {"H.263", MediaKind_Video, VideoFormat_H263, Resolution_QCIF, false, {{Bytes(100000, 0), "S-P"}}},
      {"Motion-JPEG", MediaKind_Video, VideoFormat_MJPEG, Resolution_QCIF, false, {{jpeg, "S--"}, {jpeg, "S--"}}},
      {"RGB24 after a sample", MediaKind_Video, VideoFormat_RGB24, Resolution_SQCIF, true,
       {{picture, "SD-"}, {picture, "SD-"}}},
      {"RGB24 before any", MediaKind_Video, VideoFormat_RGB24, Resolution_SQCIF, false,
       {{Bytes(picture.size(), 0), "SDP"}, {Bytes(picture.size(), 0), "SDP"}}},
      {"RGB555 before any", MediaKind_Video, VideoFormat_RGB555, Resolution_SQCIF, false,
       {{Bytes(128 * 96 * 2, 0), "SDP"}}},
      {"dvsd after a sample", MediaKind_Video, VideoFormat_DVSD, Resolution_SQCIF, true,
       {{picture, "SD-"}, {picture, "SD-"}}},
  };
  std::vector<std::unique_ptr<Lane>> lanes;
  for (size_t i = 0; i < rows.size(); ++i) {
    auto lane = std::make_unique<Lane>();
    const StreamCodes codes{rows[i].kind, rows[i].format, rows[i].resolution};
    ASSERT_TRUE(lane->add(g, codes, "234.5.8.40", static_cast<uint16_t>(9500 + i), &lane->seen)) << rows[i].name;
    lanes.push_back(std::move(lane));
  }
  ASSERT_EQ(g.control->Run(), S_OK);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].withSample) continue;
    Sender tx("234.5.8.40", static_cast<uint16_t>(9500 + i));
    const MediaType mt = typeOf(rows[i].kind, rows[i].format, rows[i].resolution);
    const uint32_t length = rows[i].kind == MediaKind_Pointer ? 71 : rows[i].format == VideoFormat_MPEG4v2 ? 900 : 36864;
    tx.send(record(mt, 0, length, 0x5A, -1, 4444));
  }
  std::this_thread::sleep_for(milliseconds(6600));
  g.control->Stop();

  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    Lane& lane = *lanes[i];
    std::lock_guard<std::mutex> l(lane.seen.lock);
    std::vector<SeenSample> fillers;
    size_t real = 0;
    for (const SeenSample& s : lane.seen.samples) {
      if (s.mediaTimeValid) {
        ++real;
        EXPECT_TRUE(fillers.empty());  // the real sample comes first
      } else {
        fillers.push_back(s);
      }
    }
    EXPECT_EQ(real, rows[i].withSample ? 1u : 0u);
    ASSERT_GE(fillers.size(), rows[i].fillers.size());
    for (size_t f = 0; f < rows[i].fillers.size(); ++f) {
      const SeenSample& s = fillers[f];
      EXPECT_TRUE(s.data == rows[i].fillers[f].first) << "filler " << f << " has " << s.data.size() << " bytes";
      const std::string flags =
          std::string(s.sync ? "S" : "-") + (s.discontinuity ? "D" : "-") + (s.preroll ? "P" : "-");
      EXPECT_EQ(flags, rows[i].fillers[f].second) << "filler " << f;
      EXPECT_FALSE(s.timeValid);
    }
    if (fillers.size() >= 2) {
      const auto gap = duration_cast<milliseconds>(fillers[1].at - fillers[0].at).count();
      EXPECT_NEAR(gap, 3000, 500);
    }
    BOOL receiving = TRUE;
    lane.control->GetReceiving(&receiving);
    EXPECT_FALSE(receiving);
    int64_t stamp = 0;
    lane.control->GetTimestamp(&stamp);
    EXPECT_EQ(stamp, rows[i].withSample ? 4444 : 0);
  }
  for (auto& lane : lanes) lane->release();
}

// With the automatic type on, a stopped and unconnected client takes the
// received type over as its codes build it: the sample size a record's
// type claims (16 bytes for a 320x240 picture, nearly 4 GiB) is never
// offered, and data that does not fit the built type is refused.
TEST(ClientOutput, AutomaticTypeIsBuiltFromTheReceivedCodes) {
  NETLAB_REQUIRE();
  ComSession com;
  ComPtr<IBaseFilter> client = createFilter(CLSID_IngrelFilter);
  ASSERT_TRUE(client);
  auto control = client.as<IIngrelControl>();
  control->SetAddress("234.5.8.41");
  control->SetPort(9520);
  control->SetAutomaticType(TRUE);
  ComPtr<IPin> out = pinOf(client.get(), PINDIR_OUTPUT, 0);
  auto offered = [&] {
    ComPtr<IEnumMediaTypes> e;
    out->EnumMediaTypes(e.put());
    AM_MEDIA_TYPE* mt = nullptr;
    if (e->Next(1, &mt, nullptr) != S_OK) return MediaType();
    MediaType r(*mt);
    DeleteMediaType(mt);
    return r;
  };
  struct Row {
    const char* name;
    MediaType sent;
    uint32_t dataLength;
    ULONG offeredSize;
    bool refused;
  };
  const std::vector<Row> rows = {
      {"RGB24 320x240 claiming 16 bytes", typeOf(MediaKind_Video, VideoFormat_RGB24, Resolution_320x240, 16), 16,
       230400, true},
      {"RGB24 QCIF claiming 4 GiB", typeOf(MediaKind_Video, VideoFormat_RGB24, Resolution_QCIF, 0xFFFFFFF0u), 76032,
       76032, false},
      {"pointer claiming 5 bytes", typeOf(MediaKind_Pointer, 0, 0, 5), 71, 71, false},
      {"Motion-JPEG SQCIF as sent", typeOf(MediaKind_Video, VideoFormat_MJPEG, Resolution_SQCIF), 900, 36864, false},
  };
  Sender tx("234.5.8.41", 9520);
  uint32_t refusedBefore = 0, mismatched = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    MediaClassification want;
    want.classify(rows[i].sent.get());
    tx.send(record(rows[i].sent, static_cast<uint32_t>(i), rows[i].dataLength, 1));
    MediaClassification now;
    for (int t = 0; t < 200; ++t) {
      now.classify(offered().get());
      if (now.sameAs(want)) break;
      std::this_thread::sleep_for(milliseconds(10));
    }
    ASSERT_TRUE(now.sameAs(want));
    EXPECT_EQ(offered().sampleSize(), rows[i].offeredSize);
    std::this_thread::sleep_for(milliseconds(50));
    uint32_t refused = 0;
    control->GetRefusedRecords(&refused, &mismatched);
    EXPECT_EQ(refused - refusedBefore, rows[i].refused ? 1u : 0u);
    refusedBefore = refused;
  }
  EXPECT_EQ(mismatched, 0u);

  // Connected, the pin asks for the built size; the type stays put.
  TestGraph g;
  ASSERT_TRUE(g.create());
  g.graph->AddFilter(client.get(), u"Client");
  ComPtr<IBaseFilter> renderer = g.add(CLSID_NullRenderer, u"Renderer");
  ASSERT_EQ(connect(g.graph.get(), client.get(), 0, renderer.get(), 0), S_OK);
  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(pinOf(renderer.get(), PINDIR_INPUT, 0).as<IMemInputPin>()->GetAllocator(allocator.put()), S_OK);
  ALLOCATOR_PROPERTIES props{};
  allocator->GetProperties(&props);
  EXPECT_EQ(props.cbBuffer, 36864);
  tx.send(record(typeOf(MediaKind_Pointer, 0, 0), 9, 71, 1));
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(offered().sampleSize(), 36864u);
  g.release();
}

// Pointer records stream in every millisecond while the running client is
// moved to another time-to-live, the same address, another port and another
// group, each followed by the sender. Samples keep arriving after each
// change; setting the address it has keeps the socket, so the packet
// counter runs on.
TEST(ClientOutput, AddressPortAndTimeToLiveChangeWhileFramesArrive) {
  NETLAB_REQUIRE();
  ComSession com;
  TestGraph g;
  ASSERT_TRUE(g.create());
  Lane lane;
  StreamCodes pointer;
  pointer.kind = MediaKind_Pointer;
  ASSERT_TRUE(lane.add(g, pointer, "234.5.8.42", 9530, &lane.seen));
  IIngrelControl* control = lane.control.get();
  ASSERT_EQ(g.control->Run(), S_OK);

  struct Target {
    const char* group;
    uint16_t port;
  };
  const Target targets[] = {{"234.5.8.42", 9530}, {"234.5.8.42", 9531}, {"234.5.8.43", 9531}};
  std::atomic<int> target{0};
  std::atomic<bool> done{false};
  std::thread sender([&] {
    const MediaType mt = typeOf(MediaKind_Pointer, 0, 0);
    int current = -1;
    std::unique_ptr<Sender> tx;
    for (uint32_t n = 0; !done; ++n) {
      if (target != current) {
        current = target;
        tx = std::make_unique<Sender>(targets[current].group, targets[current].port);
      }
      tx->send(record(mt, n, 71, static_cast<uint8_t>(n)));
      std::this_thread::sleep_for(milliseconds(1));
    }
  });
  auto moreSamples = [&](size_t more) { return lane.seen.waitReal(lane.seen.realCount() + more, 10); };

  EXPECT_TRUE(moreSamples(20));
  control->SetTimeToLive(4);
  EXPECT_TRUE(moreSamples(20));
  std::this_thread::sleep_for(milliseconds(500));
  uint32_t before = 0, after = 0;
  control->GetPacketsReceived(&before);
  control->SetAddress("234.5.8.42");
  std::this_thread::sleep_for(milliseconds(100));
  control->GetPacketsReceived(&after);
  EXPECT_GT(before, 100u);
  EXPECT_GT(after, before);  // not reopened: counted on

  control->SetPort(9531);
  target = 1;
  EXPECT_TRUE(moreSamples(20));
  control->SetAddress("234.5.8.43");
  target = 2;
  EXPECT_TRUE(moreSamples(20));
  BOOL receiving = FALSE, open = FALSE;
  control->GetReceiving(&receiving);
  control->GetSocketOpen(&open);
  EXPECT_TRUE(receiving);
  EXPECT_TRUE(open);
  uint32_t packets = 0;
  control->GetPacketsReceived(&packets);
  EXPECT_GE(packets, 20u);  // counted since the last reopen: one datagram per record
  done = true;
  sender.join();
  g.release();
  lane.release();
}
