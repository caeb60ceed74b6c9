// The receiver's status handling down to its real graph: the input is a run
// of status messages, each a 16-bit little-endian length and that many
// bytes (random, truncated or whole records). Each message goes through the
// status listener; each change it reports is handled as the engine handles
// it (graph stopped and dismantled, the changed fields applied to the real
// filters, the graph built again while the sender runs), without the
// engine's half-second settling pauses and without running the graph.
// After every build the graph holds the audio branch and the topology of
// the focus display applied (none for a code outside the three).
//
// The graph manager's start-up probe runs its graph once: in the network
// lab only.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "gravet/rsGraphStatus.h"
#include "morvane/MorvaneGraphManager.h"
#include "morvane/rsGraphStatusReceiver.h"
#include "pellum/mxNotify.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/graph_registry.h"

namespace {

constexpr uint32_t kAllFields = (1u << rsGraphStatus::NumFields) - 1;

bool holds(const char* name) {
  bool found = false;
  for (RegisteredGraph& g : registeredGraphs()) {
    ComPtr<IGraphBuilder> graph;
    g.graph->QueryInterface(IID_IGraphBuilder, graph.putVoid());
    g.graph->Release();
    ComPtr<IBaseFilter> filter;
    if (graph && SUCCEEDED(graph->FindFilterByName(utf8ToUtf16(name).c_str(), filter.put())) && filter)
      found = true;
  }
  return found;
}

struct Station {
  mxObjectPtr<MorvaneGraphManager> graph;
  mxObjectPtr<rsGraphStatusReceiver> listener;
  bool running = false;
  int builds = 0;
};

// What the engine does with a change (MorvaneEngine.cpp), minus the pauses
// and the run.
void onChange(int mask, void* data) {
  auto& st = *static_cast<Station*>(data);
  MorvaneGraphManager& m = *st.graph;
  m.stop();
  m.destroyGraph();
  REQUIRE(!holds("VideoRender"));
  const rsGraphStatus& s = st.listener->getStatus();
  const uint32_t apply = (uint32_t(mask) & rsGraphStatus::FirstRecordBit) ? kAllFields : uint32_t(mask);
  if (apply & (1u << rsGraphStatus::Running)) st.running = s.running != 0;
  m.applyStatus(s, apply);
  if (st.running) {
    m.buildGraph();
    ++st.builds;
    const int focus = m.getFocusDisplay();
    const bool video = focus >= 0 && focus <= 2;  // another code has no video topology
    REQUIRE(holds("AudioClient"));
    REQUIRE(holds("VideoClient(Main)") == video);
    REQUIRE(holds("VideoRender") == video);
    REQUIRE(holds("Blendor") == video);
    REQUIRE(holds("Loupex") == (focus == MorvaneGraphManager::Loupex));
    REQUIRE(holds("ImageCompound") == (focus == MorvaneGraphManager::ImageCompound));
  }
  m.takeProblems();
}

Station& station() {
  static Station* st = [] {
    mxNotify::setOutput(static_cast<mxNotify::OutputEnum>(99));  // no output
    REQUIRE(SUCCEEDED(CoInitialize(nullptr)));
    auto* s = new Station;
    s->graph = new MorvaneGraphManager(0);
    REQUIRE(s->graph->initialize());
    // Taken down before the leak check at exit: the clients' receive
    // threads end and let go of their buffers.
    std::atexit([] {
      Station& st = station();
      st.listener = nullptr;
      st.graph->stop();
      st.graph->destroyGraph();
      st.graph->shutdown();
      st.graph = nullptr;
      CoUninitialize();
    });
    return s;
  }();
  return *st;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Station& st = station();
  // A new listener per input: its first record is a first record again,
  // and the sender counts as stopped until a record says otherwise.
  st.listener = new rsGraphStatusReceiver(onChange, &st);
  st.running = false;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t length = std::min<size_t>(size_t(data[at]) | size_t(data[at + 1]) << 8, size - at - 2);
    st.listener->receiveStatus(data + at + 2, unsigned(length));
    at += 2 + length;
  }
  st.listener = nullptr;
  return 0;
}
