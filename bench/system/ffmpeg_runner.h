// The ffmpeg program as a yardstick: one ffmpeg codes the raw pictures with
// msmpeg4v2 into a NUT stream (its choice of container that carries this
// codec and reads back from a live stream) sent to UDP multicast, a second
// ffmpeg receives, decodes and writes raw I420 pictures. Either with the
// program's defaults, or with every flag it has for a low delay.
#pragma once
#include "bench/system/pipe_runner.h"

class FfmpegRunner final : public PipeRunner {
 public:
  enum class Flags { Defaults, LowLatency };
  explicit FfmpegRunner(Flags flags) : flags_(flags) {}

  std::string name() const override;
  std::string description() const override;

 protected:
  std::vector<std::string> senderCommand(const RunSetup& setup) const override;
  std::vector<std::string> receiverCommand(const RunSetup& setup) const override;
  std::vector<std::string> programs() const override { return {"ffmpeg"}; }
  std::string installHint() const override { return "Debian package ffmpeg"; }

 private:
  Flags flags_;
};
