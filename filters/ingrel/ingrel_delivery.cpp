#include "filters/ingrel/ingrel_delivery.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "filters/ingrel/ingrel_fillers.h"

int64_t ingrelSampleDuration(int64_t previousClockTime, int64_t clockTime) {
  int64_t d = 0;
  if (previousClockTime == -1 || __builtin_sub_overflow(clockTime, previousClockTime, &d))
    return kIngrelFrameDuration;
  return d;
}

// Saturates instead of overflowing: hostile clock values may push the
// stream time to its ends, never wrap it.
void IngrelDelivery::advance(int64_t duration) {
  const int64_t t = streamTime_.load();
  int64_t sum = 0;
  if (__builtin_add_overflow(t, duration, &sum))
    sum = duration > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  streamTime_ = sum;
}

std::unique_ptr<IngrelSample> IngrelDelivery::deliver(std::unique_ptr<IngrelSample> s, IMediaSample* sample) {
  uint8_t* buffer = nullptr;
  sample->GetPointer(&buffer);
  const LONG size = sample->GetSize();
  const LONG n = static_cast<LONG>(std::min<size_t>(static_cast<size_t>(std::max<LONG>(size, 0)), s->data.size()));
  if (n > 0) std::memcpy(buffer, s->data.data(), static_cast<size_t>(n));
  sample->SetActualDataLength(n);
  sample->SetSyncPoint(s->syncPoint);
  sample->SetDiscontinuity(s->discontinuity);
  sample->SetPreroll(s->preroll);
  if (s->mediaTimeValid)
    sample->SetMediaTime(&s->mediaStart, &s->mediaStop);
  else
    sample->SetMediaTime(nullptr, nullptr);
  sample->SetTime(nullptr, nullptr);
  advance(ingrelSampleDuration(s->previousClockTime, s->clockTime));
  stallFillers_ = 0;
  std::swap(last_, s);
  return s;
}

void IngrelDelivery::fill(IMediaSample* sample, const MediaClassification& type, int64_t waited) {
  uint8_t* buffer = nullptr;
  sample->GetPointer(&buffer);
  const LONG size = std::max<LONG>(sample->GetSize(), 0);
  const ULONG typeSize = type.mediaType().sampleSize();
  auto zeros = [&](LONG n) {
    n = std::min(n, size);
    if (n > 0) std::memset(buffer, 0, static_cast<size_t>(n));
    sample->SetActualDataLength(n);
  };
  auto copy = [&](const uint8_t* data, size_t length) {
    const LONG n = static_cast<LONG>(std::min<size_t>(static_cast<size_t>(size), length));
    if (n > 0) std::memcpy(buffer, data, static_cast<size_t>(n));
    sample->SetActualDataLength(n);
  };
  auto flags = [&](bool sync, bool discontinuity, bool preroll) {
    sample->SetSyncPoint(sync);
    sample->SetDiscontinuity(discontinuity);
    sample->SetPreroll(preroll);
  };
  if (type.kind == MediaKind_Audio) {
    flags(false, false, false);
    zeros(size);
  } else if (type.kind == MediaKind_Pointer) {
    flags(false, false, false);
    zeros(static_cast<LONG>(kPointerRecordSize));
  } else if (type.videoFormat == VideoFormat_MPEG4v2 || type.videoFormat == VideoFormat_MPEG4v3) {
    // A decoder picks up again at a key frame: the first filler of a stall
    // is the stored key frame, then empty samples and key frames alternate.
    flags(true, true, false);
    if (stallFillers_ % 2 == 1)
      sample->SetActualDataLength(0);
    else
      copy(ingrelMpeg4Filler(), kMpeg4FillerSize);
  } else if (type.videoFormat == VideoFormat_H261 || type.videoFormat == VideoFormat_H263) {
    flags(true, false, true);
    zeros(size);
  } else if (type.videoFormat == VideoFormat_MJPEG) {
    flags(true, false, false);
    const std::vector<uint8_t>& jpeg = ingrelJpegFiller(type.resolution);
    copy(jpeg.data(), jpeg.size());
  } else if (last_) {
    flags(true, true, false);
    copy(last_->data.data(), last_->data.size());
  } else {
    flags(true, true, true);
    zeros(typeSize && typeSize <= static_cast<ULONG>(size) ? static_cast<LONG>(typeSize) : size);
  }
  ++stallFillers_;
  sample->SetTime(nullptr, nullptr);
  sample->SetMediaTime(nullptr, nullptr);
  advance(waited);
}

std::unique_ptr<IngrelSample> IngrelDelivery::reset() {
  stallFillers_ = 0;
  streamTime_ = 0;
  return std::move(last_);
}
