// The video encoders: "Microsoft MPEG-4 Video Codec V2" (MP42, with
// IVideoCompression) and "DV Video Encoder" (dvsd). Uncompressed video in,
// one coded frame out per picture, key frames marked as sync points.
#pragma once
#include <atomic>
#include <mutex>

#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/video_codec_core.h"
#include "platform/media/transform_filter.h"

class VideoEncoderFilter : public TransformFilter {
 public:
  VideoEncoderFilter(const CLSID& clsid, VideoCodecKind kind);

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT startStreaming() override;
  HRESULT stopStreaming() override;

 protected:
  EncoderSettings settings() const;
  void changeSettings(const EncoderSettings& s);

 private:
  bool openEncoder();

  VideoCodecKind kind_;
  mutable std::mutex settingsLock_;
  EncoderSettings settings_;
  std::atomic<bool> settingsChanged_{false};
  VideoEncoderCore encoder_;  // used on the streaming thread (and at start / stop)
  PictureFormat input_;
  bool failed_ = false;
};

class MP42EncoderFilter final : public VideoEncoderFilter, public IVideoCompression {
 public:
  MP42EncoderFilter() : VideoEncoderFilter(CLSID_MP42Encoder, VideoCodecKind::MP42) {}
  HRESULT QueryInterface(REFIID iid, void** object) override { return VideoEncoderFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return VideoEncoderFilter::AddRef(); }
  ULONG Release() override { return VideoEncoderFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetBitRate(LONG bitsPerSecond) override;
  HRESULT GetBitRate(LONG* bitsPerSecond) override;
  HRESULT SetKeyFrameInterval(LONG frames) override;
  HRESULT GetKeyFrameInterval(LONG* frames) override;
  HRESULT SetQuality(double quality) override;
  HRESULT GetQuality(double* quality) override;

  int settingsVersion() const override { return 1; }
  uint64_t settingsSizeMax() const override { return 16; }
  HRESULT writeSettings(ByteWriter& out) override;
  HRESULT readSettings(ByteReader& in, int version) override;
};

class DVEncoderFilter final : public VideoEncoderFilter {
 public:
  DVEncoderFilter() : VideoEncoderFilter(CLSID_DVEncoder, VideoCodecKind::DV) {}
};
