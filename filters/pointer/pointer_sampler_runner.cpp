#include "filters/pointer/pointer_sampler_runner.h"

#include <pthread.h>
#include <time.h>

namespace pointing {

PointerSamplerRunner::PointerSamplerRunner(PointerSampler& sampler, Sink sink)
    : sampler_(sampler), sink_(std::move(sink)) {}

PointerSamplerRunner::~PointerSamplerRunner() { stop(); }

void PointerSamplerRunner::start() {
  if (thread_.joinable()) return;
  cancel_.reset();
  thread_ = std::thread([this] { run(); });
}

void PointerSamplerRunner::stop() {
  if (!thread_.joinable()) return;
  cancel_.cancel();
  sampler_.interruptRead();  // out of a read the window system does not answer
  thread_.join();
}

double PointerSamplerRunner::threadCpuSeconds() const {
  if (!thread_.joinable()) return 0.0;
  clockid_t clock;
  // native_handle() is const-unfriendly; the handle itself is not modified.
  auto handle = const_cast<std::thread&>(thread_).native_handle();
  if (pthread_getcpuclockid(handle, &clock) != 0) return 0.0;
  timespec ts{};
  if (clock_gettime(clock, &ts) != 0) return 0.0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void PointerSamplerRunner::run() {
  sampler_.startStream();
  uint8_t record[kPointerInfoSize];
  while (sampler_.nextRecord(record, sizeof record, cancel_)) {
    if (sink_) sink_(record, sizeof record);
  }
}

}  // namespace pointing
