#include "tools/lab_probes/frame_probe.h"

#include "platform/filters/capture/test_pattern_code.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {
// The probe is never registered; the identifier only answers GetClassID.
constexpr CLSID CLSID_FrameProbe = makeGuid("{3F0B6C52-7A1E-4D8B-9E25-6C1D0A4B7E93}");
}  // namespace

FrameProbe::FrameProbe() : TransformInPlaceFilter(CLSID_FrameProbe) {}

HRESULT FrameProbe::checkInputType(const MediaType&) {
  return S_OK;  // anything passes; only RGB24 pictures are read
}

HRESULT FrameProbe::setMediaType(PIN_DIRECTION dir, const MediaType& mt) {
  if (dir != PINDIR_INPUT) return S_OK;
  VideoInfoHeader vih;
  std::lock_guard<std::mutex> g(lock_);
  counts_.rgb24 = false;
  counts_.width = counts_.height = 0;
  if (mt.majortype() == MEDIATYPE_Video && mt.subtype() == MEDIASUBTYPE_RGB24 && videoInfoOf(mt.get(), vih) &&
      vih.bmi.width > 0 && vih.bmi.height != 0) {
    counts_.rgb24 = true;
    counts_.width = vih.bmi.width;
    counts_.height = vih.bmi.height < 0 ? -vih.bmi.height : vih.bmi.height;
    topDown_ = vih.bmi.height < 0;
  }
  return S_OK;
}

HRESULT FrameProbe::transform(IMediaSample* sample) {
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> g(lock_);
  ++counts_.samples;
  if (!counts_.rgb24) return S_OK;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const size_t stride = (static_cast<size_t>(counts_.width) * 3 + 3) & ~size_t(3);
  const size_t needed = stride * static_cast<size_t>(counts_.height);
  uint32_t frame = 0;
  if (!data || sample->GetActualDataLength() < 0 ||
      static_cast<size_t>(sample->GetActualDataLength()) < needed ||
      !test_pattern::readFrameNumberRgb24(data, counts_.width, counts_.height, &frame, topDown_)) {
    ++counts_.unreadable;
    return S_OK;
  }
  if (readings_.size() < kMaxReadings) readings_.push_back({frame, now});
  return S_OK;
}

ProbeCounts FrameProbe::counts() const {
  std::lock_guard<std::mutex> g(lock_);
  return counts_;
}

std::vector<ProbeReading> FrameProbe::readings() const {
  std::lock_guard<std::mutex> g(lock_);
  return readings_;
}

rsFrameProbeFilter::rsFrameProbeFilter(const mxString& name) : rsFrameProbeFilter(name, new FrameProbe) {}

rsFrameProbeFilter::rsFrameProbeFilter(const mxString& name, FrameProbe* probe)
    : rsFilter(name, probe), probe_(probe) {}
