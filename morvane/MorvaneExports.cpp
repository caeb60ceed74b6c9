// The 69 control functions: each finds the one engine of the process and
// forwards to it. Called without an engine they return their defaults and
// the first such call is logged.
#include <atomic>
#include <cstring>

#include "morvane/Morvane.h"
#include "morvane/MorvaneEngine.h"
#include "morvane/MorvaneIniFile.h"
#include "pellum/Pellum.h"
#include "pellum/mxNotify.h"

namespace {

mxObjectPtr<Morvane> g_engine;
std::atomic<bool> g_toldNoEngine{false};
// The buffer that every address getter returns.
char g_address[1024];

Morvane* engine(const char* function) {
  if (Morvane* e = g_engine.get()) return e;
  if (!g_toldNoEngine.exchange(true))
    mxNotify::post(mxNotify::Warn,
                   "Morvane: %s called while no engine exists (MorvaneInitialize first); "
                   "such calls return defaults",
                   function);
  return nullptr;
}

const char* addressText(const mxString& text) {
  const char* s = text.c_str() ? text.c_str() : "";
  std::strncpy(g_address, s, sizeof g_address - 1);
  g_address[sizeof g_address - 1] = '\0';
  return g_address;
}

}  // namespace

#define ENGINE_OR(def)           \
  Morvane* e = engine(__func__); \
  if (!e) return def;

extern "C" {

// ---------------------------------------------------------------- lifecycle

bool MorvaneInitialize(MorvaneWindowHandle owner) {
  if (!g_engine.isNull()) MorvaneShutdown();
  Pellum::initialize();
  g_engine = new Morvane();
  Pellum::initialize();  // matched by the shutdown before the engine is released
  return g_engine->initialize(OAHWND(owner));
}

bool MorvaneShutdown(void) {
  ENGINE_OR(true)
  e->shutdown();
  Pellum::shutdown();
  g_engine = nullptr;
  Pellum::shutdown();
  return true;
}

bool MorvaneIsInitialized(void) {
  return !g_engine.isNull();
}

bool MorvaneReadIniFile(const char* path) {
  ENGINE_OR(false)
  return readMorvaneIniFile(*e, path);
}

bool MorvaneWriteIniFile(const char* path) {
  ENGINE_OR(false)
  return writeMorvaneIniFile(*e, path);
}

bool MorvaneReceiveSenderData(void) {
  ENGINE_OR(false)
  return e->isSenderRunning();
}

bool MorvaneSetCallbackFunction(MorvaneCallbackFunction callback, void* user) {
  ENGINE_OR(true)
  e->setCallback(callback, user);
  return true;
}

void MorvaneTimerProcess(void) {
  ENGINE_OR()
  e->timerProcess();
}

// ---------------------------------------------------------------- statistics

#define MORVANE_STATISTIC(Name, client, which)            \
  uint32_t Name(void) {                                   \
    ENGINE_OR(0)                                          \
    return e->getClientStatistic(client, Morvane::which); \
  }

MORVANE_STATISTIC(MorvaneGetVideoClientMainReceiveRate, 0, ReceiveRate)
MORVANE_STATISTIC(MorvaneGetVideoClientSubReceiveRate, 1, ReceiveRate)
MORVANE_STATISTIC(MorvaneGetAudioClientReceiveRate, 2, ReceiveRate)
MORVANE_STATISTIC(MorvaneGetVideoClientMainFrameRate, 0, FrameRate)
MORVANE_STATISTIC(MorvaneGetVideoClientSubFrameRate, 1, FrameRate)
MORVANE_STATISTIC(MorvaneGetAudioClientFrameRate, 2, FrameRate)
MORVANE_STATISTIC(MorvaneGetVideoClientMainNumDropPackets, 0, DropPackets)
MORVANE_STATISTIC(MorvaneGetVideoClientSubNumDropPackets, 1, DropPackets)
MORVANE_STATISTIC(MorvaneGetAudioClientNumDropPackets, 2, DropPackets)
MORVANE_STATISTIC(MorvaneGetVideoClientMainNumDropFrames, 0, DropFrames)
MORVANE_STATISTIC(MorvaneGetVideoClientSubNumDropFrames, 1, DropFrames)
MORVANE_STATISTIC(MorvaneGetAudioClientNumDropFrames, 2, DropFrames)
MORVANE_STATISTIC(MorvaneGetVideoClientMainPacketSize, 0, PacketSize)
MORVANE_STATISTIC(MorvaneGetVideoClientSubPacketSize, 1, PacketSize)
MORVANE_STATISTIC(MorvaneGetAudioClientPacketSize, 2, PacketSize)

// ---------------------------------------------------------------- remote pointer clients

#define MORVANE_POINTER_CLIENT(N, index)                           \
  void MorvaneSetPointerP##N##ClientAddress(const char* address) { \
    ENGINE_OR()                                                    \
    e->setPointerClientAddress(index, address);                    \
  }                                                                \
  const char* MorvaneGetPointerP##N##ClientAddress(void) {         \
    ENGINE_OR(addressText(mxString()))                             \
    return addressText(e->getPointerClientAddress(index));         \
  }                                                                \
  void MorvaneSetPointerP##N##ClientPort(uint16_t port) {          \
    ENGINE_OR()                                                    \
    e->setPointerClientPort(index, port);                          \
  }                                                                \
  uint16_t MorvaneGetPointerP##N##ClientPort(void) {               \
    ENGINE_OR(0)                                                   \
    return e->getPointerClientPort(index);                         \
  }                                                                \
  void MorvaneSetPointerP##N##ClientTimeToLive(uint32_t ttl) {     \
    ENGINE_OR()                                                    \
    e->setPointerClientTimeToLive(index, ttl);                     \
  }                                                                \
  uint32_t MorvaneGetPointerP##N##ClientTimeToLive(void) {         \
    ENGINE_OR(0)                                                   \
    return e->getPointerClientTimeToLive(index);                   \
  }

MORVANE_POINTER_CLIENT(1, 0)
MORVANE_POINTER_CLIENT(2, 1)
MORVANE_POINTER_CLIENT(3, 2)

// ---------------------------------------------------------------- own pointer server

void MorvaneSetPointerServerAddress(const char* address) {
  ENGINE_OR()
  e->setPointerServerAddress(address);
}
const char* MorvaneGetPointerServerAddress(void) {
  ENGINE_OR(addressText(mxString()))
  return addressText(e->getPointerServerAddress());
}
void MorvaneSetPointerServerPort(uint16_t port) {
  ENGINE_OR()
  e->setPointerServerPort(port);
}
uint16_t MorvaneGetPointerServerPort(void) {
  ENGINE_OR(0)
  return e->getPointerServerPort();
}
void MorvaneSetPointerServerTimeToLive(uint32_t ttl) {
  ENGINE_OR()
  e->setPointerServerTimeToLive(ttl);
}
uint32_t MorvaneGetPointerServerTimeToLive(void) {
  ENGINE_OR(0)
  return e->getPointerServerTimeToLive();
}
void MorvaneSetPointerServerMaxTransmittingRate(uint32_t bitsPerSecond) {
  ENGINE_OR()
  e->setPointerServerMaxTransmittingRate(bitsPerSecond);
}
uint32_t MorvaneGetPointerServerMaxTransmittingRate(void) {
  ENGINE_OR(0)
  return e->getPointerServerMaxTransmittingRate();
}
void MorvaneSetPointerServerTransmittingCount(uint32_t count) {
  ENGINE_OR()
  e->setPointerServerTransmittingCount(count);
}
uint32_t MorvaneGetPointerServerTransmittingCount(void) {
  ENGINE_OR(0)
  return e->getPointerServerTransmittingCount();
}
void MorvaneSetPointerServerPacketSize(uint32_t bytes) {
  ENGINE_OR()
  e->setPointerServerPacketSize(bytes);
}
uint32_t MorvaneGetPointerServerPacketSize(void) {
  ENGINE_OR(0)
  return e->getPointerServerPacketSize();
}

// ---------------------------------------------------------------- appearance

void MorvaneSetBlendorPointerColor(int32_t index, int32_t color) {
  ENGINE_OR()
  e->setPointerColor(index, color);
}
int32_t MorvaneGetBlendorPointerColor(int32_t index) {
  ENGINE_OR(0)
  return e->getPointerColor(index);
}
void MorvaneSetTracionPointerShape(int32_t shape) {
  ENGINE_OR()
  e->setPointerShape(shape);
}
int32_t MorvaneGetTracionPointerShape(void) {
  ENGINE_OR(0)
  return e->getPointerShape();
}

// ---------------------------------------------------------------- video window

void MorvaneSetVideoWindowPosition(int32_t x, int32_t y) {
  ENGINE_OR()
  e->setVideoWindowPosition(x, y);
}
void MorvaneGetVideoWindowPosition(int32_t* x, int32_t* y) {
  int left = 0, top = 0;
  if (Morvane* e = engine(__func__)) e->getVideoWindowPosition(left, top);
  if (x) *x = left;
  if (y) *y = top;
}
void MorvaneSetVideoWindowSize(uint32_t width, uint32_t height) {
  ENGINE_OR()
  e->setVideoWindowSize(width, height);
}
void MorvaneGetVideoWindowSize(uint32_t* width, uint32_t* height) {
  unsigned w = 1, h = 1;
  if (Morvane* e = engine(__func__)) e->getVideoWindowSize(w, h);
  if (width) *width = w;
  if (height) *height = h;
}

// ---------------------------------------------------------------- status channel

bool MorvaneSetStatusReceiverAddress(const char* address) {
  ENGINE_OR(false)
  return e->setStatusAddress(address);
}
const char* MorvaneGetStatusReceiverAddress(void) {
  ENGINE_OR(addressText(mxString()))
  return addressText(e->getStatusAddress());
}
bool MorvaneSetStatusReceiverPort(uint16_t port) {
  ENGINE_OR(false)
  return e->setStatusPort(port);
}
uint16_t MorvaneGetStatusReceiverPort(void) {
  ENGINE_OR(0)
  return e->getStatusPort();
}
bool MorvaneSetStatusReceiverTimeToLive(uint32_t ttl) {
  ENGINE_OR(false)
  return e->setStatusTimeToLive(ttl);
}
uint32_t MorvaneGetStatusReceiverTimeToLive(void) {
  ENGINE_OR(0)
  return e->getStatusTimeToLive();
}
bool MorvaneSetStatusReceiverIPv6InterfaceId(int32_t id) {
  ENGINE_OR(false)
  return e->setStatusIPv6InterfaceId(id);
}
int32_t MorvaneGetStatusReceiverIPv6InterfaceId(void) {
  ENGINE_OR(0)
  return e->getStatusIPv6InterfaceId();
}

}  // extern "C"
