#include "talvex/TalvexEngine.h"

#include <cstring>

#include "pellum/mxNotify.h"
#include "platform/com/runtime.h"
#include "talvex/TalvexCodes.h"

using namespace talvex;

Talvex::~Talvex() {
  // The owner shuts the engine down first; should it not, let nothing run on.
  if (!graph_.isNull() || !status_.isNull()) shutdown();
}

// ---------------------------------------------------------------- lifecycle

bool Talvex::initialize(OAHWND owner) {
  if (FAILED(CoInitialize(nullptr))) {
    mxNotify::post(mxNotify::Error, "Talvex: the component library cannot be initialised");
    return false;
  }
  comInitialized_ = true;
  graph_ = new TalvexGraphManager(owner);
  if (!graph_->initialize()) {
    mxNotify::post(mxNotify::Error, "Talvex: the sender graph cannot be set up (see the messages above)");
    return false;
  }
  graph_->buildGraph();
  status_ = new rsGraphStatusSender;
  openStatusChannel();
  graph_->start();
  ready_ = true;
  fillAndSendStatus();
  return true;
}

void Talvex::shutdown() {
  if (!graph_.isNull()) {
    graph_->stop();
    graph_->destroyGraph();
  }
  if (!status_.isNull()) {
    fillAndSendStatus();  // running is false now
    // Nothing repeats this last word: sent again, so that one lost datagram
    // does not leave a receiver following a sender that is gone.
    for (int i = 1; i < kLastWordRepeats; ++i) status_->sendStatus();
    if (status_->isOpen()) status_->close();
    status_ = nullptr;
  }
  if (!graph_.isNull()) {
    graph_->shutdown();
    graph_ = nullptr;
  }
  if (comInitialized_) CoUninitialize();
  comInitialized_ = false;
  ready_ = false;
}

bool Talvex::openStatusChannel() {
  if (status_->open()) return true;
  mxNotify::post(mxNotify::Error,
                 "Talvex: the status channel %s port %u (time to live %u) cannot be opened; no status is "
                 "sent until one of its settings changes and it opens",
                 status_->getAddress().c_str() ? status_->getAddress().c_str() : "",
                 unsigned(status_->getPort()), status_->getTimeToLive());
  return false;
}

void Talvex::reopenStatusChannelIfClosed() {
  if (ready_ && !status_.isNull() && !status_->isOpen()) openStatusChannel();
}

bool Talvex::isValidGraph() const {
  return !graph_.isNull() && graph_->isGraphValid();
}

template <class Store>
void Talvex::rebuild(const char* setting, Store store) {
  graph_->stop();
  graph_->destroyGraph();
  store();
  graph_->buildGraph();
  graph_->start();
  ++numRebuilds_;
  if (recentRebuilds_.size() == kRebuildLogSize) recentRebuilds_.pop_front();
  recentRebuilds_.push_back(setting);
  fillAndSendStatus();
}

// ---------------------------------------------------------------- status

bool Talvex::isRunning() const {
  // A graph whose video part could not be built sends nothing: receivers
  // would only wait for streams that never come.
  return !graph_.isNull() && graph_->isStarted() && graph_->isVideoValid();
}

void Talvex::fillAndSendStatus() {
  if (status_.isNull() || graph_.isNull()) return;
  rsGraphStatus& s = status_->getStatus();
  s.running = isRunning() ? 1 : 0;
  s.focusDisplay = graph_->getFocusDisplay();
  if (rsOstrelFilter* main = graph_->getVideoServerMain()) {
    s.mainVideoAddress = main->getAddress();
    s.mainVideoPort = main->getPort();
    s.mainVideoFormat = main->getInputVideoFormat();
    s.mainVideoResolution = main->getInputVideoResolution();
  }
  if (rsOstrelFilter* sub = graph_->getVideoServerSub()) {
    s.subVideoAddress = sub->getAddress();
    s.subVideoPort = sub->getPort();
    s.subVideoFormat = sub->getInputVideoFormat();
    s.subVideoResolution = sub->getInputVideoResolution();
  }
  if (rsOstrelFilter* audio = graph_->getAudioServer()) {
    s.audioAddress = audio->getAddress();
    s.audioPort = audio->getPort();
    s.audioFormat = audio->getInputAudioFormat();
  }
  if (rsOstrelFilter* pointer = graph_->getPointerServer()) {
    s.pointerAddress = pointer->getAddress();
    s.pointerPort = pointer->getPort();
  }
  s.loupexVideoFormat = loupexVideoFormat_;
  s.loupexMaskType = loupexMaskType_;
  s.loupexMaskWidth = int32_t(loupexMaskWidth_);
  s.loupexMaskHeight = int32_t(loupexMaskHeight_);
  s.videoFormat =
      graph_->getFormatTransformMain() ? graph_->getFormatTransformMain()->getActualOutputVideoFormat() : 0;
  s.compoundMaskType = compoundMaskType_;
  s.compoundBlendingType = compoundBlendingType_;
  status_->sendStatus();
}

void Talvex::timerProcess() {
  if (!status_.isNull()) status_->sendStatus();
}

// ---------------------------------------------------------------- devices

unsigned Talvex::getNumVideoCaptures() const {
  return graph_->getNumVideoCaptures();
}
unsigned Talvex::getNumAudioCaptures() const {
  return graph_->getNumAudioCaptures();
}
int Talvex::getVideoCapture() const {
  return graph_->getVideoCaptureIndex();
}
int Talvex::getAudioCapture() const {
  return graph_->getAudioCaptureIndex();
}

rsCaptureFilter* Talvex::getSelectedVideoCapture() const {
  return graph_->getVideoCapture(graph_->getVideoCaptureIndex());
}
rsCaptureFilter* Talvex::getSelectedAudioCapture() const {
  return graph_->getAudioCapture(graph_->getAudioCaptureIndex());
}

bool Talvex::setVideoCapture(int index) {
  if (index < kNoDevice || (index >= 0 && unsigned(index) >= getNumVideoCaptures())) {
    mxNotify::post(mxNotify::Warn, "Talvex: video capture %d refused: %u devices are listed", index,
                   getNumVideoCaptures());
    return false;
  }
  if (index != getVideoCapture()) rebuild("VideoCapture", [&] { graph_->setVideoCaptureIndex(index); });
  return true;
}

bool Talvex::setAudioCapture(int index) {
  if (index < kNoDevice || (index >= 0 && unsigned(index) >= getNumAudioCaptures())) {
    mxNotify::post(mxNotify::Warn, "Talvex: audio capture %d refused: %u devices are listed", index,
                   getNumAudioCaptures());
    return false;
  }
  if (index != getAudioCapture()) rebuild("AudioCapture", [&] { graph_->setAudioCaptureIndex(index); });
  return true;
}

// ---------------------------------------------------------------- encoders, formats, focus display

namespace {

bool accepted(const CodeTable& table, int code, const char* setting) {
  if (table.contains(code)) return true;
  mxNotify::post(mxNotify::Warn, "Talvex: %s %d refused: not a known code", setting, code);
  return false;
}

}  // namespace

int Talvex::getVideoEncoder() const {
  return graph_->getVideoEncoder();
}
int Talvex::getAudioEncoder() const {
  return graph_->getAudioEncoder();
}
int Talvex::getFocusDisplay() const {
  return graph_->getFocusDisplay();
}
int Talvex::getVideoFormat() const {
  return graph_->getFormatTransformMain()->getOutputVideoFormat();
}
int Talvex::getImageCompoundBaseVideoFormat() const {
  return graph_->getFormatTransformSub()->getOutputVideoFormat();
}
int Talvex::getImageCompoundAdditionalVideoFormat() const {
  return graph_->getImageExtract()->getOutputVideoFormat();
}

bool Talvex::setVideoEncoder(int code) {
  if (!accepted(kVideoEncoders, code, "video encoder")) return false;
  if (code != getVideoEncoder()) rebuild("VideoEncoder", [&] { graph_->setVideoEncoder(code); });
  return true;
}

bool Talvex::setAudioEncoder(int code) {
  if (!accepted(kAudioEncoders, code, "audio encoder")) return false;
  if (code != getAudioEncoder()) rebuild("AudioEncoder", [&] { graph_->setAudioEncoder(code); });
  return true;
}

bool Talvex::setVideoFormat(int code) {
  if (!accepted(kVideoFormats, code, "video format")) return false;
  if (code != getVideoFormat())
    rebuild("VideoFormat", [&] { graph_->getFormatTransformMain()->setOutputVideoFormat(code); });
  return true;
}

bool Talvex::setFocusDisplay(int code) {
  if (!accepted(kFocusDisplays, code, "focus display")) return false;
  if (code != getFocusDisplay()) rebuild("FocusDisplay", [&] { graph_->setFocusDisplay(code); });
  return true;
}

bool Talvex::setImageCompoundBaseVideoFormat(int code) {
  if (!accepted(kVideoFormats, code, "image-compound base format")) return false;
  rebuild("ImageCompoundBaseVideoFormat",
          [&] { graph_->getFormatTransformSub()->setOutputVideoFormat(code); });
  return true;
}

bool Talvex::setImageCompoundAdditionalVideoFormat(int code) {
  if (!accepted(kVideoFormats, code, "image-compound additional format")) return false;
  rebuild("ImageCompoundAdditionalVideoFormat",
          [&] { graph_->getImageExtract()->setOutputVideoFormat(code); });
  return true;
}

bool Talvex::isValidVideoEncoder(int code) const {
  if (code == VideoEncoderNone) return true;
  return code == VideoEncoderMPEG42 && graph_->hasVideoEncoder(kMPEG4EncoderName);
}

bool Talvex::isValidAudioEncoder(int code) const {
  if (code == AudioEncoderNone) return true;
  return code == AudioEncoderMP3 && graph_->hasAudioEncoder(kMP3EncoderName);
}

bool Talvex::isValidFocusDisplay(int code) const {
  rsCaptureFilter* camera = getSelectedVideoCapture();
  if (!camera || !kFocusDisplays.contains(code)) return false;
  if (code == FocusImageCompound && !camera->isAnalogVideoCapture() && getVideoEncoder() == VideoEncoderNone)
    return false;
  return true;
}

bool Talvex::setLoupexVideoFormat(int code) {
  if (!accepted(kVideoFormats, code, "Loupex video format")) return false;
  loupexVideoFormat_ = code;
  fillAndSendStatus();
  return true;
}

bool Talvex::setLoupexMaskType(int code) {
  if (!accepted(kLoupexMaskTypes, code, "Loupex mask type")) return false;
  loupexMaskType_ = code;
  fillAndSendStatus();
  return true;
}

void Talvex::setLoupexMaskSize(unsigned width, unsigned height) {
  loupexMaskWidth_ = width;
  loupexMaskHeight_ = height;
  fillAndSendStatus();
}

void Talvex::getLoupexMaskSize(unsigned& width, unsigned& height) const {
  width = loupexMaskWidth_;
  height = loupexMaskHeight_;
}

bool Talvex::setImageCompoundMaskType(int code) {
  if (!accepted(kCompoundMaskTypes, code, "image-compound mask type")) return false;
  compoundMaskType_ = code;
  fillAndSendStatus();
  return true;
}

bool Talvex::setImageCompoundBlendingType(int code) {
  if (!accepted(kBlendingTypes, code, "image-compound blending type")) return false;
  compoundBlendingType_ = code;
  fillAndSendStatus();
  return true;
}

// ---------------------------------------------------------------- servers

rsOstrelFilter* Talvex::getServer(Server server) const {
  switch (server) {
    case Main:
      return graph_->getVideoServerMain();
    case Sub:
      return graph_->getVideoServerSub();
    case Audio:
      return graph_->getAudioServer();
    case Pointer:
      return graph_->getPointerServer();
  }
  return nullptr;
}

void Talvex::setServerAddress(Server server, const mxString& address) {
  getServer(server)->setAddress(address);
  if (server == Pointer) graph_->getPointerClient()->setAddress(address);
  fillAndSendStatus();
}

void Talvex::setServerPort(Server server, uint16_t port) {
  getServer(server)->setPort(port);
  if (server == Pointer) graph_->getPointerClient()->setPort(port);
  fillAndSendStatus();
}

void Talvex::setServerTimeToLive(Server server, unsigned ttl) {
  getServer(server)->setTimeToLive(ttl);
  if (server == Pointer) graph_->getPointerClient()->setTimeToLive(ttl);
  fillAndSendStatus();
}

mxString Talvex::getServerAddress(Server server) const {
  return getServer(server)->getAddress();
}
uint16_t Talvex::getServerPort(Server server) const {
  return getServer(server)->getPort();
}
unsigned Talvex::getServerTimeToLive(Server server) const {
  return getServer(server)->getTimeToLive();
}

void Talvex::setServerMaxTransmittingRate(Server server, unsigned bitsPerSecond) {
  getServer(server)->setMaximumTransmittingRate(bitsPerSecond);
}
unsigned Talvex::getServerMaxTransmittingRate(Server server) const {
  return getServer(server)->getMaximumTransmittingRate();
}
void Talvex::setServerTransmittingCount(Server server, unsigned count) {
  getServer(server)->setTransmittingCount(count);
}
unsigned Talvex::getServerTransmittingCount(Server server) const {
  return getServer(server)->getTransmittingCount();
}
void Talvex::setServerPacketSize(Server server, unsigned bytes) {
  getServer(server)->setMaximumPacketSize(bytes);
}
unsigned Talvex::getServerPacketSize(Server server) const {
  return getServer(server)->getMaximumPacketSize();
}
unsigned Talvex::getServerTransmittingRate(Server server) const {
  return getServer(server)->getTransmittingRate();
}
unsigned Talvex::getServerFrameRate(Server server) const {
  return getServer(server)->getFrameRate();
}

// ---------------------------------------------------------------- status channel

// A sender that moves its status channel to another address or port says
// on the old one, while it runs, that it no longer runs there: receivers
// that stay behind empty their graphs instead of following a sender that
// left them (said more than once, as no tick repeats it). The new channel
// hears the whole status at once.
void Talvex::leaveStatusChannel() {
  if (!ready_ || !status_->isOpen() || !status_->getStatus().running) return;
  rsGraphStatus& s = status_->getStatus();
  s.running = 0;
  for (int i = 0; i < kLastWordRepeats; ++i) status_->sendStatus();
  s.running = 1;
}

void Talvex::setStatusAddress(const mxString& address) {
  const mxString now = status_->getAddress();
  const bool moves = std::strcmp(now.c_str() ? now.c_str() : "", address.c_str() ? address.c_str() : "") != 0;
  if (moves) leaveStatusChannel();
  status_->setAddress(address);
  reopenStatusChannelIfClosed();
  if (moves) fillAndSendStatus();
}
void Talvex::setStatusPort(uint16_t port) {
  const bool moves = port != status_->getPort();
  if (moves) leaveStatusChannel();
  status_->setPort(port);
  reopenStatusChannelIfClosed();
  if (moves) fillAndSendStatus();
}
void Talvex::setStatusTimeToLive(unsigned ttl) {
  status_->setTimeToLive(ttl);
  reopenStatusChannelIfClosed();
}
void Talvex::setStatusPacketSize(unsigned bytes) {
  status_->setPacketSize(bytes);
}
mxString Talvex::getStatusAddress() const {
  return status_->getAddress();
}
uint16_t Talvex::getStatusPort() const {
  return status_->getPort();
}
unsigned Talvex::getStatusTimeToLive() const {
  return status_->getTimeToLive();
}
unsigned Talvex::getStatusPacketSize() const {
  return status_->getPacketSize();
}
bool Talvex::isStatusChannelOpen() const {
  return !status_.isNull() && status_->isOpen();
}

// ---------------------------------------------------------------- video window

void Talvex::setVideoWindowPosition(int x, int y) {
  graph_->setVideoWindowPosition(x, y);
}
void Talvex::getVideoWindowPosition(int& x, int& y) const {
  graph_->getVideoWindowPosition(x, y);
}
void Talvex::setVideoWindowSize(unsigned width, unsigned height) {
  graph_->setVideoWindowSize(width, height);
}
void Talvex::getVideoWindowSize(unsigned& width, unsigned& height) const {
  graph_->getVideoWindowSize(width, height);
}
