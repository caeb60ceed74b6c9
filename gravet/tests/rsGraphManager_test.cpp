// The graph manager over real filters: run state, building, connecting,
// disconnecting, dismantling and rebuilding, the video window, the graph
// registry and the error box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "gravet/tests/sender_graph.h"
#include "gravet/tests/wrapper_checks.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/graph_registry.h"
#include "platform/win/message_box.h"

namespace {

// A registry with the platform filters, the capture sources and the format
// transform.
struct Modules {
  Modules() {
    EXPECT_TRUE(registry.add(PLATFORM_FILTERS_MODULE));
    EXPECT_TRUE(registry.add(PLATFORM_CAPTURE_MODULE));
    EXPECT_TRUE(registry.add(OUTSIDE_FILTERS_MODULE));
  }
  PrivateRegistry registry;
};

// Collects the boxes shown while it lives.
struct BoxCatcher {
  BoxCatcher() {
    platform::win::setMessageBoxHook(
        [this](const std::string&, const std::string& text, platform::win::MessageBoxType type) {
          boxes.push_back(text);
          types.push_back(type);
          return platform::win::MessageBoxResult::Ok;
        });
  }
  ~BoxCatcher() { platform::win::setMessageBoxHook({}); }
  std::vector<std::string> boxes;
  std::vector<platform::win::MessageBoxType> types;
};


std::string describe(TestGraphManager& m) {
  return describeGraphText(m.getGraphBuilder());
}

}  // namespace

TEST(GravetGraphManager, RunStateFollowsStartAndStop) {
  Modules modules;
  ComSession com;
  mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
  EXPECT_FALSE(m->start());  // no graph yet
  EXPECT_FALSE(m->stop());
  ASSERT_TRUE(m->initialize());
  EXPECT_TRUE(m->isDerivedFrom(rsGraphManager::getStaticClassType()));
  EXPECT_FALSE(m->isStarted());
  EXPECT_FALSE(m->stop());  // stop before any start
  // A graph without renderer answers the window defaults; empty, it runs and stops.
  m->setVideoWindowSize(320, 240);
  m->setVideoWindowPosition(5, 5);
  m->setVideoWindowVisible(true);
  unsigned width = 7, height = 7;
  int left = 7, top = 7;
  m->getVideoWindowSize(width, height);
  m->getVideoWindowPosition(left, top);
  expectAnswers("defaults", {width, height, left, top, m->getVideoWindowVisible(), m->getVideoWindowOwner()},
                {1, 1, 0, 0, 0, 0});
  EXPECT_TRUE(m->start());
  EXPECT_TRUE(m->stop());
  ASSERT_TRUE(m->buildGraph());
  EXPECT_EQ(m->getNumFilters(), 4u);

  ASSERT_TRUE(m->start());
  EXPECT_TRUE(m->isStarted());
  EXPECT_FALSE(m->start());  // a second start changes nothing
  EXPECT_TRUE(m->isStarted());
  EXPECT_TRUE(pollUntil([&] { return m->renderedFrames() >= 3; })) << "no pictures reached the renderer";

  // The renderer's video window through the graph.
  m->setVideoWindowPosition(12, 34);
  m->setVideoWindowSize(320, 240);
  m->getVideoWindowPosition(left, top);
  m->getVideoWindowSize(width, height);
  m->setVideoWindowStyle(0x40000000L);
  m->setVideoWindowAutoShow(false);
  const bool autoShowOff = m->getVideoWindowAutoShow();
  m->setVideoWindowAutoShow(true);
  m->setVideoWindowVisible(false);
  expectAnswers("window",
                {left, top, width, height, m->getVideoWindowStyle(), autoShowOff, m->getVideoWindowAutoShow(),
                 m->getVideoWindowVisible(), m->getVideoWindowOwner()},
                {12, 34, 320, 240, 0x40000000L, 0, 1, 0, 0});

  ASSERT_TRUE(m->stop());
  EXPECT_FALSE(m->isStarted());
  EXPECT_FALSE(m->stop());
  EXPECT_TRUE(m->destroyGraph());
  EXPECT_EQ(m->getNumFilters(), 0u);
  EXPECT_TRUE(m->shutdown());
  EXPECT_FALSE(m->start());  // the graph is gone
  unsigned w = 0, h = 0;
  EXPECT_TRUE(m->shutdown());  // twice is harmless
  m->getVideoWindowSize(w, h);
  expectAnswers("shut down", {m->getNumFilters(), w, h}, {0, 1, 1});
}

TEST(GravetGraphManager, RebuildsManyTimesWithoutLeavingFiltersBehind) {
  Modules modules;
  ComSession com;
  {
    mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
    ASSERT_TRUE(m->initialize());
    for (int round = 0; round < 25; ++round) {
      SCOPED_TRACE(round);
      ASSERT_TRUE(m->buildGraph());
      ASSERT_EQ(m->getNumFilters(), 4u);
      ASSERT_TRUE(m->start());
      // Each round's graph carries pictures end to end.
      ASSERT_TRUE(pollUntil([&] { return m->renderedFrames() >= 1; }));
      ASSERT_TRUE(m->stop());
      ASSERT_TRUE(m->destroyGraph());
      ASSERT_EQ(m->getNumFilters(), 0u);
      // The wrappers keep their filters, free to join the next graph.
      EXPECT_TRUE(m->tee->isValid());
      EXPECT_EQ(m->tee->getNumOutputPins(), 1u);  // the tee is back to its one free output
    }
    EXPECT_TRUE(m->shutdown());
  }
  // With the manager and its wrappers gone no filter is left alive: the
  // modules that served them can be unloaded.
  CoFreeUnusedLibraries();
  EXPECT_FALSE(CoIsModuleLoaded(PLATFORM_FILTERS_MODULE));
  EXPECT_FALSE(CoIsModuleLoaded(PLATFORM_CAPTURE_MODULE));
  EXPECT_FALSE(CoIsModuleLoaded(OUTSIDE_FILTERS_MODULE));
  // The same for a manager let go with its graph built, without shutdown.
  {
    mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
    ASSERT_TRUE(m->initialize());
    ASSERT_TRUE(m->buildGraph());
  }
  CoFreeUnusedLibraries();
  EXPECT_FALSE(CoIsModuleLoaded(PLATFORM_FILTERS_MODULE));
  EXPECT_FALSE(CoIsModuleLoaded(OUTSIDE_FILTERS_MODULE));
}

TEST(GravetGraphManager, ConnectingBeyondThePinsLeavesTheGraphUnchanged) {
  Modules modules;
  ComSession com;
  mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
  ASSERT_TRUE(m->initialize());
  m->addFilter(m->camera);
  m->addFilter(m->transform);
  m->addFilter(m->renderer);
  m->addFilter(mxObjectPtr<rsFilter>());  // nothing for an empty pointer
  EXPECT_EQ(m->getNumFilters(), 3u);
  ASSERT_TRUE(m->connectFilter(m->camera, 0, m->transform, 0));
  const std::string before = describe(*m);

  EXPECT_FALSE(m->connectFilter(m->transform, 1, m->renderer, 0));  // one output only
  EXPECT_FALSE(m->connectFilter(m->transform, 0, m->renderer, 1));  // one input only
  EXPECT_FALSE(m->connectFilter(m->camera, 7, m->renderer, 0));
  EXPECT_FALSE(m->connectFilter(m->renderer, 0, m->transform, 0));  // a renderer has no output
  EXPECT_FALSE(m->connectFilter(m->camera, 0, m->renderer, 0));     // capture pin already connected
  EXPECT_FALSE(m->connectFilter(mxObjectPtr<rsFilter>(), 0, m->renderer, 0));
  EXPECT_EQ(describe(*m), before);
  EXPECT_EQ(m->getNumFilters(), 3u);

  // The camera's preview pin (output 1) to the renderer, then break the
  // connections again and read back which pins they joined.
  ASSERT_TRUE(m->connectFilter(m->camera, 1, m->renderer, 0));
  unsigned out = 9, in = 9, out2 = 9, in2 = 9;
  EXPECT_TRUE(m->disconnectFilter(m->camera, out, m->renderer, in));
  // Nothing left between them: 0 and 0.
  EXPECT_TRUE(m->disconnectFilter(m->camera, out2, m->renderer, in2));
  expectAnswers("disconnected pins", {out, in, out2, in2}, {1, 0, 0, 0});
  // The camera to transform connection is untouched.
  EXPECT_EQ(describe(*m), before);
  // An empty wrapper's pins cannot be listed.
  mxObjectPtr<rsFilter> empty = new rsFilter("Empty");
  EXPECT_FALSE(m->disconnectFilter(empty, out, m->renderer, in));
  EXPECT_FALSE(m->connectFilter(empty, 0, m->renderer, 0));
  m->shutdown();
}

TEST(GravetGraphManager, RemovingFiltersTakesTheirConnectionsAlong) {
  Modules modules;
  ComSession com;
  BoxCatcher catcher;
  mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
  ASSERT_TRUE(m->initialize());
  ASSERT_TRUE(m->buildGraph());
  m->removeFilter(m->transform);
  EXPECT_EQ(m->getNumFilters(), 3u);
  EXPECT_FALSE(m->findFilter("FormatTransform(Main)"));
  // Neither neighbour keeps a connection to the removed filter.
  const std::string text = describe(*m);
  EXPECT_EQ(text.find("FormatTransform"), std::string::npos) << text;
  // It can join again.
  m->addFilter(m->transform);
  EXPECT_TRUE(m->connectFilter(m->camera, 0, m->transform, 0));
  EXPECT_TRUE(m->connectFilter(m->transform, 0, m->tee, 0));
  ASSERT_TRUE(m->start());
  EXPECT_TRUE(pollUntil([&] { return m->renderedFrames() >= 1; }));
  // A running graph keeps its filters, and says so.
  m->removeAllFilters();
  EXPECT_EQ(catcher.boxes, std::vector<std::string>{"Cannot Delete All Filters."});
  EXPECT_EQ(catcher.types, std::vector<platform::win::MessageBoxType>{platform::win::MessageBoxType::Warning});
  EXPECT_EQ(m->getNumFilters(), 4u);
  ASSERT_TRUE(m->stop());
  m->removeAllFilters();
  EXPECT_EQ(catcher.boxes.size(), 1u);
  EXPECT_EQ(m->getNumFilters(), 0u);
  m->shutdown();
}

TEST(GravetGraphManager, WithoutTheComponentModelInitializeFailsAndErrMsgStillReports) {
  mxObjectPtr<TestGraphManager> m = new TestGraphManager();
  EXPECT_FALSE(m->initialize());
  EXPECT_EQ(m->getNumFilters(), 0u);
  EXPECT_FALSE(m->start());
  EXPECT_TRUE(m->shutdown());
  {
    BoxCatcher catcher;
    EXPECT_FALSE(m->ErrMsg("Cannot connect %s (%d).", "VideoRender", 3));
    ASSERT_EQ(catcher.boxes.size(), 1u);
    EXPECT_EQ(catcher.boxes[0], "Cannot connect VideoRender (3).");
    // A message far beyond any box is cut, never written past its buffer.
    const std::string huge(10000, 'x');
    EXPECT_FALSE(m->ErrMsg("%s", huge.c_str()));
    ASSERT_EQ(catcher.boxes.size(), 2u);
    EXPECT_GT(catcher.boxes[1].size(), 500u);
    EXPECT_LT(catcher.boxes[1].size(), huge.size());
  }
  // Without a GUI the message goes to standard error and nothing blocks.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m->ErrMsg("Cannot Delete All Filters."));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Cannot Delete All Filters."), std::string::npos) << err;
}

TEST(GravetGraphManager, TheGraphRegistryListsARunningGraph) {
  Modules modules;
  ComSession com;
  mxObjectPtr<SenderShapedGraph> m = new SenderShapedGraph();
  ASSERT_TRUE(m->initialize());
  ASSERT_TRUE(m->buildGraph());
  ASSERT_TRUE(m->start());
  unsigned long cookie = 0;
  ASSERT_EQ(m->addToRot(m->getGraphBuilder(), &cookie), S_OK);
  EXPECT_NE(cookie, 0ul);

  char expected[64];
  std::snprintf(expected, sizeof expected, "FilterGraph %08" PRIxPTR " pid %08x",
                reinterpret_cast<uintptr_t>(static_cast<IUnknown*>(m->getGraphBuilder())),
                unsigned(getpid()));
  bool found = false;
  for (RegisteredGraph& g : registeredGraphs()) {
    if (g.name == expected) {
      found = true;
      std::string text = describeGraphText(ComPtr<IUnknown>::adopt(g.graph).as<IFilterGraph>().get());
      EXPECT_NE(text.find("VideoRender"), std::string::npos) << text;
      EXPECT_NE(text.find("FormatTransform(Main)"), std::string::npos) << text;
    } else {
      g.graph->Release();
    }
  }
  EXPECT_TRUE(found) << expected;
  EXPECT_NE(describeRegisteredGraphs(false).find(expected), std::string::npos);

  EXPECT_EQ(m->removeFromRot(cookie), S_OK);
  for (RegisteredGraph& g : registeredGraphs()) {
    EXPECT_NE(g.name, expected);
    g.graph->Release();
  }
  EXPECT_NE(m->addToRot(nullptr, &cookie), S_OK);
  ASSERT_TRUE(m->stop());
  m->destroyGraph();
  m->shutdown();
}
