#include "bench/system/pipe_runner.h"

#include "bench/system/frame_sink.h"

namespace {

// Time the sender gets to flush and end after its input closed.
constexpr int kSenderEndMs = 5000;

std::string logFile(const RunSetup& setup, const char* side) {
  return setup.logPrefix.empty() ? std::string() : setup.logPrefix + "-" + side + ".log";
}

}  // namespace

std::string PipeRunner::unavailable() const {
  for (const auto& p : programs())
    if (!onPath(p)) return p + " is not installed (" + installHint() + ")";
  return missingParts();
}

bool PipeRunner::startReceiver(const RunSetup& setup, FrameSink& sink) {
  if (!receiver_.start(receiverCommand(setup), ChildProcess::Pipe::FromStdout, logFile(setup, "receiver")))
    return false;
  sink_ = &sink;
  sink.readPipe(receiver_.fd());
  return true;
}

bool PipeRunner::startSender(const RunSetup& setup, SenderInput* input) {
  if (!sender_.start(senderCommand(setup), ChildProcess::Pipe::ToStdin, logFile(setup, "sender")))
    return false;
  input->pictureFd = sender_.fd();
  return true;
}

void PipeRunner::stopSender() {
  sender_.finish(kSenderEndMs);
}

void PipeRunner::stopReceiver() {
  // The receiving programs wait for more packets for ever: end them.
  receiver_.kill();
  if (sink_) sink_->join();
  sink_ = nullptr;
  receiver_.closePipe();
}

CpuUse PipeRunner::cpu() const {
  return {sender_.cpuSeconds(), receiver_.cpuSeconds(), sender_.systemCpuSeconds()};
}
