// FrameProbe: a pass-through filter that counts the samples going by and,
// for uncompressed RGB24 pictures, reads the frame number that the
// test-pattern camera draws into its pictures. Every number read is kept
// with the moment it was seen, so that two probes of one process (one
// before the encoder, one after the decoder) tell which frames arrived, in
// which order, and how long each took.
//
// rsFrameProbeFilter is its graph wrapper: the probe is made in this
// program, not loaded from a plug-in, and is placed in a graph like any
// other wrapped filter.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "gravet/rsFilter.h"
#include "platform/media/transform_filter.h"
#include "tools/lab_probes/frame_sequence.h"

struct ProbeCounts {
  uint64_t samples = 0;     // every sample that went by
  uint64_t unreadable = 0;  // pictures without a readable frame number
  int width = 0, height = 0;
  bool rgb24 = false;
};

class FrameProbe final : public TransformInPlaceFilter {
 public:
  // Readings beyond this many are counted but not kept.
  static constexpr size_t kMaxReadings = 1 << 20;

  FrameProbe();

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT setMediaType(PIN_DIRECTION dir, const MediaType& mt) override;
  HRESULT transform(IMediaSample* sample) override;

  ProbeCounts counts() const;
  std::vector<ProbeReading> readings() const;

 private:
  mutable std::mutex lock_;
  ProbeCounts counts_;
  bool topDown_ = false;
  std::vector<ProbeReading> readings_;
};

class rsFrameProbeFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsFrameProbeFilter, rsFilter)

 public:
  explicit rsFrameProbeFilter(const mxString& name);

  ProbeCounts getCounts() const { return probe_->counts(); }
  std::vector<ProbeReading> getReadings() const { return probe_->readings(); }

 protected:
  ~rsFrameProbeFilter() override = default;

 private:
  explicit rsFrameProbeFilter(const mxString& name, FrameProbe* probe);
  FrameProbe* probe_;  // kept alive by the wrapper's reference on the filter
};
