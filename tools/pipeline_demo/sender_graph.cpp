#include "tools/pipeline_demo/sender_graph.h"

#include <cstring>

#include "filters/ostrel/IOstrelControl.h"
#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/codecs/codecs.h"
#include "tools/pipeline_demo/graph_lookup.h"

namespace {

// The first filter of an enumeration with this name.
mxObjectPtr<rsFilter> findByName(rsFilterEnumerator* list, const char* name) {
  mxObjectPtr<rsFilter> f;
  while (list->nextFilter(f))
    if (std::strcmp(f->getName().c_str(), name) == 0) return f;
  return nullptr;
}

}  // namespace

DemoSenderGraph::DemoSenderGraph(const DemoEndpoints& endpoints) : rsGraphManager(0), endpoints_(endpoints) {}

bool DemoSenderGraph::initialize() {
  problems_.clear();
  if (!rsGraphManager::initialize()) {
    problems_.push_back("the filter graph cannot be created");
    return false;
  }
  mxObjectPtr<rsCaptureEnumerator> cameras = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
  camera_ = findByName(cameras.get(), kTestPatternCameraName);
  mxObjectPtr<rsCodecEnumerator> encoders = new rsCodecEnumerator(rsCodecEnumerator::VideoCompressor);
  encoder_ = findByName(encoders.get(), kMP42EncoderName);
  probe_ = new rsFrameProbeFilter("FrameProbe(Capture)");
  videoServer_ = new rsOstrelFilter("VideoServer(Main)");
  pointer_ = new rsCirclingPointerFilter("PointerSource");
  pointerServer_ = new rsOstrelFilter("PointerServer");

  if (camera_.isNull())
    problems_.push_back(std::string("no \"") + kTestPatternCameraName + "\" among the video input devices");
  if (encoder_.isNull())
    problems_.push_back(std::string("no \"") + kMP42EncoderName + "\" among the video compressors");
  if (!videoServer_->isValid() || !pointerServer_->isValid())
    problems_.push_back("the \"Multicast Server\" filter cannot be created");
  if (!problems_.empty()) return false;

  for (rsOstrelFilter* server : {videoServer_.get(), pointerServer_.get()}) {
    server->setAddress(endpoints_.group.c_str());
    server->setTimeToLive(endpoints_.timeToLive);
    server->setMaximumTransmittingRate(104857600);
  }
  videoServer_->setPort(endpoints_.videoPort);
  pointerServer_->setPort(endpoints_.pointerPort);
  return true;
}

bool DemoSenderGraph::shutdown() {
  camera_ = nullptr;
  encoder_ = nullptr;
  probe_ = nullptr;
  videoServer_ = nullptr;
  pointer_ = nullptr;
  pointerServer_ = nullptr;
  return rsGraphManager::shutdown();
}

bool DemoSenderGraph::connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to,
                              unsigned input) {
  if (connectFilter(from, output, to, input)) return true;
  problems_.push_back("cannot connect \"" + std::string(from->getName().c_str()) + "\" to \"" +
                      to->getName().c_str() + "\"");
  return false;
}

bool DemoSenderGraph::buildGraph() {
  if (camera_.isNull()) return false;
  for (rsFilter* f : {camera_.get(), static_cast<rsFilter*>(probe_.get()), encoder_.get(),
                      static_cast<rsFilter*>(videoServer_.get()), static_cast<rsFilter*>(pointer_.get()),
                      static_cast<rsFilter*>(pointerServer_.get())})
    addFilter(f);
  const int capturePin = static_cast<rsCaptureFilter*>(camera_.get())->getCapturePinIndex();
  // Every connection is tried, so that the report names each one that failed.
  bool ok = capturePin >= 0 && connect(camera_, unsigned(capturePin), probe_.get(), 0);
  ok = connect(probe_.get(), 0, encoder_, 0) && ok;
  ok = connect(encoder_, 0, videoServer_.get(), 0) && ok;
  ok = connect(pointer_.get(), 0, pointerServer_.get(), 0) && ok;
  return ok;
}

bool DemoSenderGraph::destroyGraph() {
  removeAllFilters();
  return true;
}

bool DemoSenderGraph::start() {
  const bool ok = rsGraphManager::start();
  uint32_t rate = 0;
  if (auto video = filterInterface<IOstrelControl>(getGraphBuilder(), "VideoServer(Main)"))
    video->GetTransmittingRate(&rate);
  return ok;
}

SenderStats DemoSenderGraph::stats() const {
  SenderStats s;
  if (!camera_.isNull())
    if (auto camera = filterInterface<IVideoCaptureControl>(getGraphBuilder(), camera_->getName().c_str()))
      camera->GetStatistics(&s.captured, &s.cameraDropped);
  if (!probe_.isNull()) {
    s.probe = probe_->getCounts();
    s.readings = probe_->getReadings();
  }
  if (auto video = filterInterface<IOstrelControl>(getGraphBuilder(), "VideoServer(Main)")) {
    video->GetFramesSent(&s.framesSent);
    video->GetPacketsSent(&s.packetsSent);
    video->GetTransmittingRate(&s.bitsPerSecond);
  }
  if (auto pointer = filterInterface<IOstrelControl>(getGraphBuilder(), "PointerServer"))
    pointer->GetFramesSent(&s.pointerFramesSent);
  if (!pointer_.isNull()) s.pointerRecords = pointer_->getRecordsSent();
  return s;
}
