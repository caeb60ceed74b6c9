#include "filters/pointer/pointer_sampler.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace pointing {

void SamplerCancel::cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
}

void SamplerCancel::reset() {
  std::lock_guard lock(mutex_);
  cancelled_ = false;
}

bool SamplerCancel::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

bool SamplerCancel::sleepFor(uint32_t ms) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled_; });
}

SourceReader::~SourceReader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool SourceReader::read(PointerReading* out) {
  std::unique_lock lock(mutex_);
  if (pending_) {
    pending_ = false;
    return false;
  }
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  if (!busy_) {
    busy_ = requested_ = true;
    changed_.notify_all();
  }
  waiting_ = true;
  changed_.wait(lock, [this] { return !busy_ || interrupted_; });
  waiting_ = false;
  if (std::exchange(interrupted_, false)) return false;
  *out = result_;
  return true;
}

void SourceReader::interrupt() {
  {
    std::lock_guard lock(mutex_);
    if (waiting_)
      interrupted_ = true;
    else
      pending_ = true;
  }
  changed_.notify_all();
}

void SourceReader::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return requested_ || stop_; });
    if (stop_) return;
    requested_ = false;
    lock.unlock();
    const PointerReading r = source_.read();
    lock.lock();
    result_ = r;
    busy_ = false;
    changed_.notify_all();
  }
}

PointerSampler::PointerSampler(std::unique_ptr<PointerSource> source)
    : source_(std::move(source)),
      reader_(source_ ? std::make_unique<SourceReader>(*source_) : nullptr),
      current_(initialPointerState()) {}

POINTER_INFO PointerSampler::currentPointer() const {
  std::lock_guard lock(stateMutex_);
  return current_;
}

int32_t PointerSampler::shape() const {
  std::lock_guard lock(stateMutex_);
  return current_.shape;
}

void PointerSampler::setShape(int32_t shape) {
  std::lock_guard lock(stateMutex_);
  current_.shape = shape;
}

void PointerSampler::origin(float& x, float& y) const {
  std::lock_guard lock(stateMutex_);
  x = current_.originX;
  y = current_.originY;
}

void PointerSampler::setOrigin(float x, float y) {
  std::lock_guard lock(stateMutex_);
  current_.originX = x;
  current_.originY = y;
}

void PointerSampler::size(float& x, float& y) const {
  std::lock_guard lock(stateMutex_);
  x = current_.sizeX;
  y = current_.sizeY;
}

void PointerSampler::setSize(float x, float y) {
  std::lock_guard lock(stateMutex_);
  current_.sizeX = x;
  current_.sizeY = y;
}

uint32_t PointerSampler::interval() const {
  std::lock_guard lock(stateMutex_);
  return intervalMs_;
}

void PointerSampler::setInterval(uint32_t ms) {
  std::lock_guard lock(stateMutex_);
  intervalMs_ = std::clamp(ms, kMinIntervalMs, kMaxIntervalMs);
}

std::string PointerSampler::command() const {
  std::lock_guard lock(stateMutex_);
  return std::string(pointerCommand(current_));
}

void PointerSampler::setCommand(const std::string& text) {
  std::lock_guard lock(stateMutex_);
  setPointerCommand(current_, text);
}

void PointerSampler::sendCommand() {
  std::lock_guard lock(stateMutex_);
  // Wraps around instead of overflowing after 2^31 sends.
  current_.commandSequence = static_cast<int32_t>(static_cast<uint32_t>(current_.commandSequence) + 1u);
}

void PointerSampler::sample() {
  if (!source_) return;
  PointerReading r;
  if (!reader_->read(&r)) return;  // let go: nothing read, nothing to copy
  std::lock_guard lock(stateMutex_);
  if (r.hasPosition) {
    current_.screenWidth = r.screenWidth;
    current_.screenHeight = r.screenHeight;
    current_.cursorX = r.cursorX;
    current_.cursorY = r.cursorY;
  }
  current_.positionX = normalisedPosition(current_.originX, current_.sizeX, current_.cursorX, current_.screenWidth);
  current_.positionY = normalisedPosition(current_.originY, current_.sizeY, current_.cursorY, current_.screenHeight);
  if (r.hasButtons) {
    current_.buttons = static_cast<uint16_t>(r.buttons & 0x00ff);
    current_.wheel = r.wheel;
  }
}

void PointerSampler::interruptRead() {
  if (reader_) reader_->interrupt();
}

void PointerSampler::compareAndCopy() {
  std::lock_guard lock(stateMutex_);
  copyChangedFields(emitted_, current_);
}

void PointerSampler::startStream() {
  std::lock_guard lock(emitMutex_);
  emitted_.changeFlags = 0;
}

void PointerSampler::beginRecord(uint64_t nowMs) {
  std::lock_guard lock(emitMutex_);
  emitted_.valid = 1;
  emitted_.changeFlags = 0;
  recordStartMs_ = nowMs;
}

bool PointerSampler::tick(uint64_t nowMs) {
  sample();
  std::lock_guard lock(emitMutex_);
  compareAndCopy();
  if (emitted_.changeFlags != 0) return true;
  if (nowMs - recordStartMs_ < kKeepAliveMs) return false;
  // Nothing changed for the keep-alive period: send the whole state, every
  // non-zero field of it flagged.
  emitted_ = POINTER_INFO{};
  emitted_.valid = 1;
  compareAndCopy();
  return true;
}

POINTER_INFO PointerSampler::emittedPointer() const {
  std::lock_guard lock(emitMutex_);
  return emitted_;
}

uint64_t PointerSampler::nowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool PointerSampler::nextRecord(uint8_t* out, size_t size, SamplerCancel& cancel) {
  if (out == nullptr || size < kPointerInfoSize) return false;
  beginRecord(nowMs());
  for (;;) {
    if (!cancel.sleepFor(interval())) return false;
    if (tick(nowMs())) break;
  }
  std::lock_guard lock(emitMutex_);
  return writePointerInfo(emitted_, out, size);
}

}  // namespace pointing
