// rsGraphStatusReceiver: the receiver's status listener. Each status
// message is read into a record and compared field by field with the record
// applied last; when something differs (or it is the first record this
// listener has taken), the stored record takes the new values and the
// status-change procedure is called with the change mask, still on the
// receive thread. A message that does not hold a whole record is dropped,
// counted, and never applied.
#pragma once
#include <atomic>
#include <cstdint>

#include "gravet/rsGraphStatus.h"
#include "tarnil/TarnilReceiver.h"

class rsGraphStatusReceiver : public TarnilReceiver {
  MX_OBJECT_DECLARE(rsGraphStatusReceiver, TarnilReceiver)

 public:
  rsGraphStatusReceiver(TarnilStatusChangeProc proc, void* data);

  void receiveStatus(const unsigned char* message, unsigned length) override;

  // The record applied last. Read it only from the status-change procedure
  // (the receive thread) or while the channel is closed.
  const rsGraphStatus& getStatus() const { return status_; }
  // Messages dropped because they did not hold a whole record.
  uint32_t getRejectedRecords() const { return rejected_.load(std::memory_order_relaxed); }
  // Messages that carried a change (the procedure was called).
  uint32_t getChangedRecords() const { return changed_.load(std::memory_order_relaxed); }

 protected:
  // Counted: the base closes the channel before any destructor runs.
  ~rsGraphStatusReceiver() override = default;

 private:
  rsGraphStatus status_;
  std::atomic<uint32_t> rejected_{0};
  std::atomic<uint32_t> changed_{0};
};
