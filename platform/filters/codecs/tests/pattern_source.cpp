#include "platform/filters/codecs/tests/pattern_source.h"

#include <cstring>

#include "platform/filters/codecs/frame_code.h"
#include "platform/filters/codecs/video_types.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

namespace {

class PatternStream final : public SourceStream {
 public:
  explicit PatternStream(PatternSource* source) : SourceStream(source, u"Out"), source_(source) {}

  MediaType type() const { return makeRgbType(source_->width(), source_->height(), source_->bitCount(), PatternSource::kInterval); }
  HRESULT checkMediaType(const MediaType& mt) override { return mt == type() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
  HRESULT getMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = type();
    return S_OK;
  }
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    LONG size = static_cast<LONG>(type().sampleSize());
    ALLOCATOR_PROPERTIES props{std::max<LONG>(3, request->cBuffers), size, 16, 0};
    return setAllocatorProperties(allocator, props, 1, size);
  }
  HRESULT onThreadStart() override {
    frame_ = 0;
    return S_OK;
  }
  HRESULT fillBuffer(IMediaSample* sample) override {
    if (source_->frames() && frame_ >= source_->frames()) return S_FALSE;
    uint8_t* data = nullptr;
    sample->GetPointer(&data);
    source_->fill(frame_, data);
    sample->SetActualDataLength(static_cast<LONG>(type().sampleSize()));
    REFERENCE_TIME start = REFERENCE_TIME(frame_) * PatternSource::kInterval, stop = start + PatternSource::kInterval;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(frame_ == 0);
    ++frame_;
    return S_OK;
  }

 private:
  PatternSource* source_;
  uint32_t frame_ = 0;
};

}  // namespace

PatternSource::PatternSource(int width, int height, uint32_t frames, uint32_t cycle, int bitCount)
    : SourceFilter(CLSID_PatternSource), width_(width), height_(height), bitCount_(bitCount), frames_(frames) {
  for (uint32_t n = 0; n < cycle; ++n) {
    cache_.emplace_back(static_cast<size_t>(makeRgbType(width, height, bitCount, kInterval).sampleSize()));
    fill(n, cache_.back().data());
  }
  addStream(new PatternStream(this));
}

std::vector<uint8_t> PatternSource::reference(uint32_t n) const {
  std::vector<uint8_t> picture(size_t(width_) * height_ * 3);
  drawCodedPicture(picture.data(), ptrdiff_t(width_) * 3, width_, height_, n);
  return picture;
}

void PatternSource::fill(uint32_t n, uint8_t* buffer) const {
  if (!cache_.empty()) {
    const auto& c = cache_[n % cache_.size()];
    std::memcpy(buffer, c.data(), c.size());
    return;
  }
  const int bpp = bitCount_ / 8;
  const ptrdiff_t stride = (ptrdiff_t(width_) * bpp + 3) & ~3;
  std::vector<uint8_t> picture = reference(n);
  // Bottom-up: the picture's top row is the buffer's last row.
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = buffer + stride * (height_ - 1 - y);
    const uint8_t* src = picture.data() + size_t(y) * width_ * 3;
    if (bpp == 3) {
      std::memcpy(row, src, size_t(width_) * 3);
    } else {
      for (int x = 0; x < width_; ++x) {
        std::memcpy(row + 4 * x, src + 3 * x, 3);
        row[4 * x + 3] = 0;
      }
    }
  }
}
