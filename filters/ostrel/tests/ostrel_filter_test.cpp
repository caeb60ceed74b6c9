// The multicast server filter loaded by class identifier: what its input
// accepts, its control interface, its settings stream and its pages.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "filters/mediaclass/mediaclass.h"
#include "filters/ostrel/IOstrelControl.h"
#include "filters/ostrel/tests/pattern_source.h"
#include "netlab.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/guids.h"
#include "platform/media/memory_stream.h"
#include "platform/media/records.h"
#include "platform/media/results.h"
#include "platform/media/tests/control_values.h"
#include "platform/media/tests/property_pages.h"
#include "platform/media/tests/settings_bytes.h"

namespace {

MediaType videoType(int width, int height, int bits = 24, uint32_t compression = BI_RGB) {
  VideoInfoHeader vih;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = static_cast<uint16_t>(bits);
  vih.bmi.compression = compression;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  MediaType mt(MEDIATYPE_Video, subtypeFromBitmapHeader(vih.bmi), FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}

MediaType pcmType(uint32_t rate, uint16_t channels, uint16_t bits) {
  WaveFormatEx w;
  w.formatTag = WAVE_FORMAT_PCM;
  w.channels = channels;
  w.samplesPerSec = rate;
  w.bitsPerSample = bits;
  w.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
  w.avgBytesPerSec = rate * w.blockAlign;
  MediaType mt(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx);
  mt.setFormat(makeWaveFormatBlock(w));
  mt.setFixedSizeSamples(true);
  return mt;
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    filter = createFilter(CLSID_OstrelFilter);
    ASSERT_TRUE(filter);
    ASSERT_EQ(filter->QueryInterface(IID_IOstrelControl, control.putVoid()), S_OK);
    input = pinOf(filter.get(), PINDIR_INPUT, 0);
    ASSERT_TRUE(input);
  }
  HRESULT accepts(const MediaType& mt) { return input->QueryAccept(mt.ptr()); }
  std::vector<uint8_t> save() { return saveSettings(filter.get()); }
  HRESULT load(std::vector<uint8_t> bytes) { return loadSettings(filter.get(), std::move(bytes)); }

  ComSession com;
  ComPtr<IBaseFilter> filter;
  ComPtr<IOstrelControl> control;
  ComPtr<IPin> input;
};

std::vector<uint8_t> prefix() {
  return settingsPrefix();
}

}  // namespace

TEST_F(Server, AcceptsWhatItCanClassifyAndRefusesTheRest) {
  PIN_INFO info{};
  ASSERT_EQ(input->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"Input");
  info.pFilter->Release();
  EXPECT_EQ(accepts(videoType(176, 144)), S_OK);
  EXPECT_EQ(accepts(videoType(200, 100)), S_FALSE);      // unknown resolution
  EXPECT_EQ(accepts(videoType(176, 144, 32)), S_FALSE);  // unknown format
  EXPECT_EQ(accepts(pcmType(44100, 2, 16)), S_OK);
  EXPECT_EQ(accepts(pcmType(32000, 2, 16)), S_FALSE);
  EXPECT_EQ(accepts(pcmType(44100, 6, 16)), S_FALSE);
  MediaClassification pointer;
  pointer.kind = MediaKind_Pointer;
  ASSERT_TRUE(pointer.buildMediaType());
  EXPECT_EQ(accepts(pointer.mediaType()), S_OK);
  EXPECT_NE(accepts(MediaType(MEDIATYPE_Stream, GUID_NULL, FORMAT_None)), S_OK);

  // Not connected: the unknown codes. Connected: the input's.
  IOstrelControl* c = control.get();
  EXPECT_EQ(valueOf(c, &IOstrelControl::GetInputMediaKind), 3);
  EXPECT_EQ(valueOf(c, &IOstrelControl::GetInputVideoResolution), 9);
  EXPECT_EQ(valueOf(c, &IOstrelControl::GetInputAudioFrequency), 6);
  ComPtr<IGraphBuilder> graph = newGraph();
  ASSERT_TRUE(graph);
  ComPtr<IBaseFilter> source = createFilter(CLSID_PatternSource);
  ComPtr<IPatternSource> pattern;
  source->QueryInterface(IID_IPatternSource, pattern.putVoid());
  // A connection offered with a type it cannot name fails with a failure code.
  ComPtr<IPin> sourceOut = pinOf(source.get(), PINDIR_OUTPUT, 0);
  const MediaType odd = videoType(200, 100);
  EXPECT_TRUE(FAILED(input->ReceiveConnection(sourceOut.get(), odd.ptr())));
  EXPECT_EQ(input->ConnectedTo(ComPtr<IPin>().put()), VFW_E_NOT_CONNECTED);
  ASSERT_EQ(
      pattern->SetType(MediaKind_Audio, 0, 0, AudioFormat_PCM, Frequency_22050, Channel_Monaural, BitCount_8),
      S_OK);
  graph->AddFilter(source.get(), u"Source");
  graph->AddFilter(filter.get(), u"AudioServer");
  ASSERT_EQ(connect(graph.get(), source.get(), 0, filter.get(), 0), S_OK);
  EXPECT_EQ(std::tuple(valueOf(c, &IOstrelControl::GetInputMediaKind),
                       valueOf(c, &IOstrelControl::GetInputAudioFormat),
                       valueOf(c, &IOstrelControl::GetInputAudioFrequency),
                       valueOf(c, &IOstrelControl::GetInputAudioChannels),
                       valueOf(c, &IOstrelControl::GetInputAudioBitCount)),
            std::tuple(MediaKind_Audio, AudioFormat_PCM, Frequency_22050, Channel_Monaural, BitCount_8));
  graph->RemoveFilter(source.get());
  EXPECT_EQ(valueOf(c, &IOstrelControl::GetInputMediaKind), 3);
  graph->RemoveFilter(filter.get());
}

TEST_F(Server, ControlInterfaceClampsAndOpensOnlyWhileRunning) {
  char address[kOstrelAddressArea];
  // User data of 5 bytes (so that the 100 below is a change, clamped to 64).
  uint8_t data[64], back[64] = {};
  for (int i = 0; i < 64; ++i) data[i] = static_cast<uint8_t>(i + 1);
  control->SetUserDataLength(5);
  control->SetUserData(data);
  control->GetUserData(back);
  EXPECT_EQ(std::memcmp(back, data, 5), 0);
  EXPECT_EQ(back[5], 0);
  struct Clamp {
    HRESULT (IOstrelControl::*set)(uint32_t);
    HRESULT (IOstrelControl::*get)(uint32_t*);
    uint32_t given, kept;
  };
  const Clamp clamps[] = {
      {&IOstrelControl::SetUserDataLength, &IOstrelControl::GetUserDataLength, 100, 64},
      {&IOstrelControl::SetUserDataLength, &IOstrelControl::GetUserDataLength, 64, 64},
      {&IOstrelControl::SetRepeatCount, &IOstrelControl::GetRepeatCount, 0, 1},
      {&IOstrelControl::SetMaximumRate, &IOstrelControl::GetMaximumRate, 0, 1},
      {&IOstrelControl::SetSystemBufferSize, &IOstrelControl::GetSystemBufferSize, 0, 1},
      {&IOstrelControl::SetPacketSize, &IOstrelControl::GetPacketSize, 100, 512},
      {&IOstrelControl::SetPacketSize, &IOstrelControl::GetPacketSize, 9000, 8192},
  };
  for (const Clamp& c : clamps) {
    (control.get()->*c.set)(c.given);
    EXPECT_EQ(valueOf(control.get(), c.get), c.kept) << c.given;
  }

  // Stopped: address changes never open the sender.
  auto open = [&] { return valueOf(control.get(), &IOstrelControl::GetSocketOpen); };
  control->SetAddress("234.5.8.20");
  EXPECT_FALSE(open());
  control->SetAddress("");
  control->SetAddress(nullptr);
  control->GetAddress(address);
  EXPECT_STREQ(address, "234.5.8.20");
  ComPtr<IMediaFilter> mf;
  filter->QueryInterface(IID_IMediaFilter, mf.putVoid());
  ASSERT_EQ(mf->Run(0), S_OK);
  EXPECT_TRUE(open());
  control->SetPort(9431);  // reopened while running
  EXPECT_TRUE(open());
  control->SetAddress("234.5.8.20");  // unchanged: stays open
  EXPECT_TRUE(open());
  ASSERT_EQ(mf->Stop(), S_OK);
  EXPECT_FALSE(open());
  EXPECT_EQ(control->GetPort(nullptr), E_POINTER);
}

TEST_F(Server, SettingsStreamRoundTripsAndBadStreamsLeaveTheSettings) {
  control->SetAddress("ff15::1234");
  control->SetPort(8201);
  control->SetTimeToLive(7);
  control->SetPacketSize(2048);
  control->SetMaximumRate(5000000);
  control->SetRepeatCount(3);
  control->SetSystemBufferSize(65536);
  control->SetClockMinimumInterval(0.25f);
  control->SetUserDataLength(3);
  const uint8_t user[64] = {'x', 'y', 'z'};
  control->SetUserData(user);
  const std::vector<uint8_t> saved = save();

  // By hand: prefix, then the fields back to back.
  std::vector<uint8_t> expected = prefix();
  ByteWriter w(expected);
  w.u32(3);
  w.bytes("xyz", 3);
  w.u32(10);
  w.bytes("ff15::1234", 11);
  w.u16(8201);
  w.u32(7);
  w.u32(2048);
  w.u32(5000000);
  w.u32(3);
  w.u32(65536);
  w.f32(0.25f);
  EXPECT_EQ(saved, expected);
  uint64_t max = 0;
  filter.as<IPersistStream>()->GetSizeMax(&max);
  EXPECT_EQ(max, 1122u + 24u);

  // Into a fresh filter, through the setters' rules.
  ComPtr<IBaseFilter> other = createFilter(CLSID_OstrelFilter);
  ASSERT_EQ(loadSettings(other.get(), saved), S_OK);
  IOstrelControl* oc = other.as<IOstrelControl>().get();
  char address[kOstrelAddressArea];
  oc->GetAddress(address);
  EXPECT_STREQ(address, "ff15::1234");
  EXPECT_EQ(valueOf(oc, &IOstrelControl::GetRepeatCount), 3u);
  EXPECT_FLOAT_EQ(valueOf(oc, &IOstrelControl::GetClockMinimumInterval), 0.25f);
  // Zero rate and repeat count and a small packet size load as the setters make them.
  std::vector<uint8_t> zeros = prefix();
  ByteWriter z(zeros);
  z.u32(0);
  z.u32(0);
  z.u8(0);  // the empty address
  z.u16(1);
  z.u32(1);
  z.u32(100);
  z.u32(0);
  z.u32(0);
  z.u32(0);
  z.f32(0.001f);
  ASSERT_EQ(loadSettings(other.get(), zeros), S_OK);
  EXPECT_EQ(
      std::tuple(valueOf(oc, &IOstrelControl::GetPacketSize), valueOf(oc, &IOstrelControl::GetMaximumRate),
                 valueOf(oc, &IOstrelControl::GetRepeatCount)),
      std::tuple(512u, 1u, 1u));
  oc->GetAddress(address);
  EXPECT_STREQ(address, "-");

  // Failing loads: cut short, user data above 64, address too long or
  // without its zero, a bad prefix. The settings stay as they were.
  std::vector<std::vector<uint8_t>> bad;
  bad.push_back(std::vector<uint8_t>(saved.begin(), saved.end() - 1));
  auto big = saved;
  big[24] = 65;
  bad.push_back(big);
  std::vector<uint8_t> longAddress = prefix();
  ByteWriter la(longAddress);
  la.u32(0);
  la.u32(1024);
  la.zeros(1025 + 26);
  bad.push_back(longAddress);
  auto noZero = saved;
  noZero[24 + 4 + 3 + 4 + 10] = 'x';
  bad.push_back(noZero);
  auto badPrefix = saved;
  badPrefix[20] = 'x';
  bad.push_back(badPrefix);
  bad.push_back({});
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_NE(load(bad[i]), S_OK) << "stream " << i;
    EXPECT_EQ(save(), saved) << "stream " << i;
  }
}

TEST_F(Server, ThreePropertyPagesShowAndApplyTheSettings) {
  const std::vector<ComPtr<IPropertyPage>> made = openPropertyPages(
      filter.get(), {CLSID_OstrelCommunicationPage, CLSID_OstrelFrameControlPage, CLSID_OstrelUserDataPage},
      {"通信設定", "フレーム制御", "ユーザデータ"});
  ASSERT_EQ(made.size(), 3u);

  auto fieldValue = [](IPropertyPage* p, LONG id) {
    const char* value = findPageField(p, id).value;
    return std::string(value ? value : "?");
  };
  // Communication: the monitor and apply.
  IPropertyPage* comm = made[0].get();
  made[0]->Refresh();
  EXPECT_EQ(fieldValue(comm, 4), "停止");
  comm->SetFieldValue(2, "9000");
  EXPECT_EQ(comm->IsPageDirty(), S_OK);
  ASSERT_EQ(comm->Apply(), S_OK);
  EXPECT_EQ(valueOf(control.get(), &IOstrelControl::GetPort), 9000);
  // Frame control: rates in Kbit; the measure button shows a value and keeps the filter's until apply.
  IPropertyPage* frame = made[1].get();
  EXPECT_EQ(fieldValue(frame, 2), std::to_string(0x40000000 >> 10));
  control->SetClockMinimumInterval(0.5f);
  frame->SetFieldValue(7, "");
  EXPECT_FLOAT_EQ(valueOf(control.get(), &IOstrelControl::GetClockMinimumInterval), 0.5f);
  EXPECT_EQ(frame->IsPageDirty(), S_OK);
  frame->SetFieldValue(2, "100");
  ASSERT_EQ(frame->Apply(), S_OK);
  EXPECT_EQ(valueOf(control.get(), &IOstrelControl::GetMaximumRate), 102400u);
  EXPECT_LT(valueOf(control.get(), &IOstrelControl::GetClockMinimumInterval), 0.5f);
  // User data: length then the zero-filled text.
  IPropertyPage* user = made[2].get();
  user->SetFieldValue(1, "4");
  user->SetFieldValue(2, "hello");
  ASSERT_EQ(user->Apply(), S_OK);
  uint8_t back[64] = {};
  control->GetUserData(back);
  EXPECT_EQ(valueOf(control.get(), &IOstrelControl::GetUserDataLength), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 4), "hell");
  for (auto& p : made) p->SetObjects(0, nullptr);
}

namespace {

// Pattern source → server in a graph of their own.
struct Streaming {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> run;
  ComPtr<IBaseFilter> source;
  ComPtr<IPatternSource> pattern;
  std::atomic<uint64_t> delivered{0};

  bool build(IBaseFilter* server, int kind, int videoFormat, int resolution) {
    graph = newGraph();
    if (!graph) return false;
    source = createFilter(CLSID_PatternSource);
    if (!source || FAILED(source->QueryInterface(IID_IPatternSource, pattern.putVoid()))) return false;
    pattern->SetType(kind, videoFormat, resolution, 0, 0, 0, 0);
    pattern->SetSendHook([](void* self, uint64_t) { ++static_cast<Streaming*>(self)->delivered; }, this);
    graph->AddFilter(source.get(), u"Source");
    graph->AddFilter(server, u"Server");
    return connect(graph.get(), source.get(), 0, server, 0) == S_OK &&
           SUCCEEDED(graph->QueryInterface(IID_IMediaControl, run.putVoid()));
  }
  ~Streaming() {
    if (pattern) pattern->SetHold(FALSE);  // a held source does not see the stop
    if (run) run->Stop();
  }
};

template <typename F>
int64_t millisecondsOf(F f) {
  const auto t = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

// At 1024 bit/s one pointer frame is a 1024-byte header (8.2 s of pacing)
// and a 512-byte fragment (4.2 s). Control calls and Stop made while such
// a frame is paced return at once: getters never wait for it, a setter
// cuts it short, and so does Stop.
TEST_F(Server, PacedFrameGivesWayToControlCallsAndStop) {
  Streaming s;
  ASSERT_TRUE(s.build(filter.get(), MediaKind_Pointer, 0, 0));
  control->SetAddress("234.5.8.21");
  control->SetMaximumRate(1024);
  control->SetPacketSize(512);
  ASSERT_EQ(s.run->Run(), S_OK);
  auto inFlight = [&](uint64_t frames) {
    for (int i = 0; i < 200 && s.delivered.load() < frames; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the header's pacing
    return s.delivered.load() >= frames;
  };
  ASSERT_TRUE(inFlight(1));

  constexpr int64_t kBound = 2000;  // the frame in flight needs 12 s
  BOOL open = FALSE;
  uint16_t port = 0;
  uint32_t rate = 0;
  EXPECT_LT(millisecondsOf([&] {
              control->GetSocketOpen(&open);
              control->GetPort(&port);
              control->GetMaximumRate(&rate);
            }),
            kBound);
  EXPECT_TRUE(open);
  EXPECT_EQ(rate, 1024u);
  EXPECT_LT(millisecondsOf([&] { control->SetRepeatCount(2); }), kBound);
  EXPECT_EQ(valueOf(control.get(), &IOstrelControl::GetFramesSent), 0u);  // cut short, not counted

  ASSERT_TRUE(inFlight(2));  // the next frame is paced in turn
  EXPECT_LT(millisecondsOf([&] { EXPECT_EQ(s.run->Stop(), S_OK); }), kBound);
  EXPECT_FALSE(valueOf(control.get(), &IOstrelControl::GetSocketOpen));
}

// The counters and meters of a running server, read through the control
// interface. Setting the address it already has keeps the socket: the
// packet counter runs on; a new address reopens it and the count restarts.
TEST_F(Server, CountersRunOnAndSameAddressKeepsTheSocket) {
  Streaming s;
  ASSERT_TRUE(s.build(filter.get(), MediaKind_Video, VideoFormat_RGB24, Resolution_SQCIF));
  s.pattern->SetFrameInterval(200000);  // 50 frames a second
  control->SetAddress("234.5.8.22");
  control->SetRepeatCount(2);
  ASSERT_EQ(s.run->Run(), S_OK);
  valueOf(control.get(), &IOstrelControl::GetTransmittingRate);  // opens the windows
  valueOf(control.get(), &IOstrelControl::GetFrameRate);
  // Held still: frames and packets are read together.
  auto counts = [&](uint64_t atLeast) {
    for (int i = 0; i < 300 && s.delivered.load() < atLeast; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    s.pattern->SetHold(TRUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::pair(valueOf(control.get(), &IOstrelControl::GetFramesSent),
                     valueOf(control.get(), &IOstrelControl::GetPacketsSent));
  };
  const auto first = counts(10);
  ASSERT_GE(first.first, 10u);
  // Each 36864-byte picture, its 1128-byte format block and the rest of the
  // record: 39 fragments of 1024 bytes, twice.
  const uint32_t perFrame = first.second / first.first;
  EXPECT_EQ(first.second % first.first, 0u);
  EXPECT_EQ(perFrame, 2u * 39u);
  // Several frames of 36864 bytes, twice, within a second or so.
  EXPECT_GT(valueOf(control.get(), &IOstrelControl::GetTransmittingRate), 8u * 36864u * 2u);
  EXPECT_GT(valueOf(control.get(), &IOstrelControl::GetFrameRate), 2u);
  const int64_t stamp = valueOf(control.get(), &IOstrelControl::GetTimestamp);
  EXPECT_GT(stamp, 0);

  control->SetAddress("234.5.8.22");
  s.pattern->SetHold(FALSE);
  const auto second = counts(s.delivered.load() + 10);
  EXPECT_GT(second.first, first.first);
  EXPECT_EQ(second.second, second.first * perFrame);
  EXPECT_GT(valueOf(control.get(), &IOstrelControl::GetTimestamp), stamp);

  control->SetAddress("234.5.8.23");
  s.pattern->SetHold(FALSE);
  const auto third = counts(s.delivered.load() + 3);
  EXPECT_LT(third.first, second.first);  // reopened: counted from zero
  EXPECT_EQ(third.second, third.first * perFrame);
}

// Saving the settings while another thread changes the address and the
// user data: every saved address is one of those set, never a torn one (and, under
// ThreadSanitizer, no unguarded read).
TEST_F(Server, SettingsSaveWhileSettersChangeThem) {
  const char* addresses[] = {"234.5.8.24", "ff15::abcd:1234"};
  std::atomic<bool> done{false};
  std::thread setter([&] {
    uint8_t data[64] = {};
    for (int i = 0; !done; ++i) {
      control->SetAddress(addresses[i % 2]);
      std::memset(data, 'a' + i % 2, sizeof data);
      control->SetUserData(data);
    }
  });
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) {
    const std::vector<uint8_t> saved = save();
    ASSERT_GT(saved.size(), 24u + 4 + 64 + 4);
    const uint32_t length = saved[24 + 68] | saved[24 + 69] << 8;
    ASSERT_LT(length, 16u);
    seen.insert(std::string(reinterpret_cast<const char*>(&saved[24 + 72]), length));
  }
  done = true;
  setter.join();
  for (const std::string& a : seen)
    EXPECT_TRUE(a == addresses[0] || a == addresses[1] || a == "234.5.6.7") << a;
}
