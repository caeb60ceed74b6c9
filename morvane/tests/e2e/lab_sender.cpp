#include "morvane/tests/e2e/lab_sender.h"

#include <cstring>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/codecs/codecs.h"

namespace {

mxObjectPtr<rsFilter> find(rsFilterEnumerator* list, const char* name) {
  mxObjectPtr<rsFilter> f;
  while (list->nextFilter(f))
    if (std::strcmp(f->getName().c_str(), name) == 0) return f;
  return nullptr;
}

mxObjectPtr<rsFilter> findCapture(rsCaptureEnumerator::CategoryEnum category, const char* name) {
  mxObjectPtr<rsCaptureEnumerator> e = new rsCaptureEnumerator(category);
  return find(e.get(), name);
}

mxObjectPtr<rsFilter> findCodec(rsCodecEnumerator::CategoryEnum category, const char* name) {
  mxObjectPtr<rsCodecEnumerator> e = new rsCodecEnumerator(category);
  return find(e.get(), name);
}

int capturePin(rsFilter* camera) {
  return static_cast<rsCaptureFilter*>(camera)->getCapturePinIndex();
}

}  // namespace

LabSender::LabSender(const std::string& group) : rsGraphManager(0), group_(group) {}

bool LabSender::initialize() {
  problems_.clear();
  if (!rsGraphManager::initialize()) {
    problems_.push_back("no filter graph");
    return false;
  }
  camera_ = findCapture(rsCaptureEnumerator::VideoInputDevice, kTestPatternCameraName);
  dvCamera_ = findCapture(rsCaptureEnumerator::VideoInputDevice, kDVCameraName);
  microphone_ = findCapture(rsCaptureEnumerator::AudioInputDevice, kTestToneMicrophoneName);
  dvDecoder_ = findCodec(rsCodecEnumerator::VideoDecoder, kDVDecoderName);
  encoder_ = findCodec(rsCodecEnumerator::VideoCompressor, kMP42EncoderName);
  encoder2_ = findCodec(rsCodecEnumerator::VideoCompressor, kMP42EncoderName);
  mp3_ = findCodec(rsCodecEnumerator::AudioCompressor, kMp3EncoderName);
  transMain_ = new rsFormatTransFilter("FormatTransform(Main)");
  transSub_ = new rsFormatTransFilter("FormatTransform(Sub)");
  extract_ = new rsImageExtractFilter("ImageExtract");
  videoTee_ = new rsInfPinTeeFilter("VideoInfinitePinTee");
  pointerTee_ = new rsInfPinTeeFilter("PointerInfinitePinTee");
  videoMain_ = new rsOstrelFilter("VideoServer(Main)");
  videoSub_ = new rsOstrelFilter("VideoServer(Sub)");
  audio_ = new rsOstrelFilter("AudioServer");
  pointer_ = new rsOstrelFilter("PointerServer");
  source_ = new rsCirclingPointerFilter("PointerSource");
  probe_ = new rsFrameProbeFilter("FrameProbe(Capture)");
  for (int i = 0; i < 3; ++i) {
    extraSources_[i] = new rsCirclingPointerFilter(("RemotePointer" + std::to_string(i + 1)).c_str());
    extraServers_[i] = new rsOstrelFilter(("RemotePointerServer" + std::to_string(i + 1)).c_str());
  }
  const std::pair<const mxObjectPtr<rsFilter>*, const char*> needed[] = {
      {&camera_, kTestPatternCameraName},
      {&dvCamera_, kDVCameraName},
      {&microphone_, kTestToneMicrophoneName},
      {&dvDecoder_, kDVDecoderName},
      {&encoder_, kMP42EncoderName},
      {&encoder2_, kMP42EncoderName},
      {&mp3_, kMp3EncoderName}};
  for (const auto& [f, name] : needed)
    if (f->isNull()) problems_.push_back(std::string("no \"") + name + "\"");
  for (rsFilter* f : {static_cast<rsFilter*>(transMain_.get()), static_cast<rsFilter*>(transSub_.get()),
                      static_cast<rsFilter*>(extract_.get()), static_cast<rsFilter*>(videoTee_.get()),
                      static_cast<rsFilter*>(pointerTee_.get()), static_cast<rsFilter*>(videoMain_.get()),
                      static_cast<rsFilter*>(videoSub_.get()), static_cast<rsFilter*>(audio_.get()),
                      static_cast<rsFilter*>(pointer_.get())})
    if (!f->isValid()) problems_.push_back("\"" + std::string(f->getName().c_str()) + "\" cannot be created");
  if (!problems_.empty()) return false;
  const uint16_t ports[] = {8190, 8191, 8192, 8193};
  int i = 0;
  for (rsOstrelFilter* s : {videoMain_.get(), videoSub_.get(), audio_.get(), pointer_.get()}) {
    s->setAddress(group_.c_str());
    s->setPort(ports[i++]);
    s->setTimeToLive(1);
    s->setMaximumTransmittingRate(104857600);
  }
  for (int k = 0; k < 3; ++k) {
    extraServers_[k]->setAddress(group_.c_str());
    extraServers_[k]->setPort(uint16_t(8200 + k));
    extraServers_[k]->setTimeToLive(1);
    extraSources_[k]->setPositionScale(352, 288);
  }
  transMain_->setInputVideoFormatColor(3);
  transSub_->setInputVideoFormatColor(3);
  return true;
}

bool LabSender::shutdown() {
  for (auto* f : {&camera_, &dvCamera_, &dvDecoder_, &encoder_, &encoder2_, &mp3_, &microphone_})
    *f = nullptr;
  transMain_ = transSub_ = nullptr;
  extract_ = nullptr;
  videoTee_ = pointerTee_ = nullptr;
  videoMain_ = videoSub_ = audio_ = pointer_ = nullptr;
  source_ = nullptr;
  probe_ = nullptr;
  for (auto& f : extraSources_) f = nullptr;
  for (auto& f : extraServers_) f = nullptr;
  return rsGraphManager::shutdown();
}

void LabSender::add(std::initializer_list<rsFilter*> filters) {
  for (rsFilter* f : filters) addFilter(f);
}

bool LabSender::connect(rsFilter* from, unsigned output, rsFilter* to, unsigned input) {
  if (connectFilter(from, output, to, input)) return true;
  problems_.push_back("cannot connect \"" + std::string(from->getName().c_str()) + "\" to \"" +
                      to->getName().c_str() + "\"");
  return false;
}

bool LabSender::buildGraph() {
  problems_.clear();
  const LabSenderConfig& c = config_;
  rsFilter* camera = c.dvCamera ? dvCamera_.get() : camera_.get();
  rsFilter* trans = transMain_.get();
  transMain_->setOutputVideoFormat(c.videoFormat);
  transSub_->setOutputVideoFormat(c.baseFormat);
  extract_->setOutputVideoFormat(c.additionalFormat);
  add({camera, videoMain_.get(), source_.get(), pointerTee_.get(), pointer_.get()});
  bool ok = true;
  // The picture up to the main format transform.
  auto intoTransform = [&] {
    add({trans});
    if (c.dvCamera) {
      add({dvDecoder_.get()});
      ok = connect(camera, unsigned(capturePin(camera)), dvDecoder_.get(), 0) && ok;
      ok = connect(dvDecoder_.get(), 0, trans, 0) && ok;
    } else if (c.probe) {
      add({probe_.get()});
      ok = connect(camera, unsigned(capturePin(camera)), probe_.get(), 0) && ok;
      ok = connect(probe_.get(), 0, trans, 0) && ok;
    } else {
      ok = connect(camera, unsigned(capturePin(camera)), trans, 0) && ok;
    }
  };
  if (c.focusDisplay == 2) {
    intoTransform();
    add({videoTee_.get(), transSub_.get(), extract_.get(), videoSub_.get()});
    ok = connect(trans, 0, videoTee_.get(), 0) && ok;
    ok = connect(videoTee_.get(), 0, transSub_.get(), 0) && ok;
    ok = connect(videoTee_.get(), 1, extract_.get(), 0) && ok;
    if (c.encoder) {
      add({encoder_.get(), encoder2_.get()});
      ok = connect(transSub_.get(), 0, encoder_.get(), 0) && ok;
      ok = connect(extract_.get(), 0, encoder2_.get(), 0) && ok;
      ok = connect(encoder_.get(), 0, videoMain_.get(), 0) && ok;
      ok = connect(encoder2_.get(), 0, videoSub_.get(), 0) && ok;
    } else {
      ok = connect(transSub_.get(), 0, videoMain_.get(), 0) && ok;
      ok = connect(extract_.get(), 0, videoSub_.get(), 0) && ok;
    }
  } else if (c.dvCamera && !c.encoder) {
    ok = connect(camera, unsigned(capturePin(camera)), videoMain_.get(), 0) && ok;
  } else {
    intoTransform();
    if (c.encoder) {
      add({encoder_.get()});
      ok = connect(trans, 0, encoder_.get(), 0) && ok;
      ok = connect(encoder_.get(), 0, videoMain_.get(), 0) && ok;
    } else {
      ok = connect(trans, 0, videoMain_.get(), 0) && ok;
    }
  }
  ok = connect(source_.get(), 0, pointerTee_.get(), 0) && ok;
  ok = connect(pointerTee_.get(), 0, pointer_.get(), 0) && ok;
  if (c.focusDisplay == 2) ok = connect(pointerTee_.get(), 1, extract_.get(), 1) && ok;
  for (int k = 0; k < c.extraPointers && k < 3; ++k) {
    add({extraSources_[k].get(), extraServers_[k].get()});
    ok = connect(extraSources_[k].get(), 0, extraServers_[k].get(), 0) && ok;
  }
  if (c.audio) {
    add({microphone_.get(), audio_.get(), mp3_.get()});
    ok = connect(microphone_.get(), 0, mp3_.get(), 0) && ok;
    ok = connect(mp3_.get(), 0, audio_.get(), 0) && ok;
  }
  return ok;
}

bool LabSender::destroyGraph() {
  removeAllFilters();
  return true;
}

bool LabSender::reconfigure(const LabSenderConfig& config) {
  stop();
  destroyGraph();
  config_ = config;
  const bool built = buildGraph();
  return start() && built;
}

TestStatus LabSender::status() const {
  TestStatus s;
  s.running = isStarted() ? 1 : 0;
  s.focusDisplay = config_.focusDisplay;
  s.mainVideoAddress = videoMain_->getAddress().c_str();
  s.mainVideoPort = videoMain_->getPort();
  s.mainVideoFormat = videoMain_->getInputVideoFormat();
  s.mainVideoResolution = videoMain_->getInputVideoResolution();
  s.subVideoAddress = videoSub_->getAddress().c_str();
  s.subVideoPort = videoSub_->getPort();
  s.subVideoFormat = videoSub_->getInputVideoFormat();
  s.subVideoResolution = videoSub_->getInputVideoResolution();
  s.audioAddress = audio_->getAddress().c_str();
  s.audioPort = audio_->getPort();
  s.audioFormat = audio_->getInputAudioFormat();
  s.pointerAddress = pointer_->getAddress().c_str();
  s.pointerPort = pointer_->getPort();
  s.videoFormat = transMain_->getActualOutputVideoFormat();
  s.loupexVideoFormat = config_.zoomFormat;
  return s;
}
