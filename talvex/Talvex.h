/* Talvex: the sending station's engine, driven through these flat functions
 * only (the sender GUI and the headless sender link against nothing else).
 *
 * One engine per process: TalvexInitialize creates it, TalvexShutdown ends
 * it. Every other function needs the engine; called while there is none it
 * does nothing and returns 0, false or the empty text (and logs once).
 *
 * Types: bool is one byte (0 false, 1 true); codes and indexes are 32-bit
 * signed; ports are unsigned 16-bit; time to live, rates, counts and sizes
 * are unsigned 32-bit; texts are zero-terminated UTF-8. A window handle is
 * an X11 window id (0: none).
 *
 * Text results: addresses and property-page names are copied into one
 * buffer of the engine shared by all text-returning functions (1024 bytes,
 * always valid UTF-8); the pointer stays valid until the next
 * text-returning call. Friendly names stay valid while the engine lives.
 *
 * Codes:
 *   video format   0 SQCIF 128x96, 1 QCIF 176x144, 2 CIF 352x288, 3 160x120,
 *                  4 320x240, 5 360x240, 6 640x480, 7 720x480, 8 Through
 *   focus display  0 None, 1 Loupex (non-linear zoom), 2 ImageCompound
 *   video encoder  0 None, 1 MPEG42;  audio encoder 0 None, 1 MP3
 *   Loupex mask    0 Rectangle, 1 Ellipse
 *   compound mask  0 Rectangle, 1 Ellipse, 2 Checkers
 *   blending       0 Simple, 1 Vaguely
 */
#ifndef TALVEX_TALVEX_H
#define TALVEX_TALVEX_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(TALVEX_BUILDING_LIBRARY)
#define TALVEX_API __attribute__((visibility("default")))
#else
#define TALVEX_API
#endif

/* An X11 window id (Window); 0 for none. */
typedef unsigned long TalvexWindow;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle and files ---- */
TALVEX_API bool TalvexInitialize(TalvexWindow owner);
TALVEX_API bool TalvexShutdown(void);
TALVEX_API bool TalvexIsInitialized(void);
TALVEX_API bool TalvexReadIniFile(const char* path);
TALVEX_API bool TalvexWriteIniFile(const char* path);
TALVEX_API bool TalvexIsValidGraph(void);
TALVEX_API void TalvexTimerProcess(void);

/* ---- Capture devices and their property pages. An index selects a
 * device of the list; -1 selects none (without an audio device the sender
 * sends no sound); other indexes are refused. ---- */
TALVEX_API unsigned TalvexGetNumVideoCaptures(void);
TALVEX_API unsigned TalvexGetNumAudioCaptures(void);
TALVEX_API int32_t TalvexSetVideoCapture(int32_t index);
TALVEX_API int32_t TalvexSetAudioCapture(int32_t index);
TALVEX_API int32_t TalvexGetVideoCapture(void);
TALVEX_API int32_t TalvexGetAudioCapture(void);
TALVEX_API const char* TalvexGetVideoCaptureFriendlyName(int32_t index);
TALVEX_API const char* TalvexGetAudioCaptureFriendlyName(int32_t index);
TALVEX_API unsigned TalvexGetNumVideoCapturePropertyPages(void);
TALVEX_API unsigned TalvexGetNumAudioCapturePropertyPages(void);
TALVEX_API const char* TalvexGetVideoCapturePropertyPageName(int32_t page);
TALVEX_API const char* TalvexGetAudioCapturePropertyPageName(int32_t page);
TALVEX_API bool TalvexShowVideoCapturePropertyPage(TalvexWindow parent, int32_t page);
TALVEX_API bool TalvexShowAudioCapturePropertyPage(TalvexWindow parent, int32_t page);

/* ---- Encoders and focus display ---- */
TALVEX_API int32_t TalvexSetVideoEncoder(int32_t code);
TALVEX_API int32_t TalvexSetAudioEncoder(int32_t code);
TALVEX_API int32_t TalvexGetVideoEncoder(void);
TALVEX_API int32_t TalvexGetAudioEncoder(void);
TALVEX_API bool TalvexIsValidVideoEncoder(int32_t code);
TALVEX_API bool TalvexIsValidAudioEncoder(int32_t code);
TALVEX_API int32_t TalvexSetVideoFormat(int32_t code);
TALVEX_API int32_t TalvexGetVideoFormat(void);
TALVEX_API int32_t TalvexSetFocusDisplay(int32_t code);
TALVEX_API int32_t TalvexGetFocusDisplay(void);
TALVEX_API bool TalvexIsValidFocusDisplay(int32_t code);
TALVEX_API void TalvexSetLoupexVideoFormat(int32_t code);
TALVEX_API int32_t TalvexGetLoupexVideoFormat(void);
TALVEX_API void TalvexSetLoupexMaskType(int32_t code);
TALVEX_API int32_t TalvexGetLoupexMaskType(void);
TALVEX_API void TalvexSetLoupexMaskSize(unsigned width, unsigned height);
TALVEX_API void TalvexGetLoupexMaskSize(unsigned* width, unsigned* height);
TALVEX_API void TalvexSetImageCompoundBaseVideoFormat(int32_t code);
TALVEX_API int32_t TalvexGetImageCompoundBaseVideoFormat(void);
TALVEX_API void TalvexSetImageCompoundAdditionalVideoFormat(int32_t code);
TALVEX_API int32_t TalvexGetImageCompoundAdditionalVideoFormat(void);
TALVEX_API void TalvexSetImageCompoundMaskType(int32_t code);
TALVEX_API int32_t TalvexGetImageCompoundMaskType(void);
TALVEX_API void TalvexSetImageCompoundBlendingType(int32_t code);
TALVEX_API int32_t TalvexGetImageCompoundBlendingType(void);

/* ---- Multicast server of the main video stream ---- */
TALVEX_API void TalvexSetVideoServerMainAddress(const char* address);
TALVEX_API const char* TalvexGetVideoServerMainAddress(void);
TALVEX_API void TalvexSetVideoServerMainPort(uint16_t port);
TALVEX_API uint16_t TalvexGetVideoServerMainPort(void);
TALVEX_API void TalvexSetVideoServerMainTimeToLive(unsigned ttl);
TALVEX_API unsigned TalvexGetVideoServerMainTimeToLive(void);
TALVEX_API void TalvexSetVideoServerMainMaxTransmittingRate(unsigned bitsPerSecond);
TALVEX_API unsigned TalvexGetVideoServerMainMaxTransmittingRate(void);
TALVEX_API void TalvexSetVideoServerMainTransmittingCount(unsigned count);
TALVEX_API unsigned TalvexGetVideoServerMainTransmittingCount(void);
TALVEX_API void TalvexSetVideoServerMainPacketSize(unsigned bytes);
TALVEX_API unsigned TalvexGetVideoServerMainPacketSize(void);
TALVEX_API unsigned TalvexGetVideoServerMainTransmittingRate(void);
TALVEX_API unsigned TalvexGetVideoServerMainFrameRate(void);

/* ---- Multicast server of the second video stream ---- */
TALVEX_API void TalvexSetVideoServerSubAddress(const char* address);
TALVEX_API const char* TalvexGetVideoServerSubAddress(void);
TALVEX_API void TalvexSetVideoServerSubPort(uint16_t port);
TALVEX_API uint16_t TalvexGetVideoServerSubPort(void);
TALVEX_API void TalvexSetVideoServerSubTimeToLive(unsigned ttl);
TALVEX_API unsigned TalvexGetVideoServerSubTimeToLive(void);
TALVEX_API void TalvexSetVideoServerSubMaxTransmittingRate(unsigned bitsPerSecond);
TALVEX_API unsigned TalvexGetVideoServerSubMaxTransmittingRate(void);
TALVEX_API void TalvexSetVideoServerSubTransmittingCount(unsigned count);
TALVEX_API unsigned TalvexGetVideoServerSubTransmittingCount(void);
TALVEX_API void TalvexSetVideoServerSubPacketSize(unsigned bytes);
TALVEX_API unsigned TalvexGetVideoServerSubPacketSize(void);
TALVEX_API unsigned TalvexGetVideoServerSubTransmittingRate(void);
TALVEX_API unsigned TalvexGetVideoServerSubFrameRate(void);

/* ---- Multicast server of the audio stream ---- */
TALVEX_API void TalvexSetAudioServerAddress(const char* address);
TALVEX_API const char* TalvexGetAudioServerAddress(void);
TALVEX_API void TalvexSetAudioServerPort(uint16_t port);
TALVEX_API uint16_t TalvexGetAudioServerPort(void);
TALVEX_API void TalvexSetAudioServerTimeToLive(unsigned ttl);
TALVEX_API unsigned TalvexGetAudioServerTimeToLive(void);
TALVEX_API void TalvexSetAudioServerMaxTransmittingRate(unsigned bitsPerSecond);
TALVEX_API unsigned TalvexGetAudioServerMaxTransmittingRate(void);
TALVEX_API void TalvexSetAudioServerTransmittingCount(unsigned count);
TALVEX_API unsigned TalvexGetAudioServerTransmittingCount(void);
TALVEX_API void TalvexSetAudioServerPacketSize(unsigned bytes);
TALVEX_API unsigned TalvexGetAudioServerPacketSize(void);
TALVEX_API unsigned TalvexGetAudioServerTransmittingRate(void);
TALVEX_API unsigned TalvexGetAudioServerFrameRate(void);

/* ---- Pointer stream: address, port and time to live act on the pointer
 * server and the pointer client together (the getters read the server);
 * the other three on the pointer server only ---- */
TALVEX_API void TalvexSetPointerServerClientAddress(const char* address);
TALVEX_API const char* TalvexGetPointerServerClientAddress(void);
TALVEX_API void TalvexSetPointerServerClientPort(uint16_t port);
TALVEX_API uint16_t TalvexGetPointerServerClientPort(void);
TALVEX_API void TalvexSetPointerServerClientTimeToLive(unsigned ttl);
TALVEX_API unsigned TalvexGetPointerServerClientTimeToLive(void);
TALVEX_API void TalvexSetPointerServerMaxTransmittingRate(unsigned bitsPerSecond);
TALVEX_API unsigned TalvexGetPointerServerMaxTransmittingRate(void);
TALVEX_API void TalvexSetPointerServerTransmittingCount(unsigned count);
TALVEX_API unsigned TalvexGetPointerServerTransmittingCount(void);
TALVEX_API void TalvexSetPointerServerPacketSize(unsigned bytes);
TALVEX_API unsigned TalvexGetPointerServerPacketSize(void);

/* ---- Status channel ---- */
TALVEX_API void TalvexSetStatusSenderAddress(const char* address);
TALVEX_API const char* TalvexGetStatusSenderAddress(void);
TALVEX_API void TalvexSetStatusSenderPort(uint16_t port);
TALVEX_API uint16_t TalvexGetStatusSenderPort(void);
TALVEX_API void TalvexSetStatusSenderTimeToLive(unsigned ttl);
TALVEX_API unsigned TalvexGetStatusSenderTimeToLive(void);
TALVEX_API void TalvexSetStatusSenderPacketSize(unsigned bytes);
TALVEX_API unsigned TalvexGetStatusSenderPacketSize(void);

/* ---- Preview window, relative to the owner window ---- */
TALVEX_API void TalvexSetVideoWindowPosition(int32_t x, int32_t y);
TALVEX_API void TalvexGetVideoWindowPosition(int32_t* x, int32_t* y);
TALVEX_API void TalvexSetVideoWindowSize(unsigned width, unsigned height);
TALVEX_API void TalvexGetVideoWindowSize(unsigned* width, unsigned* height);

#ifdef __cplusplus
}
#endif

#endif /* TALVEX_TALVEX_H */
