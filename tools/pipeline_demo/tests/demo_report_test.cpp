// The demo's arithmetic on hand-made inputs: frame sequences, latency
// matching, the command line and the verdict.
#include "tools/pipeline_demo/demo_report.h"

#include <gtest/gtest.h>

#include "tools/pipeline_demo/demo_options.h"
#include "tools/pipeline_demo/frame_sequence.h"

using namespace std::chrono;

namespace {

std::vector<ProbeReading> readings(std::initializer_list<std::pair<uint32_t, int>> frameAndMs) {
  const auto base = steady_clock::time_point{} + hours(1);
  std::vector<ProbeReading> out;
  for (auto [frame, ms] : frameAndMs) out.push_back({frame, base + milliseconds(ms)});
  return out;
}

bool parse(std::vector<const char*> args, DemoOptions& options, std::string& error) {
  args.insert(args.begin(), "pipeline_demo");
  return parseDemoOptions(static_cast<int>(args.size()), args.data(), options, error);
}

DemoRun goodRun() {
  DemoRun run;
  run.receiver.readings = readings({{0, 0}, {1, 33}, {2, 66}});
  run.receiver.renderedPlain = run.receiver.renderedFocus = 3;
  run.receiver.focusPointer.framesReceived = run.receiver.drawnPointer.framesReceived = 10;
  run.plain.saved = run.focus.saved = true;
  return run;
}

}  // namespace

TEST(FrameSequence, CountsStepsGapsAndRepeats) {
  SequenceSummary s = summariseSequence({});
  EXPECT_EQ(s.count, 0u);
  EXPECT_FALSE(s.inOrder());

  s = summariseSequence({4, 5, 7, 7, 10});
  EXPECT_EQ(s.count, 5u);
  EXPECT_EQ(s.first, 4u);
  EXPECT_EQ(s.last, 10u);
  EXPECT_EQ(s.forward, 3u);
  EXPECT_EQ(s.repeated, 1u);
  EXPECT_EQ(s.backward, 0u);
  EXPECT_EQ(s.missing, 3u);  // 6, 8, 9
  EXPECT_TRUE(s.inOrder());

  // One frame overtaken by the next: a step back, nothing missing.
  s = summariseSequence({0, 2, 1, 3});
  EXPECT_EQ(s.backward, 1u);
  EXPECT_EQ(s.forward, 2u);
  EXPECT_EQ(s.missing, 0u);
  EXPECT_EQ(s.lowest, 0u);
  EXPECT_EQ(s.highest, 3u);
  EXPECT_FALSE(s.inOrder());

  EXPECT_EQ(frameNumbers(readings({{9, 0}, {3, 1}})), (std::vector<uint32_t>{9, 3}));
}

TEST(FrameSequence, LatencyPairsTheFirstSightingsOfEachFrame) {
  // Frame 2 is seen twice at the far end (a repeated picture): only the
  // first counts. Frame 3 never arrived, frame 7 was never sent.
  const auto sent = readings({{1, 0}, {2, 33}, {3, 66}});
  const auto received = readings({{1, 10}, {2, 53}, {2, 90}, {7, 95}});
  LatencySummary l = matchLatency(sent, received);
  EXPECT_EQ(l.matched, 2u);
  EXPECT_DOUBLE_EQ(l.minMs, 10.0);
  EXPECT_DOUBLE_EQ(l.maxMs, 20.0);
  EXPECT_DOUBLE_EQ(l.medianMs, 15.0);

  l = matchLatency(readings({{1, 0}, {2, 0}, {3, 0}}), readings({{1, 4}, {2, 1}, {3, 9}}));
  EXPECT_DOUBLE_EQ(l.medianMs, 4.0);

  l = matchLatency(sent, {});
  EXPECT_EQ(l.matched, 0u);
}

TEST(DemoOptions, DefaultsValuesAndRefusals) {
  DemoOptions o;
  o.output = "default";
  std::string error;
  ASSERT_TRUE(parse({}, o, error));
  EXPECT_EQ(o.seconds, 5);
  EXPECT_EQ(o.output, "default");
  EXPECT_FALSE(o.help);

  ASSERT_TRUE(parse({"--seconds", "2", "--output", "/tmp/x"}, o, error));
  EXPECT_EQ(o.seconds, 2);
  EXPECT_EQ(o.output, "/tmp/x");
  ASSERT_TRUE(parse({"--help"}, o, error));
  EXPECT_TRUE(o.help);

  for (std::vector<const char*> bad : {std::vector<const char*>{"--seconds", "0"},
                                       {"--seconds", "3601"},
                                       {"--seconds", "2x"},
                                       {"--seconds", ""},
                                       {"--seconds", "99999999999999999999"},
                                       {"--seconds"},
                                       {"--output", ""},
                                       {"--frames", "3"}}) {
    DemoOptions d;
    error.clear();
    EXPECT_FALSE(parse(bad, d, error)) << bad[0];
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(d.seconds, 5) << "a refused value is not taken";
  }
}

TEST(DemoVerdict, EveryMissingPieceIsNamed) {
  std::vector<std::string> reasons;
  EXPECT_TRUE(demoSucceeded(goodRun(), reasons));
  EXPECT_TRUE(reasons.empty());

  DemoRun run = goodRun();
  run.receiver.readings = readings({{0, 0}, {2, 1}, {1, 2}});
  reasons.clear();
  EXPECT_FALSE(demoSucceeded(run, reasons));
  ASSERT_EQ(reasons.size(), 1u);
  EXPECT_NE(reasons[0].find("out of order"), std::string::npos);

  run = goodRun();
  run.receiver.readings.clear();
  run.receiver.renderedFocus = 0;
  run.receiver.drawnPointer.framesReceived = 0;
  run.focus.saved = false;
  run.focus.error = "\"VideoRender\" has no picture";
  reasons.clear();
  EXPECT_FALSE(demoSucceeded(run, reasons));
  ASSERT_EQ(reasons.size(), 4u);
  EXPECT_NE(reasons[0].find("no decoded picture"), std::string::npos);
  EXPECT_NE(reasons[1].find("with the focus display"), std::string::npos);
  EXPECT_NE(reasons[2].find("pointer record"), std::string::npos);
  EXPECT_NE(reasons[3].find("has no picture"), std::string::npos);

  // The report prints the same verdict.
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  EXPECT_FALSE(printReport(run, out));
  std::fclose(out);
  const std::string printed(text, length);
  free(text);
  EXPECT_NE(printed.find("Result: FAILED"), std::string::npos);
  EXPECT_NE(printed.find("none could be read"), std::string::npos);
}
