// The engine's lifecycle and the faults it mends: calls while no engine
// exists, a second initialisation, capture indexes outside the lists, text
// results that outlive nothing, a status channel that cannot be opened, and
// the running flag of a graph whose video part was not built.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "netlab.h"
#include "pellum/tests/temp_dir.h"
#include "talvex/Talvex.h"
#include "talvex/TalvexEngine.h"
#include "talvex/TalvexText.h"
#include "talvex/tests/sender_lab.h"

using namespace senderlab;

namespace {

int senderGraphs() {
  return readRegisteredGraph("FilterGraph ").graphs;
}

// Calls that need an engine: without one each returns its type's default.
void expectIdleDefaults() {
  EXPECT_FALSE(TalvexIsInitialized());
  EXPECT_FALSE(TalvexReadIniFile("/tmp/none.ini"));
  EXPECT_FALSE(TalvexWriteIniFile("/tmp/none.ini"));
  EXPECT_FALSE(TalvexIsValidGraph());
  TalvexTimerProcess();
  EXPECT_EQ(TalvexGetNumVideoCaptures(), 0u);
  EXPECT_EQ(TalvexSetVideoCapture(0), 0);
  EXPECT_STREQ(TalvexGetVideoCaptureFriendlyName(0), "");
  EXPECT_STREQ(TalvexGetVideoCapturePropertyPageName(0), "");
  EXPECT_FALSE(TalvexShowAudioCapturePropertyPage(0, 0));
  EXPECT_EQ(TalvexGetVideoEncoder(), 0);
  EXPECT_FALSE(TalvexIsValidFocusDisplay(0));
  TalvexSetVideoFormat(2);
  TalvexSetLoupexMaskSize(5, 6);
  unsigned w = 9, h = 9;
  TalvexGetLoupexMaskSize(&w, &h);
  EXPECT_EQ(w + h, 0u);
  TalvexSetVideoServerMainAddress("234.5.6.9");
  EXPECT_STREQ(TalvexGetVideoServerMainAddress(), "");
  EXPECT_EQ(TalvexGetAudioServerPort(), 0);
  EXPECT_EQ(TalvexGetVideoServerSubFrameRate(), 0u);
  EXPECT_STREQ(TalvexGetStatusSenderAddress(), "");
  int x = 7, y = 7;
  TalvexGetVideoWindowPosition(&x, &y);
  EXPECT_EQ(x + y, 0);
  TalvexGetVideoWindowSize(nullptr, nullptr);
  EXPECT_TRUE(TalvexShutdown());
}

}  // namespace

TEST(TalvexEngine, CallsWithoutAnEngineAreHarmless) {
  NETLAB_REQUIRE();
  SenderRegistry registry(Modules{true, true, false});
  expectIdleDefaults();
  ASSERT_TRUE(TalvexInitialize(0));
  EXPECT_TRUE(TalvexShutdown());
  expectIdleDefaults();

  // After a failed initialisation the engine exists but holds no settings:
  // its calls are harmless too, and shutdown releases what exists.
  SenderRegistry noCodecs(Modules{true, false, false});
  BoxCatcher boxes;
  EXPECT_FALSE(TalvexInitialize(0));
  EXPECT_TRUE(TalvexIsInitialized());
  EXPECT_EQ(TalvexGetNumVideoCaptures(), 0u);
  EXPECT_STREQ(TalvexGetVideoServerMainAddress(), "");
  EXPECT_TRUE(TalvexShutdown());
  EXPECT_FALSE(TalvexIsInitialized());
}

TEST(TalvexEngine, RefusedValuesChangeNothing) {
  NETLAB_REQUIRE();
  SenderRegistry registry;
  ASSERT_TRUE(TalvexInitialize(0));
  Talvex* engine = TalvexRunningEngine();
  const unsigned rebuilds = engine->getNumRebuilds();
  const unsigned sent = engine->getStatusSender()->getNumSent();
  struct Call {
    const char* what;
    std::function<void()> call;
  };
  const Call calls[] = {
      {"video capture past the list", [] { TalvexSetVideoCapture(int32_t(TalvexGetNumVideoCaptures())); }},
      {"video capture -2", [] { TalvexSetVideoCapture(-2); }},
      {"audio capture past the list",
       [] { TalvexSetAudioCapture(int32_t(TalvexGetNumAudioCaptures()) + 5); }},
      {"video encoder 2", [] { TalvexSetVideoEncoder(2); }},
      {"audio encoder -1", [] { TalvexSetAudioEncoder(-1); }},
      {"video format 9", [] { TalvexSetVideoFormat(9); }},
      {"focus display 3", [] { TalvexSetFocusDisplay(3); }},
      {"image-compound base format 12", [] { TalvexSetImageCompoundBaseVideoFormat(12); }},
      {"Loupex mask type 2", [] { TalvexSetLoupexMaskType(2); }},
      {"image-compound mask type 3", [] { TalvexSetImageCompoundMaskType(3); }},
      {"blending type 2", [] { TalvexSetImageCompoundBlendingType(2); }},
      // Equal values of the rebuild settings change nothing either.
      {"the current video encoder", [] { TalvexSetVideoEncoder(TalvexGetVideoEncoder()); }},
      {"the current video format", [] { TalvexSetVideoFormat(TalvexGetVideoFormat()); }},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.what);
    c.call();
    EXPECT_EQ(engine->getNumRebuilds(), rebuilds);
    EXPECT_EQ(engine->getStatusSender()->getNumSent(), sent);
  }
  EXPECT_EQ(TalvexGetVideoCapture(), 0);
  EXPECT_EQ(TalvexGetAudioCapture(), 0);
  EXPECT_FALSE(TalvexIsValidVideoEncoder(2));
  EXPECT_TRUE(TalvexIsValidVideoEncoder(1));
  EXPECT_TRUE(TalvexIsValidAudioEncoder(1));
  EXPECT_FALSE(TalvexIsValidFocusDisplay(3));
  // Names past the list are empty; a property-page name is a copy of its own.
  EXPECT_STREQ(TalvexGetVideoCaptureFriendlyName(int32_t(TalvexGetNumVideoCaptures())), "");
  EXPECT_EQ(TalvexGetNumVideoCapturePropertyPages(), 1u);
  EXPECT_STREQ(TalvexGetVideoCapturePropertyPageName(0), "Capture Property Page");
  // One shared text buffer: the first pointer now shows the second text.
  TalvexSetAudioServerAddress("234.5.6.10");
  const char* main = TalvexGetVideoServerMainAddress();
  const char* audio = TalvexGetAudioServerAddress();
  EXPECT_EQ(main, audio);
  EXPECT_STREQ(main, "234.5.6.10");
  EXPECT_TRUE(TalvexShutdown());
}

TEST(TalvexEngine, RunningOnlyWithTheVideoBuilt) {
  NETLAB_REQUIRE();
  SenderRegistry registry;
  ASSERT_TRUE(TalvexInitialize(0));
  Talvex* engine = TalvexRunningEngine();
  const rsGraphStatus& status = engine->getStatusSender()->getStatus();
  EXPECT_EQ(status.running, 1);
  int dv = -1;
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    if (std::strcmp(TalvexGetVideoCaptureFriendlyName(int32_t(i)), kDVCameraName) == 0) dv = int(i);
  ASSERT_GE(dv, 0);
  TalvexSetVideoCapture(dv);
  TalvexSetVideoEncoder(0);
  EXPECT_FALSE(TalvexIsValidFocusDisplay(2));
  TalvexSetFocusDisplay(2);  // accepted, but nothing of the video can be built
  EXPECT_FALSE(TalvexIsValidGraph());
  EXPECT_TRUE(engine->getGraphManager()->isStarted());
  EXPECT_EQ(status.running, 0);
  EXPECT_EQ(status.focusDisplay, 2);
  TalvexSetVideoEncoder(1);
  EXPECT_TRUE(TalvexIsValidGraph());
  EXPECT_EQ(status.running, 1);
  EXPECT_TRUE(TalvexShutdown());
}

TEST(TalvexText, CopiesStayBoundedAndValid) {
  char buffer[talvex::kTextBufferSize];
  struct Case {
    std::string in, out;
  };
  const std::string kana = "\xE3\x81\x82";  // one three-byte character
  const Case cases[] = {
      {"234.5.6.7", "234.5.6.7"},
      {"", ""},
      {std::string(2000, 'a'), std::string(1023, 'a')},
      // A character that does not fit whole is left out.
      {std::string(1021, 'a') + kana, std::string(1021, 'a')},
      {std::string(1020, 'a') + kana + "b", std::string(1020, 'a') + kana},
      // Bytes that are no character become '?'.
      {"a\xFF"
       "b\xC3",
       "a?b?"},
      {"\xE3\x81"
       "x",
       "??x"},
      {"\xED\xA0\x80", "???"},  // a surrogate
      {"\xC0\xAF", "??"},       // an overlong form
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(talvex::copyText(buffer, c.in.c_str())), c.out);
  }
  EXPECT_STREQ(talvex::copyText(buffer, nullptr), "");
}

TEST(TalvexEngine, SecondInitialisationStatusRetriesAndNoAudioDevice) {
  NETLAB_REQUIRE();
  SenderRegistry registry(Modules{true, true, false});
  ASSERT_TRUE(TalvexInitialize(0));
  TalvexSetLoupexVideoFormat(7);
  TalvexSetVideoServerMainPort(9300);
  EXPECT_EQ(senderGraphs(), 1);
  // A second initialisation shuts the first engine down (its graph, sockets
  // and threads end) and a new one starts from the defaults.
  ASSERT_TRUE(TalvexInitialize(0));
  EXPECT_EQ(senderGraphs(), 1);
  EXPECT_EQ(TalvexGetLoupexVideoFormat(), 4);
  EXPECT_EQ(TalvexGetVideoServerMainPort(), 8190);
  EXPECT_TRUE(TalvexIsValidGraph());

  // A status channel that cannot open is retried.
  Talvex* engine = TalvexRunningEngine();
  rsGraphStatusSender* status = engine->getStatusSender();
  ASSERT_TRUE(engine->isStatusChannelOpen());
  TalvexSetStatusSenderAddress("not an address");
  EXPECT_FALSE(engine->isStatusChannelOpen());
  EXPECT_STREQ(TalvexGetStatusSenderAddress(), "not an address");
  const unsigned sent = status->getNumSent();
  TalvexTimerProcess();
  TalvexSetLoupexMaskType(1);
  EXPECT_EQ(status->getNumSent(), sent);  // nothing goes out on a closed channel
  EXPECT_EQ(TalvexGetLoupexMaskType(), 1);
  // A usable address opens it again, and the status goes out at once.
  TalvexSetStatusSenderAddress("234.5.6.8");
  EXPECT_TRUE(engine->isStatusChannelOpen());
  EXPECT_EQ(status->getNumSent(), sent + 1);
  TalvexTimerProcess();
  EXPECT_EQ(status->getNumSent(), sent + 2);

  // No audio device selected: no audio branch, no pages, and the settings
  // file names no audio device.
  ASSERT_GT(TalvexGetNumAudioCaptures(), 0u);
  TalvexSetAudioCapture(-1);
  EXPECT_EQ(TalvexGetAudioCapture(), -1);
  EXPECT_TRUE(TalvexIsValidGraph());
  for (const std::string& filter : readSenderGraph().filters)
    EXPECT_EQ(filter.find("Audio"), std::string::npos) << filter;
  EXPECT_EQ(TalvexGetNumAudioCapturePropertyPages(), 0u);
  EXPECT_STREQ(TalvexGetAudioCapturePropertyPageName(0), "");
  EXPECT_FALSE(TalvexShowAudioCapturePropertyPage(0, 0));
  TempDir dir;
  ASSERT_TRUE(TalvexWriteIniFile(dir.file("s.ini").c_str()));
  std::stringstream text;
  text << std::ifstream(dir.file("s.ini")).rdbuf();
  EXPECT_NE(text.str().find("VideoCapture="), std::string::npos);
  EXPECT_EQ(text.str().find("AudioCapture="), std::string::npos);
  TalvexSetAudioCapture(0);
  EXPECT_EQ(TalvexGetAudioCapture(), 0);
  EXPECT_TRUE(TalvexShutdown());
  EXPECT_EQ(senderGraphs(), 0);
}
