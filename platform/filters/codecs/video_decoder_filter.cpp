#include "platform/filters/codecs/video_decoder_filter.h"

#include "platform/com/log.h"
#include "platform/filters/codecs/video_types.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace {

const char* kindName(VideoCodecKind kind) {
  return kind == VideoCodecKind::MP42 ? "MPEG-4 V2 decoder" : "DV decoder";
}

}  // namespace

VideoDecoderFilter::VideoDecoderFilter(const CLSID& clsid, VideoCodecKind kind)
    : TransformFilter(clsid), kind_(kind) {}

void VideoDecoderFilter::outputSize(int codedWidth, int codedHeight, int* width, int* height) const {
  *width = codedWidth;
  *height = codedHeight;
}

HRESULT VideoDecoderFilter::checkInputType(const MediaType& mt) {
  int w = 0, h = 0;
  return codedSizeOf(mt, kind_, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoDecoderFilter::checkTransform(const MediaType& in, const MediaType& out) {
  int cw = 0, ch = 0, w = 0, h = 0;
  PictureFormat f;
  if (!codedSizeOf(in, kind_, &cw, &ch) || !pictureFormatOf(out, &f)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (f.format != AV_PIX_FMT_BGR24 && f.format != AV_PIX_FMT_BGR0) return VFW_E_TYPE_NOT_ACCEPTED;
  outputSize(cw, ch, &w, &h);
  return f.width == w && f.height == h ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoDecoderFilter::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  const MediaType& in = inputPin()->currentMediaType();
  int cw = 0, ch = 0, w = 0, h = 0;
  if (!codedSizeOf(in, kind_, &cw, &ch)) return E_UNEXPECTED;
  outputSize(cw, ch, &w, &h);
  *mt = makeRgbType(w, h, position == 0 ? 24 : 32, frameDurationOf(in));
  return S_OK;
}

HRESULT VideoDecoderFilter::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  LONG size = static_cast<LONG>(outputPin()->currentMediaType().sampleSize());
  ALLOCATOR_PROPERTIES props{std::max<LONG>(request->cBuffers, 2), size, 16, 0};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT VideoDecoderFilter::startStreaming() {
  reported_ = false;
  if (!inputPin() || !inputPin()->isConnected() || !outputPin() || !outputPin()->isConnected()) return S_OK;
  int cw = 0, ch = 0;
  if (!codedSizeOf(inputPin()->currentMediaType(), kind_, &cw, &ch) ||
      !pictureFormatOf(outputPin()->currentMediaType(), &output_))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return decoder_.open(kind_, cw, ch) ? S_OK : E_FAIL;
}

HRESULT VideoDecoderFilter::stopStreaming() {
  decoder_.close();
  return S_OK;
}

HRESULT VideoDecoderFilter::transform(IMediaSample* in, IMediaSample* out) {
  if (!decoder_.isOpen()) return E_UNEXPECTED;
  uint8_t *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  LONG length = in->GetActualDataLength();
  auto result = decoder_.decode(src, length > 0 ? static_cast<size_t>(length) : 0, in->IsDiscontinuity() == S_OK);
  if (result == VideoDecoderCore::Result::Broken) {
    if (!reported_)
      platformLog(PlatformLogLevel::Warn, "%s: a %ld-byte sample could not be decoded; waiting for the next key frame",
                  kindName(kind_), static_cast<long>(length));
    reported_ = true;
    return S_FALSE;
  }
  if (result != VideoDecoderCore::Result::Picture) return S_FALSE;
  if (reported_) platformLog(PlatformLogLevel::Info, "%s: decoding again from a key frame", kindName(kind_));
  reported_ = false;
  if (static_cast<size_t>(out->GetSize()) < pictureSize(output_) || !decoder_.convertPicture(output_, dst))
    return S_FALSE;
  out->SetActualDataLength(static_cast<LONG>(pictureSize(output_)));
  out->SetSyncPoint(TRUE);
  out->SetDiscontinuity(FALSE);
  return S_OK;
}

// ---------------------------------------------------------------- DV display size

HRESULT DVDecoderFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IIPDVDec) return getInterface(static_cast<IIPDVDec*>(this), object);
  return VideoDecoderFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT DVDecoderFilter::get_IPDisplay(int* displayPix) {
  if (!displayPix) return E_POINTER;
  *displayPix = display_.load();
  return S_OK;
}

HRESULT DVDecoderFilter::put_IPDisplay(int displayPix) {
  if (displayPix < DVRESOLUTION_FULL || displayPix > DVRESOLUTION_DC) return E_INVALIDARG;
  std::lock_guard<std::recursive_mutex> g(filterLock());
  if (displayPix == display_.load()) return S_OK;
  if (outputPin() && outputPin()->isConnected()) return VFW_E_ALREADY_CONNECTED;
  display_ = displayPix;
  return S_OK;
}

void DVDecoderFilter::outputSize(int codedWidth, int codedHeight, int* width, int* height) const {
  int shift = display_.load() - DVRESOLUTION_FULL;  // 0 .. 3
  *width = codedWidth >> shift;
  *height = codedHeight >> shift;
}
