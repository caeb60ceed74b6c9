#include "tools/pipeline_demo/receiver_graph.h"

#include <cstring>

#include "filters/ingrel/IIngrelControl.h"
#include "filters/mediaclass/mediaclass.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "platform/filters/codecs/codecs.h"
#include "platform/filters/video_renderer.h"
#include "tools/pipeline_demo/graph_lookup.h"

DemoReceiverGraph::DemoReceiverGraph(const DemoEndpoints& endpoints)
    : rsGraphManager(0), endpoints_(endpoints) {}

bool DemoReceiverGraph::initialize() {
  problems_.clear();
  if (!rsGraphManager::initialize()) {
    problems_.push_back("the filter graph cannot be created");
    return false;
  }
  mxObjectPtr<rsCodecEnumerator> decoders = new rsCodecEnumerator(rsCodecEnumerator::VideoDecoder);
  mxObjectPtr<rsFilter> f;
  while (decoders->nextFilter(f))
    if (std::strcmp(f->getName().c_str(), kMP42DecoderName) == 0) {
      decoder_ = f;
      break;
    }
  videoClient_ = new rsIngrelFilter("VideoClient(Main)");
  focusClient_ = new rsIngrelFilter("PointerFocusClient");
  drawnClient_ = new rsIngrelFilter("PointerP1Client");
  probe_ = new rsFrameProbeFilter("FrameProbe(Decoded)");
  tee_ = new rsInfPinTeeFilter("VideoInfinitePinTee");
  plainRender_ = new rsVideoRenderFilter("VideoRender(Plain)");
  loupex_ = new rsLoupexFilter("Loupex");
  blendor_ = new rsBlendorFilter("Blendor");
  render_ = new rsVideoRenderFilter("VideoRender");

  if (decoder_.isNull())
    problems_.push_back(std::string("no \"") + kMP42DecoderName + "\" among the decoders");
  if (!videoClient_->isValid() || !focusClient_->isValid() || !drawnClient_->isValid())
    problems_.push_back("the \"Multicast Client\" filter cannot be created");
  if (!tee_->isValid()) problems_.push_back("the Infinite Pin Tee cannot be created");
  if (!plainRender_->isValid() || !render_->isValid())
    problems_.push_back("the Video Renderer cannot be created");
  if (!loupex_->isValid()) problems_.push_back("the non-linear zoom filter (Loupex) cannot be created");
  if (!blendor_->isValid()) problems_.push_back("the pointer mixer filter (Blendor) cannot be created");
  if (!problems_.empty()) return false;

  for (rsIngrelFilter* client : {videoClient_.get(), focusClient_.get(), drawnClient_.get()}) {
    client->setAddress(endpoints_.group.c_str());
    client->setTimeToLive(endpoints_.timeToLive);
  }
  // The codes a receiver takes from the sender's status: MPEG-4 V2 at the
  // camera's 640x480.
  videoClient_->setPort(endpoints_.videoPort);
  videoClient_->setMediaType(MediaKind_Video);
  videoClient_->setVideoFormat(VideoFormat_MPEG4v2);
  videoClient_->setVideoResolution(Resolution_640x480);
  for (rsIngrelFilter* client : {focusClient_.get(), drawnClient_.get()}) {
    client->setPort(endpoints_.pointerPort);
    client->setMediaType(MediaKind_Pointer);
  }
  loupex_->setOutputVideoFormat(kZoomFormat);
  loupex_->setMask(kZoomMask);
  loupex_->setMaskSize(kZoomMaskWidth, kZoomMaskHeight);
  return true;
}

bool DemoReceiverGraph::shutdown() {
  videoClient_ = nullptr;
  focusClient_ = nullptr;
  drawnClient_ = nullptr;
  decoder_ = nullptr;
  probe_ = nullptr;
  tee_ = nullptr;
  plainRender_ = nullptr;
  loupex_ = nullptr;
  blendor_ = nullptr;
  render_ = nullptr;
  return rsGraphManager::shutdown();
}

bool DemoReceiverGraph::connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to,
                                unsigned input) {
  if (connectFilter(from, output, to, input)) return true;
  problems_.push_back("cannot connect \"" + std::string(from->getName().c_str()) + "\" to \"" +
                      to->getName().c_str() + "\"");
  return false;
}

bool DemoReceiverGraph::buildGraph() {
  if (decoder_.isNull()) return false;
  const mxObjectPtr<rsFilter> filters[] = {
      videoClient_.get(), decoder_,      probe_.get(),       tee_.get(),     plainRender_.get(),
      focusClient_.get(), loupex_.get(), drawnClient_.get(), blendor_.get(), render_.get()};
  for (const auto& f : filters) addFilter(f);
  // Every connection is tried, so that the report names each one that failed.
  bool ok = connect(videoClient_.get(), 0, decoder_, 0);
  ok = connect(decoder_, 0, probe_.get(), 0) && ok;
  ok = connect(probe_.get(), 0, tee_.get(), 0) && ok;
  ok = connect(tee_.get(), 0, plainRender_.get(), 0) && ok;
  ok = connect(tee_.get(), 1, loupex_.get(), 0) && ok;
  ok = connect(focusClient_.get(), 0, loupex_.get(), 1) && ok;
  ok = connect(loupex_.get(), 0, blendor_.get(), 0) && ok;
  ok = connect(drawnClient_.get(), 0, blendor_.get(), 1) && ok;
  ok = connect(blendor_.get(), 0, render_.get(), 0) && ok;
  // The pointer is drawn over the whole displayed picture.
  blendor_->setWindowPosition(0.0f, 0.0f);
  blendor_->setWindowSize(1.0f, 1.0f);
  blendor_->setPointerColor(0, kPointerColour);
  return ok;
}

bool DemoReceiverGraph::destroyGraph() {
  removeAllFilters();
  return true;
}

ClientStats DemoReceiverGraph::clientStats(const char* name) const {
  ClientStats s;
  if (auto c = filterInterface<IIngrelControl>(getGraphBuilder(), name)) {
    c->GetFramesReceived(&s.framesReceived);
    c->GetPacketsReceived(&s.packetsReceived);
    c->GetDroppedFrames(&s.droppedFrames);
    c->GetDroppedPackets(&s.droppedPackets);
    c->GetDiscardedSamples(&s.discardedSamples);
    c->GetRefusedRecords(&s.refusedMalformed, &s.refusedMismatched);
    c->GetFillerCount(&s.fillers);
  }
  return s;
}

ReceiverStats DemoReceiverGraph::stats() const {
  ReceiverStats s;
  s.video = clientStats("VideoClient(Main)");
  s.focusPointer = clientStats("PointerFocusClient");
  s.drawnPointer = clientStats("PointerP1Client");
  if (!probe_.isNull()) {
    s.probe = probe_->getCounts();
    s.readings = probe_->getReadings();
  }
  if (auto r = filterInterface<IVideoFrameSnapshot>(getGraphBuilder(), "VideoRender(Plain)"))
    r->GetFrameCount(&s.renderedPlain);
  if (auto r = filterInterface<IVideoFrameSnapshot>(getGraphBuilder(), "VideoRender"))
    r->GetFrameCount(&s.renderedFocus);
  return s;
}

SavedPicture DemoReceiverGraph::save(const char* renderer, const std::string& path) const {
  SavedPicture p;
  p.path = path;
  auto snapshot = filterInterface<IVideoFrameSnapshot>(getGraphBuilder(), renderer);
  LONG width = 0, height = 0;
  uint64_t frames = 0;
  if (!snapshot || FAILED(snapshot->GetFrameCount(&frames)) || frames == 0 ||
      FAILED(snapshot->GetFrameSize(&width, &height)) || width <= 0 || height <= 0) {
    p.error = std::string("\"") + renderer + "\" has no picture";
    return p;
  }
  p.width = width;
  p.height = height;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  if (SUCCEEDED(snapshot->GetFrame(rgb.data(), static_cast<ULONG>(rgb.size()))))
    p.frameRead = test_pattern::readFrameNumber(
        int(width), int(height),
        [&](int x, int y) {
          const uint8_t* px = &rgb[(static_cast<size_t>(y) * width + x) * 3];
          return (77 * px[0] + 150 * px[1] + 29 * px[2]) >> 8;
        },
        &p.frame);
  const HRESULT hr = snapshot->SaveFramePng(path.c_str());
  p.saved = SUCCEEDED(hr);
  if (!p.saved) p.error = "cannot write " + path;
  return p;
}
