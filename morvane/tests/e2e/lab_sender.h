// A sending station for the receiver's end-to-end tests, built through the
// graph control library in the shapes a sender uses:
//
//   camera ("Test Pattern Camera" or "Built-in DV Camera")
//     [-> "DV Video Decoder"] -> "FormatTransform(Main)"
//     -> "Microsoft MPEG-4 Video Codec V2" (or nothing) -> "VideoServer(Main)"
//   DV camera without encoder: camera -> "VideoServer(Main)" (dvsd as it is)
//   image compound: "FormatTransform(Main)" -> "VideoInfinitePinTee"
//     -> "FormatTransform(Sub)" -> [encoder] -> "VideoServer(Main)"
//     -> "ImageExtract" -> [encoder] -> "VideoServer(Sub)"
//   "PointerSource" (a circling pointer) -> "PointerInfinitePinTee"
//     -> "PointerServer" (and "ImageExtract" in image compound)
//   "Test Tone Microphone" [-> "MPEG Layer-3"] -> "AudioServer"
//
// and its status record, filled from the servers as a sender fills it.
// Create, initialise and run it on a thread inside the sending station.
#pragma once
#include <string>
#include <vector>

#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsImageExtractFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "morvane/tests/status_bytes.h"
#include "tools/lab_probes/circling_pointer.h"
#include "tools/lab_probes/frame_probe.h"

struct LabSenderConfig {
  int focusDisplay = 0;             // 0 None, 1 Loupex, 2 ImageCompound
  bool dvCamera = false;            // the DV camera instead of the test pattern
  bool encoder = true;              // MPEG-4 V2, or the picture as it is
  bool audio = false;               // test tone, MP3
  int videoFormat = 2;              // main format code (2 CIF, 1 QCIF, 8 as captured)
  int baseFormat = 0;               // image compound: the whole picture (SQCIF)
  int additionalFormat = 1;         // image compound: the cut-out (QCIF)
  int zoomFormat = 2;               // the receivers' zoom output (CIF)
  bool probe = false;               // a frame probe right after the test pattern camera
  int extraPointers = 0;            // circling pointers sent to ports 8200, 8201, 8202 (0..3),
                                    // as receivers send theirs (pixels of a CIF window)
  std::string group = "234.5.6.7";  // of all four streams (fixed at creation)
};

class LabSender : public rsGraphManager {
  MX_OBJECT_DECLARE(LabSender, rsGraphManager)

 public:
  // group: the multicast group of all four streams.
  explicit LabSender(const std::string& group = "234.5.6.7");
  bool initialize() override;
  bool shutdown() override;
  bool buildGraph() override;
  bool destroyGraph() override;

  // Stops, dismantles, takes the configuration, builds and starts again.
  bool reconfigure(const LabSenderConfig& config);
  const LabSenderConfig& config() const { return config_; }
  // The status record as a sender fills it from its graph.
  TestStatus status() const;
  const std::vector<std::string>& problems() const { return problems_; }
  // The frame numbers the probe read as the camera delivered them.
  std::vector<ProbeReading> captured() const { return probe_->getReadings(); }

 protected:
  ~LabSender() override = default;

 private:
  bool connect(rsFilter* from, unsigned output, rsFilter* to, unsigned input);
  void add(std::initializer_list<rsFilter*> filters);

  std::string group_;
  LabSenderConfig config_;
  mxObjectPtr<rsFilter> camera_, dvCamera_, dvDecoder_, encoder_, encoder2_, mp3_, microphone_;
  mxObjectPtr<rsFormatTransFilter> transMain_, transSub_;
  mxObjectPtr<rsImageExtractFilter> extract_;
  mxObjectPtr<rsInfPinTeeFilter> videoTee_, pointerTee_;
  mxObjectPtr<rsOstrelFilter> videoMain_, videoSub_, audio_, pointer_;
  mxObjectPtr<rsCirclingPointerFilter> source_;
  mxObjectPtr<rsFrameProbeFilter> probe_;
  mxObjectPtr<rsCirclingPointerFilter> extraSources_[3];
  mxObjectPtr<rsOstrelFilter> extraServers_[3];
  std::vector<std::string> problems_;
};
