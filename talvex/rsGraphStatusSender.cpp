#include "talvex/rsGraphStatusSender.h"

void rsGraphStatusSender::sendStatus() {
  if (!isOpen()) return;
  unsigned char* data = nullptr;
  unsigned size = 0;
  status_.toByteArray(data, size);
  _send(data, size);
  ++numSent_;
}
