#include "bench/system/ffmpeg_runner.h"

namespace {

std::string size(const RunSetup& s) {
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

std::string url(const RunSetup& s) {
  return "udp://" + s.group + ":" + std::to_string(s.port);
}

void add(std::vector<std::string>& to, std::initializer_list<std::string> more) {
  to.insert(to.end(), more);
}

}  // namespace

std::string FfmpegRunner::name() const {
  return flags_ == Flags::Defaults ? "ffmpeg-default" : "ffmpeg-lowlatency";
}

std::string FfmpegRunner::description() const {
  return flags_ == Flags::Defaults
             ? "ffmpeg msmpeg4v2 in NUT over UDP multicast into a second ffmpeg, default flags"
             : "ffmpeg msmpeg4v2 in NUT over UDP multicast into a second ffmpeg, low-delay flags "
               "(nobuffer, low_delay, no probing, no muxing delay, packets flushed, frames passed through)";
}

std::vector<std::string> FfmpegRunner::senderCommand(const RunSetup& s) const {
  std::vector<std::string> c = {"ffmpeg", "-hide_banner", "-nostats", "-loglevel", "warning"};
  if (flags_ == Flags::LowLatency)
    add(c, {"-fflags", "nobuffer", "-probesize", "32", "-analyzeduration", "0"});
  add(c, {"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", size(s), "-r", std::to_string(s.fps), "-i", "pipe:0",
          "-c:v", "msmpeg4v2", "-b:v", std::to_string(s.bitrate), "-g", std::to_string(s.keyInterval)});
  std::string out = url(s) + "?ttl=1&localaddr=" + s.senderAddress;
  if (flags_ == Flags::LowLatency) {
    add(c, {"-threads", "1", "-fps_mode", "passthrough", "-max_delay", "0", "-muxdelay", "0", "-muxpreload",
            "0", "-flush_packets", "1"});
    out += "&pkt_size=1316";
  }
  add(c, {"-f", "nut", out});
  return c;
}

std::vector<std::string> FfmpegRunner::receiverCommand(const RunSetup& s) const {
  std::vector<std::string> c = {"ffmpeg", "-hide_banner", "-nostats", "-loglevel", "warning", "-nostdin"};
  std::string in = url(s) + "?localaddr=" + s.receiverAddress;
  if (flags_ == Flags::LowLatency) {
    add(c, {"-fflags", "nobuffer", "-flags", "low_delay", "-probesize", "32", "-analyzeduration", "0",
            "-max_delay", "0", "-threads", "1", "-f", "nut"});
    in += "&overrun_nonfatal=1&fifo_size=1000000&buffer_size=4194304";
  }
  add(c, {"-i", in});
  if (flags_ == Flags::LowLatency) add(c, {"-fps_mode", "passthrough", "-flush_packets", "1"});
  add(c, {"-f", "rawvideo", "-pix_fmt", "yuv420p", "pipe:1"});
  return c;
}
