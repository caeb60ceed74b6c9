#include "tools/lab_probes/circling_pointer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "filters/pointer/pointer_info.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace {

// Never registered; the identifier only answers GetClassID.
constexpr CLSID CLSID_CirclingPointer = makeGuid("{9C4E2A17-5B80-4F3D-A6E1-2D7B9C0F4A58}");

MediaType pointerStreamType() {
  MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(pointing::kPointerInfoSize);
  return mt;
}

}  // namespace

class CirclingPointerStream final : public SourceStream {
 public:
  explicit CirclingPointerStream(CirclingPointer* filter) : SourceStream(filter, u"Out"), source_(filter) {}

  HRESULT checkMediaType(const MediaType& mt) override {
    return mt == pointerStreamType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT getMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = pointerStreamType();
    return S_OK;
  }
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    const LONG size = static_cast<LONG>(pointing::kPointerInfoSize);
    ALLOCATOR_PROPERTIES props{std::max<LONG>(2, request->cBuffers), size, 1, 0};
    return setAllocatorProperties(allocator, props, 1, size);
  }
  HRESULT active() override {
    {
      std::lock_guard<std::mutex> g(source_->lock_);
      source_->stopping_ = false;
    }
    return SourceStream::active();
  }
  HRESULT onThreadStart() override {
    started_ = std::chrono::steady_clock::now();
    next_ = started_;
    emitted_ = 0;
    return S_OK;
  }

  HRESULT fillBuffer(IMediaSample* sample) override {
    {
      std::unique_lock<std::mutex> g(source_->lock_);
      if (source_->wake_.wait_until(g, next_, [&] { return source_->stopping_; })) return S_FALSE;
    }
    const double t = std::chrono::duration<double>(next_ - started_).count();
    next_ += std::chrono::milliseconds(CirclingPointer::kIntervalMs);

    pointing::POINTER_INFO info = pointing::initialPointerState();
    info.valid = 1;
    info.shape = pointing::kShapeStandard;
    info.screenWidth = 640;
    info.screenHeight = 480;
    CirclingPointer::positionAt(t, info.positionX, info.positionY);
    info.cursorX = static_cast<int32_t>(info.positionX * 640.0f);
    info.cursorY = static_cast<int32_t>(info.positionY * 480.0f);
    info.positionX *= source_->scaleX_;
    info.positionY *= source_->scaleY_;
    // The first record carries everything; later ones only move.
    info.changeFlags =
        emitted_ == 0 ? uint16_t(0x01FF) : uint16_t(pointing::kChangeCursor | pointing::kChangePosition);

    uint8_t* data = nullptr;
    sample->GetPointer(&data);
    if (!pointing::writePointerInfo(info, data, static_cast<size_t>(sample->GetSize()))) return E_FAIL;
    sample->SetActualDataLength(static_cast<LONG>(pointing::kPointerInfoSize));
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(emitted_ == 0);
    ++emitted_;
    std::lock_guard<std::mutex> g(source_->lock_);
    ++source_->sent_;
    return S_OK;
  }

 private:
  CirclingPointer* source_;
  std::chrono::steady_clock::time_point started_, next_;
  uint64_t emitted_ = 0;
};

CirclingPointer::CirclingPointer() : SourceFilter(CLSID_CirclingPointer) {
  addStream(new CirclingPointerStream(this));
}

HRESULT CirclingPointer::Stop() {
  {
    std::lock_guard<std::mutex> g(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  return SourceFilter::Stop();
}

uint64_t CirclingPointer::recordsSent() const {
  std::lock_guard<std::mutex> g(lock_);
  return sent_;
}

void CirclingPointer::positionAt(double t, float& x, float& y) {
  const double angle = 2.0 * M_PI * t / kPeriodSeconds;
  x = static_cast<float>(0.5 + kRadius * std::cos(angle));
  y = static_cast<float>(0.5 + kRadius * std::sin(angle));
}

rsCirclingPointerFilter::rsCirclingPointerFilter(const mxString& name)
    : rsCirclingPointerFilter(name, new CirclingPointer) {}

rsCirclingPointerFilter::rsCirclingPointerFilter(const mxString& name, CirclingPointer* source)
    : rsFilter(name, source), source_(source) {}
