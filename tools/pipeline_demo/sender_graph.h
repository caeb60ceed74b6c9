// The sending station's graph, built through the graph control library as
// the sender engine builds its own:
//
//   "Test Pattern Camera" (capture pin) -> "FrameProbe(Capture)"
//     -> "Microsoft MPEG-4 Video Codec V2" -> "VideoServer(Main)"
//   "PointerSource" (a circling pointer) -> "PointerServer"
//
// The probe reads the frame number of every captured picture before it is
// encoded. Filters are created in initialize (the multicast servers open
// their sockets there, so it runs on a thread inside the sending station)
// and kept until shutdown.
#pragma once
#include <string>
#include <vector>

#include "gravet/rsGraphManager.h"
#include "gravet/rsOstrelFilter.h"
#include "tools/pipeline_demo/circling_pointer.h"
#include "tools/pipeline_demo/demo_endpoints.h"
#include "tools/pipeline_demo/frame_probe.h"

struct SenderStats {
  uint64_t captured = 0, cameraDropped = 0;  // the camera's own counters
  ProbeCounts probe;                         // pictures that reached the encoder
  std::vector<ProbeReading> readings;
  uint32_t framesSent = 0, packetsSent = 0;  // "VideoServer(Main)"
  uint32_t bitsPerSecond = 0;                // since the previous stats()
  uint64_t pointerRecords = 0;               // made by the pointer source
  uint32_t pointerFramesSent = 0;            // "PointerServer"
};

class DemoSenderGraph : public rsGraphManager {
  MX_OBJECT_DECLARE(DemoSenderGraph, rsGraphManager)

 public:
  explicit DemoSenderGraph(const DemoEndpoints& endpoints);

  // Finds the camera and the encoder and creates the other filters; false
  // (with problems() saying what is missing) when one cannot be had.
  bool initialize() override;
  bool shutdown() override;
  bool buildGraph() override;
  bool destroyGraph() override;
  // Runs the graph and opens the video server's rate window, so that the
  // first stats() already reports a rate.
  bool start() override;

  // Counters of the running (or just stopped) graph.
  SenderStats stats() const;
  const std::vector<std::string>& problems() const { return problems_; }

 protected:
  ~DemoSenderGraph() override = default;

 private:
  bool connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to, unsigned input);

  DemoEndpoints endpoints_;
  mxObjectPtr<rsFilter> camera_, encoder_;
  mxObjectPtr<rsFrameProbeFilter> probe_;
  mxObjectPtr<rsOstrelFilter> videoServer_, pointerServer_;
  mxObjectPtr<rsCirclingPointerFilter> pointer_;
  std::vector<std::string> problems_;
};
