// "MPEG Layer-3": encodes 8- or 16-bit PCM (mono or stereo, 8 to 48 kHz)
// into MP3. Each input sample gives the MP3 frames it completes, gathered
// into output samples of whole frames; times follow the input's first time
// stamp and the encoder's frame positions.
#pragma once
#include <vector>

#include "platform/filters/audio/mp3_codec.h"
#include "platform/media/transform_filter.h"

class Mp3Encoder final : public TransformFilter {
 public:
  Mp3Encoder();

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT startStreaming() override;
  HRESULT stopStreaming() override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT transform(IMediaSample*, IMediaSample*) override { return E_UNEXPECTED; }

  static constexpr LONG kOutputBufferSize = 8192;

 private:
  struct Packet {
    size_t offset, size;
    int64_t pts, duration;
  };
  HRESULT deliverPackets();

  Mp3EncoderCore core_;
  PcmFormat format_;
  std::vector<uint8_t> bytes_;
  std::vector<Packet> packets_;
  bool haveBase_ = false;
  REFERENCE_TIME base_ = 0;
  bool failed_ = false;
  bool discontinuity_ = false;
};
