// What the engine's tests share: a class registry of the test's own with
// the modules the sender creates (and, for the topologies, the two cameras
// that only tests list: an analog one without a preview pin and a DV one
// with a preview pin), message boxes caught instead of shown, and the
// sender's graph read back from the process registry of graphs, where graph
// viewers find it, not from the engine's own bookkeeping.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "morvane/tests/graph_readback.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/codecs/codecs.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/media/graph_registry.h"
#include "platform/media/guids.h"
#include "platform/win/message_box.h"
#include "talvex/Talvex.h"

namespace senderlab {

struct Modules {
  bool audio = true;        // sound devices, the audio renderer and the MP3 encoder
  bool codecs = true;       // MPEG-4 V2 and DV codecs, the built-in DV camera
  bool testCameras = true;  // the two cameras listed only in tests
};

class SenderRegistry {
 public:
  explicit SenderRegistry(Modules m = {}) {
    const char* always[] = {PLATFORM_FILTERS_MODULE, PLATFORM_CAPTURE_MODULE, OUTSIDE_FILTERS_MODULE,
                            OSTREL_MODULE,           INGREL_MODULE,           TRACION_MODULE};
    for (const char* path : always) {
      EXPECT_TRUE(registry_.add(path)) << path;
    }
    if (m.audio) {
      EXPECT_TRUE(registry_.add(PLATFORM_AUDIO_MODULE));
    }
    if (m.codecs) {
      EXPECT_TRUE(registry_.add(PLATFORM_CODECS_MODULE));
    }
    if (m.testCameras) {
      ClassRegistry r(registry_.path());
      EXPECT_TRUE(r.addMember({CLSID_VideoInputDeviceCategory, CLSID_TestPatternCaptureOnly,
                               kTestPatternCaptureOnlyName, MERIT_DO_NOT_USE, ""}));
      if (m.codecs) {
        EXPECT_TRUE(r.addMember({CLSID_VideoInputDeviceCategory, CLSID_DVCameraWithPreview,
                                 kDVCameraWithPreviewName, MERIT_DO_NOT_USE, ""}));
      }
    }
  }
  const std::string& path() const { return registry_.path(); }

 private:
  PrivateRegistry registry_;
};

// Collects the texts of the message boxes shown while it lives.
class BoxCatcher {
 public:
  BoxCatcher() {
    platform::win::setMessageBoxHook(
        [this](const std::string&, const std::string& text, platform::win::MessageBoxType) {
          boxes.push_back(text);
          return platform::win::MessageBoxResult::Ok;
        });
  }
  ~BoxCatcher() { platform::win::setMessageBoxHook({}); }
  std::vector<std::string> boxes;
};

// The sender's graph as the graph registry shows it, with numbered pins.
using GraphView = GraphContents;
inline GraphView readSenderGraph() {
  return readRegisteredGraph("FilterGraph ", true);
}

// The sender's graph in the process registry of graphs (empty without one).
inline ComPtr<IFilterGraph> senderGraph() {
  ComPtr<IFilterGraph> found;
  for (RegisteredGraph& g : registeredGraphs()) {
    if (!found && g.name.rfind("FilterGraph ", 0) == 0)
      g.graph->QueryInterface(IID_IFilterGraph, reinterpret_cast<void**>(found.put()));
    g.graph->Release();
  }
  return found;
}

// An interface of the filter the sender's graph holds under a name.
template <class I>
ComPtr<I> senderFilter(const char* name) {
  ComPtr<IFilterGraph> graph = senderGraph();
  ComPtr<IBaseFilter> filter;
  ComPtr<I> wanted;
  if (graph && SUCCEEDED(graph->FindFilterByName(utf8ToUtf16(name).c_str(), filter.put())) && filter)
    filter->QueryInterface(InterfaceId<I>::value(), wanted.putVoid());
  return wanted;
}

// Selects the test-pattern camera (a machine's own cameras come first in
// the list): its pictures carry their frame numbers.
inline void selectTestPattern() {
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    if (std::string(TalvexGetVideoCaptureFriendlyName(int32_t(i))) == kTestPatternCameraName)
      TalvexSetVideoCapture(int32_t(i));
}

inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

}  // namespace senderlab
