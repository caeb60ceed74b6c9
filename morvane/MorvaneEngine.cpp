#include "morvane/MorvaneEngine.h"

#include <chrono>
#include <thread>

#include "pellum/mxNotify.h"
#include "platform/com/runtime.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kFieldNames[rsGraphStatus::NumFields] = {
    "running",          "focusDisplay",        "mainVideoAddress", "mainVideoPort",
    "mainVideoFormat",  "mainVideoResolution", "subVideoAddress",  "subVideoPort",
    "subVideoFormat",   "subVideoResolution",  "audioAddress",     "audioPort",
    "audioFormat",      "pointerAddress",      "pointerPort",      "loupexVideoFormat",
    "loupexMaskType",   "loupexMaskWidth",     "loupexMaskHeight", "videoFormat",
    "compoundMaskType", "compoundBlendingType"};

constexpr uint32_t kAllFields = (1u << rsGraphStatus::NumFields) - 1;

void pause(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

std::string describeStatusChange(uint32_t mask) {
  // The first record applies every field: no need to list them.
  if (mask & rsGraphStatus::FirstRecordBit) return "first record, every field";
  std::string text;
  for (int n = 0; n < rsGraphStatus::NumFields; ++n) {
    if (!(mask & (1u << n))) continue;
    if (!text.empty()) text += ", ";
    text += kFieldNames[n];
  }
  return text;
}

Morvane::~Morvane() {
  shutdown();
}

// ---------------------------------------------------------------- lifecycle

bool Morvane::initialize(OAHWND owner) {
  owner_ = owner;
  if (FAILED(CoInitialize(nullptr))) {
    mxNotify::post(mxNotify::Error, "Morvane: the component library cannot be started");
    return false;
  }
  comStarted_ = true;
  mxObjectPtr<MorvaneGraphManager> graph = new MorvaneGraphManager(owner);
  if (!graph->initialize()) {
    // It has released what it made; the engine keeps no half-made graph,
    // so that every later call answers its default.
    mxNotify::post(mxNotify::Error, "Morvane: the receiver graph cannot be set up");
    return false;
  }
  graph_ = graph;
  listener_ = new rsGraphStatusReceiver(&Morvane::statusChanged, this);
  if (!listener_->open())
    mxNotify::post(mxNotify::Error, "Morvane: the status listener cannot be opened on %s port %u",
                   listener_->getAddress().c_str(), unsigned(listener_->getPort()));
  return true;
}

void Morvane::shutdown() {
  if (!listener_.isNull()) {
    // After close no handler runs any more.
    listener_->close();
    listener_ = nullptr;
  }
  if (!graph_.isNull()) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    graph_->stop();
    graph_->destroyGraph();
    graph_->shutdown();
    graph_ = nullptr;
  }
  if (comStarted_) {
    CoUninitialize();
    comStarted_ = false;
  }
}

// ---------------------------------------------------------------- status

void Morvane::statusChanged(int mask, void* data) {
  static_cast<Morvane*>(data)->handleStatusChange(uint32_t(mask));
}

void Morvane::handleStatusChange(uint32_t mask) {
  const auto began = Clock::now();
  std::vector<std::string> problems;
  bool running = false;
  bool built = true;
  {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (graph_.isNull() || listener_.isNull()) return;
    MorvaneGraphManager& m = *graph_;
    m.stop();
    m.destroyGraph();
    const rsGraphStatus& s = listener_->getStatus();
    const uint32_t apply = (mask & rsGraphStatus::FirstRecordBit) ? kAllFields : mask;
    if (apply & (1u << rsGraphStatus::Running))
      senderRunning_.store(s.running != 0, std::memory_order_release);
    m.applyStatus(s, apply);
    running = senderRunning_.load(std::memory_order_acquire);
    if (running) {
      // Build, run, and restart once after half a second each way: stations
      // rely on this timing to settle their decoders.
      built = m.buildGraph();
      m.start();
      pause(MorvaneGraphManager::kSettleMs);
      m.stop();
      pause(MorvaneGraphManager::kSettleMs);
      m.start();
    }
    problems = m.takeProblems();
  }
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
  if (running)
    mxNotify::post(mxNotify::Notice, "Morvane: status change 0x%06x (%s): graph %s after %lld ms", mask,
                   describeStatusChange(mask).c_str(), built ? "restarted" : "restarted incomplete", ms);
  else
    mxNotify::post(mxNotify::Notice, "Morvane: status change 0x%06x (%s): sender stopped, graph empty", mask,
                   describeStatusChange(mask).c_str());
  deliver(problems);
  lastMask_.store(mask, std::memory_order_release);
  handled_.fetch_add(1, std::memory_order_acq_rel);
}

void Morvane::deliver(const std::vector<std::string>& problems) {
  Callback callback;
  void* user;
  {
    std::lock_guard<std::mutex> g(callbackLock_);
    callback = callback_;
    user = callbackUser_;
  }
  for (const std::string& p : problems) {
    mxNotify::post(mxNotify::Warn, "Morvane: %s", p.c_str());
    if (callback) callback(p.c_str(), kProblemNumber, user);
  }
  if (callback) callback(kResizeForm, kResizeNumber, user);
}

void Morvane::setCallback(Callback callback, void* user) {
  std::lock_guard<std::mutex> g(callbackLock_);
  callback_ = callback;
  callbackUser_ = user;
}

void Morvane::timerProcess() {
  if (graph_.isNull()) return;
  MorvaneGraphManager& m = *graph_;
  // The renderer, the mixer and the pointer source guard themselves; the
  // engine lock is not needed and a rebuild never delays this call.
  int x = 0, y = 0;
  unsigned w = 1, h = 1;
  m.videoRender()->getVideoWindowPosition(x, y);
  m.videoRender()->getVideoWindowSize(w, h);
  // The pointer is sampled in desktop coordinates: the video window's
  // place must be too, not its place inside the owner window.
  int sx = x, sy = y;
  screen_.toScreen(owner_, x, y, sx, sy);
  unsigned dw = 0, dh = 0;
  if (!screen_.desktopSize(dw, dh)) m.tracion()->getScreenSize(dw, dh);
  m.blendor()->setWindowPosition(0.0f, 0.0f);
  m.blendor()->setWindowSize(float(w), float(h));
  m.tracion()->setNormalizedOrigin(float(-sx), float(-sy));
  m.tracion()->setNormalizedSize(float(dw), float(dh));
}

// ---------------------------------------------------------------- pointer settings

#define MORVANE_LOCKED(def)                       \
  std::lock_guard<std::recursive_mutex> g(lock_); \
  if (graph_.isNull()) return def;

void Morvane::setPointerClientAddress(int index, const char* address) {
  MORVANE_LOCKED()
  if (rsIngrelFilter* c = graph_->pointerClient(index)) c->setAddress(address ? address : "");
}
mxString Morvane::getPointerClientAddress(int index) {
  MORVANE_LOCKED(mxString())
  rsIngrelFilter* c = graph_->pointerClient(index);
  return c ? c->getAddress() : mxString();
}
void Morvane::setPointerClientPort(int index, uint16_t port) {
  MORVANE_LOCKED()
  if (rsIngrelFilter* c = graph_->pointerClient(index)) c->setPort(port);
}
uint16_t Morvane::getPointerClientPort(int index) {
  MORVANE_LOCKED(0)
  rsIngrelFilter* c = graph_->pointerClient(index);
  return c ? c->getPort() : 0;
}
void Morvane::setPointerClientTimeToLive(int index, uint32_t ttl) {
  MORVANE_LOCKED()
  if (rsIngrelFilter* c = graph_->pointerClient(index)) c->setTimeToLive(ttl);
}
uint32_t Morvane::getPointerClientTimeToLive(int index) {
  MORVANE_LOCKED(0)
  rsIngrelFilter* c = graph_->pointerClient(index);
  return c ? c->getTimeToLive() : 0;
}

void Morvane::setPointerServerAddress(const char* address) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setAddress(address ? address : "");
}
mxString Morvane::getPointerServerAddress() {
  MORVANE_LOCKED(mxString())
  return graph_->pointerServer()->getAddress();
}
void Morvane::setPointerServerPort(uint16_t port) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setPort(port);
}
uint16_t Morvane::getPointerServerPort() {
  MORVANE_LOCKED(0)
  return graph_->pointerServer()->getPort();
}
void Morvane::setPointerServerTimeToLive(uint32_t ttl) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setTimeToLive(ttl);
}
uint32_t Morvane::getPointerServerTimeToLive() {
  MORVANE_LOCKED(0)
  return graph_->pointerServer()->getTimeToLive();
}
void Morvane::setPointerServerMaxTransmittingRate(uint32_t rate) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setMaximumTransmittingRate(rate);
}
uint32_t Morvane::getPointerServerMaxTransmittingRate() {
  MORVANE_LOCKED(0)
  return graph_->pointerServer()->getMaximumTransmittingRate();
}
void Morvane::setPointerServerTransmittingCount(uint32_t count) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setTransmittingCount(count);
}
uint32_t Morvane::getPointerServerTransmittingCount() {
  MORVANE_LOCKED(0)
  return graph_->pointerServer()->getTransmittingCount();
}
void Morvane::setPointerServerPacketSize(uint32_t bytes) {
  MORVANE_LOCKED()
  graph_->pointerServer()->setMaximumPacketSize(bytes);
}
uint32_t Morvane::getPointerServerPacketSize() {
  MORVANE_LOCKED(0)
  return graph_->pointerServer()->getMaximumPacketSize();
}

void Morvane::setPointerColor(int index, int color) {
  MORVANE_LOCKED()
  graph_->setPointerColor(index, color);
}
int Morvane::getPointerColor(int index) {
  MORVANE_LOCKED(0)
  return graph_->getPointerColor(index);
}
void Morvane::setPointerShape(int shape) {
  MORVANE_LOCKED()
  graph_->tracion()->setPointerShape(shape);
}
int Morvane::getPointerShape() {
  MORVANE_LOCKED(0)
  return graph_->tracion()->getPointerShape();
}

void Morvane::setVideoWindowPosition(int x, int y) {
  MORVANE_LOCKED()
  graph_->videoRender()->setVideoWindowPosition(x, y);
}
void Morvane::getVideoWindowPosition(int& x, int& y) {
  x = 0;
  y = 0;
  MORVANE_LOCKED()
  graph_->videoRender()->getVideoWindowPosition(x, y);
}
void Morvane::setVideoWindowSize(unsigned width, unsigned height) {
  MORVANE_LOCKED()
  graph_->videoRender()->setVideoWindowSize(width, height);
}
void Morvane::getVideoWindowSize(unsigned& width, unsigned& height) {
  width = 1;
  height = 1;
  MORVANE_LOCKED()
  graph_->videoRender()->getVideoWindowSize(width, height);
}

#undef MORVANE_LOCKED

// ---------------------------------------------------------------- status channel

template <class Change>
bool Morvane::reopenListener(const char* what, Change change) {
  if (listener_.isNull()) return false;
  // Closed first, so that the store below is never a reopen of its own,
  // and the listener opens again even for an unchanged value.
  listener_->close();
  change(*listener_);
  if (listener_->open()) return true;
  mxNotify::post(mxNotify::Error,
                 "Morvane: after the change of its %s the status listener cannot join %s port %u (not a "
                 "numeric multicast address, or the group cannot be joined on this station)",
                 what, listener_->getAddress().c_str(), unsigned(listener_->getPort()));
  return false;
}

bool Morvane::setStatusAddress(const char* address) {
  return reopenListener("address", [&](rsGraphStatusReceiver& l) { l.setAddress(address ? address : ""); });
}
mxString Morvane::getStatusAddress() const {
  return listener_.isNull() ? mxString() : listener_->getAddress();
}
bool Morvane::setStatusPort(uint16_t port) {
  return reopenListener("port", [&](rsGraphStatusReceiver& l) { l.setPort(port); });
}
uint16_t Morvane::getStatusPort() const {
  return listener_.isNull() ? 0 : listener_->getPort();
}
bool Morvane::setStatusTimeToLive(uint32_t ttl) {
  return reopenListener("time to live", [&](rsGraphStatusReceiver& l) { l.setTimeToLive(ttl); });
}
uint32_t Morvane::getStatusTimeToLive() const {
  return listener_.isNull() ? 0 : listener_->getTimeToLive();
}
bool Morvane::setStatusIPv6InterfaceId(int id) {
  return reopenListener("IPv6 interface", [&](rsGraphStatusReceiver& l) { l.setIPv6InterfaceId(id); });
}
int Morvane::getStatusIPv6InterfaceId() const {
  return listener_.isNull() ? 0 : listener_->getIPv6InterfaceId();
}

// ---------------------------------------------------------------- statistics

unsigned Morvane::getClientStatistic(int client, StatisticEnum which) const {
  if (graph_.isNull()) return 0;
  rsIngrelFilter* c = client == 0   ? graph_->videoClientMain()
                      : client == 1 ? graph_->videoClientSub()
                      : client == 2 ? graph_->audioClient()
                                    : nullptr;
  if (!c) return 0;
  switch (which) {
    case ReceiveRate:
      return c->getReceiveRate();
    case FrameRate:
      return c->getFrameRate();
    case DropPackets:
      return c->getNumDropPackets();
    case DropFrames:
      return c->getNumDropFrames();
    case PacketSize:
      return c->getPacketSize();
  }
  return 0;
}
