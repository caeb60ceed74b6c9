#include "koBase/koMulticastSender.h"

koMulticastSender::koMulticastSender() = default;

koMulticastSender::~koMulticastSender() {
  if (isOpen()) close();
}

void koMulticastSender::resetStatistics() {
  _byteRate.reset();
  _frameRate.reset();
  _framesSent = 0;
  _fragmentsSent = 0;
  _failedDatagrams = 0;
}

bool koMulticastSender::open() {
  if (isOpen()) return false;
  auto socket = std::make_unique<koMulticastSocket>();
  koSocketParameters p;
  p.address = _address;
  p.port = _port;
  p.timeToLive = _timeToLive;
  p.loopback = false;
  p.systemBufferSize = _socketBufferSize;
  p.role = SOCKET_ROLE_SEND;
  p.interfaceName = _interface;
  if (socket->open(p)) _socket = std::move(socket);
  resetStatistics();
  return isOpen();
}

bool koMulticastSender::close() {
  if (!isOpen()) return false;
  resetStatistics();
  _socket->cancelSend(1);
  _socket->cancelReceive(1);
  _socket.reset();
  return true;
}

bool koMulticastSender::sendDatagram(const void* data, uint32_t length) {
  if (_socket->send(data, length) != 1) _failedDatagrams.fetch_add(1, std::memory_order_relaxed);
  return _limiter.wait(length);
}

bool koMulticastSender::send(const void* frame, uint32_t length) {
  if (!isOpen()) return false;
  _limiter.start();
  const uint32_t count = _packetizer.packetize(static_cast<const uint8_t*>(frame), length);
  const uint32_t packetSize = _packetizer.getPacketSize();

  koFrame::FrameHeader header;
  header.frameNumber = _packetizer.getFrameNumber();
  header.frameLength = length;
  header.packetSize = packetSize;
  header.fragmentCount = count;
  koFrame::writeFrameHeader(_header, header);
  if (!sendDatagram(_header, koFrame::kHeaderSize)) return false;

  for (uint32_t run = 1; run <= _repeatCount; ++run) {
    for (uint32_t i = 0; i < count; ++i) {
      _packetizer.setEndMark(i, run == _repeatCount && i + 1 == count);
      if (!sendDatagram(_packetizer.getFragment(i), packetSize)) {
        _fragmentsSent.fetch_add((run - 1) * count + i + 1, std::memory_order_relaxed);
        return false;
      }
    }
  }

  _byteRate.add(static_cast<uint32_t>(static_cast<uint64_t>(length) * _repeatCount));
  _frameRate.add(1);
  _framesSent.fetch_add(1, std::memory_order_relaxed);
  _fragmentsSent.fetch_add(count * _repeatCount, std::memory_order_relaxed);
  return true;
}
