// Our own system: talvex-send in the sending station with the built-in
// test-pattern camera (MPEG-4 V2, no sound, focus display None), and
// morvane-receive in the receiving station following its status. The
// camera notes each frame's capture time (POINTSHARE_CAPTURE_LOG), the
// receiver writes every rendered picture to a pipe (--pictures-out), and
// the benchmark reads the frame numbers from those pictures like it does
// for the other systems.
#pragma once
#include "bench/system/child_process.h"
#include "bench/system/line_reader.h"
#include "bench/system/system_runner.h"

class OursRunner final : public SystemRunner {
 public:
  std::string name() const override { return "ours"; }
  std::string description() const override;
  std::string jobDifferences() const override;
  std::string unavailable() const override;
  bool startReceiver(const RunSetup& setup, FrameSink& sink) override;
  bool startSender(const RunSetup& setup, SenderInput* input) override;
  void stopSender() override;
  void stopReceiver() override;
  CpuUse cpu() const override {
    return {sender_.cpuSeconds(), receiver_.cpuSeconds(), sender_.systemCpuSeconds()};
  }
  int transmitCountUsed(const RunSetup& setup) const override { return setup.transmitCount; }
  std::vector<int64_t> captureTimes() const override;
  ReceiverDrops receiverDrops() const override;

  // The focus display of a run with setup.focusControl: None and
  // ImageCompound show the run's size, Loupex this one.
  static constexpr int kLoupexWidth = 320, kLoupexHeight = 240;
  // Only in a run with setup.focusControl: gives the sender one command
  // line ("mode loupex") and waits up to timeoutMs for its answer, which is
  // returned with the moment it came (CLOCK_MONOTONIC ns); false when no
  // answer came.
  bool command(const std::string& line, LineReader::Line* answer, int timeoutMs);

 private:
  ChildProcess sender_, receiver_;
  LineReader senderLines_;
  FrameSink* sink_ = nullptr;
  std::string captureLog_;
  std::string receiverLog_;
  size_t frames_ = 0;
};
