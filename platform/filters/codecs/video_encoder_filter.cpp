#include "platform/filters/codecs/video_encoder_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/com/log.h"
#include "platform/filters/codecs/video_types.h"
#include "platform/media/results.h"

namespace {

constexpr LONG kMinBitRate = 16000, kMaxBitRate = 50000000;
constexpr LONG kMaxKeyFrameInterval = 1000;

}  // namespace

VideoEncoderFilter::VideoEncoderFilter(const CLSID& clsid, VideoCodecKind kind)
    : TransformFilter(clsid), kind_(kind) {}

HRESULT VideoEncoderFilter::checkInputType(const MediaType& mt) {
  PictureFormat f;
  if (!pictureFormatOf(mt, &f)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (kind_ == VideoCodecKind::DV ? !isDVFrameSize(f.width, f.height) : (f.width % 2 || f.height % 2))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT VideoEncoderFilter::checkTransform(const MediaType& in, const MediaType& out) {
  PictureFormat f;
  int w = 0, h = 0;
  if (!pictureFormatOf(in, &f) || !codedSizeOf(out, kind_, &w, &h)) return VFW_E_TYPE_NOT_ACCEPTED;
  return w == f.width && h == f.height ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoEncoderFilter::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const MediaType& in = inputPin()->currentMediaType();
  PictureFormat f;
  if (!pictureFormatOf(in, &f)) return E_UNEXPECTED;
  *mt = makeCodedType(kind_, f.width, f.height, frameDurationOf(in));
  return S_OK;
}

HRESULT VideoEncoderFilter::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  LONG size = static_cast<LONG>(outputPin()->currentMediaType().sampleSize());
  // Very small MP42 pictures at the best quality can take more than the raw
  // picture's bytes.
  if (kind_ == VideoCodecKind::MP42) size = std::max<LONG>(size + 4096, 65536);
  ALLOCATOR_PROPERTIES props{std::max<LONG>(request->cBuffers, 2), size, 16, 0};
  return setAllocatorProperties(allocator, props, 1, size);
}

EncoderSettings VideoEncoderFilter::settings() const {
  std::lock_guard<std::mutex> g(settingsLock_);
  return settings_;
}

void VideoEncoderFilter::changeSettings(const EncoderSettings& s) {
  {
    std::lock_guard<std::mutex> g(settingsLock_);
    settings_ = s;
  }
  settingsChanged_ = true;
  setDirty(true);
}

bool VideoEncoderFilter::openEncoder() {
  settingsChanged_ = false;
  EncoderSettings s = settings();
  s.frameDuration = frameDurationOf(inputPin()->currentMediaType());
  return encoder_.open(kind_, input_.width, input_.height, s);
}

HRESULT VideoEncoderFilter::startStreaming() {
  failed_ = false;
  if (!inputPin() || !inputPin()->isConnected()) return S_OK;
  if (!pictureFormatOf(inputPin()->currentMediaType(), &input_)) return VFW_E_TYPE_NOT_ACCEPTED;
  return openEncoder() ? S_OK : E_FAIL;
}

HRESULT VideoEncoderFilter::stopStreaming() {
  encoder_.close();
  return S_OK;
}

HRESULT VideoEncoderFilter::transform(IMediaSample* in, IMediaSample* out) {
  if (settingsChanged_ && !openEncoder()) return E_FAIL;
  if (!encoder_.isOpen()) return E_UNEXPECTED;
  uint8_t *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  size_t need = pictureSize(input_);
  if (!src || static_cast<size_t>(in->GetActualDataLength()) < need) {
    if (!failed_) platformLog(PlatformLogLevel::Warn, "video encoder: a %ld-byte sample is shorter than a %zu-byte picture; dropped",
                              static_cast<long>(in->GetActualDataLength()), need);
    failed_ = true;
    return S_FALSE;
  }
  if (!encoder_.encode(input_, src)) {
    platformLog(PlatformLogLevel::Error, "video encoder: encoding failed; frame dropped");
    return S_FALSE;
  }
  const std::vector<uint8_t>& coded = encoder_.data();
  if (coded.empty()) return S_FALSE;
  if (coded.size() > static_cast<size_t>(out->GetSize())) {
    platformLog(PlatformLogLevel::Warn, "video encoder: a %zu-byte frame does not fit a %ld-byte buffer; dropped",
                coded.size(), static_cast<long>(out->GetSize()));
    return S_FALSE;
  }
  std::memcpy(dst, coded.data(), coded.size());
  out->SetActualDataLength(static_cast<LONG>(coded.size()));
  out->SetSyncPoint(encoder_.isKeyFrame());
  return S_OK;
}

// ---------------------------------------------------------------- MP42 settings

HRESULT MP42EncoderFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IVideoCompression) return getInterface(static_cast<IVideoCompression*>(this), object);
  return VideoEncoderFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT MP42EncoderFilter::SetBitRate(LONG bitsPerSecond) {
  EncoderSettings s = settings();
  s.bitRate = std::clamp(bitsPerSecond, kMinBitRate, kMaxBitRate);
  changeSettings(s);
  return S_OK;
}

HRESULT MP42EncoderFilter::GetBitRate(LONG* bitsPerSecond) {
  if (!bitsPerSecond) return E_POINTER;
  *bitsPerSecond = static_cast<LONG>(settings().bitRate);
  return S_OK;
}

HRESULT MP42EncoderFilter::SetKeyFrameInterval(LONG frames) {
  EncoderSettings s = settings();
  s.keyFrameInterval = std::clamp<LONG>(frames, 1, kMaxKeyFrameInterval);
  changeSettings(s);
  return S_OK;
}

HRESULT MP42EncoderFilter::GetKeyFrameInterval(LONG* frames) {
  if (!frames) return E_POINTER;
  *frames = settings().keyFrameInterval;
  return S_OK;
}

HRESULT MP42EncoderFilter::SetQuality(double quality) {
  EncoderSettings s = settings();
  s.quality = std::isnan(quality) || quality < 0 ? -1 : std::min(quality, 1.0);
  changeSettings(s);
  return S_OK;
}

HRESULT MP42EncoderFilter::GetQuality(double* quality) {
  if (!quality) return E_POINTER;
  *quality = settings().quality;
  return S_OK;
}

// Saved as bit rate, key-frame interval and quality in ten-thousandths (-1:
// follow the bit rate), each a 32-bit integer.
HRESULT MP42EncoderFilter::writeSettings(ByteWriter& out) {
  EncoderSettings s = settings();
  out.i32(static_cast<int32_t>(s.bitRate));
  out.i32(s.keyFrameInterval);
  out.i32(s.quality < 0 ? -1 : static_cast<int32_t>(std::lround(s.quality * 10000)));
  return S_OK;
}

HRESULT MP42EncoderFilter::readSettings(ByteReader& in, int) {
  int32_t bitRate = in.i32(), interval = in.i32(), quality = in.i32();
  if (in.failed()) return E_FAIL;
  EncoderSettings s = settings();
  s.bitRate = std::clamp<int32_t>(bitRate, kMinBitRate, kMaxBitRate);
  s.keyFrameInterval = std::clamp<int32_t>(interval, 1, kMaxKeyFrameInterval);
  s.quality = quality < 0 ? -1 : std::min(quality / 10000.0, 1.0);
  changeSettings(s);
  setDirty(false);
  return S_OK;
}
