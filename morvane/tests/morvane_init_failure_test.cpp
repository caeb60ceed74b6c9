// An engine that cannot find its filters: every missing component is shown
// with its own text in the order of the checks, initialisation fails,
// shutdown releases only what exists, and the program says so and exits 1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "morvane/Morvane.h"
#include "platform/win/message_box.h"

TEST(MorvaneInitFailure, MissingComponentsAreShownInOrderAndShutdownIsSafe) {
  // A class registry with nothing in it.
  setenv("POINTSHARE_CLASS_REGISTRY", "/nonexistent/morvane/class_registry.txt", 1);
  std::vector<std::string> boxes;
  platform::win::setMessageBoxHook(
      [&](const std::string&, const std::string& text, platform::win::MessageBoxType) {
        boxes.push_back(text);
        return platform::win::MessageBoxResult::Ok;
      });
  EXPECT_FALSE(MorvaneInitialize(0));
  platform::win::setMessageBoxHook({});
  const std::vector<std::string> expected = {"Mpeg4 Video Decoder DMO is not Detected.",
                                             "DV Video Decoder is not Detected.",
                                             "MP3 Decoder is not Detected.",
                                             "Video Renderer is not Detected.",
                                             "Audio Renderer is not Detected.",
                                             "Multicast Client is not Detected.",
                                             "Multicast Server is not Detected.",
                                             "Format Transform is not Detected.",
                                             "Image Compound is not Detected.",
                                             "Non-Linear Zoom is not Detected.",
                                             "Pointer Mixer is not Detected.",
                                             "Pointer Position is not Detected."};
  EXPECT_EQ(boxes, expected);
  EXPECT_TRUE(MorvaneIsInitialized());
  // Nothing of the graph exists: every call answers its default.
  EXPECT_EQ(MorvaneGetPointerP1ClientPort(), 0);
  EXPECT_FALSE(MorvaneSetStatusReceiverPort(8930));
  MorvaneTimerProcess();
  int32_t x = 7, y = 7;
  MorvaneGetVideoWindowPosition(&x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(MorvaneGetBlendorPointerColor(0), 0);
  EXPECT_FALSE(MorvaneWriteIniFile("/tmp/morvane-init-failure.ini"));
  EXPECT_FALSE(MorvaneReadIniFile("/tmp/morvane-init-failure.ini"));
  EXPECT_TRUE(MorvaneShutdown());
  EXPECT_FALSE(MorvaneIsInitialized());
  EXPECT_TRUE(MorvaneShutdown());  // once more: nothing left to release

  // The program: the messages, and exit status 1.
  const std::string cmd = std::string(MORVANE_RECEIVE) + " --seconds 1 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int status = pclose(p);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_NE(out.find("Video Renderer is not Detected."), std::string::npos) << out;
  EXPECT_NE(out.find("cannot start"), std::string::npos) << out;
}
