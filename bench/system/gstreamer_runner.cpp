#include "bench/system/gstreamer_runner.h"

#include <sstream>

namespace {

// Elements the two pipelines need, and the package each comes from.
const std::pair<const char*, const char*> kElements[] = {
    {"avenc_msmpeg4v2", "gstreamer1.0-libav"},      {"avdec_msmpeg4v2", "gstreamer1.0-libav"},
    {"rtpgstpay", "gstreamer1.0-plugins-good"},     {"rtpgstdepay", "gstreamer1.0-plugins-good"},
    {"udpsink", "gstreamer1.0-plugins-good"},       {"udpsrc", "gstreamer1.0-plugins-good"},
    {"rawvideoparse", "gstreamer1.0-plugins-base"}, {"videoconvert", "gstreamer1.0-plugins-base"}};

// gst-launch-1.0 takes the pipeline description one word per argument.
std::vector<std::string> launch(const std::string& pipeline) {
  std::vector<std::string> args = {"gst-launch-1.0", "-q"};
  std::istringstream words(pipeline);
  for (std::string w; words >> w;) args.push_back(w);
  return args;
}

}  // namespace

std::string GstreamerRunner::description() const {
  return "gst-launch-1.0 avenc_msmpeg4v2 over RTP (rtpgstpay) on udpsink multicast into udpsrc, "
         "avdec_msmpeg4v2 and fdsink, no clock sync, no jitter buffer";
}

std::string GstreamerRunner::missingParts() const {
  for (const auto& [element, package] : kElements)
    if (!commandSucceeds({"gst-inspect-1.0", "--exists", element}))
      return std::string("GStreamer element ") + element + " is missing (Debian package " + package + ")";
  return {};
}

std::vector<std::string> GstreamerRunner::senderCommand(const RunSetup& s) const {
  const std::string bytes = std::to_string(size_t(s.width) * size_t(s.height) * 3 / 2);
  const std::string pipeline =
      "fdsrc fd=0 blocksize=" + bytes + " ! rawvideoparse format=i420 width=" + std::to_string(s.width) +
      " height=" + std::to_string(s.height) + " framerate=" + std::to_string(s.fps) + "/1" +
      " ! avenc_msmpeg4v2 bitrate=" + std::to_string(s.bitrate) +
      " gop-size=" + std::to_string(s.keyInterval) + " ! rtpgstpay config-interval=1" +
      " ! udpsink host=" + s.group + " port=" + std::to_string(s.port) +
      " multicast-iface=" + s.interfaceName + " auto-multicast=true ttl-mc=1 sync=false async=false";
  return launch(pipeline);
}

std::vector<std::string> GstreamerRunner::receiverCommand(const RunSetup& s) const {
  const std::string pipeline =
      "udpsrc address=" + s.group + " port=" + std::to_string(s.port) +
      " multicast-iface=" + s.interfaceName + " buffer-size=4194304" +
      " caps=application/x-rtp,media=application,clock-rate=90000,encoding-name=X-GST,payload=96" +
      " ! rtpgstdepay ! avdec_msmpeg4v2 ! videoconvert ! video/x-raw,format=I420 ! fdsink fd=1 sync=false";
  return launch(pipeline);
}
