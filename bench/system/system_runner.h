// One system under test, as the system benchmark drives it: a sending side
// in one lab station that takes the test-pattern pictures, codes them and
// multicasts them, and a receiving side in another station that decodes
// them into pictures handed to a FrameSink.
//
// A run goes:
//   startReceiver (on the receiving station's thread)
//   startSender   (on the sending station's thread)
//   the bench writes pictures to SenderInput::pictureFd at the frame rate
//   stopSender, a short grace time, stopReceiver
//   cpu()
// Each start is called on a thread that has entered its station, so the
// processes started from there (and their sockets) belong to that station.
//
// Adding a system is one runner: a PipeRunner (pipe_runner.h) when its
// sender reads raw I420 pictures on its standard input and its receiver
// writes decoded I420 pictures on its standard output; otherwise a
// SystemRunner of its own, which may
//   - leave pictureFd at -1 and capture pictures itself (its own
//     test-pattern camera), then report each frame's capture time
//     (CLOCK_MONOTONIC) through captureTimes();
//   - hand its receiver's output to FrameSink::readPipe (I420 or bottom-up
//     RGB24 pictures), single pictures to FrameSink::notePicture, or, last
//     resort, frame numbers it read itself to FrameSink::noteArrival.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FrameSink;

struct RunSetup {
  int width = 352;
  int height = 288;
  int fps = 30;
  size_t frames = 0;                   // pictures the bench sends
  std::string group;                   // IPv4 multicast group of the run
  int port = 0;                        // the run's own port (the next one is free for it too)
  std::string senderAddress;           // IPv4 address of the sending station
  std::string receiverAddress;         // IPv4 address of the receiving station
  std::string interfaceName = "eth0";  // the stations' network interface
  int transmitCount = 1;               // for systems that can send each packet more than once
  int bitrate = 1500000;               // video bits per second
  int keyInterval = 30;                // frames between key frames
  std::string logPrefix;               // diagnostics go to <logPrefix>-sender.log / -receiver.log
  bool focusControl = false;           // our sender takes focus-display commands while it runs
};

// How the sending side takes its pictures.
struct SenderInput {
  // The bench writes raw I420 pictures here, paced at the frame rate; -1
  // when the system captures its own pictures (see captureTimes()).
  int pictureFd = -1;
};

// What the receiving side's own reassembly counted as dropped in the run,
// -1 when the system does not tell.
struct ReceiverDrops {
  int64_t packets = -1, frames = -1;
};

// Processor seconds each side used in the run.
struct CpuUse {
  double sender = 0;
  double receiver = 0;
  // Of the sender's, the kernel's part: in the lab it includes the bridge
  // copying each datagram to every receiving station, which a real
  // network's switch does.
  double senderSystem = 0;
};

class SystemRunner {
 public:
  virtual ~SystemRunner() = default;
  // Short name for tables and files ("ffmpeg-default").
  virtual std::string name() const = 0;
  // One line on how it is set up.
  virtual std::string description() const = 0;
  // What it does beyond (or apart from) the common job (encode the test
  // picture at the run's size, bit rate and key interval, multicast it,
  // decode it into a picture) that cannot be made the same; empty when
  // nothing. Printed under the table and kept in the JSON file.
  virtual std::string jobDifferences() const { return {}; }
  // Why it cannot run here (a program missing); empty when it can.
  virtual std::string unavailable() const = 0;

  virtual bool startReceiver(const RunSetup& setup, FrameSink& sink) = 0;
  virtual bool startSender(const RunSetup& setup, SenderInput* input) = 0;
  // Ends the sending side once its input is done (it may flush first).
  virtual void stopSender() = 0;
  // Ends the receiving side; afterwards no more pictures reach the sink.
  virtual void stopReceiver() = 0;
  virtual CpuUse cpu() const = 0;
  // How many times it sent each packet in a run with this setup (systems
  // without such a setting send once).
  virtual int transmitCountUsed(const RunSetup&) const { return 1; }
  // After stopReceiver: what the receiving side counted as dropped.
  virtual ReceiverDrops receiverDrops() const { return {}; }
  // Only for systems that capture their own pictures: capture time of each
  // frame number (ns), 0 for frames not captured.
  virtual std::vector<int64_t> captureTimes() const { return {}; }
};
