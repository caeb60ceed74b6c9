// CirclingPointer: a pointer source that stands in for the sender's pointer
// position filter on a station without a pointer to follow. Every 40 ms it
// emits a 71-byte pointer record whose normalised position moves round a
// circle about the picture's centre (radius 0.3, once every 4 s), flagged
// as a changed position so that zoom filters follow it and pointer mixers
// draw it.
//
// rsCirclingPointerFilter is its graph wrapper (the source is made in this
// program, not loaded from a plug-in).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "gravet/rsFilter.h"
#include "platform/media/source_filter.h"

class CirclingPointer final : public SourceFilter {
 public:
  static constexpr int kIntervalMs = 40;
  static constexpr double kPeriodSeconds = 4.0;
  static constexpr float kRadius = 0.3f;

  CirclingPointer();
  HRESULT Stop() override;

  // Records emitted since creation.
  uint64_t recordsSent() const;
  // Positions are multiplied by these (1, 1: the normalised picture; a
  // window's size in pixels: that window's pixels, as a receiving station's
  // pointer position filter gives them). Set while stopped.
  void setPositionScale(float x, float y) {
    scaleX_ = x;
    scaleY_ = y;
  }
  // The position of the record at time t seconds after the stream started.
  static void positionAt(double t, float& x, float& y);

 private:
  friend class CirclingPointerStream;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  uint64_t sent_ = 0;
  float scaleX_ = 1, scaleY_ = 1;
};

class rsCirclingPointerFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsCirclingPointerFilter, rsFilter)

 public:
  explicit rsCirclingPointerFilter(const mxString& name);

  uint64_t getRecordsSent() const { return source_->recordsSent(); }
  void setPositionScale(float x, float y) { source_->setPositionScale(x, y); }

 protected:
  ~rsCirclingPointerFilter() override = default;

 private:
  rsCirclingPointerFilter(const mxString& name, CirclingPointer* source);
  CirclingPointer* source_;  // kept alive by the wrapper's reference on the filter
};
