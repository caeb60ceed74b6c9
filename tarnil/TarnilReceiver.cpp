#include "tarnil/TarnilReceiver.h"

#include "koBase/koMulticastReceiver.h"
#include "pellum/mxNotify.h"
#include "tarnil/TarnilLog.h"

TarnilReceiver::TarnilReceiver(TarnilStatusChangeProc proc, void* data)
    : _receiver(new koMulticastReceiver), _statusChangeProc(proc), _statusChangeData(data) {
  tarnilForwardTransportLog();
  _receiver->setFrameCallback(&TarnilReceiver::receiveProc, this);
  _receiver->setAddress("234.5.6.7");
  _receiver->setPort(kDefaultPort);
  _receiver->setTimeToLive(1);
}

void TarnilReceiver::_destroy() {
  // While the object is still whole: after this no message is dispatched.
  if (isOpen()) close();
  delete this;
}

TarnilReceiver::~TarnilReceiver() {
  if (isOpen()) {
    // Reached without _destroy: the derived part is already gone and the
    // receive thread may have called into it meanwhile.
    mxNotify::post(mxNotify::Error, "TarnilReceiver %s port %u destroyed while open: free it with destroy()",
                   _receiver->getAddress().c_str(), unsigned(_receiver->getPort()));
    close();
  }
  delete _receiver;
}

void TarnilReceiver::receiveProc(const uint8_t* message, uint32_t length, void* user) {
  static_cast<TarnilReceiver*>(user)->receive(message, length);
}

void TarnilReceiver::setAddress(const mxString& address) {
  if (address == getAddress()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _receiver->setAddress(address.c_str() ? address.c_str() : "");
  if (wasOpen) open();
}

mxString TarnilReceiver::getAddress() const { return mxString(_receiver->getAddress().c_str()); }

void TarnilReceiver::setPort(uint16_t port) {
  if (port == getPort()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _receiver->setPort(port);
  if (wasOpen) open();
}

uint16_t TarnilReceiver::getPort() const { return _receiver->getPort(); }

void TarnilReceiver::setTimeToLive(uint32_t ttl) {
  if (ttl == getTimeToLive()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _receiver->setTimeToLive(ttl);
  if (wasOpen) open();
}

uint32_t TarnilReceiver::getTimeToLive() const { return _receiver->getTimeToLive(); }

bool TarnilReceiver::open() { return _receiver->open(); }

bool TarnilReceiver::close() { return _receiver->close(); }

bool TarnilReceiver::isOpen() const { return _receiver->isOpen(); }

uint32_t TarnilReceiver::getFramesReceived() const { return _receiver->getFramesReceived(); }

uint32_t TarnilReceiver::getDroppedFrames() const { return _receiver->getDroppedFrames(); }
