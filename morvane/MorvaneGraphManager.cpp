#include "morvane/MorvaneGraphManager.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "filters/mediaclass/mediaclass.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "pellum/mxNotify.h"

namespace {

constexpr const char* kMpeg4Decoder = "Mpeg4 Decoder DMO";
constexpr const char* kDVDecoder = "DV Video Decoder";
constexpr const char* kMp3Decoder = "MPEG Layer-3 Decoder";
constexpr const char* kDefaultGroup = "234.5.6.7";

void enumerate(rsCodecEnumerator::CategoryEnum category, std::vector<mxObjectPtr<rsFilter>>& list) {
  mxObjectPtr<rsCodecEnumerator> codecs = new rsCodecEnumerator(category);
  mxObjectPtr<rsFilter> f;
  while (codecs->nextFilter(f))
    if (!f.isNull()) list.push_back(f);
}

void sleepMs(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

MorvaneGraphManager::MorvaneGraphManager(OAHWND owner) : rsGraphManager(owner) {}

MorvaneGraphManager::~MorvaneGraphManager() = default;

rsIngrelFilter* MorvaneGraphManager::pointerClient(int index) const {
  if (index < 0 || index >= kNumPointerClients) return nullptr;
  return pointerClients_[index].get();
}

// ---------------------------------------------------------------- initialise

void MorvaneGraphManager::discover() {
  // Each enumeration creates filters of its own, so the two video streams
  // get separate decoder instances.
  enumerate(rsCodecEnumerator::VideoDecoder, mainDecoders_);
  enumerate(rsCodecEnumerator::VideoDecoder, subDecoders_);
  enumerate(rsCodecEnumerator::AudioDecoder, audioDecoders_);

  videoRender_ = new rsVideoRenderFilter("VideoRender");
  audioRender_ = new rsAudioRenderFilter("AudioRender");
  videoClientMain_ = new rsIngrelFilter("VideoClient(Main)");
  videoClientSub_ = new rsIngrelFilter("VideoClient(Sub)");
  audioClient_ = new rsIngrelFilter("AudioClient");
  pointerFocusClient_ = new rsIngrelFilter("PointerFocusClient");
  pointerClients_[0] = new rsIngrelFilter("PointerP1Client");
  pointerClients_[1] = new rsIngrelFilter("PointerP2Client");
  pointerClients_[2] = new rsIngrelFilter("PointerP3Client");
  pointerServer_ = new rsOstrelFilter("PointerServer");
  formatTrans_ = new rsFormatTransFilter("FormatTrans");
  imageCompound_ = new rsImageCompoundFilter("ImageCompound");
  loupex_ = new rsLoupexFilter("Loupex");
  blendor_ = new rsBlendorFilter("Blendor");
  tracion_ = new rsTracionFilter("Tracion");
}

// Shows every missing component in the order of the checks; true when one
// of them is fatal.
bool MorvaneGraphManager::reportMissing() {
  bool fatal = false;
  auto check = [&](bool present, const char* message, bool isFatal) {
    if (present) return;
    ErrMsg("%s", message);
    fatal = fatal || isFatal;
  };
  check(findIn(mainDecoders_, kMpeg4Decoder) != nullptr, "Mpeg4 Video Decoder DMO is not Detected.", false);
  check(findIn(mainDecoders_, kDVDecoder) != nullptr, "DV Video Decoder is not Detected.", false);
  check(findIn(audioDecoders_, kMp3Decoder) != nullptr, "MP3 Decoder is not Detected.", false);
  check(videoRender_->isValid(), "Video Renderer is not Detected.", true);
  check(audioRender_->isValid(), "Audio Renderer is not Detected.", false);
  bool clients = videoClientMain_->isValid() && videoClientSub_->isValid() && audioClient_->isValid() &&
                 pointerFocusClient_->isValid();
  for (const auto& c : pointerClients_) clients = clients && c->isValid();
  check(clients, "Multicast Client is not Detected.", true);
  check(pointerServer_->isValid(), "Multicast Server is not Detected.", true);
  check(formatTrans_->isValid(), "Format Transform is not Detected.", true);
  check(imageCompound_->isValid(), "Image Compound is not Detected.", true);
  check(loupex_->isValid(), "Non-Linear Zoom is not Detected.", true);
  check(blendor_->isValid(), "Pointer Mixer is not Detected.", true);
  check(tracion_->isValid(), "Pointer Position is not Detected.", true);
  return fatal;
}

void MorvaneGraphManager::setStartValues() {
  struct Start {
    rsIngrelFilter* client;
    uint16_t port;
    int kind;
  };
  const Start starts[] = {
      {videoClientMain_.get(), 8190, MediaKind_Video},
      {videoClientSub_.get(), 8191, MediaKind_Video},
      {audioClient_.get(), 8192, MediaKind_Audio},
      {pointerFocusClient_.get(), 8193, MediaKind_Pointer},
      {pointerClients_[0].get(), 8200, MediaKind_Pointer},
      {pointerClients_[1].get(), 8201, MediaKind_Pointer},
      {pointerClients_[2].get(), 8202, MediaKind_Pointer},
  };
  for (const Start& s : starts) {
    s.client->setAddress(kDefaultGroup);
    s.client->setTimeToLive(1);
    s.client->setPort(s.port);
    s.client->setMediaType(s.kind);
  }
  pointerServer_->setAddress(kDefaultGroup);
  pointerServer_->setPort(8200);
  pointerServer_->setTimeToLive(1);
  formatTrans_->setOutputVideoFormat(0);
  formatTrans_->setInputVideoFormatColor(3);
  imageCompound_->setFrameRate(25);
  videoClientMain_->setVideoFormat(VideoFormat_RGB24);
  videoClientMain_->setVideoResolution(Resolution_SQCIF);
  audioClient_->setAudioFormat(AudioFormat_PCM);
  audioClient_->setAudioFrequency(Frequency_44100);
  audioClient_->setAudioBitCount(BitCount_16);
}

bool MorvaneGraphManager::initialize() {
  if (!rsGraphManager::initialize()) {
    mxNotify::post(mxNotify::Error, "Morvane: the filter graph cannot be created");
    return false;
  }
  discover();
  if (reportMissing()) {
    shutdown();
    return false;
  }
  // Graph viewers (and the tests) find the receiver's graph in the
  // process registry of graphs.
  registered_ = SUCCEEDED(addToRot(getGraphBuilder(), &rotRegistration_));
  setStartValues();

  // The probe: the graph is built, run for a moment and taken down again,
  // so that every filter has been through a start once.
  buildGraph();
  start();
  sleepMs(kSettleMs);
  stop();
  destroyGraph();
  // What the probe could not connect is shown now, on the caller's thread.
  for (const std::string& p : takeProblems()) ErrMsg("%s", p.c_str());
  return true;
}

bool MorvaneGraphManager::shutdown() {
  if (registered_) {
    removeFromRot(rotRegistration_);
    registered_ = false;
  }
  mainDecoders_.clear();
  subDecoders_.clear();
  audioDecoders_.clear();
  videoRender_ = nullptr;
  audioRender_ = nullptr;
  videoClientMain_ = nullptr;
  videoClientSub_ = nullptr;
  audioClient_ = nullptr;
  pointerFocusClient_ = nullptr;
  for (auto& c : pointerClients_) c = nullptr;
  pointerServer_ = nullptr;
  formatTrans_ = nullptr;
  imageCompound_ = nullptr;
  loupex_ = nullptr;
  blendor_ = nullptr;
  tracion_ = nullptr;
  return rsGraphManager::shutdown();
}

// ---------------------------------------------------------------- problems

void MorvaneGraphManager::queue(const char* text) {
  std::lock_guard<std::mutex> g(problemsLock_);
  problems_.emplace_back(text);
}

std::vector<std::string> MorvaneGraphManager::takeProblems() {
  std::lock_guard<std::mutex> g(problemsLock_);
  std::vector<std::string> out;
  out.swap(problems_);
  return out;
}

bool MorvaneGraphManager::connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to,
                                  unsigned input, const char* failure) {
  if (connectFilter(from, output, to, input)) return true;
  queue(failure);
  return false;
}

// ---------------------------------------------------------------- topologies

rsFilter* MorvaneGraphManager::findIn(const std::vector<mxObjectPtr<rsFilter>>& list,
                                      const char* friendlyName) {
  for (const auto& f : list) {
    auto* codec = static_cast<rsCodecFilter*>(f.get());
    if (f->isDerivedFrom(rsCodecFilter::getStaticClassType()) &&
        std::strcmp(codec->getFriendlyName().c_str(), friendlyName) == 0)
      return f.get();
  }
  return nullptr;
}

rsFilter* MorvaneGraphManager::videoDecoder(const std::vector<mxObjectPtr<rsFilter>>& list, int code) const {
  if (code == 1) return findIn(list, kMpeg4Decoder);
  if (code == 2) return findIn(list, kDVDecoder);
  return nullptr;
}

// The filters every topology ends with, after its own ones: P1-P3 into the
// mixer, the renderer, and the station's own pointer.
void MorvaneGraphManager::addCommonTailFilters() {
  for (const auto& c : pointerClients_) addFilter(c.get());
  addFilter(blendor_.get());
  addFilter(videoRender_.get());
  addFilter(tracion_.get());
  addFilter(pointerServer_.get());
}

bool MorvaneGraphManager::buildNone(rsFilter* d) {
  if (d) addFilter(d);
  addFilter(videoClientMain_.get());
  addCommonTailFilters();
  bool ok;
  if (d) {
    ok = connect(videoClientMain_.get(), 0, d, 0, "VideoClientMain - Decoder");
    ok = connect(d, 0, blendor_.get(), 0, "Decoder - Blendor") && ok;
  } else {
    ok = connect(videoClientMain_.get(), 0, blendor_.get(), 0, "VideoClientMain - Blendor");
  }
  return buildCommonTail() && ok;
}

bool MorvaneGraphManager::buildLoupex(rsFilter* d) {
  if (d) addFilter(d);
  addFilter(videoClientMain_.get());
  addFilter(pointerFocusClient_.get());
  addFilter(loupex_.get());
  addCommonTailFilters();
  bool ok;
  if (d) {
    ok = connect(videoClientMain_.get(), 0, d, 0, "_videoClientMain - decoder");
    ok = connect(d, 0, loupex_.get(), 0, "decoder - _loupex") && ok;
  } else {
    ok = connect(videoClientMain_.get(), 0, loupex_.get(), 0, "_videoClientMain - _loupex");
  }
  ok = connect(pointerFocusClient_.get(), 0, loupex_.get(), 1, "_pointerFocusClient - _loupex") && ok;
  ok = connect(loupex_.get(), 0, blendor_.get(), 0, "_loupex - _blendor") && ok;
  return buildCommonTail() && ok;
}

bool MorvaneGraphManager::buildImageCompound(rsFilter* d, rsFilter* d2) {
  if (d) addFilter(d);
  if (d2) addFilter(d2);
  addFilter(videoClientMain_.get());
  addFilter(videoClientSub_.get());
  addFilter(formatTrans_.get());
  addFilter(pointerFocusClient_.get());
  addFilter(imageCompound_.get());
  addCommonTailFilters();
  bool ok;
  if (d) {
    ok = connect(videoClientMain_.get(), 0, d, 0, "_videoClientMain - decoderMain");
    ok = connect(d, 0, formatTrans_.get(), 0, "decoderMain - _formatTransform") && ok;
  } else {
    ok = connect(videoClientMain_.get(), 0, formatTrans_.get(), 0, "_videoClientMain - _formatTransform");
  }
  if (d2) {
    ok = connect(videoClientSub_.get(), 0, d2, 0, "_videoClientSub - decoderSub") && ok;
    ok = connect(d2, 0, imageCompound_.get(), 1, "decoderSub - _imageCompound") && ok;
  } else {
    ok = connect(videoClientSub_.get(), 0, imageCompound_.get(), 1, "_videoClientSub - _imageCompound") && ok;
  }
  ok = connect(formatTrans_.get(), 0, imageCompound_.get(), 0, "_formatTransform - _imageCompound") && ok;
  ok = connect(pointerFocusClient_.get(), 0, imageCompound_.get(), 2,
               "_pointerFocusClient - _imageCompound") &&
       ok;
  ok = connect(imageCompound_.get(), 0, blendor_.get(), 0, "_imageCompound - _blendor") && ok;
  return buildCommonTail() && ok;
}

bool MorvaneGraphManager::buildCommonTail() {
  bool ok = connect(pointerClients_[0].get(), 0, blendor_.get(), 1, "_pointerP1Client - _blendor");
  ok = connect(pointerClients_[1].get(), 0, blendor_.get(), 2, "_pointerP2Client - _blendor") && ok;
  ok = connect(pointerClients_[2].get(), 0, blendor_.get(), 3, "_pointerP3Client - _blendor") && ok;
  ok = connect(blendor_.get(), 0, videoRender_.get(), 0, "_blendor - _videoRender") && ok;
  ok = connect(tracion_.get(), 0, pointerServer_.get(), 0, "_tracion - _pointerServer") && ok;
  return ok;
}

bool MorvaneGraphManager::buildAudio() {
  rsFilter* a = audioDecoder_ == 1 ? findIn(audioDecoders_, kMp3Decoder) : nullptr;
  if (a) addFilter(a);
  addFilter(audioClient_.get());
  addFilter(audioRender_.get());
  if (a) {
    bool ok = connect(audioClient_.get(), 0, a, 0, "_audioClient - decoder");
    return connect(a, 0, audioRender_.get(), 0, "decoder - _audioRender") && ok;
  }
  return connect(audioClient_.get(), 0, audioRender_.get(), 0, "_audioClient - _audioRender");
}

bool MorvaneGraphManager::buildGraph() {
  if (videoRender_.isNull()) return false;  // not initialised
  rsFilter* d = videoDecoder(mainDecoders_, mainDecoder_);
  bool ok = true;
  switch (focusDisplay_) {
    case None:
      ok = buildNone(d);
      break;
    case Loupex:
      ok = buildLoupex(d);
      break;
    case ImageCompound:
      ok = buildImageCompound(d, videoDecoder(subDecoders_, subDecoder_));
      break;
    default:
      break;  // no video topology
  }
  ok = buildAudio() && ok;
  // The mixer's pointer inputs exist only now: give them their colours.
  applyColors();
  setVideoWindowAutoShow(false);
  setVideoWindowOwner(getOwner());
  setVideoWindowVisible(true);
  setVideoWindowStyle(kVideoWindowStyle);
  return ok;
}

bool MorvaneGraphManager::destroyGraph() {
  setVideoWindowVisible(false);
  setVideoWindowOwner(0);
  removeAllFilters();
  return true;
}

// ---------------------------------------------------------------- colours

void MorvaneGraphManager::setPointerColor(int index, int color) {
  if (index < 0 || index >= kNumPointerClients) return;
  if (color < 0 || color > 7) {
    mxNotify::post(mxNotify::Warn, "Morvane: pointer colour %d for P%d is not a colour code; kept %d", color,
                   index + 1, colors_[index]);
    return;
  }
  colors_[index] = color;
  if (!blendor_.isNull()) blendor_->setPointerColor(unsigned(index), color);
}

int MorvaneGraphManager::getPointerColor(int index) const {
  if (index < 0 || index >= kNumPointerClients) return 0;
  return colors_[index];
}

void MorvaneGraphManager::applyColors() {
  if (blendor_.isNull()) return;
  for (int i = 0; i < kNumPointerClients; ++i) blendor_->setPointerColor(unsigned(i), colors_[i]);
}

// ---------------------------------------------------------------- status

void MorvaneGraphManager::applyVideoFormat(rsIngrelFilter* client, int& decoder, int format) {
  if (format == VideoFormat_MPEG4v2) {
    client->setVideoFormat(VideoFormat_MPEG4v2);
    decoder = 1;
  } else if (format == VideoFormat_DVSD) {
    client->setVideoFormat(VideoFormat_DVSD);
    decoder = 2;
  } else {
    client->setVideoFormat(VideoFormat_RGB24);
    decoder = 0;
  }
}

void MorvaneGraphManager::applyResolution(rsIngrelFilter* client, int resolution, const char* stream) {
  if (resolution >= 0 && resolution <= Resolution_720x480) {
    client->setVideoResolution(resolution);
    return;
  }
  // The client keeps its previous size; say so once for this status.
  mxNotify::post(mxNotify::Warn,
                 "Morvane: the %s video resolution code %d is not known; \"%s\" keeps code %d", stream,
                 resolution, client->getName().c_str(), client->getVideoResolution());
}

void MorvaneGraphManager::applyStatus(const rsGraphStatus& s, uint32_t mask) {
  auto bit = [mask](rsGraphStatus::Field f) { return (mask & (1u << f)) != 0; };
  using F = rsGraphStatus;
  if (bit(F::FocusDisplay)) focusDisplay_ = s.focusDisplay;
  if (bit(F::MainVideoAddress)) videoClientMain_->setAddress(s.mainVideoAddress);
  if (bit(F::MainVideoPort)) videoClientMain_->setPort(s.mainVideoPort);
  if (bit(F::MainVideoFormat)) applyVideoFormat(videoClientMain_.get(), mainDecoder_, s.mainVideoFormat);
  if (bit(F::MainVideoResolution)) applyResolution(videoClientMain_.get(), s.mainVideoResolution, "main");
  if (bit(F::SubVideoAddress)) videoClientSub_->setAddress(s.subVideoAddress);
  if (bit(F::SubVideoPort)) videoClientSub_->setPort(s.subVideoPort);
  if (bit(F::SubVideoFormat)) applyVideoFormat(videoClientSub_.get(), subDecoder_, s.subVideoFormat);
  if (bit(F::SubVideoResolution)) applyResolution(videoClientSub_.get(), s.subVideoResolution, "second");
  if (bit(F::AudioAddress)) audioClient_->setAddress(s.audioAddress);
  if (bit(F::AudioPort)) audioClient_->setPort(s.audioPort);
  if (bit(F::AudioFormat)) {
    const bool mp3 = s.audioFormat == AudioFormat_MP3;
    audioClient_->setAudioFormat(mp3 ? AudioFormat_MP3 : AudioFormat_PCM);
    audioDecoder_ = mp3 ? 1 : 0;
    audioClient_->setAudioFrequency(Frequency_44100);
    // The client compares every received type with its own by all codes:
    // an MP3 stream states no sample size (0 bits), PCM comes in 16 bits.
    // Left at the client's default (16 bits) every MP3 sample would be
    // refused as of another type, and no sound would ever play.
    audioClient_->setAudioBitCount(mp3 ? BitCount_0 : BitCount_16);
  }
  if (bit(F::PointerAddress)) pointerFocusClient_->setAddress(s.pointerAddress);
  if (bit(F::PointerPort)) pointerFocusClient_->setPort(s.pointerPort);
  if (bit(F::LoupexVideoFormat)) loupex_->setOutputVideoFormat(s.loupexVideoFormat);
  if (bit(F::LoupexMaskType)) loupex_->setMask(s.loupexMaskType);
  if (bit(F::LoupexMaskWidth) || bit(F::LoupexMaskHeight))
    loupex_->setMaskSize(unsigned(s.loupexMaskWidth), unsigned(s.loupexMaskHeight));
  if (bit(F::VideoFormat)) formatTrans_->setOutputVideoFormat(s.videoFormat);
  if (bit(F::CompoundMaskType)) imageCompound_->setMask(s.compoundMaskType);
  if (bit(F::CompoundBlendingType)) imageCompound_->setBlending(s.compoundBlendingType);
}
