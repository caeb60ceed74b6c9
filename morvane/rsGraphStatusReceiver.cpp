#include "morvane/rsGraphStatusReceiver.h"

#include "pellum/mxNotify.h"

rsGraphStatusReceiver::rsGraphStatusReceiver(TarnilStatusChangeProc proc, void* data)
    : TarnilReceiver(proc, data) {}

void rsGraphStatusReceiver::receiveStatus(const unsigned char* message, unsigned length) {
  rsGraphStatus incoming;
  if (!message || !incoming.fromByteArray(message, length)) {
    const uint32_t n = rejected_.fetch_add(1, std::memory_order_relaxed) + 1;
    mxNotify::post(mxNotify::Warn,
                   "Morvane: dropped a status message of %u bytes that holds no whole record (%u so far)",
                   length, n);
    return;
  }
  const uint32_t mask = rsGraphStatusChangeMask(status_, incoming, status_.firstTime());
  if (mask == 0) return;
  // The stored record keeps its (now cleared) first-time flag.
  incoming.firstTime();
  status_ = incoming;
  changed_.fetch_add(1, std::memory_order_relaxed);
  if (TarnilStatusChangeProc proc = getStatusChangeProc()) proc(int(mask), getStatusChangeData());
}
