// Interfaces of pins, media-type and pin enumerators, samples and
// allocators, in their slot order (0 to 2 are those of IUnknown).
#pragma once
#include <cstdint>

#include "platform/com/unknown.h"
#include "platform/media/media_type.h"

using REFERENCE_TIME = int64_t;  // 100 ns units
using LONG = int32_t;

struct IBaseFilter;
struct IMemAllocator;
struct IMediaSample;
struct IEnumMediaTypes;

enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct PIN_INFO {
  IBaseFilter* pFilter;  // holds a reference the caller releases
  PIN_DIRECTION dir;
  char16_t achName[128];
};

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

inline constexpr DWORD AM_GBF_NOWAIT = 4;  // GetBuffer: fail rather than wait

struct IPin : IUnknown {
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) = 0;                  // 3
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) = 0;         // 4
  virtual HRESULT Disconnect() = 0;                                                        // 5
  virtual HRESULT ConnectedTo(IPin** pin) = 0;                                             // 6
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) = 0;                              // 7
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;                                        // 8
  virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;                                  // 9
  virtual HRESULT QueryId(char16_t** id) = 0;                                              // 10
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) = 0;                                // 11
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** e) = 0;                                 // 12
  virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;                 // 13
  virtual HRESULT EndOfStream() = 0;                                                       // 14
  virtual HRESULT BeginFlush() = 0;                                                        // 15
  virtual HRESULT EndFlush() = 0;                                                          // 16
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;  // 17

 protected:
  ~IPin() = default;
};

struct IEnumPins : IUnknown {
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** e) = 0;

 protected:
  ~IEnumPins() = default;
};

// Next hands out records made with CreateMediaType; free with DeleteMediaType.
struct IEnumMediaTypes : IUnknown {
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** e) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(uint8_t** buffer) = 0;                                      // 3
  virtual LONG GetSize() = 0;                                                            // 4
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;              // 5
  virtual HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) = 0;  // 6
  virtual HRESULT IsSyncPoint() = 0;                                                     // 7
  virtual HRESULT SetSyncPoint(BOOL sync) = 0;                                           // 8
  virtual HRESULT IsPreroll() = 0;                                                       // 9
  virtual HRESULT SetPreroll(BOOL preroll) = 0;                                          // 10
  virtual LONG GetActualDataLength() = 0;                                                // 11
  virtual HRESULT SetActualDataLength(LONG length) = 0;                                  // 12
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** mt) = 0;                                  // 13
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) = 0;                             // 14
  virtual HRESULT IsDiscontinuity() = 0;                                                 // 15
  virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;                              // 16
  virtual HRESULT GetMediaTime(int64_t* start, int64_t* stop) = 0;                       // 17
  virtual HRESULT SetMediaTime(const int64_t* start, const int64_t* stop) = 0;           // 18

 protected:
  ~IMediaSample() = default;
};

struct IMemAllocator : IUnknown {
  virtual HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                            DWORD flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

inline constexpr IID IID_IPin = makeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumPins = makeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumMediaTypes = makeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
inline constexpr IID IID_IMediaSample = makeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMemAllocator = makeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMemInputPin = makeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
PLATFORM_INTERFACE_ID(IPin, IID_IPin);
PLATFORM_INTERFACE_ID(IEnumPins, IID_IEnumPins);
PLATFORM_INTERFACE_ID(IEnumMediaTypes, IID_IEnumMediaTypes);
PLATFORM_INTERFACE_ID(IMediaSample, IID_IMediaSample);
PLATFORM_INTERFACE_ID(IMemAllocator, IID_IMemAllocator);
PLATFORM_INTERFACE_ID(IMemInputPin, IID_IMemInputPin);
