// The sender's 22 video topologies and the audio branch, read back from the
// graph registry: every filter and connection of each row of the sender's
// topology table, with pictures reaching the preview and the servers; and
// what initialisation reports when components are missing.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "filters/ostrel/IOstrelControl.h"
#include "netlab.h"
#include "platform/filters/video_renderer.h"
#include "talvex/Talvex.h"
#include "talvex/tests/sender_lab.h"

using namespace senderlab;

namespace {

enum Mode { None = 0, Loupex = 1, Compound = 2 };

struct Camera {
  const char* name;
  bool dv;
  bool preview;
};
const Camera kAnalogPreview{kTestPatternCameraName, false, true};
const Camera kAnalogCaptureOnly{kTestPatternCaptureOnlyName, false, false};
const Camera kDV{kDVCameraName, true, false};
const Camera kDVPreview{kDVCameraWithPreviewName, true, true};

const std::string kEncoder = "Microsoft MPEG-4 Video Codec V2";
// The second-stream encoder has the same friendly name; the graph keeps
// names unique.
const std::string kSubEncoder = kEncoder + " 0001";
const std::string kMicrophone = "Test Tone Microphone";

// The connections of one row of the topology table, in its notation.
std::vector<std::string> videoConnections(Mode mode, const Camera& c, bool mpeg) {
  if (mode == Compound && c.dv && !mpeg) return {};  // not built
  std::vector<std::string> out;
  const std::string cam = c.name;
  std::string S = cam + "[1]";
  if (!c.preview) {
    out.push_back(cam + "[0] -> SmartTee[0]");
    S = "SmartTee[1]";
  }
  auto add = [&](std::initializer_list<std::string> list) { out.insert(out.end(), list); };
  if (mode != Compound) {
    if (c.dv && !mpeg)
      add({S + " -> DVInfinitePinTee[0]", "DVInfinitePinTee[0] -> DV Video Decoder[0]",
           "DVInfinitePinTee[1] -> VideoServer(Main)[0]", "DV Video Decoder[0] -> VideoRender[0]"});
    else if (!c.dv && !mpeg)
      add({S + " -> FormatTransform(Main)[0]", "FormatTransform(Main)[0] -> VideoInfinitePinTee[0]",
           "VideoInfinitePinTee[0] -> VideoRender[0]", "VideoInfinitePinTee[1] -> VideoServer(Main)[0]"});
    else if (c.dv)
      add({S + " -> DV Video Decoder[0]", "DV Video Decoder[0] -> FormatTransform(Main)[0]",
           "FormatTransform(Main)[0] -> VideoInfinitePinTee[0]",
           "VideoInfinitePinTee[0] -> " + kEncoder + "[0]", "VideoInfinitePinTee[1] -> VideoRender[0]",
           kEncoder + "[0] -> VideoServer(Main)[0]"});
    else
      add({S + " -> FormatTransform(Main)[0]", "FormatTransform(Main)[0] -> VideoInfinitePinTee[0]",
           "VideoInfinitePinTee[0] -> VideoRender[0]", "VideoInfinitePinTee[1] -> " + kEncoder + "[0]",
           kEncoder + "[0] -> VideoServer(Main)[0]"});
    if (mode == Loupex) add({"Tracion[0] -> PointerServer[0]"});
    return out;
  }
  if (c.dv)
    add({S + " -> DV Video Decoder[0]", "DV Video Decoder[0] -> FormatTransform(Main)[0]"});
  else
    add({S + " -> FormatTransform(Main)[0]"});
  add({"FormatTransform(Main)[0] -> VideoInfinitePinTee[0]", "VideoInfinitePinTee[0] -> VideoRender[0]",
       "VideoInfinitePinTee[1] -> FormatTransform(Sub)[0]", "VideoInfinitePinTee[2] -> ImageExtract[0]"});
  if (mpeg)
    add({"FormatTransform(Sub)[0] -> " + kEncoder + "[0]", "ImageExtract[0] -> " + kSubEncoder + "[0]",
         kEncoder + "[0] -> VideoServer(Main)[0]", kSubEncoder + "[0] -> VideoServer(Sub)[0]"});
  else
    add({"FormatTransform(Sub)[0] -> VideoServer(Main)[0]", "ImageExtract[0] -> VideoServer(Sub)[0]"});
  add({"PointerClient[0] -> ImageExtract[1]", "Tracion[0] -> PointerServer[0]"});
  return out;
}

const std::vector<std::string> kAudioConnections = {kMicrophone + "[0] -> AudioInfinitePinTee[0]",
                                                    "AudioInfinitePinTee[0] -> AudioRender[0]",
                                                    "AudioInfinitePinTee[1] -> AudioServer[0]"};

int indexOf(const char* name, unsigned count, const char* (*friendlyName)(int32_t)) {
  for (unsigned i = 0; i < count; ++i)
    if (std::string(friendlyName(int32_t(i))) == name) return int(i);
  return -1;
}

uint64_t renderedFrames() {
  uint64_t n = 0;
  if (auto r = senderFilter<IVideoFrameSnapshot>("VideoRender")) r->GetFrameCount(&n);
  return n;
}

uint32_t framesSent(const char* server) {
  uint32_t n = 0;
  if (auto s = senderFilter<IOstrelControl>(server)) s->GetFramesSent(&n);
  return n;
}

}  // namespace

TEST(TalvexTopology, EveryRowOfTheTableIsWiredAndRuns) {
  NETLAB_REQUIRE();  // the multicast servers open sockets as they are created
  SenderRegistry registry;
  BoxCatcher boxes;
  ASSERT_TRUE(TalvexInitialize(0));
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front();
  const int microphone =
      indexOf(kMicrophone.c_str(), TalvexGetNumAudioCaptures(), TalvexGetAudioCaptureFriendlyName);
  ASSERT_GE(microphone, 0);
  TalvexSetAudioCapture(microphone);

  struct Row {
    Mode mode;
    const Camera* camera;
    bool mpeg;
  };
  std::vector<Row> rows;
  for (Mode mode : {None, Loupex, Compound})
    for (const Camera* camera : {&kAnalogPreview, &kAnalogCaptureOnly, &kDV, &kDVPreview})
      for (bool mpeg : {false, true}) rows.push_back({mode, camera, mpeg});

  int built = 0;
  for (const Row& row : rows) {
    const Camera& c = *row.camera;
    SCOPED_TRACE(std::string("mode ") + std::to_string(row.mode) + ", " + c.name +
                 (row.mpeg ? ", MPEG42" : ", no encoder"));
    const int camera = indexOf(c.name, TalvexGetNumVideoCaptures(), TalvexGetVideoCaptureFriendlyName);
    ASSERT_GE(camera, 0);
    TalvexSetVideoCapture(camera);
    TalvexSetVideoEncoder(row.mpeg ? 1 : 0);
    const bool buildable = !(row.mode == Compound && c.dv && !row.mpeg);
    EXPECT_EQ(TalvexIsValidFocusDisplay(row.mode), buildable);
    TalvexSetFocusDisplay(row.mode);
    ASSERT_EQ(TalvexGetFocusDisplay(), row.mode);

    const GraphView graph = readSenderGraph();
    std::vector<std::string> expected = videoConnections(row.mode, c, row.mpeg);
    expected.insert(expected.end(), kAudioConnections.begin(), kAudioConnections.end());
    EXPECT_EQ(graph.connections, std::multiset<std::string>(expected.begin(), expected.end()));
    // No filter stands in the graph without a connection of the table.
    std::set<std::string> endpoints;
    for (const std::string& link : expected) {
      endpoints.insert(link.substr(0, link.find('[')));
      const size_t to = link.find("-> ") + 3;
      endpoints.insert(link.substr(to, link.rfind('[') - to));
    }
    EXPECT_EQ(graph.filters, endpoints);
    EXPECT_EQ(bool(TalvexIsValidGraph()), buildable);
    if (!buildable) continue;
    ++built;

    // Pictures reach the preview and leave through the servers.
    const uint64_t rendered = renderedFrames();
    const uint32_t sent = framesSent("VideoServer(Main)");
    EXPECT_TRUE(waitFor([&] { return renderedFrames() >= rendered + 2; }, 10000))
        << "no pictures in the preview";
    EXPECT_TRUE(waitFor([&] { return framesSent("VideoServer(Main)") >= sent + 2; }, 10000))
        << "nothing leaves VideoServer(Main)";
    if (row.mode == Compound) {
      EXPECT_TRUE(waitFor([&] { return framesSent("VideoServer(Sub)") >= 2; }, 10000))
          << "nothing leaves VideoServer(Sub)";
    }
  }
  EXPECT_EQ(built, 22);
  EXPECT_TRUE(TalvexShutdown());
  EXPECT_TRUE(readSenderGraph().filters.empty());
}

TEST(TalvexTopology, MissingComponentsAreReported) {
  NETLAB_REQUIRE();
  struct Case {
    Modules modules;
    std::vector<std::string> messages;
    bool initialises;
  };
  const Case cases[] = {
      // No sound module: no audio device, renderer or MP3 encoder; the sender
      // still runs, without its audio branch.
      {{false, true, false},
       {"Audio Capture was not Detected.", "MP3 Encoder was not Detected.",
        "Audio Renderer is not Detected."},
       true},
      // No video codecs: no MPEG-4 encoder (fatal).
      {{true, false, false}, {"MPEG4 Encoder was not Detected."}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.front());
    SenderRegistry registry(c.modules);
    BoxCatcher boxes;
    EXPECT_EQ(TalvexInitialize(0), c.initialises);
    EXPECT_TRUE(TalvexIsInitialized());
    EXPECT_EQ(boxes.boxes, c.messages);
    if (c.initialises) {
      EXPECT_EQ(TalvexGetNumAudioCaptures(), 0u);
      EXPECT_TRUE(TalvexIsValidGraph());
      for (const std::string& filter : readSenderGraph().filters)
        EXPECT_EQ(filter.find("Audio"), std::string::npos) << filter;
    }
    EXPECT_TRUE(TalvexShutdown());
    EXPECT_FALSE(TalvexIsInitialized());
  }
}
