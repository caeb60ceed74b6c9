// pipeline_demo: the system's media pipeline between two stations of the
// network lab, on the built-in test-pattern camera.
//
//   tools/netlab/netlab --stations 2 -- build/bin/pipeline_demo [--seconds N] [--output DIR]
//
// The first station captures, encodes and multicasts the picture and a
// circling pointer; the second receives and decodes the picture, zooms it
// non-linearly around the sender's pointer, draws that pointer into it and
// renders it off-screen. After N seconds (default 5) the program prints
// what each station counted, checks the frame numbers that the camera
// draws into its pictures, and saves the receiver's last pictures as PNG
// files in DIR (default: the folder "demo" beside the program's "bin").
// Exit status 0 when pictures arrived end to end and in order, 1 when not,
// 2 for a usage error or when not run inside the lab.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "tools/pipeline_demo/demo_options.h"
#include "tools/pipeline_demo/demo_report.h"
#include "tools/pipeline_demo/receiver_graph.h"
#include "tools/pipeline_demo/sender_graph.h"
#include "tools/pipeline_demo/station_worker.h"

namespace {

using std::chrono::milliseconds;

std::string defaultOutput() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "demo";
  return (exe.parent_path().parent_path() / "demo").string();
}

void printProblems(const char* station, const std::vector<std::string>& problems) {
  for (const auto& p : problems) std::fprintf(stderr, "pipeline_demo: %s: %s\n", station, p.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  DemoOptions options;
  options.output = defaultOutput();
  std::string error;
  if (!parseDemoOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "pipeline_demo: %s\n%s", error.c_str(), kDemoUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kDemoUsage, stdout);
    return 0;
  }
  if (!netlab::insideLab()) {
    std::fprintf(stderr,
                 "pipeline_demo: not inside the private network lab; it multicasts, so it runs only there:\n"
                 "  tools/netlab/netlab --stations 2 -- %s\n",
                 argv[0]);
    return 2;
  }
  const auto stations = netlab::stations();
  if (stations.size() < 2) {
    std::fprintf(stderr, "pipeline_demo: the lab has %zu stations; start it with --stations 2\n",
                 stations.size());
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(options.output, ec);
  if (ec) {
    std::fprintf(stderr, "pipeline_demo: cannot create the output folder %s: %s\n", options.output.c_str(),
                 ec.message().c_str());
    return 2;
  }

  DemoRun run;
  run.seconds = options.seconds;
  run.senderStation = stations[0];
  run.receiverStation = stations[1];
  printPipeline(run, stdout);

  const DemoEndpoints endpoints;
  StationWorker tx(run.senderStation), rx(run.receiverStation);
  if (!tx.entered() || !rx.entered()) {
    std::fprintf(stderr, "pipeline_demo: cannot enter the lab's stations %s and %s\n",
                 run.senderStation.c_str(), run.receiverStation.c_str());
    return 2;
  }

  mxObjectPtr<DemoSenderGraph> sender;
  mxObjectPtr<DemoReceiverGraph> receiver;
  // Receiver first, so that it listens before the first (key) frame is sent.
  const bool receiverBuilt = rx.call<bool>([&] {
    receiver = new DemoReceiverGraph(endpoints);
    return receiver->initialize() && receiver->buildGraph() && receiver->start();
  });
  const bool senderBuilt = receiverBuilt && tx.call<bool>([&] {
    sender = new DemoSenderGraph(endpoints);
    return sender->initialize() && sender->buildGraph() && sender->start();
  });

  if (receiverBuilt && senderBuilt) {
    const auto started = std::chrono::steady_clock::now();
    uint32_t lastRate = 0;  // the rate of the last whole second
    for (int second = 1; second <= options.seconds; ++second) {
      std::this_thread::sleep_until(started + std::chrono::seconds(second));
      const SenderStats s = tx.call<SenderStats>([&] { return sender->stats(); });
      const ReceiverStats r = rx.call<ReceiverStats>([&] { return receiver->stats(); });
      printProgress(second, s, r, stdout);
      lastRate = s.bitsPerSecond;
    }
    // The sender stops first; what it sent is then given time to arrive
    // (until the decoder's count stays put for 300 ms, at most 2 s).
    run.sender = tx.call<SenderStats>([&] {
      SenderStats s = sender->stats();
      sender->stop();
      s.readings = sender->stats().readings;
      return s;
    });
    run.sender.bitsPerSecond = lastRate;
    uint64_t decoded = 0;
    auto still = std::chrono::steady_clock::now();
    const auto drainEnd = still + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < drainEnd) {
      const uint64_t now = rx.call<uint64_t>([&] { return receiver->stats().probe.samples; });
      if (now != decoded) {
        decoded = now;
        still = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - still > milliseconds(300)) {
        break;
      }
      std::this_thread::sleep_for(milliseconds(50));
    }
    rx.run([&] {
      run.receiver = receiver->stats();
      run.plain = receiver->savePlainPicture(options.output + "/receiver-plain.png");
      run.focus = receiver->saveFocusPicture(options.output + "/receiver-focus.png");
      receiver->stop();
    });
  }

  if (!sender.isNull()) printProblems(run.senderStation.c_str(), sender->problems());
  if (!receiver.isNull()) printProblems(run.receiverStation.c_str(), receiver->problems());
  tx.run([&] {
    if (sender.isNull()) return;
    if (sender->isStarted()) sender->stop();
    sender->destroyGraph();
    sender->shutdown();
    sender = nullptr;
  });
  rx.run([&] {
    if (receiver.isNull()) return;
    if (receiver->isStarted()) receiver->stop();
    receiver->destroyGraph();
    receiver->shutdown();
    receiver = nullptr;
  });

  if (!receiverBuilt || !senderBuilt) {
    std::fprintf(stderr, "pipeline_demo: FAILED: the %s graph could not be built and started (see above)\n",
                 !receiverBuilt ? "receiving station's" : "sending station's");
    return 1;
  }
  return printReport(run, stdout) ? 0 : 1;
}
