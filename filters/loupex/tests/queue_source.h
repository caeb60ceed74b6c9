// A test source for the pointer and picture filters: it sends exactly the
// samples a test queues, in the media type the test chose, so that a test
// decides the order in which pictures and pointer records arrive.
#pragma once
#include "platform/media/filter_interfaces.h"

inline constexpr CLSID CLSID_TestQueueSource = makeGuid("{7D4A1E20-5B3C-4F61-8A2D-9C0E1F2A3B01}");
inline constexpr IID IID_ITestQueueSource = makeGuid("{7D4A1E20-5B3C-4F61-8A2D-9C0E1F2A3B10}");

struct ITestQueueSource : IUnknown {
  // The type the output offers and accepts, and the buffer size it asks for
  // (0: the type's sample size). Only while unconnected.
  virtual HRESULT SetType(const AM_MEDIA_TYPE* mt, LONG bufferSize) = 0;  // 3
  // Queues one sample of these bytes (cut to the buffer size). Each sample
  // carries start time n and stop time n + 1, media time n, n + 1, and is a
  // sync point; the first after a start is a discontinuity.
  virtual HRESULT Queue(const uint8_t* data, LONG length) = 0;  // 4
  // Samples delivered so far (the downstream Receive has returned).
  virtual HRESULT GetDelivered(uint64_t* count) = 0;  // 5
  // Waits until count samples were delivered; S_FALSE after timeoutMs.
  virtual HRESULT WaitDelivered(uint64_t count, ULONG timeoutMs) = 0;  // 6

 protected:
  ~ITestQueueSource() = default;
};
PLATFORM_INTERFACE_ID(ITestQueueSource, IID_ITestQueueSource);
