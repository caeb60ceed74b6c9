#include "talvex/TalvexGraphManager.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "gravet/rsFilterEnumerator.h"
#include "talvex/TalvexCodes.h"

using namespace talvex;

namespace {

constexpr const char* kDefaultGroup = "234.5.6.7";
constexpr unsigned kDefaultMaxRate = 104857600;
constexpr uint16_t kMainPort = 8190, kSubPort = 8191, kAudioPort = 8192, kPointerPort = 8193;
constexpr int kPointerMediaType = 2;    // pointer records
constexpr int kAnyColourFormat = 3;     // whatever the camera offers
constexpr int kThroughFormat = 8;       // the capture size
constexpr int kCompoundBaseFormat = 0;  // SQCIF
constexpr int kCompoundCutFormat = 1;   // QCIF

// Appends every filter an enumerator yields, except one friendly name.
void collect(rsFilterEnumerator* list, TalvexGraphManager::FilterList& into, const char* except = nullptr) {
  mxObjectPtr<rsFilter> f;
  while (list->nextFilter(f)) {
    if (except && std::strcmp(f->getName().c_str(), except) == 0) continue;
    into.append(f);
  }
}

}  // namespace

TalvexGraphManager::TalvexGraphManager(OAHWND owner) : rsGraphManager(owner) {
  for (FilterList* list :
       {&videoCaptures_, &audioCaptures_, &videoEncoders_, &subVideoEncoders_, &audioEncoders_})
    list->setCapacity(16);
}

TalvexGraphManager::~TalvexGraphManager() = default;

rsCaptureFilter* TalvexGraphManager::captureAt(const FilterList& list, int index) {
  if (index < 0 || unsigned(index) >= list.getSize()) return nullptr;
  rsFilter* f = list[unsigned(index)];
  return f && f->isDerivedFrom(rsCaptureFilter::getStaticClassType()) ? static_cast<rsCaptureFilter*>(f)
                                                                      : nullptr;
}

rsFilter* TalvexGraphManager::findCodec(const FilterList& list, const char* friendlyName) {
  for (uint32_t i = 0; i < list.getSize(); ++i) {
    rsFilter* f = list[i];
    if (f && f->isDerivedFrom(rsCodecFilter::getStaticClassType()) &&
        static_cast<rsCodecFilter*>(f)->getFriendlyName() == friendlyName)
      return f;
  }
  return nullptr;
}

// ---------------------------------------------------------------- lifecycle

bool TalvexGraphManager::initialize() {
  if (!rsGraphManager::initialize()) return false;
  // Graph viewers find the sender's graph in the process registry.
  if (FAILED(addToRot(getGraphBuilder(), &rotRegistration_))) rotRegistration_ = 0;
  if (!discoverFilters()) {
    if (rotRegistration_) removeFromRot(rotRegistration_);
    rotRegistration_ = 0;
    rsGraphManager::shutdown();
    return false;
  }
  setStartValues();
  probeAudio();
  return true;
}

bool TalvexGraphManager::discoverFilters() {
  {
    mxObjectPtr<rsCaptureEnumerator> video = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
    collect(video, videoCaptures_);
    mxObjectPtr<rsCaptureEnumerator> audio = new rsCaptureEnumerator(rsCaptureEnumerator::AudioInputDevice);
    collect(audio, audioCaptures_);
    // Each listing creates new instances: the second list gives image-compound
    // mode an encoder of its own for the second stream.
    mxObjectPtr<rsCodecEnumerator> encoders = new rsCodecEnumerator(rsCodecEnumerator::VideoCompressor);
    collect(encoders, videoEncoders_, kDVEncoderName);
    encoders = new rsCodecEnumerator(rsCodecEnumerator::VideoCompressor);
    collect(encoders, subVideoEncoders_, kDVEncoderName);
    mxObjectPtr<rsCodecEnumerator> audioEncoders = new rsCodecEnumerator(rsCodecEnumerator::AudioCompressor);
    collect(audioEncoders, audioEncoders_);
    mxObjectPtr<rsCodecEnumerator> decoders = new rsCodecEnumerator(rsCodecEnumerator::VideoDecoder);
    mxObjectPtr<rsFilter> f;
    while (dvDecoder_.isNull() && decoders->nextFilter(f))
      if (std::strcmp(f->getName().c_str(), kDVDecoderName) == 0) dvDecoder_ = f;
  }

  videoRender_ = new rsVideoRenderFilter("VideoRender");
  audioRender_ = new rsAudioRenderFilter("AudioRender");
  videoServerMain_ = new rsOstrelFilter("VideoServer(Main)");
  videoServerSub_ = new rsOstrelFilter("VideoServer(Sub)");
  audioServer_ = new rsOstrelFilter("AudioServer");
  pointerServer_ = new rsOstrelFilter("PointerServer");
  pointerClient_ = new rsIngrelFilter("PointerClient");
  formatTransformMain_ = new rsFormatTransFilter("FormatTransform(Main)");
  formatTransformSub_ = new rsFormatTransFilter("FormatTransform(Sub)");
  imageExtract_ = new rsImageExtractFilter("ImageExtract");
  tracion_ = new rsTracionFilter("Tracion");
  videoTee_ = new rsInfPinTeeFilter("VideoInfinitePinTee");
  dvTee_ = new rsInfPinTeeFilter("DVInfinitePinTee");
  audioTee_ = new rsInfPinTeeFilter("AudioInfinitePinTee");
  smartTee_ = new rsSmartTeeFilter("SmartTee");

  // Every check runs and is reported; the fatal ones fail initialisation.
  struct Check {
    bool missing;
    const char* message;
    bool fatal;
  };
  const Check checks[] = {
      {videoCaptures_.getSize() == 0, "Video Capture was not Detected.", true},
      {audioCaptures_.getSize() == 0, "Audio Capture was not Detected.", false},
      {videoEncoders_.getSize() == 0, "MPEG4 Encoder was not Detected.", true},
      {audioEncoders_.getSize() == 0, "MP3 Encoder was not Detected.", false},
      {!videoRender_->isValid(), "Video Renderer is not Detected.", true},
      {!audioRender_->isValid(), "Audio Renderer is not Detected.", false},
      {!videoServerMain_->isValid() || !videoServerSub_->isValid() || !audioServer_->isValid() ||
           !pointerServer_->isValid(),
       "Multicast Server is not Detected.", true},
      {!pointerClient_->isValid(), "Multicast Client is not Detected.", true},
      {!formatTransformMain_->isValid() || !formatTransformSub_->isValid(),
       "Format Transform is not Detected.", true},
      {!imageExtract_->isValid(), "Image Extract is not Detected.", true},
      {!tracion_->isValid(), "Pointer Position is not Detected.", true},
      {!videoTee_->isValid(), "Infinite Pin Tee is not Detected.", true},
      {!smartTee_->isValid(), "Smart Tee is not Detected.", true},
  };
  bool ok = true;
  for (const Check& c : checks) {
    if (!c.missing) continue;
    ErrMsg("%s", c.message);  // also logged
    if (c.fatal) ok = false;
  }
  return ok;
}

void TalvexGraphManager::setStartValues() {
  const uint16_t ports[] = {kMainPort, kSubPort, kAudioPort, kPointerPort};
  rsOstrelFilter* servers[] = {videoServerMain_, videoServerSub_, audioServer_, pointerServer_};
  for (int i = 0; i < 4; ++i) {
    servers[i]->setAddress(kDefaultGroup);
    servers[i]->setPort(ports[i]);
    servers[i]->setTimeToLive(1);
    servers[i]->setMaximumTransmittingRate(kDefaultMaxRate);
  }
  pointerClient_->setAddress(kDefaultGroup);
  pointerClient_->setPort(kPointerPort);
  pointerClient_->setTimeToLive(1);
  pointerClient_->setMediaType(kPointerMediaType);
  formatTransformMain_->setOutputVideoFormat(kThroughFormat);
  formatTransformMain_->setInputVideoFormatColor(kAnyColourFormat);
  formatTransformSub_->setOutputVideoFormat(kCompoundBaseFormat);
  formatTransformSub_->setInputVideoFormatColor(kAnyColourFormat);
  imageExtract_->setOutputVideoFormat(kCompoundCutFormat);
}

void TalvexGraphManager::probeAudio() {
  rsCaptureFilter* audio = getAudioCapture(audioCaptureIndex_);
  if (!audio) return;
  // Run the audio branch once briefly, so that the sound devices are opened
  // and settled before the first real graph.
  buildAudio(audio);
  start();
  std::this_thread::sleep_for(std::chrono::milliseconds(kAudioProbeMs));
  stop();
  destroyGraph();
}

bool TalvexGraphManager::shutdown() {
  for (FilterList* list :
       {&videoCaptures_, &audioCaptures_, &videoEncoders_, &subVideoEncoders_, &audioEncoders_})
    list->clear();
  dvDecoder_ = nullptr;
  videoRender_ = nullptr;
  audioRender_ = nullptr;
  videoServerMain_ = nullptr;
  videoServerSub_ = nullptr;
  audioServer_ = nullptr;
  pointerServer_ = nullptr;
  pointerClient_ = nullptr;
  formatTransformMain_ = nullptr;
  formatTransformSub_ = nullptr;
  imageExtract_ = nullptr;
  tracion_ = nullptr;
  videoTee_ = nullptr;
  dvTee_ = nullptr;
  audioTee_ = nullptr;
  smartTee_ = nullptr;
  if (rotRegistration_) removeFromRot(rotRegistration_);
  rotRegistration_ = 0;
  graphValid_ = videoValid_ = false;
  return rsGraphManager::shutdown();
}

// ---------------------------------------------------------------- building

bool TalvexGraphManager::link(rsFilter* from, int output, rsFilter* to, int input) {
  if (!from || !to || output < 0 || input < 0) return false;
  return connectFilter(mxObjectPtr<rsFilter>(from), unsigned(output), mxObjectPtr<rsFilter>(to),
                       unsigned(input));
}

bool TalvexGraphManager::buildGraph() {
  bool ok = videoValid_ = buildVideo();
  if (rsCaptureFilter* audio = getAudioCapture(audioCaptureIndex_)) ok = buildAudio(audio) && ok;
  setVideoWindowVisible(true);
  setVideoWindowOwner(getOwner());
  setVideoWindowStyle(kVideoWindowStyle);
  setVideoWindowPosition(0, 0);
  graphValid_ = ok;
  return ok;
}

bool TalvexGraphManager::buildVideo() {
  rsCaptureFilter* camera = getVideoCapture(videoCaptureIndex_);
  if (!camera) return false;
  // A camera that is not an analog capture device is taken for a DV camera.
  const bool analog = camera->isAnalogVideoCapture();
  const int preview = camera->getPreviewPinIndex();
  const bool mpeg = videoEncoder_ == VideoEncoderMPEG42;
  const bool compound = focusDisplay_ == FocusImageCompound;
  const bool pointer = focusDisplay_ == FocusLoupex || compound;
  // An undecoded DV stream cannot be cut into two pictures.
  if (compound && !analog && !mpeg) return false;

  rsFilter* encoder = mpeg ? findCodec(videoEncoders_, kMPEG4EncoderName) : nullptr;
  rsFilter* subEncoder = mpeg && compound ? findCodec(subVideoEncoders_, kMPEG4EncoderName) : nullptr;
  rsFilter* main = formatTransformMain_;
  rsFilter* sub = formatTransformSub_;
  rsFilter* extract = imageExtract_;
  rsFilter* tee = videoTee_;
  const bool rawDV = !analog && !mpeg;

  // Every filter goes in before the first connection.
  add(camera);
  rsFilter* source = camera;
  int sourcePin = preview;
  if (preview < 0) {
    // Without a preview pin the Smart Tee makes one from the capture pin.
    add(smartTee_);
    source = smartTee_;
    sourcePin = 1;
  }
  if (rawDV) {
    add(dvTee_);
    add(dvDecoder_);
  } else {
    if (!analog) add(dvDecoder_);
    add(main);
    add(tee);
    if (compound) {
      add(sub);
      add(extract);
    }
    add(encoder);
    add(subEncoder);
  }
  add(videoRender_);
  add(videoServerMain_);
  if (compound) {
    add(videoServerSub_);
    add(pointerClient_);
  }
  if (pointer) {
    add(tracion_);
    add(pointerServer_);
  }

  // Every connection is attempted; the result is the AND of them all.
  bool ok = true;
  auto connect = [&](rsFilter* from, int output, rsFilter* to, int input) {
    ok = link(from, output, to, input) && ok;
  };
  if (preview < 0) connect(camera, camera->getCapturePinIndex(), smartTee_, 0);
  if (rawDV) {
    // The DV stream goes out undecoded and is decoded for the preview only.
    connect(source, sourcePin, dvTee_, 0);
    connect(dvTee_, 0, dvDecoder_, 0);
    connect(dvTee_, 1, videoServerMain_, 0);
    connect(dvDecoder_, 0, videoRender_, 0);
  } else {
    if (analog) {
      connect(source, sourcePin, main, 0);
    } else {
      connect(source, sourcePin, dvDecoder_, 0);
      connect(dvDecoder_, 0, main, 0);
    }
    connect(main, 0, tee, 0);
    if (compound) {
      // The whole picture reduced on the main stream, the cut-out around the
      // pointer on the second.
      connect(tee, 0, videoRender_, 0);
      connect(tee, 1, sub, 0);
      connect(tee, 2, extract, 0);
      if (mpeg) {
        connect(sub, 0, encoder, 0);
        connect(extract, 0, subEncoder, 0);
        connect(encoder, 0, videoServerMain_, 0);
        connect(subEncoder, 0, videoServerSub_, 0);
      } else {
        connect(sub, 0, videoServerMain_, 0);
        connect(extract, 0, videoServerSub_, 0);
      }
      connect(pointerClient_, 0, extract, 1);
    } else if (mpeg && !analog) {
      connect(tee, 0, encoder, 0);
      connect(tee, 1, videoRender_, 0);
      connect(encoder, 0, videoServerMain_, 0);
    } else if (mpeg) {
      connect(tee, 0, videoRender_, 0);
      connect(tee, 1, encoder, 0);
      connect(encoder, 0, videoServerMain_, 0);
    } else {
      connect(tee, 0, videoRender_, 0);
      connect(tee, 1, videoServerMain_, 0);
    }
  }
  if (pointer) connect(tracion_, 0, pointerServer_, 0);
  return ok;
}

bool TalvexGraphManager::buildAudio(rsCaptureFilter* capture) {
  add(capture);
  add(audioTee_);
  add(audioRender_);
  add(audioServer_);
  bool ok = link(capture, 0, audioTee_, 0);
  ok = link(audioTee_, 0, audioRender_, 0) && ok;
  rsFilter* mp3 = audioEncoder_ == AudioEncoderMP3 ? findCodec(audioEncoders_, kMP3EncoderName) : nullptr;
  if (mp3) {
    add(mp3);
    ok = link(audioTee_, 1, mp3, 0) && ok;
    ok = link(mp3, 0, audioServer_, 0) && ok;
  } else {
    ok = link(audioTee_, 1, audioServer_, 0) && ok;
  }
  return ok;
}

bool TalvexGraphManager::destroyGraph() {
  setVideoWindowVisible(false);
  setVideoWindowOwner(0);
  removeAllFilters();
  return true;
}
