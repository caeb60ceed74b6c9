/* Morvane: the receiver engine's control functions.
 *
 * One engine per process. The receiver GUI (or a program without one) calls
 * these 69 functions, and nothing else of the engine, on one thread of its
 * own:
 *   MorvaneInitialize; MorvaneSetCallbackFunction; MorvaneReadIniFile;
 *   settings calls; MorvaneTimerProcess every 1000 ms; MorvaneReceiveSenderData
 *   and the statistics from its timers; MorvaneWriteIniFile; MorvaneShutdown.
 *
 * Types: bool results are one byte; ports are unsigned 16-bit; times to live,
 * rates, counts and sizes unsigned 32-bit; codes and indexes signed 32-bit;
 * texts zero-terminated UTF-8. Address getters return a pointer into one
 * buffer shared by all of them, valid until the next address getter.
 *
 * Any function called while no engine exists does nothing and returns its
 * default (false, 0, empty text; sizes 1, 1), and says so once in the log.
 *
 * The callback is called on the engine's status thread, never while the
 * engine holds its lock, with "ResizeForm" after each handled status change
 * and with the text of each graph-building problem (number 1); the GUI hands
 * the work to its own thread. Its result is ignored.
 */
#ifndef MORVANE_MORVANE_H
#define MORVANE_MORVANE_H

#include <stdbool.h>
#include <stdint.h>

#if defined(MORVANE_BUILDING)
#define MORVANE_API __attribute__((visibility("default")))
#else
#define MORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The native window that holds the video window (an X11 window id; 0: the
 * picture is rendered off-screen). */
typedef intptr_t MorvaneWindowHandle;

/* The GUI callback: message text, a number, the user value given with it. */
typedef int (*MorvaneCallbackFunction)(const char* message, int32_t number, void* user);

/* Lifecycle. */
MORVANE_API bool MorvaneInitialize(MorvaneWindowHandle owner);
MORVANE_API bool MorvaneShutdown(void);
MORVANE_API bool MorvaneIsInitialized(void);
MORVANE_API bool MorvaneReadIniFile(const char* path);
MORVANE_API bool MorvaneWriteIniFile(const char* path);
MORVANE_API bool MorvaneReceiveSenderData(void);
MORVANE_API bool MorvaneSetCallbackFunction(MorvaneCallbackFunction callback, void* user);
MORVANE_API void MorvaneTimerProcess(void);

/* Reception statistics (bits per second, frames per second, totals, bytes).
 * Each rate read restarts that meter's window. */
MORVANE_API uint32_t MorvaneGetVideoClientMainReceiveRate(void);
MORVANE_API uint32_t MorvaneGetVideoClientSubReceiveRate(void);
MORVANE_API uint32_t MorvaneGetAudioClientReceiveRate(void);
MORVANE_API uint32_t MorvaneGetVideoClientMainFrameRate(void);
MORVANE_API uint32_t MorvaneGetVideoClientSubFrameRate(void);
MORVANE_API uint32_t MorvaneGetAudioClientFrameRate(void);
MORVANE_API uint32_t MorvaneGetVideoClientMainNumDropPackets(void);
MORVANE_API uint32_t MorvaneGetVideoClientSubNumDropPackets(void);
MORVANE_API uint32_t MorvaneGetAudioClientNumDropPackets(void);
MORVANE_API uint32_t MorvaneGetVideoClientMainNumDropFrames(void);
MORVANE_API uint32_t MorvaneGetVideoClientSubNumDropFrames(void);
MORVANE_API uint32_t MorvaneGetAudioClientNumDropFrames(void);
MORVANE_API uint32_t MorvaneGetVideoClientMainPacketSize(void);
MORVANE_API uint32_t MorvaneGetVideoClientSubPacketSize(void);
MORVANE_API uint32_t MorvaneGetAudioClientPacketSize(void);

/* Remote pointer groups P1, P2, P3. */
MORVANE_API void MorvaneSetPointerP1ClientAddress(const char* address);
MORVANE_API const char* MorvaneGetPointerP1ClientAddress(void);
MORVANE_API void MorvaneSetPointerP1ClientPort(uint16_t port);
MORVANE_API uint16_t MorvaneGetPointerP1ClientPort(void);
MORVANE_API void MorvaneSetPointerP1ClientTimeToLive(uint32_t ttl);
MORVANE_API uint32_t MorvaneGetPointerP1ClientTimeToLive(void);
MORVANE_API void MorvaneSetPointerP2ClientAddress(const char* address);
MORVANE_API const char* MorvaneGetPointerP2ClientAddress(void);
MORVANE_API void MorvaneSetPointerP2ClientPort(uint16_t port);
MORVANE_API uint16_t MorvaneGetPointerP2ClientPort(void);
MORVANE_API void MorvaneSetPointerP2ClientTimeToLive(uint32_t ttl);
MORVANE_API uint32_t MorvaneGetPointerP2ClientTimeToLive(void);
MORVANE_API void MorvaneSetPointerP3ClientAddress(const char* address);
MORVANE_API const char* MorvaneGetPointerP3ClientAddress(void);
MORVANE_API void MorvaneSetPointerP3ClientPort(uint16_t port);
MORVANE_API uint16_t MorvaneGetPointerP3ClientPort(void);
MORVANE_API void MorvaneSetPointerP3ClientTimeToLive(uint32_t ttl);
MORVANE_API uint32_t MorvaneGetPointerP3ClientTimeToLive(void);

/* The station's own pointer stream. */
MORVANE_API void MorvaneSetPointerServerAddress(const char* address);
MORVANE_API const char* MorvaneGetPointerServerAddress(void);
MORVANE_API void MorvaneSetPointerServerPort(uint16_t port);
MORVANE_API uint16_t MorvaneGetPointerServerPort(void);
MORVANE_API void MorvaneSetPointerServerTimeToLive(uint32_t ttl);
MORVANE_API uint32_t MorvaneGetPointerServerTimeToLive(void);
MORVANE_API void MorvaneSetPointerServerMaxTransmittingRate(uint32_t bitsPerSecond);
MORVANE_API uint32_t MorvaneGetPointerServerMaxTransmittingRate(void);
MORVANE_API void MorvaneSetPointerServerTransmittingCount(uint32_t count);
MORVANE_API uint32_t MorvaneGetPointerServerTransmittingCount(void);
MORVANE_API void MorvaneSetPointerServerPacketSize(uint32_t bytes);
MORVANE_API uint32_t MorvaneGetPointerServerPacketSize(void);

/* Pointer appearance: colour of P1..P3 (index 0..2; codes 0 Black, 1 Blue,
 * 2 Green, 3 SkyBlue, 4 Red, 5 Purple, 6 Yellow, 7 White) and the shape of
 * the own pointer (0 Standard, 1 Arrow, 2 Circle, 3 Rectangle, 4 Target,
 * 5 Star). */
MORVANE_API void MorvaneSetBlendorPointerColor(int32_t index, int32_t color);
MORVANE_API int32_t MorvaneGetBlendorPointerColor(int32_t index);
MORVANE_API void MorvaneSetTracionPointerShape(int32_t shape);
MORVANE_API int32_t MorvaneGetTracionPointerShape(void);

/* The video window, relative to the owner window. */
MORVANE_API void MorvaneSetVideoWindowPosition(int32_t x, int32_t y);
MORVANE_API void MorvaneGetVideoWindowPosition(int32_t* x, int32_t* y);
MORVANE_API void MorvaneSetVideoWindowSize(uint32_t width, uint32_t height);
MORVANE_API void MorvaneGetVideoWindowSize(uint32_t* width, uint32_t* height);

/* The status channel: each setter closes and reopens the listener (also for
 * an unchanged value) and returns whether it opened. */
MORVANE_API bool MorvaneSetStatusReceiverAddress(const char* address);
MORVANE_API const char* MorvaneGetStatusReceiverAddress(void);
MORVANE_API bool MorvaneSetStatusReceiverPort(uint16_t port);
MORVANE_API uint16_t MorvaneGetStatusReceiverPort(void);
MORVANE_API bool MorvaneSetStatusReceiverTimeToLive(uint32_t ttl);
MORVANE_API uint32_t MorvaneGetStatusReceiverTimeToLive(void);
MORVANE_API bool MorvaneSetStatusReceiverIPv6InterfaceId(int32_t id);
MORVANE_API int32_t MorvaneGetStatusReceiverIPv6InterfaceId(void);

#ifdef __cplusplus
}
#endif

#endif /* MORVANE_MORVANE_H */
