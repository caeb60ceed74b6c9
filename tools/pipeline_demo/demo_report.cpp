#include "tools/pipeline_demo/demo_report.h"

#include <cinttypes>

#include "tools/pipeline_demo/frame_sequence.h"

namespace {

void printClient(FILE* out, const char* label, const ClientStats& c) {
  std::fprintf(out,
               "  %-24s %" PRIu32 " frames (%" PRIu32 " packets); dropped %" PRIu32 " frames, %" PRIu32
               " packets; discarded %" PRIu32 "; refused %" PRIu32 " malformed, %" PRIu32
               " of another type; fillers %" PRIu32 "\n",
               label, c.framesReceived, c.packetsReceived, c.droppedFrames, c.droppedPackets,
               c.discardedSamples, c.refusedMalformed, c.refusedMismatched, c.fillers);
}

void printSequence(FILE* out, const char* label, const SequenceSummary& s) {
  if (s.count == 0) {
    std::fprintf(out, "  %-24s none could be read\n", label);
    return;
  }
  std::fprintf(out,
               "  %-24s %zu pictures, frames %" PRIu32 " .. %" PRIu32
               "; in order: %s (%zu steps forward, %zu "
               "back, %zu repeated); %zu numbers missing in between\n",
               label, s.count, s.first, s.last, s.inOrder() ? "yes" : "NO", s.forward, s.backward, s.repeated,
               s.missing);
}

void printPicture(FILE* out, const char* what, const SavedPicture& p) {
  if (!p.saved) {
    std::fprintf(out, "  %s: not saved (%s)\n", what, p.error.c_str());
    return;
  }
  std::fprintf(out, "  %s\n      %s, %ldx%ld", p.path.c_str(), what, p.width, p.height);
  if (p.frameRead)
    std::fprintf(out, ", shows frame %" PRIu32 "\n", p.frame);
  else
    std::fprintf(out, "\n");
}

}  // namespace

bool demoSucceeded(const DemoRun& run, std::vector<std::string>& reasons) {
  const SequenceSummary received = summariseSequence(frameNumbers(run.receiver.readings));
  if (received.count == 0)
    reasons.push_back("no decoded picture with a readable frame number reached the receiving station");
  else if (!received.inOrder())
    reasons.push_back("the received pictures came out of order");
  if (run.receiver.renderedPlain == 0) reasons.push_back("nothing was rendered without the focus display");
  if (run.receiver.renderedFocus == 0) reasons.push_back("nothing was rendered with the focus display");
  if (run.receiver.focusPointer.framesReceived == 0 || run.receiver.drawnPointer.framesReceived == 0)
    reasons.push_back("no pointer record reached the receiving station");
  if (!run.plain.saved)
    reasons.push_back("the picture without focus display was not saved: " + run.plain.error);
  if (!run.focus.saved) reasons.push_back("the picture with focus display was not saved: " + run.focus.error);
  return reasons.empty();
}

void printPipeline(const DemoRun& run, FILE* out) {
  std::fprintf(
      out,
      "Pipeline demo: %d s between two stations of the network lab\n"
      "  %s sends:    \"Test Pattern Camera\" -> FrameProbe(Capture) -> \"Microsoft MPEG-4 Video Codec V2\""
      " -> \"VideoServer(Main)\"\n"
      "               PointerSource (a pointer circling the picture) -> \"PointerServer\"\n"
      "  %s receives: \"VideoClient(Main)\" -> \"Mpeg4 Decoder DMO\" -> FrameProbe(Decoded) ->"
      " \"VideoInfinitePinTee\"\n"
      "                 -> \"VideoRender(Plain)\"\n"
      "                 -> \"Loupex\" (non-linear zoom around \"PointerFocusClient\") -> \"Blendor\""
      " (draws \"PointerP1Client\") -> \"VideoRender\"\n"
      "  the probes read the frame number the camera draws into every picture\n\n",
      run.seconds, run.senderStation.c_str(), run.receiverStation.c_str());
  std::fflush(out);
}

void printProgress(int second, const SenderStats& s, const ReceiverStats& r, FILE* out) {
  std::fprintf(out,
               "  %3d s: captured %" PRIu64 ", sent %" PRIu32 " (%.2f Mbit/s) | received %" PRIu32
               ", decoded %" PRIu64 ", rendered %" PRIu64 " / %" PRIu64 ", dropped %" PRIu32 "\n",
               second, s.captured, s.framesSent, s.bitsPerSecond / 1e6, r.video.framesReceived,
               r.probe.samples, r.renderedPlain, r.renderedFocus, r.video.droppedFrames);
  std::fflush(out);
}

bool printReport(const DemoRun& run, FILE* out) {
  const SenderStats& s = run.sender;
  const ReceiverStats& r = run.receiver;
  std::fprintf(out, "\nSending station %s\n", run.senderStation.c_str());
  std::fprintf(out, "  %-24s %" PRIu64 " (the camera dropped %" PRIu64 ")\n", "frames captured", s.captured,
               s.cameraDropped);
  std::fprintf(out, "  %-24s %" PRIu64 " pictures of %dx%d%s\n", "frames to the encoder", s.probe.samples,
               s.probe.width, s.probe.height, s.probe.rgb24 ? " RGB24" : "");
  std::fprintf(out,
               "  %-24s %" PRIu32 " encoded frames in %" PRIu32 " packets (%.2f Mbit/s in the last second)\n",
               "frames sent", s.framesSent, s.packetsSent, s.bitsPerSecond / 1e6);
  std::fprintf(out, "  %-24s %" PRIu64 " made, %" PRIu32 " sent\n", "pointer records", s.pointerRecords,
               s.pointerFramesSent);

  std::fprintf(out, "\nReceiving station %s\n", run.receiverStation.c_str());
  printClient(out, "\"VideoClient(Main)\"", r.video);
  printClient(out, "\"PointerFocusClient\"", r.focusPointer);
  printClient(out, "\"PointerP1Client\"", r.drawnPointer);
  std::fprintf(out, "  %-24s %" PRIu64 " pictures of %dx%d%s (%" PRIu64 " without a readable frame number)\n",
               "frames decoded", r.probe.samples, r.probe.width, r.probe.height,
               r.probe.rgb24 ? " RGB24" : "", r.probe.unreadable);
  std::fprintf(out, "  %-24s %" PRIu64 " without focus display, %" PRIu64 " with the zoom and the pointer\n",
               "frames rendered", r.renderedPlain, r.renderedFocus);

  const SequenceSummary sent = summariseSequence(frameNumbers(s.readings));
  const SequenceSummary received = summariseSequence(frameNumbers(r.readings));
  const LatencySummary latency = matchLatency(s.readings, r.readings);
  std::fprintf(out, "\nFrame numbers read from the pictures\n");
  printSequence(out, "before the encoder", sent);
  printSequence(out, "after the decoder", received);
  if (latency.matched > 0)
    std::fprintf(
        out,
        "  %-24s %zu frames seen at both ends; %zu never decoded; capture to decoded picture: median "
        "%.1f ms (min %.1f, max %.1f)\n",
        "end to end", latency.matched, sent.count - latency.matched, latency.medianMs, latency.minMs,
        latency.maxMs);
  if (latency.matched < sent.count && r.video.droppedFrames > 0)
    std::fprintf(out,
                 "  %-24s after a frame is dropped or discarded the decoder skips every frame up to the next "
                 "key frame\n",
                 "note");

  std::fprintf(out, "\nPictures\n");
  printPicture(out, "the decoded picture, no focus display", run.plain);
  printPicture(out, "non-linear zoom around the sender's pointer, pointer drawn in red", run.focus);

  std::vector<std::string> reasons;
  const bool ok = demoSucceeded(run, reasons);
  if (ok) {
    std::fprintf(out, "\nResult: pictures arrived end to end, in order (%zu decoded pictures read back).\n",
                 received.count);
  } else {
    std::fprintf(out, "\nResult: FAILED\n");
    for (const auto& reason : reasons) std::fprintf(out, "  - %s\n", reason.c_str());
  }
  std::fflush(out);
  return ok;
}
