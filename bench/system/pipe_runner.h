// A system made of two programs: a sender reading raw I420 pictures on its
// standard input and a receiver writing decoded I420 pictures on its
// standard output. Subclasses give the two command lines.
#pragma once
#include <string>
#include <vector>

#include "bench/system/child_process.h"
#include "bench/system/system_runner.h"

class PipeRunner : public SystemRunner {
 public:
  std::string unavailable() const override;
  bool startReceiver(const RunSetup& setup, FrameSink& sink) override;
  bool startSender(const RunSetup& setup, SenderInput* input) override;
  void stopSender() override;
  void stopReceiver() override;
  CpuUse cpu() const override;

 protected:
  virtual std::vector<std::string> senderCommand(const RunSetup& setup) const = 0;
  virtual std::vector<std::string> receiverCommand(const RunSetup& setup) const = 0;
  // Programs that must be on PATH, and a word on where they come from.
  virtual std::vector<std::string> programs() const = 0;
  virtual std::string installHint() const = 0;
  // Extra checks (codec elements present...); empty when all is well.
  virtual std::string missingParts() const { return {}; }

 private:
  ChildProcess sender_, receiver_;
  FrameSink* sink_ = nullptr;
};
