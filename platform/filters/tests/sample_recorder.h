// What a renderer received, for the filter tests: each sample's bytes, times
// and flags in arrival order, and whether the end of the stream came.
// record() is a null renderer's callback and runs on the streaming thread;
// tests read copies.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/filters/null_renderer.h"

struct RecordedSample {
  std::vector<uint8_t> data;
  REFERENCE_TIME start = -1, stop = -1;
  int64_t mediaStart = -1, mediaStop = -1;
  bool sync = false, discontinuity = false;
  int32_t code = -1;  // what a derived recorder's annotate() read from the data

  // The little-endian number in the first eight bytes (the test source's frame number).
  uint64_t frameNumber() const {
    uint64_t n = 0;
    for (size_t i = 0; i < 8 && i < data.size(); ++i) n |= uint64_t(data[i]) << (8 * i);
    return n;
  }
};

class SampleRecorder {
 public:
  // Only the newest `keep` samples are kept (whole pictures add up); the
  // count still includes the dropped ones.
  explicit SampleRecorder(size_t keep = SIZE_MAX) : keep_(keep) {}
  virtual ~SampleRecorder() = default;

  // The null renderer's callback (context: the recorder).
  static void record(void* recorder, IMediaSample* sample) {
    static_cast<SampleRecorder*>(recorder)->add(sample);
  }
  void add(IMediaSample* sample) {
    RecordedSample s;
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    s.data.assign(p, p + sample->GetActualDataLength());
    sample->GetTime(&s.start, &s.stop);
    sample->GetMediaTime(&s.mediaStart, &s.mediaStop);
    s.sync = sample->IsSyncPoint() == S_OK;
    s.discontinuity = sample->IsDiscontinuity() == S_OK;
    annotate(s);
    std::lock_guard<std::mutex> g(lock);
    bytes_ += s.data.size();
    samples_.push_back(std::move(s));
    if (samples_.size() > keep_) samples_.erase(samples_.begin());
    ++count_;
    changed.notify_all();
  }
  void endOfStream() {
    std::lock_guard<std::mutex> g(lock);
    ended_ = true;
    changed.notify_all();
  }
  // Makes this the callback of a null renderer.
  void attachTo(IBaseFilter* nullRenderer, bool syncToClock = false) {
    auto control = ComPtr<IBaseFilter>(nullRenderer).as<INullRendererControl>();
    control->SetSyncToClock(syncToClock);
    control->SetCallback(&SampleRecorder::record, static_cast<SampleRecorder*>(this));
  }

  // Waits until `count` samples (or `bytes` bytes of data, or the end of the
  // stream) arrived since the last take() or clear().
  bool waitFor(size_t count, std::chrono::seconds limit = std::chrono::seconds(10)) {
    return waitUntil([&] { return count_ >= count; }, limit);
  }
  bool waitForBytes(size_t bytes, std::chrono::seconds limit = std::chrono::seconds(15)) {
    return waitUntil([&] { return bytes_ >= bytes; }, limit);
  }
  bool waitForEnd(std::chrono::seconds limit = std::chrono::seconds(60)) {
    return waitUntil([&] { return ended_; }, limit);
  }

  size_t count() {
    std::lock_guard<std::mutex> g(lock);
    return count_;
  }
  std::vector<RecordedSample> samples() {
    std::lock_guard<std::mutex> g(lock);
    return samples_;
  }
  RecordedSample last() {
    std::lock_guard<std::mutex> g(lock);
    return samples_.empty() ? RecordedSample{} : samples_.back();
  }
  // The data of every kept sample, end to end.
  std::vector<uint8_t> bytes() {
    std::lock_guard<std::mutex> g(lock);
    std::vector<uint8_t> all;
    for (const RecordedSample& s : samples_) all.insert(all.end(), s.data.begin(), s.data.end());
    return all;
  }
  // What arrived so far; starts over (end of stream included).
  std::vector<RecordedSample> take() {
    std::lock_guard<std::mutex> g(lock);
    std::vector<RecordedSample> taken = std::move(samples_);
    samples_.clear();
    count_ = bytes_ = 0;
    ended_ = false;
    return taken;
  }
  void clear() { take(); }

 protected:
  // Called on the streaming thread before a sample is stored.
  virtual void annotate(RecordedSample&) {}

 private:
  bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, limit, done);
  }

  std::mutex lock;
  std::condition_variable changed;

  size_t keep_;
  std::vector<RecordedSample> samples_;
  size_t count_ = 0, bytes_ = 0;
  bool ended_ = false;
};
