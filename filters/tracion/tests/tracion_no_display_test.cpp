// The pointer position filter with no X server: it keeps sending records
// with the last known (zero) position and says once why.
#include <cstdlib>
#include <string>

#include "filters/tracion/ITracionControl.h"
#include "filters/tracion/tests/record_collector.h"
#include "platform/com/log.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/guids.h"

using namespace pointing;

namespace {

std::mutex logLock;
std::vector<std::string> logged;

void keep(PlatformLogLevel, const char* line) {
  std::lock_guard<std::mutex> g(logLock);
  logged.emplace_back(line);
}

TEST(TracionWithoutDisplay, KeepsSendingAndSaysOnceWhy) {
  ::setenv("DISPLAY", ":65001", 1);  // nothing listens there
  PlatformLogSink old = setPlatformLogSink(&keep);
  {
    ComSession com;
    ComPtr<IGraphBuilder> graph = newGraph();
    ASSERT_TRUE(graph);
    ComPtr<IBaseFilter> tracion = createFilter(CLSID_TracionFilter),
                        renderer = createFilter(CLSID_NullRenderer);
    ASSERT_TRUE(tracion && renderer);
    RecordCollector records;
    renderer.as<INullRendererControl>()->SetSyncToClock(FALSE);
    renderer.as<INullRendererControl>()->SetCallback(&collectSample, &records);
    graph->AddFilter(tracion.get(), u"Tracion");
    graph->AddFilter(renderer.get(), u"Renderer");
    ASSERT_EQ(connect(graph.get(), tracion.get(), 0, renderer.get(), 0), S_OK);
    ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
    // Three records: a keep-alive every 500 ms, with the zero position.
    ASSERT_GE(records.waitFor(0, [](const POINTER_INFO&) { return true; }), 0);
    ASSERT_GE(records.waitFor(1, [](const POINTER_INFO&) { return true; }), 0);
    ASSERT_GE(records.waitFor(2, [](const POINTER_INFO&) { return true; }), 0);
    for (size_t i = 0; i < 3; ++i) {
      const POINTER_INFO r = records.at(i).record;
      EXPECT_EQ(records.at(i).length, 71);
      EXPECT_EQ(r.valid, 1);
      EXPECT_EQ(r.cursorX, 0);
      EXPECT_EQ(r.cursorY, 0);
      EXPECT_EQ(r.screenWidth, 0);
      EXPECT_EQ(r.positionX, 0.0f);
      EXPECT_EQ(r.positionY, 0.0f);
      EXPECT_EQ(r.sizeX, 1.0f);
    }
    graph.as<IMediaControl>()->Stop();
  }
  setPlatformLogSink(old);
  std::lock_guard<std::mutex> g(logLock);
  int mentions = 0;
  for (const std::string& line : logged)
    if (line.find("Pointer Position") != std::string::npos) ++mentions;
  EXPECT_EQ(mentions, 1) << (logged.empty() ? std::string("nothing logged") : logged.front());
}

}  // namespace
