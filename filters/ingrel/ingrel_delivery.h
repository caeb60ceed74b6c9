// What the client's output pin does with each media sample it fills: a
// queued sample is copied in with its flags and media times; when the
// stream stalls a filler is made for the output type instead. Both add to
// the output stream time: a sample the clock difference its record
// carries (one frame at 30 frames per second when the sender had no
// previous clock time), a filler the time waited for it.
//
// Owned by the pin and used under the pin's lock; the stream time may be
// read from any thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "filters/ingrel/ingrel_record.h"
#include "filters/mediaclass/mediaclass.h"
#include "platform/media/pin_interfaces.h"

// One frame at 30 frames per second, in 100 ns units.
inline constexpr int64_t kIngrelFrameDuration = 333333;

// The stream time a sample adds: clock − previous, or one frame when the
// previous clock time is −1 (none) or the difference of the two wire
// values does not fit in 64 bits.
int64_t ingrelSampleDuration(int64_t previousClockTime, int64_t clockTime);

class IngrelDelivery {
 public:
  // Copies s into sample (at most the sample's size) and keeps it as the
  // last delivered sample; returns the previous last one, for recycling.
  std::unique_ptr<IngrelSample> deliver(std::unique_ptr<IngrelSample> s, IMediaSample* sample);
  // Makes a filler for the output type after waiting waited (100 ns units).
  void fill(IMediaSample* sample, const MediaClassification& type, int64_t waited);
  // The pin became inactive: no last sample, stream time 0.
  std::unique_ptr<IngrelSample> reset();

  int64_t streamTime() const { return streamTime_.load(); }
  bool hasLast() const { return last_ != nullptr; }

 private:
  void advance(int64_t duration);

  std::unique_ptr<IngrelSample> last_;
  // Fillers since the last real sample: the MPEG-4 filler alternates
  // between the key frame (first) and an empty sample.
  uint32_t stallFillers_ = 0;
  std::atomic<int64_t> streamTime_{0};
};
