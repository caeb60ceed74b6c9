// The sound module in real graphs: the test-tone microphone as the device
// enumerator lists it, the tone through the MP3 encoder and decoder, the
// audio renderer and ALSA capture on file-backed ALSA devices (configured
// through ALSA_CONFIG_PATH), the clock-paced null output, and devices that
// are missing or fail while running.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/com/log.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/pcm_format.h"
#include "platform/filters/audio/tests/tone_analysis.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/log_capture.h"
#include "platform/filters/tests/sample_recorder.h"
#include "platform/media/device_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kSystemAlsaConf = "/usr/share/alsa/alsa.conf";

// ---------------------------------------------------------------- ALSA set-up

// A private ALSA configuration: the system's, then ours. "@DIR@" in the
// text stands for the configuration's own temporary folder.
class AlsaConfig {
 public:
  explicit AlsaConfig(std::string text) {
    char pattern[] = "/tmp/audio_test_XXXXXX";
    dir_ = mkdtemp(pattern);
    for (size_t p; (p = text.find("@DIR@")) != std::string::npos;) text.replace(p, 5, dir_);
    std::ofstream(path("asound.conf")) << text;
    setenv("ALSA_CONFIG_PATH", (std::string(kSystemAlsaConf) + ":" + path("asound.conf")).c_str(), 1);
  }
  ~AlsaConfig() {
    unsetenv("ALSA_CONFIG_PATH");
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir_;
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

class AudioGraph : public ::testing::Test {
 protected:
  ComSession com;
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;

  void SetUp() override {
    if (access(kSystemAlsaConf, R_OK) != 0) GTEST_SKIP() << "no " << kSystemAlsaConf;
    ASSERT_TRUE(graph = newGraph());
    control = graph.as<IMediaControl>();
    ASSERT_TRUE(control);
  }
  void TearDown() override {
    OAFilterState s = State_Stopped;
    if (control && SUCCEEDED(control->GetState(0, &s)) && s != State_Stopped) control->Stop();
  }
  ComPtr<IBaseFilter> add(REFCLSID clsid, const char16_t* name) { return addNew(graph.get(), clsid, name); }
  ComPtr<IBaseFilter> collector(SampleRecorder& into) {
    ComPtr<IBaseFilter> f = add(CLSID_NullRenderer, u"Collector");
    into.attachTo(f.get());
    return f;
  }
  bool running() {
    OAFilterState s = -1;
    return SUCCEEDED(control->GetState(2000, &s)) && s == State_Running;
  }
  static uint64_t framesPlayed(IBaseFilter* renderer) {
    uint64_t n = 0;
    ComPtr<IBaseFilter>(renderer).as<IAudioRendererInfo>()->GetFramesPlayed(&n);
    return n;
  }
  static bool waitPlayed(IBaseFilter* renderer, uint64_t frames) {
    return pollUntil([&] { return framesPlayed(renderer) >= frames; }, 15000);
  }
  static AudioOutputKind outputOf(IBaseFilter* renderer) {
    AudioOutputKind k = AudioOutput_None;
    ComPtr<IBaseFilter>(renderer).as<IAudioRendererInfo>()->GetOutputKind(&k);
    return k;
  }
};

int countOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<int>(std::count(v.begin(), v.end(), s));
}

// ---------------------------------------------------------------- tests

TEST_F(AudioGraph, EnumeratorsFindTheToneMicrophoneAndTheMp3Codecs) {
  // No sound card is needed: the built-in microphone is always listed.
  std::vector<Listed> inputs = listCategory(CLSID_AudioInputDeviceCategory);
  ComPtr<IBaseFilter> mic;
  for (const Listed& l : inputs)
    if (l.name == kTestToneMicrophoneName) {
      ASSERT_FALSE(mic) << "listed twice";
      EXPECT_EQ(l.path, "tone");
      mic = l.bind();
    }
  ASSERT_TRUE(mic);

  // The device's capture pin: category capture, buffer negotiation, PCM types.
  ASSERT_EQ(pinCount(mic.get(), PINDIR_OUTPUT), 1);
  ASSERT_EQ(pinCount(mic.get(), PINDIR_INPUT), 0);
  ComPtr<IPin> pin = pinOf(mic.get(), PINDIR_OUTPUT, 0);
  EXPECT_EQ(pinCategory(pin.get()), PIN_CATEGORY_CAPTURE);
  EXPECT_TRUE(pin.as<IAMBufferNegotiation>());
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types.put()), S_OK);
  std::vector<PcmFormat> formats;
  AM_MEDIA_TYPE* mt = nullptr;
  while (types->Next(1, &mt, nullptr) == S_OK) {
    PcmFormat f;
    EXPECT_TRUE(pcmFormatOf(MediaType(*mt), f));
    formats.push_back(f);
    DeleteMediaType(mt);
  }
  ASSERT_EQ(formats.size(), 25u);  // the preferred one, then 6 rates x 2 channel counts x 2 sizes
  EXPECT_EQ(formats[0], (PcmFormat{44100, 2, 16}));
  for (uint32_t rate : kPcmRates) EXPECT_EQ(std::count_if(formats.begin(), formats.end(), [&](auto& f) {
                                              return f.rate == rate;
                                            }),
                                            rate == 44100 ? 5 : 4);

  std::vector<std::string> compressors = namesOf(listCategory(CLSID_AudioCompressorCategory));
  EXPECT_EQ(std::pair(countOf(compressors, kMp3EncoderName), countOf(compressors, kMp3DecoderName)), std::pair(1, 0));

  // Decoders through the filter mapper: by merit and pins, and by input type.
  const GUID mp3[2] = {MEDIATYPE_Audio, MEDIASUBTYPE_MP3};
  for (bool byType : {false, true}) {
    std::vector<std::string> names = namesOf(listMatching(0x100001, byType ? mp3 : nullptr));
    EXPECT_EQ(std::pair(countOf(names, kMp3DecoderName), countOf(names, kMp3EncoderName)), std::pair(1, 0)) << byType;
  }
}

TEST_F(AudioGraph, SoundCardCaptureDevicesAreListedByCardAndDeviceName) {
  int cards = 0;
  for (const Listed& l : listCategory(CLSID_AudioInputDeviceCategory)) {
    if (l.clsid != guidToString(CLSID_AlsaAudioCapture)) continue;
    ++cards;
    EXPECT_EQ(l.path.rfind("plughw:", 0), 0u) << l.path;
    EXPECT_NE(l.name.find(": "), std::string::npos) << l.name;
  }
  if (cards == 0) GTEST_SKIP() << "this machine has no sound card with a capture device";
}

TEST_F(AudioGraph, ToneThroughMp3EncoderAndDecoderKeepsFrequencyAndLevel) {
  ComPtr<IBaseFilter> mic = add(CLSID_TestToneMicrophone, u"Mic");
  ComPtr<IBaseFilter> enc = add(CLSID_Mp3Encoder, u"MP3 Encoder");
  ComPtr<IBaseFilter> dec = add(CLSID_Mp3Decoder, u"MP3 Decoder");
  SampleRecorder pcm;
  ComPtr<IBaseFilter> sink = collector(pcm);
  auto tone = mic.as<ITestToneControl>();
  ASSERT_TRUE(tone);
  EXPECT_EQ(tone->SetFrequency(700), S_OK);
  EXPECT_EQ(tone->SetLevel(400), S_OK);
  EXPECT_EQ(tone->SetFrequency(0), E_INVALIDARG);
  EXPECT_EQ(tone->SetLevel(1001), E_INVALIDARG);

  // Buffer negotiation as the sender sets it up: suggested before connecting.
  auto negotiation = pinOf(mic.get(), PINDIR_OUTPUT, 0).as<IAMBufferNegotiation>();
  ALLOCATOR_PROPERTIES suggested{6, 8820, 4, 0};
  ASSERT_EQ(negotiation->SuggestAllocatorProperties(&suggested), S_OK);
  ASSERT_EQ(connect(graph.get(), mic.get(), 0, enc.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), enc.get(), 0, dec.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), dec.get(), 0, sink.get(), 0), S_OK);
  ALLOCATOR_PROPERTIES agreed{};
  ASSERT_EQ(negotiation->GetAllocatorProperties(&agreed), S_OK);
  EXPECT_EQ(std::pair(agreed.cBuffers, agreed.cbBuffer), std::pair(6, 8820));

  // The encoder's output as the multicast server will classify it.
  MediaType encoded = connectionType(pinOf(enc.get(), PINDIR_OUTPUT, 0).get());
  EXPECT_EQ(encoded.subtype(), MEDIASUBTYPE_MP3);
  WaveFormatEx wfx;
  ASSERT_TRUE(waveFormatOf(encoded.get(), wfx));
  EXPECT_EQ(std::tuple(encoded.fixedSizeSamples(), encoded.temporalCompression(), wfx.formatTag, wfx.samplesPerSec,
                       wfx.channels),
            std::tuple(true, false, uint16_t(WAVE_FORMAT_MPEGLAYER3), 44100u, uint16_t(2)));

  ASSERT_EQ(control->Run(), S_OK);
  const size_t want = 44100 * 4 * 3 / 2;  // 1.5 s of 44.1 kHz stereo
  ASSERT_TRUE(pcm.waitForBytes(want)) << "decoded " << pcm.bytes().size() << " bytes";
  EXPECT_TRUE(running());
  ASSERT_EQ(control->Stop(), S_OK);
  auto bytes = pcm.bytes();
  for (unsigned c = 0; c < 2; ++c) {
    auto mid = slice(channelOf(bytes, 2, c), 4410, 44100);
    EXPECT_NEAR(zeroCrossingFrequency(mid, 44100), 700, 3.5);
    EXPECT_NEAR(rmsOf(mid), 0.4 / std::sqrt(2.0), 0.4 / std::sqrt(2.0) * 0.15);
  }
  // Time stamps run on without gaps.
  const std::vector<RecordedSample> samples = pcm.samples();
  for (size_t i = 1; i < samples.size(); ++i)
    EXPECT_NEAR(double(samples[i].start), double(samples[i - 1].stop), 20000.0);
}

TEST_F(AudioGraph, DecoderTakesTheMp3TypeTheMulticastClientBuilds) {
  // Subtype left open, 44.1 kHz stereo, block align 2, 7000 bytes a second,
  // the layer-3 record in a 40-byte block, samples of up to 100000 bytes.
  WaveFormatEx wfx;
  wfx.formatTag = WAVE_FORMAT_MPEGLAYER3;
  wfx.channels = 2;
  wfx.samplesPerSec = 44100;
  wfx.avgBytesPerSec = 7000;
  wfx.blockAlign = 2;
  wfx.cbSize = 12;
  MediaType mt(MEDIATYPE_Audio, GUID_NULL, FORMAT_WaveFormatEx);
  mt.setFormat(makeWaveFormatBlock(wfx, mpegLayer3ExtraBytes(MpegLayer3Extra{}), 40));
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(100000);
  ComPtr<IBaseFilter> dec = add(CLSID_Mp3Decoder, u"MP3 Decoder");
  ComPtr<IPin> in = pinOf(dec.get(), PINDIR_INPUT, 0);
  EXPECT_EQ(in->QueryAccept(mt.ptr()), S_OK);
  // PCM is not MP3; a record with another format tag is refused too.
  EXPECT_NE(in->QueryAccept(makePcmType(PcmFormat{}).ptr()), S_OK);
  wfx.formatTag = WAVE_FORMAT_MPEG;
  MediaType mpeg1(MEDIATYPE_Audio, GUID_NULL, FORMAT_WaveFormatEx);
  mpeg1.setFormat(makeWaveFormatBlock(wfx, mpegLayer3ExtraBytes(MpegLayer3Extra{}), 40));
  EXPECT_NE(in->QueryAccept(mpeg1.ptr()), S_OK);
}

TEST_F(AudioGraph, SenderAudioBranchWithTeeRendererAndEncoder) {
  // The sender's audio branch: microphone, tee, renderer and MP3 encoder.
  AlsaConfig alsa(R"(pcm.!default { type hw card 29 })");  // no sound card
  LogCapture log;
  ComPtr<IBaseFilter> mic = add(CLSID_TestToneMicrophone, u"Mic");
  ComPtr<IBaseFilter> tee = add(CLSID_InfTee, u"AudioInfinitePinTee");
  ComPtr<IBaseFilter> renderer = add(CLSID_DSoundRender, u"AudioRender");
  ComPtr<IBaseFilter> enc = add(CLSID_Mp3Encoder, u"MPEG Layer-3");
  SampleRecorder mp3;
  ComPtr<IBaseFilter> server = collector(mp3);
  ASSERT_EQ(connect(graph.get(), mic.get(), 0, tee.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 0, renderer.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), tee.get(), 1, enc.get(), 0), S_OK);
  ASSERT_EQ(connect(graph.get(), enc.get(), 0, server.get(), 0), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(waitPlayed(renderer.get(), 44100));
  ASSERT_TRUE(mp3.waitForBytes(8000));  // about half a second at 128 kbit/s
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(outputOf(renderer.get()), AudioOutput_Null);
  // Every encoded sample starts with a frame header.
  const std::vector<uint8_t> bytes = mp3.bytes();
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(std::pair(int(bytes[0]), bytes[1] & 0xE0), std::pair(0xFF, 0xE0));
}

TEST_F(AudioGraph, RendererPlaysOnAlsaFileDeviceAndSaysSoOnce) {
  AlsaConfig alsa(R"(pcm.!default { type file slave.pcm "null" file "@DIR@/played.raw" format "raw" })");
  LogCapture log;
  ComPtr<IBaseFilter> mic = add(CLSID_TestToneMicrophone, u"Mic");
  ComPtr<IBaseFilter> renderer = add(CLSID_DSoundRender, u"AudioRender");
  ASSERT_EQ(connect(graph.get(), mic.get(), 0, renderer.get(), 0), S_OK);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitPlayed(renderer.get(), 44100 * 3 / 4));
    EXPECT_EQ(outputOf(renderer.get()), AudioOutput_Alsa);
    ASSERT_EQ(control->Stop(), S_OK);
  }
  EXPECT_EQ(log.count("playing on ALSA device \"default\""), 1) << log.all();
  EXPECT_EQ(log.count("null output"), 0) << log.all();
  char name[64];
  ASSERT_EQ(renderer.as<IAudioRendererInfo>()->GetDeviceName(name, sizeof name), S_OK);
  EXPECT_STREQ(name, "default");

  // What reached the device: the second run's tone, 1 kHz at a quarter of full scale.
  auto played = readFile(alsa.path("played.raw"));
  ASSERT_GE(played.size(), 44100u * 4 * 3 / 4);
  auto left = slice(channelOf(played, 2, 0), 0, 44100 / 2);
  EXPECT_NEAR(zeroCrossingFrequency(left, 44100), 1000, 1);
  EXPECT_NEAR(rmsOf(left), 0.25 / std::sqrt(2.0), 0.01);
}

TEST_F(AudioGraph, CaptureRecordsFromAlsaFileDevice) {
  AlsaConfig alsa(R"(pcm.!default { type file slave.pcm "null" file "/dev/null" infile "@DIR@/in.raw" format "raw" })");
  auto recording = toPcm16(toneSamples(440, 44100, 44100, 0.3), 2);
  for (size_t i = 0; i < 64; ++i) recording[i] = static_cast<uint8_t>(i * 3);  // a mark to find again
  writeFile(alsa.path("in.raw"), recording);
  LogCapture log;
  ComPtr<IBaseFilter> capture = add(CLSID_AlsaAudioCapture, u"Capture");
  SampleRecorder pcm;
  ComPtr<IBaseFilter> sink = collector(pcm);
  ASSERT_EQ(connect(graph.get(), capture.get(), 0, sink.get(), 0), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(pcm.waitForBytes(recording.size() * 9 / 10));
  ASSERT_EQ(control->Stop(), S_OK);
  auto bytes = pcm.bytes();
  ASSERT_GE(bytes.size(), recording.size() * 9 / 10);
  EXPECT_TRUE(std::equal(recording.begin(), recording.begin() + static_cast<std::ptrdiff_t>(recording.size() * 9 / 10),
                         bytes.begin()))
      << "the recorded bytes differ from the file";
  EXPECT_EQ(log.count("recording from ALSA device \"default\""), 1) << log.all();
  const std::vector<RecordedSample> samples = pcm.samples();
  ASSERT_FALSE(samples.empty());
  EXPECT_EQ(samples[0].start, 0);
  for (size_t i = 1; i < samples.size(); ++i) EXPECT_EQ(samples[i].start, samples[i - 1].stop);
}

TEST_F(AudioGraph, NullOutputWithoutSoundCardPacesByTheClock) {
  // Playback on a card that does not exist; capture from a file, which
  // ALSA's null device hands over as fast as it is asked.
  AlsaConfig alsa(R"(pcm.!default { type asym playback.pcm { type hw card 29 }
      capture.pcm { type file slave.pcm "null" file "/dev/null" infile "@DIR@/in.raw" format "raw" } })");
  writeFile(alsa.path("in.raw"), toPcm16(toneSamples(440, 44100, 44100 * 4, 0.3), 2));
  LogCapture log;
  ComPtr<IBaseFilter> capture = add(CLSID_AlsaAudioCapture, u"Capture");
  ComPtr<IBaseFilter> renderer = add(CLSID_DSoundRender, u"AudioRender");
  ASSERT_EQ(connect(graph.get(), capture.get(), 0, renderer.get(), 0), S_OK);
  auto started = Clock::now();
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(waitPlayed(renderer.get(), 44100 * 2));
  double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  EXPECT_EQ(outputOf(renderer.get()), AudioOutput_Null);
  EXPECT_TRUE(running());
  ASSERT_EQ(control->Stop(), S_OK);
  // Two seconds of sound take two seconds to play, whatever the source does
  // (less at most the one sample the null output takes at once).
  EXPECT_GE(seconds, 1.75);
  EXPECT_EQ(log.count("using the null output"), 1) << log.all();
}

TEST_F(AudioGraph, DeviceFailingWhilePlayingFallsBackToTheNullOutput) {
  // Writing to /dev/full fails: the device "disappears" at the first write.
  AlsaConfig alsa(R"(pcm.!default { type file slave.pcm "null" file "/dev/full" format "raw" })");
  LogCapture log;
  ComPtr<IBaseFilter> mic = add(CLSID_TestToneMicrophone, u"Mic");
  ComPtr<IBaseFilter> renderer = add(CLSID_DSoundRender, u"AudioRender");
  ASSERT_EQ(connect(graph.get(), mic.get(), 0, renderer.get(), 0), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(waitPlayed(renderer.get(), 44100 / 2));
  EXPECT_EQ(outputOf(renderer.get()), AudioOutput_Null);
  EXPECT_TRUE(running());
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(log.count("playing on ALSA device"), 1) << log.all();
  EXPECT_EQ(log.count("using the null output"), 1) << log.all();
}

TEST_F(AudioGraph, UnconnectedRendererLeavesTheDeviceAlone) {
  AlsaConfig alsa(R"(pcm.!default { type file slave.pcm "null" file "@DIR@/played.raw" format "raw" })");
  LogCapture log;
  ComPtr<IBaseFilter> renderer = add(CLSID_DSoundRender, u"AudioRender");
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_EQ(outputOf(renderer.get()), AudioOutput_None);
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(log.count("audio renderer"), 0) << log.all();
  EXPECT_NE(access(alsa.path("played.raw").c_str(), F_OK), 0) << "the device was opened";
}

TEST_F(AudioGraph, MissingCaptureDeviceEndsTheStreamWithAMessage) {
  AlsaConfig alsa(R"(pcm.!default { type hw card 29 })");
  LogCapture log;
  ComPtr<IBaseFilter> capture = add(CLSID_AlsaAudioCapture, u"Capture");
  SampleRecorder pcm;
  ComPtr<IBaseFilter> sink = collector(pcm);
  ASSERT_EQ(connect(graph.get(), capture.get(), 0, sink.get(), 0), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  pollUntil([&] { return log.count("cannot open ALSA device \"default\"") > 0; }, 10000);
  EXPECT_EQ(log.count("cannot open ALSA device \"default\""), 1) << log.all();
  EXPECT_TRUE(running());
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_TRUE(pcm.bytes().empty());
  // The graph can be started and stopped again.
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_EQ(control->Stop(), S_OK);
}

}  // namespace
