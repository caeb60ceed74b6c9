#include "morvane/receive/receive_snapshot.h"

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "platform/filters/video_renderer.h"
#include "platform/media/graph_registry.h"
#include "platform/media/results.h"

ComPtr<IVideoFrameSnapshot> findRenderer() {
  ComPtr<IVideoFrameSnapshot> found;
  for (RegisteredGraph& g : registeredGraphs()) {
    ComPtr<IGraphBuilder> graph;
    g.graph->QueryInterface(IID_IGraphBuilder, graph.putVoid());
    g.graph->Release();
    ComPtr<IBaseFilter> filter;
    if (!found && graph &&
        SUCCEEDED(graph->FindFilterByName(utf8ToUtf16("VideoRender").c_str(), filter.put())) && filter)
      filter->QueryInterface(IID_IVideoFrameSnapshot, found.putVoid());
  }
  return found;
}

Snapshot saveRenderedPicture(const std::string& path) {
  Snapshot s;
  ComPtr<IVideoFrameSnapshot> renderer = findRenderer();
  if (!renderer) {
    s.error = "no \"VideoRender\" in the graph (no sender running?)";
    return s;
  }
  LONG w = 0, h = 0;
  if (FAILED(renderer->GetFrameCount(&s.rendered)) || s.rendered == 0 ||
      FAILED(renderer->GetFrameSize(&w, &h)) || w <= 0 || h <= 0) {
    s.error = "no picture rendered yet";
    return s;
  }
  s.width = w;
  s.height = h;
  std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
  if (SUCCEEDED(renderer->GetFrame(rgb.data(), ULONG(rgb.size()))))
    s.frameRead = test_pattern::readFrameNumberRgb(rgb.data(), int(w), int(h), &s.frame);
  const HRESULT saved = renderer->SaveFramePng(path.c_str());
  s.saved = SUCCEEDED(saved);
  // The renderer lets its picture go when its graph stops for a rebuild.
  if (saved == VFW_E_NOT_CONNECTED)
    s.error = "no picture rendered yet";
  else if (!s.saved)
    s.error = "cannot write " + path;
  return s;
}
