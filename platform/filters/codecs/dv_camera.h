// "Built-in DV Camera": a video input device that every machine has. Its one
// output pin (capture category, no preview pin, buffer negotiation) delivers
// 720x480 dvsd frames at 29.97 frames per second, paced in real time and
// stamped with the stream time they were made at. Each frame is the moving
// picture of frame_code.h with its frame number, made with the DV encoder.
// Like a DV camera it offers no analog-decoder interface.
#pragma once
#include <chrono>
#include <vector>

#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/media/source_filter.h"

class DVCamera;

class DVCameraStream final : public SourceStream, public IKsPropertySet {
 public:
  explicit DVCameraStream(DVCamera* camera);
  HRESULT QueryInterface(REFIID iid, void** object) override { return SourceStream::QueryInterface(iid, object); }
  ULONG AddRef() override { return SourceStream::AddRef(); }
  ULONG Release() override { return SourceStream::Release(); }

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT fillBuffer(IMediaSample* sample) override;
  HRESULT onThreadStart() override;
  HRESULT onThreadStop() override;
  bool offersBufferNegotiation() const override { return true; }
  HRESULT queryPinInterface(REFIID iid, void** object) override;

  // IKsPropertySet: the pin category (capture), read only.
  HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength) override;
  HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength,
              DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

 private:
  VideoEncoderCore encoder_;
  std::vector<uint8_t> picture_;
  uint32_t frame_ = 0;
  std::chrono::steady_clock::time_point start_;
};

class DVCamera final : public SourceFilter {
 public:
  static constexpr int kWidth = 720, kHeight = 480;
  static constexpr REFERENCE_TIME kFrameDuration = 333667;  // 29.97 frames per second

  DVCamera();
};
