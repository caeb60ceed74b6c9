// GStreamer as a yardstick: gst-launch-1.0 codes the raw pictures with
// avenc_msmpeg4v2, carries them over RTP (rtpgstpay, caps in the stream
// every second) on udpsink to a multicast group; a second gst-launch-1.0
// takes them from udpsrc through rtpgstdepay and avdec_msmpeg4v2 to raw
// I420 pictures on fdsink. Neither side waits for a clock (sync=false) and
// no jitter buffer sits in the way, which is its fastest form.
#pragma once
#include "bench/system/pipe_runner.h"

class GstreamerRunner final : public PipeRunner {
 public:
  std::string name() const override { return "gstreamer"; }
  std::string description() const override;

 protected:
  std::vector<std::string> senderCommand(const RunSetup& setup) const override;
  std::vector<std::string> receiverCommand(const RunSetup& setup) const override;
  std::vector<std::string> programs() const override { return {"gst-launch-1.0", "gst-inspect-1.0"}; }
  std::string installHint() const override { return "Debian package gstreamer1.0-tools"; }
  std::string missingParts() const override;
};
