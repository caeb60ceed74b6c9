#include "tarnil/TarnilSender.h"

#include "koBase/koMulticastSender.h"
#include "tarnil/TarnilLog.h"

TarnilSender::TarnilSender() : _sender(new koMulticastSender) {
  tarnilForwardTransportLog();
  _sender->setAddress("234.5.6.7");
  _sender->setPort(kDefaultPort);
  _sender->setTimeToLive(1);
}

TarnilSender::~TarnilSender() {
  if (isOpen()) close();
  delete _sender;
}

void TarnilSender::setAddress(const mxString& address) {
  if (address == getAddress()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _sender->setAddress(address.c_str() ? address.c_str() : "");
  if (wasOpen) open();
}

mxString TarnilSender::getAddress() const { return mxString(_sender->getAddress().c_str()); }

void TarnilSender::setPort(uint16_t port) {
  if (port == getPort()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _sender->setPort(port);
  if (wasOpen) open();
}

uint16_t TarnilSender::getPort() const { return _sender->getPort(); }

void TarnilSender::setTimeToLive(uint32_t ttl) {
  if (ttl == getTimeToLive()) return;
  const bool wasOpen = isOpen();
  if (wasOpen) close();
  _sender->setTimeToLive(ttl);
  if (wasOpen) open();
}

uint32_t TarnilSender::getTimeToLive() const { return _sender->getTimeToLive(); }

void TarnilSender::setPacketSize(uint32_t size) {
  if (size != getPacketSize()) _sender->setPacketSize(size);
}

uint32_t TarnilSender::getPacketSize() const { return _sender->getPacketSize(); }

bool TarnilSender::open() { return _sender->open(); }

bool TarnilSender::close() { return _sender->close(); }

bool TarnilSender::isOpen() const { return _sender->isOpen(); }

void TarnilSender::_send(const unsigned char* message, unsigned length) {
  if (isOpen()) _sender->send(message, length);
}
