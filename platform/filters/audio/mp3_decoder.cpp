#include "platform/filters/audio/mp3_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/com/log.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/mp3_format.h"
#include "platform/media/clock.h"
#include "platform/media/results.h"

namespace {

PcmFormat outputFor(const MediaType& in) {
  Mp3StreamInfo info;
  PcmFormat f;  // 44.1 kHz stereo 16-bit unless the record says otherwise
  if (mp3InfoOf(in, info)) {
    if (info.rate) f.rate = info.rate;
    if (info.channels) f.channels = info.channels;
  }
  return f;
}

}  // namespace

Mp3Decoder::Mp3Decoder() : TransformFilter(CLSID_Mp3Decoder) {}

HRESULT Mp3Decoder::checkInputType(const MediaType& mt) {
  Mp3StreamInfo info;
  return mp3InfoOf(mt, info) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mp3Decoder::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = makePcmType(outputFor(inputPin()->currentMediaType()));
  return S_OK;
}

HRESULT Mp3Decoder::checkTransform(const MediaType& in, const MediaType& out) {
  Mp3StreamInfo info;
  PcmFormat f;
  return mp3InfoOf(in, info) && pcmFormatOf(out, f) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mp3Decoder::setMediaType(PIN_DIRECTION dir, const MediaType& mt) {
  if (dir == PINDIR_OUTPUT && !pcmFormatOf(mt, out_)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT Mp3Decoder::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  // A fifth of a second per buffer (whole sample frames), four buffers.
  LONG size = static_cast<LONG>(std::max<uint32_t>(out_.bytesPerSecond() / 5 / out_.frameBytes(), 1152) *
                                out_.frameBytes());
  ALLOCATOR_PROPERTIES props{4, size, 1, 0};
  if (request->cBuffers > props.cBuffers) props.cBuffers = request->cBuffers;
  if (request->cbAlign > props.cbAlign) props.cbAlign = request->cbAlign;
  return setAllocatorProperties(allocator, props, 1, static_cast<LONG>(out_.frameBytes()));
}

HRESULT Mp3Decoder::startStreaming() {
  pcm_.clear();
  discontinuity_ = true;
  rejectedLogged_ = 0;
  if (!core_.open(out_))  // the rest of the graph runs on; this branch stays silent
    platformLog(PlatformLogLevel::Error, "%s: the MP3 decoder of libavcodec is not available; no sound is decoded",
                kMp3DecoderName);
  return S_OK;
}

HRESULT Mp3Decoder::stopStreaming() {
  core_.close();
  return S_OK;
}

void Mp3Decoder::reportRejected() {
  uint64_t rejected = core_.framesRejected();
  if (rejected == rejectedLogged_) return;
  REFERENCE_TIME now = monotonicTime100ns();
  if (rejectedLogged_ != 0 && now - lastReport_ < 10000000) return;  // at most once a second
  platformLog(PlatformLogLevel::Warn, "%s: skipped %llu broken MP3 frame(s) so far", kMp3DecoderName,
              static_cast<unsigned long long>(rejected));
  rejectedLogged_ = rejected;
  lastReport_ = now;
}

HRESULT Mp3Decoder::receive(IMediaSample* sample) {
  TransformOutputPin* out = outputPin();
  if (!out || !out->isConnected()) return S_OK;
  // After a gap in the stream a frame cut in two must not be joined up.
  if (sample->IsDiscontinuity() == S_OK) {
    core_.reset();
    discontinuity_ = true;
  }
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  LONG length = sample->GetActualDataLength();
  if (!data || length <= 0) return S_OK;
  pcm_.clear();
  core_.decode(data, static_cast<size_t>(length),
               [this](const uint8_t* p, size_t n) { pcm_.insert(pcm_.end(), p, p + n); });
  reportRejected();
  REFERENCE_TIME start = 0, stop = 0;
  bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  return deliverPcm(start, timed);
}

HRESULT Mp3Decoder::deliverPcm(REFERENCE_TIME start, bool timed) {
  TransformOutputPin* out = outputPin();
  size_t offset = 0;
  while (offset < pcm_.size()) {
    IMediaSample* s = nullptr;
    HRESULT hr = out->getDeliveryBuffer(&s, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    uint8_t* dst = nullptr;
    s->GetPointer(&dst);
    size_t room = static_cast<size_t>(s->GetSize()) / out_.frameBytes() * out_.frameBytes();
    if (room == 0) {
      s->Release();
      return E_UNEXPECTED;
    }
    size_t n = std::min(room, pcm_.size() - offset);
    std::memcpy(dst, pcm_.data() + offset, n);
    s->SetActualDataLength(static_cast<LONG>(n));
    if (timed) {
      REFERENCE_TIME t0 = start + pcmDuration(out_, offset), t1 = start + pcmDuration(out_, offset + n);
      s->SetTime(&t0, &t1);
    }
    s->SetSyncPoint(TRUE);
    s->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
    hr = out->deliver(s);
    s->Release();
    if (hr != S_OK) return hr;
    offset += n;
  }
  return S_OK;
}
