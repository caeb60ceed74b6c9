// talvex-send: its command line, and the program itself in a lab station,
// watched from another one (its monitor, its status, a clean stop on
// SIGTERM, its settings file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "netlab.h"
#include "talvex/send/control_command.h"
#include "talvex/send/send_options.h"
#include "talvex/tests/wire_status.h"
#include "tools/netlab/station_worker.h"
#include "tools/netlab/tests/station_program.h"

using namespace std::chrono;

TEST(TalvexSendOptions, CommandLines) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
    std::function<bool(const SendOptions&)> check;
  };
  const Case cases[] = {
      {{},
       true,
       [](const SendOptions& o) {
         return o.seconds == 0 && o.encoder < 0 && o.audioEncoder < 0 && o.mode < 0 && !o.window;
       }},
      {{"--ini", "a.ini", "--save", "--seconds", "2.5", "--window"},
       true,
       [](const SendOptions& o) { return o.ini == "a.ini" && o.save && o.seconds == 2.5 && o.window; }},
      {{"--video-device", "Test Pattern Camera", "--audio-device", "none", "--encoder", "mpeg4", "--mode",
        "compound", "--group", "234.5.6.20"},
       true,
       [](const SendOptions& o) {
         return o.videoDevice == "Test Pattern Camera" && o.audioDevice == "none" && o.encoder == 1 &&
                o.mode == 2 && o.group == "234.5.6.20";
       }},
      {{"--control", "--seconds", "30"},
       true,
       [](const SendOptions& o) { return o.control && o.seconds == 30 && !o.window; }},
      {{"--encoder", "none", "--mode", "loupex", "--list-devices", "--audio-encoder", "mp3"},
       true,
       [](const SendOptions& o) {
         return o.encoder == 0 && o.mode == 1 && o.listDevices && o.audioEncoder == 1;
       }},
      {{"--audio-encoder", "none"}, true, [](const SendOptions& o) { return o.audioEncoder == 0; }},
      {{"--audio-encoder", "aac"}, false, {}},
      {{"--save"}, false, {}},  // nothing to save to
      {{"--encoder", "h264"}, false, {}},
      {{"--mode"}, false, {}},
      {{"--seconds", "-1"}, false, {}},
      {{"--seconds", "3x"}, false, {}},
      {{"--seconds", "nan"}, false, {}},
      {{"--video-device", ""}, false, {}},
      {{"--frobnicate"}, false, {}},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"talvex-send"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SendOptions o;
    std::string error;
    const bool ok = parseSendOptions(int(argv.size()), argv.data(), o, error);
    EXPECT_EQ(ok, c.ok) << (c.args.empty() ? "" : c.args.front()) << ": " << error;
    if (ok && c.check) {
      EXPECT_TRUE(c.check(o)) << c.args.front();
    }
    EXPECT_EQ(error.empty(), ok);
  }
}

TEST(TalvexSendControl, CommandLinesAndInput) {
  struct Case {
    const char* line;
    bool ok;
    ControlCommand::Kind kind;
    int mode;
  };
  const Case cases[] = {
      {"mode none", true, ControlCommand::Mode, 0},
      {"  mode\tloupex ", true, ControlCommand::Mode, 1},
      {"mode compound", true, ControlCommand::Mode, 2},
      {"quit", true, ControlCommand::Quit, -1},
      {"mode", false, {}, 0},
      {"mode sideways", false, {}, 0},
      {"mode none loupex", false, {}, 0},
      {"MODE none", false, {}, 0},
      {"quit now", false, {}, 0},
      {"", false, {}, 0},
  };
  for (const Case& c : cases) {
    ControlCommand command;
    std::string error;
    EXPECT_EQ(parseControlCommand(c.line, command, error), c.ok) << '"' << c.line << '"';
    EXPECT_EQ(error.empty(), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(command.kind, c.kind) << c.line;
      EXPECT_EQ(command.mode, c.mode) << c.line;
    }
  }

  // Lines come whole, however the writes split them; nothing is waited for;
  // an overlong line is dropped; a last line without newline counts at the
  // end of the input.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ControlInput input(fds[0]);
  std::string line;
  auto write = [&](const std::string& text) {
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), ssize_t(text.size()));
  };
  EXPECT_FALSE(input.next(line));
  write("mode lou");
  EXPECT_FALSE(input.next(line));
  write("pex\nquit\n" + std::string(10000, 'x'));
  ASSERT_TRUE(input.next(line));
  EXPECT_EQ(line, "mode loupex");
  ASSERT_TRUE(input.next(line));
  EXPECT_EQ(line, "quit");
  EXPECT_FALSE(input.next(line));
  write(std::string(3000, 'y') + "\nmode none");
  EXPECT_FALSE(input.next(line));
  EXPECT_FALSE(input.ended());
  close(fds[1]);
  ASSERT_TRUE(input.next(line));
  EXPECT_EQ(line, "mode none");
  EXPECT_FALSE(input.next(line));
  EXPECT_TRUE(input.ended());
  close(fds[0]);
}

namespace {

// Frames per second of VideoServer(Main) on each monitor line.
std::vector<unsigned> mainFrameRates(const std::string& output) {
  std::vector<unsigned> rates;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find("| VideoServer(Main) ");
    if (at == std::string::npos) continue;
    const size_t fps = line.find(" fps", at);
    const size_t start = line.rfind(' ', fps - 1) + 1;
    rates.push_back(unsigned(std::stoul(line.substr(start, fps - start))));
  }
  return rates;
}

}  // namespace

TEST(TalvexSend, RunsInAStationAndStopsCleanly) {
  NETLAB_REQUIRE();
  const auto stations = netlab::stations();
  ASSERT_GE(stations.size(), 2u);
  netlab::StationWorker watcher(stations[1]);
  ASSERT_TRUE(watcher.entered());

  // Bad command lines and missing devices.
  EXPECT_EQ(netlab::StationProgram(stations[0], TALVEX_SEND_PROGRAM, {"--mode", "sideways"}).wait(), 2);
  {
    // As a user runs it from the build tree: the test-only plug-ins stay out
    // of the lists, so the built-in camera is the first device.
    const char* named = std::getenv("POINTSHARE_TEST_CLASS_REGISTRY");
    const std::string overlay = named ? named : "";
    unsetenv("POINTSHARE_TEST_CLASS_REGISTRY");
    netlab::StationProgram list(stations[0], TALVEX_SEND_PROGRAM, {"--list-devices"});
    setenv("POINTSHARE_TEST_CLASS_REGISTRY", overlay.c_str(), 1);
    EXPECT_EQ(list.wait(), 0);
    EXPECT_NE(list.output().find("  0* Test Pattern Camera"), std::string::npos) << list.output();
    EXPECT_EQ(list.output().find("Test Source"), std::string::npos) << list.output();
    // Listing starts no engine: no socket opened, no status announced.
    EXPECT_EQ(list.output().find("multicast socket"), std::string::npos) << list.output();
  }
  EXPECT_EQ(netlab::StationProgram(stations[0], TALVEX_SEND_PROGRAM,
                                   {"--video-device", "No Such Camera", "--seconds", "1"})
                .wait(),
            1);

  // A run with a settings file: the status follows it, the monitor shows
  // pictures leaving, SIGTERM stops it with a last status that says so, and
  // --save writes the file back.
  char dir[] = "/tmp/talvex_send_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string ini = std::string(dir) + "/sender.ini";
  std::ofstream(ini) << "[FocusDisplay]\nFocusDisplay=Loupex\nLoupexMaskWidth=222\n";
  mxObjectPtr<StatusListener> listener = new StatusListener;
  ASSERT_TRUE(watcher.call<bool>([&] { return listener->open(); }));
  netlab::StationProgram run(stations[0], TALVEX_SEND_PROGRAM,
                             {"--ini", ini, "--save", "--video-device", "Test Pattern Camera",
                              "--audio-device", "none", "--encoder", "mpeg4", "--group", "234.5.6.7"});
  ASSERT_TRUE(listener->waitFor(1, milliseconds(15000))) << run.output();
  std::this_thread::sleep_for(milliseconds(3500));
  EXPECT_EQ(run.stop(), 0) << run.output();
  const std::string output = run.output();
  const std::vector<unsigned> rates = mainFrameRates(output);
  ASSERT_GE(rates.size(), 3u) << output;
  EXPECT_GT(rates.back(), 0u) << output;  // pictures leave (their rate is the benchmark's business)
  EXPECT_NE(output.find("talvex-send: stopped"), std::string::npos);

  const size_t n = listener->count();
  ASSERT_GE(n, 5u);  // initialisation, the settings, the ticks, the last word three times
  for (size_t i = n - 3; i < n; ++i) EXPECT_EQ(listener->status(i).running, 0);
  const WireStatus before = listener->status(n - 4);
  EXPECT_EQ(before.running, 1);
  EXPECT_EQ(before.focusDisplay, 1);
  EXPECT_EQ(before.loupexMaskWidth, 222);
  watcher.run([&] { listener->close(); });

  std::ifstream saved(ini);
  std::stringstream text;
  text << saved.rdbuf();
  EXPECT_NE(text.str().find("FocusDisplay=Loupex"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("LoupexMaskWidth=222"), std::string::npos);
  EXPECT_EQ(text.str().find("AudioCapture="), std::string::npos);
  std::remove(ini.c_str());
  rmdir(dir);
}
