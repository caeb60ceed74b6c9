// PointerSamplerRunner: a thread that emits the sampler's records one after
// another and hands each to a sink, as a streaming output pin would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

#include "filters/pointer/pointer_sampler.h"

namespace pointing {

class PointerSamplerRunner {
 public:
  // Called on the runner's thread with each finished 71-byte record.
  using Sink = std::function<void(const uint8_t* record, size_t size)>;

  PointerSamplerRunner(PointerSampler& sampler, Sink sink);
  ~PointerSamplerRunner();  // stops the thread
  PointerSamplerRunner(const PointerSamplerRunner&) = delete;
  PointerSamplerRunner& operator=(const PointerSamplerRunner&) = delete;

  void start();  // no effect while running
  void stop();   // returns once the thread has ended
  bool isRunning() const { return thread_.joinable(); }
  // CPU time the runner's thread has used, in seconds (0 when not running).
  double threadCpuSeconds() const;

 private:
  void run();

  PointerSampler& sampler_;
  Sink sink_;
  SamplerCancel cancel_;
  std::thread thread_;
};

}  // namespace pointing
