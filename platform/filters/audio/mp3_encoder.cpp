#include "platform/filters/audio/mp3_encoder.h"

#include <algorithm>
#include <cstring>

#include "platform/com/log.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/mp3_format.h"
#include "platform/media/results.h"

namespace {

bool encodableRate(uint32_t rate) {
  for (uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
    if (r == rate) return true;
  return false;
}

}  // namespace

Mp3Encoder::Mp3Encoder() : TransformFilter(CLSID_Mp3Encoder) {}

HRESULT Mp3Encoder::checkInputType(const MediaType& mt) {
  PcmFormat f;
  return pcmFormatOf(mt, f) && encodableRate(f.rate) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mp3Encoder::getMediaType(int position, MediaType* mt) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  PcmFormat f;
  if (!pcmFormatOf(inputPin()->currentMediaType(), f)) return E_UNEXPECTED;
  *mt = makeMp3Type(f.rate, f.channels, Mp3EncoderCore::bitRateFor(f), Mp3EncoderCore::frameLengthFor(f),
                    kOutputBufferSize);
  return S_OK;
}

HRESULT Mp3Encoder::checkTransform(const MediaType& in, const MediaType& out) {
  PcmFormat f;
  Mp3StreamInfo info;
  if (!pcmFormatOf(in, f) || !mp3InfoOf(out, info)) return VFW_E_TYPE_NOT_ACCEPTED;
  return info.rate == f.rate && info.channels == f.channels ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mp3Encoder::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES props{4, kOutputBufferSize, 1, 0};
  if (request->cBuffers > props.cBuffers) props.cBuffers = request->cBuffers;
  if (request->cbBuffer > props.cbBuffer) props.cbBuffer = request->cbBuffer;
  if (request->cbAlign > props.cbAlign) props.cbAlign = request->cbAlign;
  return setAllocatorProperties(allocator, props, 1, kOutputBufferSize);
}

HRESULT Mp3Encoder::startStreaming() {
  haveBase_ = false;
  failed_ = false;
  discontinuity_ = true;
  bytes_.clear();
  packets_.clear();
  if (!pcmFormatOf(inputPin()->currentMediaType(), format_)) return E_UNEXPECTED;
  if (!core_.open(format_, Mp3EncoderCore::bitRateFor(format_))) {
    // The rest of the graph runs on; this branch stays silent.
    failed_ = true;
    platformLog(PlatformLogLevel::Error, "%s: no MP3 encoder for %u Hz, %u channels; no sound is encoded",
                kMp3EncoderName, format_.rate, format_.channels);
  }
  return S_OK;
}

HRESULT Mp3Encoder::stopStreaming() {
  core_.close();
  return S_OK;
}

HRESULT Mp3Encoder::receive(IMediaSample* sample) {
  TransformOutputPin* out = outputPin();
  if (!out || !out->isConnected() || failed_) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  if (!haveBase_ && SUCCEEDED(sample->GetTime(&start, &stop))) {
    base_ = start;
    haveBase_ = true;
  }
  if (sample->IsDiscontinuity() == S_OK) discontinuity_ = true;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  LONG length = sample->GetActualDataLength();
  if (!data || length <= 0) return S_OK;
  bool ok = core_.encode(data, static_cast<size_t>(length), [this](const uint8_t* p, size_t n, int64_t pts, int64_t d) {
    packets_.push_back({bytes_.size(), n, pts, d});
    bytes_.insert(bytes_.end(), p, p + n);
  });
  if (!ok) {
    // The stream of this run ends here; the graph goes on.
    failed_ = true;
    platformLog(PlatformLogLevel::Error, "%s: encoding failed; no more sound is encoded until the next start",
                kMp3EncoderName);
    return S_OK;
  }
  return deliverPackets();
}

HRESULT Mp3Encoder::deliverPackets() {
  TransformOutputPin* out = outputPin();
  size_t first = 0;
  HRESULT result = S_OK;
  while (first < packets_.size()) {
    IMediaSample* s = nullptr;
    HRESULT hr = out->getDeliveryBuffer(&s, nullptr, nullptr, 0);
    if (FAILED(hr)) {
      result = hr;
      break;
    }
    uint8_t* dst = nullptr;
    s->GetPointer(&dst);
    const size_t room = static_cast<size_t>(s->GetSize());
    // Whole frames only; a frame larger than a buffer (never at our bit
    // rates) would be cut rather than overrun the buffer.
    size_t last = first, used = 0;
    while (last < packets_.size() && (used + packets_[last].size <= room || last == first)) {
      used += packets_[last].size;
      ++last;
    }
    used = std::min(used, room);
    std::memcpy(dst, bytes_.data() + packets_[first].offset, used);
    s->SetActualDataLength(static_cast<LONG>(used));
    const int64_t rate = format_.rate;
    REFERENCE_TIME t0 = base_ + packets_[first].pts * 10000000 / rate;
    REFERENCE_TIME t1 = base_ + (packets_[last - 1].pts + packets_[last - 1].duration) * 10000000 / rate;
    s->SetTime(&t0, &t1);
    s->SetSyncPoint(TRUE);
    s->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
    hr = out->deliver(s);
    s->Release();
    first = last;
    if (hr != S_OK) {
      result = hr;
      break;
    }
  }
  packets_.clear();
  bytes_.clear();
  return result;
}
