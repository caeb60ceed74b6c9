// "Built-in DV Camera": a video input device that every machine has. Its one
// output pin (capture category, no preview pin, buffer negotiation) delivers
// 720x480 dvsd frames at 29.97 frames per second, paced in real time and
// stamped with the stream time they were made at. Each frame is the
// test-pattern camera's moving picture (capture/test_pattern_image.h) with
// its frame number in the pixels (capture/test_pattern_code.h, counted from
// 0 at each start), made with the DV encoder.
// Like a DV camera it offers no analog-decoder interface.
// "Built-in DV Camera (With Preview)" adds a "Preview" pin (preview
// category) with the same pictures, as some DV devices have.
#pragma once
#include <chrono>
#include <vector>

#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/media/source_filter.h"

class DVCamera;

class DVCameraStream final : public SourceStream, public IKsPropertySet {
 public:
  DVCameraStream(DVCamera* camera, const char16_t* name, const GUID& category);
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
  GUID category_;
  VideoEncoderCore encoder_;
  std::vector<uint8_t> picture_;
  uint32_t frame_ = 0;
  std::chrono::steady_clock::time_point start_;
};

class DVCamera : public SourceFilter {
 public:
  static constexpr int kWidth = 720, kHeight = 480;
  static constexpr REFERENCE_TIME kFrameDuration = 333667;  // 29.97 frames per second

  DVCamera();

 protected:
  // withPreview: a "Preview" pin after the "Capture" pin, each with its own
  // encoder and the same pictures.
  DVCamera(const CLSID& clsid, bool withPreview);
};

class DVCameraWithPreview final : public DVCamera {
 public:
  DVCameraWithPreview() : DVCamera(CLSID_DVCameraWithPreview, true) {}
};
