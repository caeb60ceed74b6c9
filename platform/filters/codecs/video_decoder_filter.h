// The video decoders: "Mpeg4 Decoder DMO" (MP42) and "DV Video Decoder"
// (dvsd, with IIPDVDec). Coded frames in, RGB24 (or RGB32) pictures out,
// bottom-up. A sample that cannot be decoded is dropped, and so is every
// sample after it up to the next key frame.
#pragma once
#include <atomic>

#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/media/transform_filter.h"

class VideoDecoderFilter : public TransformFilter {
 public:
  VideoDecoderFilter(const CLSID& clsid, VideoCodecKind kind);

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT startStreaming() override;
  HRESULT stopStreaming() override;

 protected:
  // The picture size given out for a coded size (the DV decoder scales).
  virtual void outputSize(int codedWidth, int codedHeight, int* width, int* height) const;

 private:
  VideoCodecKind kind_;
  VideoDecoderCore decoder_;  // used on the streaming thread (and at start / stop)
  PictureFormat output_;
  bool reported_ = false;  // a broken stretch was logged
};

class MP42DecoderFilter final : public VideoDecoderFilter {
 public:
  MP42DecoderFilter() : VideoDecoderFilter(CLSID_MP42Decoder, VideoCodecKind::MP42) {}
};

class DVDecoderFilter final : public VideoDecoderFilter, public IIPDVDec {
 public:
  DVDecoderFilter() : VideoDecoderFilter(CLSID_DVDecoder, VideoCodecKind::DV) {}
  HRESULT QueryInterface(REFIID iid, void** object) override { return VideoDecoderFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return VideoDecoderFilter::AddRef(); }
  ULONG Release() override { return VideoDecoderFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // 1000 full, 1001 half, 1002 quarter, 1003 DC; other values are refused
  // (E_INVALIDARG). A new size needs the output unconnected
  // (VFW_E_ALREADY_CONNECTED otherwise).
  HRESULT get_IPDisplay(int* displayPix) override;
  HRESULT put_IPDisplay(int displayPix) override;

 protected:
  void outputSize(int codedWidth, int codedHeight, int* width, int* height) const override;

 private:
  std::atomic<int> display_{DVRESOLUTION_FULL};
};
