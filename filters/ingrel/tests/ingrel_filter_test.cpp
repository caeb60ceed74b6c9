// The multicast client filter loaded by class identifier: its receiver
// opens on creation, the output type it offers from the codes, buffer
// negotiation, its control interface, settings stream and pages.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "filters/ingrel/IIngrelControl.h"
#include "filters/mediaclass/mediaclass.h"
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

class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    filter = createFilter(CLSID_IngrelFilter);
    ASSERT_TRUE(filter);
    ASSERT_EQ(filter->QueryInterface(IID_IIngrelControl, control.putVoid()), S_OK);
    out = pinOf(filter.get(), PINDIR_OUTPUT, 0);
    ASSERT_TRUE(out);
  }
  MediaType offered() {
    ComPtr<IEnumMediaTypes> e;
    EXPECT_EQ(out->EnumMediaTypes(e.put()), S_OK);
    AM_MEDIA_TYPE* mt = nullptr;
    if (e->Next(1, &mt, nullptr) != S_OK) return MediaType();
    MediaType r(*mt);
    DeleteMediaType(mt);
    EXPECT_NE(e->Next(1, &mt, nullptr), S_OK);  // exactly one type
    return r;
  }
  std::vector<uint8_t> save() { return saveSettings(filter.get()); }
  HRESULT load(std::vector<uint8_t> bytes) { return loadSettings(filter.get(), std::move(bytes)); }

  ComSession com;
  ComPtr<IBaseFilter> filter;
  ComPtr<IIngrelControl> control;
  ComPtr<IPin> out;
};

std::vector<uint8_t> prefix() {
  return settingsPrefix();
}

}  // namespace

TEST_F(Client, OffersTheTypeItsCodesBuild) {
  PIN_INFO info{};
  ASSERT_EQ(out->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"Out");
  info.pFilter->Release();
  EXPECT_TRUE(valueOf(control.get(), &IIngrelControl::GetSocketOpen));  // joined on creation

  // A new filter: DV video 720 x 480.
  MediaType mt = offered();
  MediaClassification c;
  c.classify(mt.get());
  EXPECT_EQ(std::tuple(c.kind, c.videoFormat, c.resolution),
            std::tuple(MediaKind_Video, VideoFormat_DVSD, Resolution_720x480));
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(mt.get(), vih));
  EXPECT_EQ(vih.bmi.bitCount, 24);

  // PCM 44100 Hz mono 16 bits.
  control->SetOutputMediaKind(MediaKind_Audio);
  control->SetOutputAudioFormat(AudioFormat_PCM);
  control->SetOutputFrequency(Frequency_44100);
  control->SetOutputChannels(Channel_Monaural);
  control->SetOutputBitCount(BitCount_16);
  WaveFormatEx w;
  ASSERT_TRUE(waveFormatOf(offered().get(), w));
  EXPECT_EQ(std::tuple(w.blockAlign, w.avgBytesPerSec), std::tuple(2, 88200u));
  EXPECT_EQ(out->QueryAccept(offered().ptr()), S_OK);

  // Pointer: sample size 71, and one 71-byte buffer once connected.
  control->SetOutputMediaKind(MediaKind_Pointer);
  mt = offered();
  EXPECT_EQ(mt.sampleSize(), 71u);
  EXPECT_EQ(out->QueryAccept(offered().ptr()), S_OK);
  ComPtr<IGraphBuilder> graph = newGraph();
  ASSERT_TRUE(graph);
  ComPtr<IBaseFilter> renderer = createFilter(CLSID_NullRenderer);
  graph->AddFilter(filter.get(), u"PointerClient");
  graph->AddFilter(renderer.get(), u"Null");
  ASSERT_EQ(connect(graph.get(), filter.get(), 0, renderer.get(), 0), S_OK);
  ComPtr<IMemInputPin> memIn = pinOf(renderer.get(), PINDIR_INPUT, 0).as<IMemInputPin>();
  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(memIn->GetAllocator(allocator.put()), S_OK);
  ALLOCATOR_PROPERTIES props{};
  allocator->GetProperties(&props);
  EXPECT_EQ(std::tuple(props.cBuffers, props.cbBuffer), std::tuple(1, 71));
  // While paused a live source cannot cue.
  ComPtr<IMediaFilter> mf = filter.as<IMediaFilter>();
  ASSERT_TRUE(SUCCEEDED(mf->Pause()));
  FILTER_STATE state;
  EXPECT_EQ(mf->GetState(0, &state), VFW_S_CANT_CUE);
  mf->Stop();
  graph->RemoveFilter(renderer.get());
  graph->RemoveFilter(filter.get());

  // Codes that name nothing leave the type as it was.
  control->SetOutputMediaKind(MediaKind_Video);
  control->SetOutputVideoFormat(VideoFormat_MJPEG);
  control->SetOutputResolution(Resolution_320x240);
  const MediaType mjpeg = offered();
  control->SetOutputResolution(Resolution_Unknown);
  EXPECT_EQ(offered(), mjpeg);
  EXPECT_EQ(valueOf(control.get(), &IIngrelControl::GetOutputResolution), Resolution_Unknown);
}

TEST_F(Client, ControlInterfaceAnswersAndReopensOnChange) {
  IIngrelControl* c = control.get();
  c->SetIPv6InterfaceNo(5);
  EXPECT_EQ(valueOf(c, &IIngrelControl::GetIPv6InterfaceNo), 0u);
  char text[kIngrelTypeTextArea] = {};
  c->GetReceivedTypeText(text);
  EXPECT_STREQ(text, "### TODO ###");
  char address[kIngrelAddressArea];
  c->SetAddress("ff15::55");
  c->GetAddress(address);
  EXPECT_STREQ(address, "ff15::55");
  EXPECT_TRUE(valueOf(c, &IIngrelControl::GetSocketOpen));  // reopened on the new group, stopped as it is
  c->SetPort(9440);
  c->SetTimeToLive(4);
  EXPECT_TRUE(valueOf(c, &IIngrelControl::GetSocketOpen));
  EXPECT_EQ(valueOf(c, &IIngrelControl::GetPort), 9440);
  EXPECT_FALSE(valueOf(c, &IIngrelControl::GetAutomaticType));
  for (auto counter : {&IIngrelControl::GetFramesReceived, &IIngrelControl::GetDroppedFrames,
                       &IIngrelControl::GetDiscardedSamples, &IIngrelControl::GetPacketsReceived,
                       &IIngrelControl::GetDroppedPackets, &IIngrelControl::GetPacketSize})
    EXPECT_EQ(valueOf(c, counter), 0u);
  uint8_t user[64];
  uint32_t length = 9;
  c->GetUserData(user, &length);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(c->GetUserData(nullptr, &length), E_POINTER);
}

TEST_F(Client, SettingsStreamRoundTripsAndBadStreamsLeaveTheSettings) {
  control->SetAutomaticType(TRUE);
  control->SetTimestampReset(FALSE);
  control->SetPicturePosition(0.25f, 0.5f);
  control->SetPictureSize(0.75f, 1.0f);
  control->SetAddress("234.5.8.30");
  control->SetPort(8201);
  control->SetTimeToLive(3);
  control->SetOutputMediaKind(MediaKind_Audio);
  control->SetOutputAudioFormat(AudioFormat_PCM);
  control->SetOutputBitCount(BitCount_8);
  control->SetOutputFrequency(Frequency_22050);
  control->SetOutputChannels(Channel_Monaural);
  const std::vector<uint8_t> saved = save();

  std::vector<uint8_t> expected = prefix();
  ByteWriter w(expected);
  w.u8(1);
  w.u8(0);
  w.f32(0.25f);
  w.f32(0.5f);
  w.f32(0.75f);
  w.f32(1.0f);
  w.u32(10);
  w.bytes("234.5.8.30", 11);
  w.u16(8201);
  w.u32(3);
  for (int code : {1, 4, 8, 1, 1, 3, 1})
    w.i32(code);  // kind, format, resolution, audio, bits, rate, channels
  EXPECT_EQ(saved, expected);
  uint64_t max = 0;
  filter.as<IPersistStream>()->GetSizeMax(&max);
  EXPECT_EQ(max, 1080u + 24u);

  ComPtr<IBaseFilter> other = createFilter(CLSID_IngrelFilter);
  auto stream = ComPtr<MemoryStream>::adopt(MemoryStream::create(saved));
  ASSERT_EQ(other.as<IPersistStream>()->Load(stream.get()), S_OK);
  auto oc = other.as<IIngrelControl>();
  char address[kIngrelAddressArea];
  oc->GetAddress(address);
  EXPECT_STREQ(address, "234.5.8.30");
  EXPECT_TRUE(valueOf(oc.get(), &IIngrelControl::GetSocketOpen));
  EXPECT_EQ(valueOf(oc.get(), &IIngrelControl::GetOutputFrequency), Frequency_22050);
  EXPECT_EQ(valueOf(oc.get(), &IIngrelControl::GetPicturePosition), std::pair(0.25f, 0.5f));
  WaveFormatEx wf;
  ComPtr<IEnumMediaTypes> e;
  pinOf(other.get(), PINDIR_OUTPUT, 0)->EnumMediaTypes(e.put());
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(e->Next(1, &mt, nullptr), S_OK);
  EXPECT_TRUE(waveFormatOf(*mt, wf));
  EXPECT_EQ(std::tuple(wf.samplesPerSec, wf.bitsPerSample), std::tuple(22050u, 8));
  DeleteMediaType(mt);

  std::vector<std::vector<uint8_t>> bad;
  bad.push_back(std::vector<uint8_t>(saved.begin(), saved.end() - 2));
  auto longAddress = prefix();
  ByteWriter la(longAddress);
  la.zeros(18);
  la.u32(1024);
  la.zeros(1025 + 34);
  bad.push_back(longAddress);
  auto noZero = saved;
  noZero[24 + 18 + 4 + 10] = '1';
  bad.push_back(noZero);
  bad.push_back(prefix());
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_NE(load(bad[i]), S_OK) << "stream " << i;
    EXPECT_EQ(save(), saved) << "stream " << i;
  }
}

TEST_F(Client, FourPropertyPagesShowAndApplyTheSettings) {
  const std::vector<ComPtr<IPropertyPage>> made =
      openPropertyPages(filter.get(),
                        {CLSID_IngrelCommunicationPage, CLSID_IngrelMediaTypePage,
                         CLSID_IngrelFrameControlPage, CLSID_IngrelAdditionalInfoPage},
                        {"通信設定", "出力メディアタイプ設定", "フレーム制御", "付加情報"});
  ASSERT_EQ(made.size(), 4u);
  const auto field = findPageField;
  made[0]->Refresh();
  EXPECT_STREQ(field(made[0].get(), 5).value, "成功");
  EXPECT_STREQ(field(made[0].get(), 6).value, "停止中");
  EXPECT_FALSE(field(made[0].get(), 4).enabled);
  // Media type: the code lists in code order; apply sets the codes.
  PROPPAGEFIELD res = field(made[1].get(), 3);
  EXPECT_EQ(std::string(res.choices).substr(0, 13), "SQCIF(128x96)");
  EXPECT_STREQ(field(made[1].get(), 1).value, "0");
  made[1]->SetFieldValue(2, "7");
  made[1]->SetFieldValue(3, "5");
  ASSERT_EQ(made[1]->Apply(), S_OK);
  EXPECT_EQ(valueOf(control.get(), &IIngrelControl::GetOutputVideoFormat), VideoFormat_MJPEG);
  made[1]->Refresh();
  EXPECT_STREQ(field(made[1].get(), 8).value, "受信したメディアタイプと出力のメディアタイプが異なります。");
  EXPECT_STREQ(field(made[1].get(), 9).value, "### TODO ###");
  // Frame control and additional info.
  made[2]->SetFieldValue(1, "0");
  ASSERT_EQ(made[2]->Apply(), S_OK);
  EXPECT_FALSE(valueOf(control.get(), &IIngrelControl::GetTimestampReset));
  EXPECT_STREQ(field(made[3].get(), 2).value, "0.000");
  made[3]->SetFieldValue(5, "0.5");
  ASSERT_EQ(made[3]->Apply(), S_OK);
  EXPECT_EQ(valueOf(control.get(), &IIngrelControl::GetPictureSize), std::pair(0.5f, 1.0f));
  for (auto& p : made) p->SetObjects(0, nullptr);
}

// Saving the settings while another thread moves the client between two
// groups: every saved address is one of them (under ThreadSanitizer, no
// unguarded read either).
TEST_F(Client, SettingsSaveWhileTheAddressChanges) {
  const char* addresses[] = {"234.5.8.31", "ff15::abcd:31"};
  std::atomic<bool> done{false};
  std::thread setter([&] {
    for (int i = 0; !done; ++i) control->SetAddress(addresses[i % 2]);
  });
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::vector<uint8_t> saved = save();
    ASSERT_GT(saved.size(), 24u + 22);
    const uint32_t length = saved[24 + 18] | saved[24 + 19] << 8;
    ASSERT_LT(length, 16u);
    seen.insert(std::string(reinterpret_cast<const char*>(&saved[24 + 22]), length));
  }
  done = true;
  setter.join();
  for (const std::string& a : seen)
    EXPECT_TRUE(a == addresses[0] || a == addresses[1] || a == "234.5.6.7") << a;
}
