// "MPEG Layer-3 Decoder": MP3 (format tag 85, subtype MP3 or left open, as
// the multicast client builds it) to 16-bit PCM at the rate and channel
// count of the input's record (44.1 kHz stereo when the record leaves them
// open). A stream that differs from the record is converted. Bytes may
// arrive cut anywhere; broken frames and garbage are skipped and counted,
// and decoding picks up again at the next good frame.
#pragma once
#include <vector>

#include "platform/filters/audio/mp3_codec.h"
#include "platform/media/transform_filter.h"

class Mp3Decoder final : public TransformFilter {
 public:
  Mp3Decoder();

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT setMediaType(PIN_DIRECTION dir, const MediaType& mt) override;
  HRESULT startStreaming() override;
  HRESULT stopStreaming() override;
  HRESULT receive(IMediaSample* sample) override;
  HRESULT transform(IMediaSample*, IMediaSample*) override { return E_UNEXPECTED; }

 private:
  HRESULT deliverPcm(REFERENCE_TIME start, bool timed);
  void reportRejected();

  Mp3DecoderCore core_;
  PcmFormat out_;
  std::vector<uint8_t> pcm_;
  bool discontinuity_ = false;
  uint64_t rejectedLogged_ = 0;
  REFERENCE_TIME lastReport_ = 0;
};
