// The engine's control functions: one engine per process, reached through
// one global reference. Every function but the lifecycle ones forwards to
// one engine operation; called while no engine runs it returns its type's
// default and says so once in the log.
#include <atomic>

#include "pellum/Pellum.h"
#include "pellum/mxNotify.h"
#include "talvex/Talvex.h"
#include "talvex/TalvexEngine.h"
#include "talvex/TalvexText.h"

using talvex::copyText;

namespace {

mxObjectPtr<Talvex> g_engine;
char g_text[talvex::kTextBufferSize];

Talvex* engineFor(const char* function, std::atomic<bool>& logged) {
  Talvex* engine = g_engine.get();
  if (engine && engine->isReady()) return engine;
  if (!logged.exchange(true))
    mxNotify::post(mxNotify::Warn, "Talvex: %s called while no engine runs: ignored", function);
  return nullptr;
}

const char* text(const mxString& value) {
  return copyText(g_text, value.c_str());
}

// A text held by the engine (valid while it lives), never null.
const char* held(const mxString& value) {
  return value.c_str() ? value.c_str() : "";
}

}  // namespace

Talvex* TalvexRunningEngine() {
  return g_engine.get();
}

// Binds `e` to the running engine (null while none runs).
#define FIND_ENGINE()                         \
  static std::atomic<bool> loggedIdle{false}; \
  Talvex* const e = engineFor(__func__, loggedIdle)
// Binds `e` to the running engine, or returns `fallback` from the function.
#define ENGINE(fallback) \
  FIND_ENGINE();         \
  if (!e) return fallback

// ---------------------------------------------------------------- lifecycle and files

bool TalvexInitialize(TalvexWindow owner) {
  if (!g_engine.isNull()) {
    // A second initialisation replaces the engine: the running one is shut
    // down first, so that its graph, sockets and threads do not live on.
    mxNotify::post(mxNotify::Warn, "Talvex: initialised again: the running engine is shut down first");
    TalvexShutdown();
  }
  Pellum::initialize();
  g_engine = new Talvex;
  return g_engine->initialize(OAHWND(owner));
}

bool TalvexShutdown(void) {
  if (g_engine.isNull()) {
    static std::atomic<bool> logged{false};
    if (!logged.exchange(true)) mxNotify::post(mxNotify::Warn, "Talvex: shut down while no engine exists");
    return true;
  }
  g_engine->shutdown();
  g_engine = nullptr;
  Pellum::shutdown();
  return true;
}

bool TalvexIsInitialized(void) {
  return !g_engine.isNull();
}

bool TalvexReadIniFile(const char* path) {
  ENGINE(false);
  return e->readIniFile(path);
}

bool TalvexWriteIniFile(const char* path) {
  ENGINE(false);
  return e->writeIniFile(path);
}

bool TalvexIsValidGraph(void) {
  ENGINE(false);
  return e->isValidGraph();
}

void TalvexTimerProcess(void) {
  ENGINE();
  e->timerProcess();
}

// ---------------------------------------------------------------- capture devices

unsigned TalvexGetNumVideoCaptures(void) {
  ENGINE(0);
  return e->getNumVideoCaptures();
}
unsigned TalvexGetNumAudioCaptures(void) {
  ENGINE(0);
  return e->getNumAudioCaptures();
}
int32_t TalvexSetVideoCapture(int32_t index) {
  ENGINE(0);
  e->setVideoCapture(index);
  return 0;
}
int32_t TalvexSetAudioCapture(int32_t index) {
  ENGINE(0);
  e->setAudioCapture(index);
  return 0;
}
int32_t TalvexGetVideoCapture(void) {
  ENGINE(0);
  return e->getVideoCapture();
}
int32_t TalvexGetAudioCapture(void) {
  ENGINE(0);
  return e->getAudioCapture();
}
const char* TalvexGetVideoCaptureFriendlyName(int32_t index) {
  ENGINE("");
  rsCaptureFilter* device = e->getGraphManager()->getVideoCapture(index);
  return device ? held(device->getFriendlyName()) : "";
}
const char* TalvexGetAudioCaptureFriendlyName(int32_t index) {
  ENGINE("");
  rsCaptureFilter* device = e->getGraphManager()->getAudioCapture(index);
  return device ? held(device->getFriendlyName()) : "";
}
unsigned TalvexGetNumVideoCapturePropertyPages(void) {
  ENGINE(0);
  rsCaptureFilter* device = e->getSelectedVideoCapture();
  return device ? device->getNumPropertyPages() : 0;
}
unsigned TalvexGetNumAudioCapturePropertyPages(void) {
  ENGINE(0);
  rsCaptureFilter* device = e->getSelectedAudioCapture();
  return device ? device->getNumPropertyPages() : 0;
}
const char* TalvexGetVideoCapturePropertyPageName(int32_t page) {
  ENGINE("");
  rsCaptureFilter* device = e->getSelectedVideoCapture();
  return device ? text(device->getPropertyPageName(unsigned(page))) : "";
}
const char* TalvexGetAudioCapturePropertyPageName(int32_t page) {
  ENGINE("");
  rsCaptureFilter* device = e->getSelectedAudioCapture();
  return device ? text(device->getPropertyPageName(unsigned(page))) : "";
}
bool TalvexShowVideoCapturePropertyPage(TalvexWindow parent, int32_t page) {
  ENGINE(false);
  rsCaptureFilter* device = e->getSelectedVideoCapture();
  return device && device->showPropertyPage(OAHWND(parent), unsigned(page));
}
bool TalvexShowAudioCapturePropertyPage(TalvexWindow parent, int32_t page) {
  ENGINE(false);
  rsCaptureFilter* device = e->getSelectedAudioCapture();
  return device && device->showPropertyPage(OAHWND(parent), unsigned(page));
}

// ---------------------------------------------------------------- encoders and focus display

int32_t TalvexSetVideoEncoder(int32_t code) {
  ENGINE(0);
  e->setVideoEncoder(code);
  return 0;
}
int32_t TalvexSetAudioEncoder(int32_t code) {
  ENGINE(0);
  e->setAudioEncoder(code);
  return 0;
}
int32_t TalvexGetVideoEncoder(void) {
  ENGINE(0);
  return e->getVideoEncoder();
}
int32_t TalvexGetAudioEncoder(void) {
  ENGINE(0);
  return e->getAudioEncoder();
}
bool TalvexIsValidVideoEncoder(int32_t code) {
  ENGINE(false);
  return e->isValidVideoEncoder(code);
}
bool TalvexIsValidAudioEncoder(int32_t code) {
  ENGINE(false);
  return e->isValidAudioEncoder(code);
}
int32_t TalvexSetVideoFormat(int32_t code) {
  ENGINE(0);
  e->setVideoFormat(code);
  return 0;
}
int32_t TalvexGetVideoFormat(void) {
  ENGINE(0);
  return e->getVideoFormat();
}
int32_t TalvexSetFocusDisplay(int32_t code) {
  ENGINE(0);
  e->setFocusDisplay(code);
  return 0;
}
int32_t TalvexGetFocusDisplay(void) {
  ENGINE(0);
  return e->getFocusDisplay();
}
bool TalvexIsValidFocusDisplay(int32_t code) {
  ENGINE(false);
  return e->isValidFocusDisplay(code);
}
void TalvexSetLoupexVideoFormat(int32_t code) {
  ENGINE();
  e->setLoupexVideoFormat(code);
}
int32_t TalvexGetLoupexVideoFormat(void) {
  ENGINE(0);
  return e->getLoupexVideoFormat();
}
void TalvexSetLoupexMaskType(int32_t code) {
  ENGINE();
  e->setLoupexMaskType(code);
}
int32_t TalvexGetLoupexMaskType(void) {
  ENGINE(0);
  return e->getLoupexMaskType();
}
void TalvexSetLoupexMaskSize(unsigned width, unsigned height) {
  ENGINE();
  e->setLoupexMaskSize(width, height);
}
void TalvexGetLoupexMaskSize(unsigned* width, unsigned* height) {
  FIND_ENGINE();
  unsigned w = 0, h = 0;
  if (e) e->getLoupexMaskSize(w, h);
  if (width) *width = w;
  if (height) *height = h;
}
void TalvexSetImageCompoundBaseVideoFormat(int32_t code) {
  ENGINE();
  e->setImageCompoundBaseVideoFormat(code);
}
int32_t TalvexGetImageCompoundBaseVideoFormat(void) {
  ENGINE(0);
  return e->getImageCompoundBaseVideoFormat();
}
void TalvexSetImageCompoundAdditionalVideoFormat(int32_t code) {
  ENGINE();
  e->setImageCompoundAdditionalVideoFormat(code);
}
int32_t TalvexGetImageCompoundAdditionalVideoFormat(void) {
  ENGINE(0);
  return e->getImageCompoundAdditionalVideoFormat();
}
void TalvexSetImageCompoundMaskType(int32_t code) {
  ENGINE();
  e->setImageCompoundMaskType(code);
}
int32_t TalvexGetImageCompoundMaskType(void) {
  ENGINE(0);
  return e->getImageCompoundMaskType();
}
void TalvexSetImageCompoundBlendingType(int32_t code) {
  ENGINE();
  e->setImageCompoundBlendingType(code);
}
int32_t TalvexGetImageCompoundBlendingType(void) {
  ENGINE(0);
  return e->getImageCompoundBlendingType();
}

// ---------------------------------------------------------------- multicast servers

// Address, port and time to live of a stream (broadcast in the status).
#define SERVER_ENDPOINT_FUNCTIONS(Name, server)          \
  void TalvexSet##Name##Address(const char* address) {   \
    ENGINE();                                            \
    e->setServerAddress(server, address ? address : ""); \
  }                                                      \
  const char* TalvexGet##Name##Address(void) {           \
    ENGINE("");                                          \
    return text(e->getServerAddress(server));            \
  }                                                      \
  void TalvexSet##Name##Port(uint16_t port) {            \
    ENGINE();                                            \
    e->setServerPort(server, port);                      \
  }                                                      \
  uint16_t TalvexGet##Name##Port(void) {                 \
    ENGINE(0);                                           \
    return e->getServerPort(server);                     \
  }                                                      \
  void TalvexSet##Name##TimeToLive(unsigned ttl) {       \
    ENGINE();                                            \
    e->setServerTimeToLive(server, ttl);                 \
  }                                                      \
  unsigned TalvexGet##Name##TimeToLive(void) {           \
    ENGINE(0);                                           \
    return e->getServerTimeToLive(server);               \
  }

// Rate limit, repeat count and packet size of a server (not in the status).
#define SERVER_SENDING_FUNCTIONS(Name, server)                        \
  void TalvexSet##Name##MaxTransmittingRate(unsigned bitsPerSecond) { \
    ENGINE();                                                         \
    e->setServerMaxTransmittingRate(server, bitsPerSecond);           \
  }                                                                   \
  unsigned TalvexGet##Name##MaxTransmittingRate(void) {               \
    ENGINE(0);                                                        \
    return e->getServerMaxTransmittingRate(server);                   \
  }                                                                   \
  void TalvexSet##Name##TransmittingCount(unsigned count) {           \
    ENGINE();                                                         \
    e->setServerTransmittingCount(server, count);                     \
  }                                                                   \
  unsigned TalvexGet##Name##TransmittingCount(void) {                 \
    ENGINE(0);                                                        \
    return e->getServerTransmittingCount(server);                     \
  }                                                                   \
  void TalvexSet##Name##PacketSize(unsigned bytes) {                  \
    ENGINE();                                                         \
    e->setServerPacketSize(server, bytes);                            \
  }                                                                   \
  unsigned TalvexGet##Name##PacketSize(void) {                        \
    ENGINE(0);                                                        \
    return e->getServerPacketSize(server);                            \
  }

// The meters: each read starts the next measuring window.
#define SERVER_METER_FUNCTIONS(Name, server)         \
  unsigned TalvexGet##Name##TransmittingRate(void) { \
    ENGINE(0);                                       \
    return e->getServerTransmittingRate(server);     \
  }                                                  \
  unsigned TalvexGet##Name##FrameRate(void) {        \
    ENGINE(0);                                       \
    return e->getServerFrameRate(server);            \
  }

SERVER_ENDPOINT_FUNCTIONS(VideoServerMain, Talvex::Main)
SERVER_SENDING_FUNCTIONS(VideoServerMain, Talvex::Main)
SERVER_METER_FUNCTIONS(VideoServerMain, Talvex::Main)
SERVER_ENDPOINT_FUNCTIONS(VideoServerSub, Talvex::Sub)
SERVER_SENDING_FUNCTIONS(VideoServerSub, Talvex::Sub)
SERVER_METER_FUNCTIONS(VideoServerSub, Talvex::Sub)
SERVER_ENDPOINT_FUNCTIONS(AudioServer, Talvex::Audio)
SERVER_SENDING_FUNCTIONS(AudioServer, Talvex::Audio)
SERVER_METER_FUNCTIONS(AudioServer, Talvex::Audio)
// The pointer pair: server and client together; rates of the server alone.
SERVER_ENDPOINT_FUNCTIONS(PointerServerClient, Talvex::Pointer)
SERVER_SENDING_FUNCTIONS(PointerServer, Talvex::Pointer)

// ---------------------------------------------------------------- status channel

void TalvexSetStatusSenderAddress(const char* address) {
  ENGINE();
  e->setStatusAddress(address ? address : "");
}
const char* TalvexGetStatusSenderAddress(void) {
  ENGINE("");
  return text(e->getStatusAddress());
}
void TalvexSetStatusSenderPort(uint16_t port) {
  ENGINE();
  e->setStatusPort(port);
}
uint16_t TalvexGetStatusSenderPort(void) {
  ENGINE(0);
  return e->getStatusPort();
}
void TalvexSetStatusSenderTimeToLive(unsigned ttl) {
  ENGINE();
  e->setStatusTimeToLive(ttl);
}
unsigned TalvexGetStatusSenderTimeToLive(void) {
  ENGINE(0);
  return e->getStatusTimeToLive();
}
void TalvexSetStatusSenderPacketSize(unsigned bytes) {
  ENGINE();
  e->setStatusPacketSize(bytes);
}
unsigned TalvexGetStatusSenderPacketSize(void) {
  ENGINE(0);
  return e->getStatusPacketSize();
}

// ---------------------------------------------------------------- preview window

void TalvexSetVideoWindowPosition(int32_t x, int32_t y) {
  ENGINE();
  e->setVideoWindowPosition(x, y);
}
void TalvexGetVideoWindowPosition(int32_t* x, int32_t* y) {
  FIND_ENGINE();
  int left = 0, top = 0;
  if (e) e->getVideoWindowPosition(left, top);
  if (x) *x = left;
  if (y) *y = top;
}
void TalvexSetVideoWindowSize(unsigned width, unsigned height) {
  ENGINE();
  e->setVideoWindowSize(width, height);
}
void TalvexGetVideoWindowSize(unsigned* width, unsigned* height) {
  FIND_ENGINE();
  unsigned w = 0, h = 0;
  if (e) e->getVideoWindowSize(w, h);
  if (width) *width = w;
  if (height) *height = h;
}
