#include "bench/system/ours_runner.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "bench/system/frame_sink.h"
#include "bench/system/monitor_log.h"

namespace {

// Time the sender gets to send its last status and end after SIGTERM.
constexpr int kSenderEndMs = 5000;

std::string logFile(const RunSetup& setup, const char* what) {
  return setup.logPrefix + "-" + what;
}

std::string formatName(const RunSetup& s) {
  if (s.width == 352 && s.height == 288) return "CIF";
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

}  // namespace

std::string OursRunner::description() const {
  return "talvex-send (test-pattern camera, MPEG-4 V2 at its 1.5 Mbit/s and 30-frame key "
         "interval, no sound, focus display None) into morvane-receive --pictures-out";
}

std::string OursRunner::jobDifferences() const {
  return "the sender draws its own test pictures (RGB24 at the camera's 640x480, scaled to the run's size by "
         "its format transform; counted in its CPU; the peers' pictures are drawn by the bench at the run's "
         "size) and shows them in its preview, and converts RGB to YUV for the encoder; the receiver "
         "converts the decoded YUV to RGB, runs it through the pointer mixer and renderer, and hands out RGB; "
         "each frame travels as a 1024-byte frame header datagram plus 1024-byte fragments (the last one "
         "padded), which the Mbit/s column includes";
}

std::string OursRunner::unavailable() const {
  for (const char* p : {SYSTEM_BENCH_TALVEX_SEND, SYSTEM_BENCH_MORVANE_RECEIVE})
    if (access(p, X_OK) != 0) return std::string(p) + " is not built";
  return {};
}

bool OursRunner::startReceiver(const RunSetup& setup, FrameSink& sink) {
  receiver_.setPipeDescriptor(3);
  if (!receiver_.start(
          {SYSTEM_BENCH_MORVANE_RECEIVE, "--group", setup.group, "--pictures-out", "/dev/fd/3"},
          ChildProcess::Pipe::FromStdout, logFile(setup, "receiver.log")))
    return false;
  receiverLog_ = logFile(setup, "receiver.log");
  sink_ = &sink;
  sink.readPipe(receiver_.fd(), FrameSink::Layout::SizedRgb);
  return true;
}

bool OursRunner::startSender(const RunSetup& setup, SenderInput* input) {
  const std::string ini = logFile(setup, "sender.ini");
  {
    std::ofstream f(ini);
    f << "[VideoFormat]\nVideoFormat=" << formatName(setup) << "\n"
      << "[VideoServer(Main)]\nTransmittingCount=" << setup.transmitCount << "\n";
    if (setup.focusControl)
      f << "[FocusDisplay]\nLoupexVideoFormat=" << kLoupexWidth << "x" << kLoupexHeight << "\n";
    if (!f) return false;
  }
  captureLog_ = logFile(setup, "capture.txt");
  frames_ = setup.frames;
  std::remove(captureLog_.c_str());
  sender_.setEnvironment({"POINTSHARE_CAPTURE_LOG=" + captureLog_});
  input->pictureFd = -1;  // the camera takes its own pictures
  std::vector<std::string> args = {SYSTEM_BENCH_TALVEX_SEND,
                                   "--ini",
                                   ini,
                                   "--video-device",
                                   "Test Pattern Camera",
                                   "--audio-device",
                                   "none",
                                   "--encoder",
                                   "mpeg4",
                                   "--mode",
                                   "none",
                                   "--group",
                                   setup.group};
  if (!setup.focusControl) return sender_.start(args, ChildProcess::Pipe::None, logFile(setup, "sender.log"));
  args.push_back("--control");
  if (!sender_.start(args, ChildProcess::Pipe::Both, logFile(setup, "sender.log"))) return false;
  // Its answers start with these words; the rest of its output (the
  // monitor) only goes to the log.
  return senderLines_.start(sender_.outFd(), {"talvex-send: mode ", "talvex-send: error"},
                            logFile(setup, "sender-stdout.log"));
}

bool OursRunner::command(const std::string& line, LineReader::Line* answer, int timeoutMs) {
  const std::string text = line + "\n";
  if (sender_.fd() < 0 || write(sender_.fd(), text.data(), text.size()) != ssize_t(text.size())) return false;
  return senderLines_.waitFor(answer, timeoutMs);
}

void OursRunner::stopSender() {
  sender_.terminate(kSenderEndMs);
  senderLines_.join();  // its output ended with it
}

void OursRunner::stopReceiver() {
  receiver_.terminate(kSenderEndMs);
  if (sink_) sink_->join();
  sink_ = nullptr;
  receiver_.closePipe();
}

ReceiverDrops OursRunner::receiverDrops() const {
  // Its receive monitor, printed every second into its log.
  std::ifstream log(receiverLog_);
  std::ostringstream text;
  text << log.rdbuf();
  return monitorDrops(text.str());
}

std::vector<int64_t> OursRunner::captureTimes() const {
  std::vector<int64_t> times(frames_, 0);
  std::ifstream log(captureLog_);
  unsigned long long frame = 0;
  long long when = 0;
  while (log >> frame >> when)
    if (frame < times.size()) times[frame] = when;
  return times;
}
