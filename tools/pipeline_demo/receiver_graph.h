// The receiving station's graph, built through the graph control library
// in the shape the receiver engine uses for the non-linear zoom, with the
// picture also shown once without a focus display:
//
//   "VideoClient(Main)" -> "Mpeg4 Decoder DMO" -> "FrameProbe(Decoded)"
//     -> "VideoInfinitePinTee" -> "VideoRender(Plain)"
//                              -> "Loupex" -> "Blendor" -> "VideoRender"
//   "PointerFocusClient" -> "Loupex" (pointer input: the zoom follows it)
//   "PointerP1Client"    -> "Blendor" (pointer input: drawn in red)
//
// Both pointer clients listen to the sender's pointer group. Both renderers
// run off-screen (no owner window) and keep their last picture for a PNG
// snapshot. Filters are created in initialize (the multicast clients open
// their sockets there, so it runs on a thread inside the receiving station)
// and kept until shutdown.
#pragma once
#include <string>
#include <vector>

#include "gravet/rsBlendorFilter.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsLoupexFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsVideoRenderFilter.h"
#include "tools/pipeline_demo/demo_endpoints.h"
#include "tools/pipeline_demo/frame_probe.h"

// The counters of one multicast client.
struct ClientStats {
  uint32_t framesReceived = 0, packetsReceived = 0;
  uint32_t droppedFrames = 0, droppedPackets = 0, discardedSamples = 0;
  uint32_t refusedMalformed = 0, refusedMismatched = 0, fillers = 0;
};

struct ReceiverStats {
  ClientStats video, focusPointer, drawnPointer;
  ProbeCounts probe;  // pictures that came out of the decoder
  std::vector<ProbeReading> readings;
  uint64_t renderedPlain = 0, renderedFocus = 0;
};

// A picture a renderer saved.
struct SavedPicture {
  std::string path;
  bool saved = false;
  long width = 0, height = 0;
  bool frameRead = false;  // the test pattern's frame number could be read
  uint32_t frame = 0;
  std::string error;
};

class DemoReceiverGraph : public rsGraphManager {
  MX_OBJECT_DECLARE(DemoReceiverGraph, rsGraphManager)

 public:
  // The zoom's output: index 4 of its format table (320x240), an ellipse
  // of 160x120 pixels kept at full resolution around the pointer.
  static constexpr int kZoomFormat = 4;
  static constexpr int kZoomMask = 1;
  static constexpr unsigned kZoomMaskWidth = 160, kZoomMaskHeight = 120;
  static constexpr int kPointerColour = 4;  // red

  explicit DemoReceiverGraph(const DemoEndpoints& endpoints);

  bool initialize() override;
  bool shutdown() override;
  bool buildGraph() override;
  bool destroyGraph() override;

  ReceiverStats stats() const;
  // Saves the last picture of "VideoRender(Plain)" or "VideoRender" as PNG.
  SavedPicture savePlainPicture(const std::string& path) const { return save("VideoRender(Plain)", path); }
  SavedPicture saveFocusPicture(const std::string& path) const { return save("VideoRender", path); }
  const std::vector<std::string>& problems() const { return problems_; }

 protected:
  ~DemoReceiverGraph() override = default;

 private:
  bool connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to, unsigned input);
  ClientStats clientStats(const char* name) const;
  SavedPicture save(const char* renderer, const std::string& path) const;

  DemoEndpoints endpoints_;
  mxObjectPtr<rsIngrelFilter> videoClient_, focusClient_, drawnClient_;
  mxObjectPtr<rsFilter> decoder_;
  mxObjectPtr<rsFrameProbeFilter> probe_;
  mxObjectPtr<rsInfPinTeeFilter> tee_;
  mxObjectPtr<rsVideoRenderFilter> plainRender_, render_;
  mxObjectPtr<rsLoupexFilter> loupex_;
  mxObjectPtr<rsBlendorFilter> blendor_;
  std::vector<std::string> problems_;
};
