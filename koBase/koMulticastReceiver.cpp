#include "koBase/koMulticastReceiver.h"

#include <sched.h>

#include "koBase/koLog.h"

koMulticastReceiver::koMulticastReceiver() = default;

koMulticastReceiver::~koMulticastReceiver() {
  if (isOpen()) close();
}

void koMulticastReceiver::resetStatistics() {
  _byteRate.reset();
  _frameRate.reset();
  for (auto* v : {&_packetSize, &_framesReceived, &_fragmentsReceived, &_droppedFrames, &_droppedFragments,
                  &_refusedFrames, &_lateHeaders, &_headerlessFrames, &_invalidFragments, &_foreignFragments,
                  &_invalidDatagrams})
    v->store(0, std::memory_order_relaxed);
  {
    std::lock_guard guard(_socketLock);
    _kernelDropsBase.store(_socket ? _socket->getKernelDrops() : 0, std::memory_order_relaxed);
  }
}

uint32_t koMulticastReceiver::getKernelDroppedDatagrams() const {
  std::lock_guard guard(_socketLock);
  const uint32_t now = _socket ? _socket->getKernelDrops() : 0;
  return now - load(_kernelDropsBase);
}

bool koMulticastReceiver::open() {
  if (_open) return false;
  auto socket = std::make_unique<koMulticastSocket>();
  koSocketParameters p;
  p.address = _address;
  p.port = _port;
  p.timeToLive = _timeToLive;
  p.loopback = true;
  p.systemBufferSize = _socketBufferSize;
  p.role = SOCKET_ROLE_RECEIVE;
  p.interfaceName = _interface;
  if (socket->open(p)) {
    {
      std::lock_guard guard(_socketLock);
      _socket = std::move(socket);
    }
    _assembler.reset();
    _haveLastFrame = false;
    _running = true;
    _thread = std::make_unique<koThread>(&koMulticastReceiver::threadProc, this);
    if (!_thread->hasThread())
      ko::log(ko::LogLevel::Error, "multicast receiver %s port %u: no receive thread", _address.c_str(), _port);
    _open = true;
  }
  resetStatistics();
  return _open;
}

bool koMulticastReceiver::close() {
  if (!_open) return false;
  resetStatistics();
  _running = false;
  _socket->cancelSend(1);
  _socket->cancelReceive(1);
  if (_thread) _thread->wait(-1);
  _thread.reset();
  {
    std::lock_guard guard(_socketLock);
    _socket.reset();
  }
  _open = false;
  return true;
}

uint32_t koMulticastReceiver::threadProc(void* self) {
  static_cast<koMulticastReceiver*>(self)->receiveLoop();
  return 0;
}

void koMulticastReceiver::receiveLoop() {
  // One datagram at a time, whatever its size: the largest valid one is a
  // fragment of the largest packet size.
  auto buffer = std::make_unique<uint8_t[]>(koFrame::kMaxPacketSize);
  while (_running.load()) {
    uint32_t length = 0;
    // In the middle of a frame more fragments are on their way: let a few
    // gather instead of waking for each one.
    const uint32_t linger = _assembler.isStarted() ? kMidFrameLinger : 0;
    const int r = _socket->receiveDatagram(buffer.get(), koFrame::kMaxPacketSize, &length, linger);
    if (r == -1) continue;  // cancelled: the loop condition decides
    if (r != 1) {
      if (length > koFrame::kMaxPacketSize) bump(_invalidDatagrams);
      continue;
    }
    processDatagram(buffer.get(), length);
  }
}

void koMulticastReceiver::deliver() {
  // Counted before the hand-over, so that a caller which learns of the frame
  // from its callback never reads a count that does not include it yet.
  const uint32_t length = _assembler.getFrameLength();
  _byteRate.add(length);
  _frameRate.add(1);
  bump(_framesReceived);
  if (_callback) _callback(_assembler.getFrame(), length, _user);
  _assembler.reset();
  sched_yield();
}

void koMulticastReceiver::dropCurrent() {
  bump(_droppedFrames);
  bump(_droppedFragments, _assembler.getFragmentCount() - _assembler.getTakenCount());
  _assembler.reset();
}

bool koMulticastReceiver::isNewer(uint32_t frameNumber) const {
  if (!_haveLastFrame) return true;
  const uint32_t ahead = frameNumber - _lastFrameNumber;
  return ahead != 0 && ahead < kFragmentStartWindow;
}

void koMulticastReceiver::markSeen(uint32_t frameNumber) {
  if (_haveLastFrame) {
    const uint32_t ahead = frameNumber - _lastFrameNumber;
    _seenFrames = ahead < 32 ? (_seenFrames << ahead) | 1u : 1u;
  } else {
    _seenFrames = 1;
  }
  _haveLastFrame = true;
  _lastFrameNumber = frameNumber;
}

bool koMulticastReceiver::startFromFragment(const koFrame::FragmentHeader& fragment, uint32_t length) {
  // Only a frame after the newest one seen: older fragments are repetitions
  // or stragglers, and a sender that starts numbering again is followed from
  // its next header.
  if (!isNewer(fragment.frameNumber)) return false;
  if (length < koFrame::kMinPacketSize || length > koFrame::kMaxPacketSize) {
    bump(_invalidDatagrams);
    return false;
  }
  markSeen(fragment.frameNumber);
  if (!_assembler.startFromFragment(fragment, length)) {
    bump(_refusedFrames);
    return false;
  }
  bump(_headerlessFrames);
  _packetSize.store(length, std::memory_order_relaxed);
  return true;
}

void koMulticastReceiver::processDatagram(const uint8_t* datagram, uint32_t length) {
  koFrame::FrameHeader header;
  if (koFrame::parseFrameHeader(datagram, length, &header)) {
    // Frame numbers seen lately: a header a few numbers behind the newest is
    // either another copy of one already taken (duplicated on the way) or a
    // frame overtaken by a later one, which can no longer be assembled and is
    // counted as dropped. Further back it is a new sender numbering from 1
    // again, followed at once.
    if (_haveLastFrame) {
      const uint32_t behind = _lastFrameNumber - header.frameNumber;
      if (behind <= kLateHeaderWindow) {
        bump(_lateHeaders);
        if (!(_seenFrames & (1u << behind))) {
          _seenFrames |= 1u << behind;
          bump(_droppedFrames);
          if (koFrame::fragmentCountFor(header.frameLength, koFrame::clampPacketSize(header.packetSize)) ==
              header.fragmentCount)
            bump(_droppedFragments, header.fragmentCount);
        }
        return;
      }
    }
    markSeen(header.frameNumber);
    // A new header ends the frame before it; the new frame is taken at once.
    if (_assembler.isStarted()) dropCurrent();
    if (!_assembler.start(header)) {
      bump(_refusedFrames);
      return;
    }
    _packetSize.store(header.packetSize, std::memory_order_relaxed);
    if (_assembler.isComplete()) deliver();  // an empty frame has no fragments
    return;
  }
  koFrame::FragmentHeader fragment;
  if (!koFrame::parseFragmentHeader(datagram, length, &fragment)) {
    bump(_invalidDatagrams);
    return;
  }
  // Between frames: repetitions of a frame already seen (delivered, dropped
  // or refused) are skipped; a fragment of a newer frame means its header
  // was lost, and the frame is rebuilt from its fragments alone.
  if (!_assembler.isStarted() && !startFromFragment(fragment, length)) return;
  if (length != _assembler.getPacketSize()) {
    bump(_invalidDatagrams);
    return;
  }
  bump(_fragmentsReceived);
  switch (_assembler.add(fragment, datagram + koFrame::kFragmentHeaderSize,
                         length - koFrame::kFragmentHeaderSize)) {
    case koFrameAssembler::Result::OtherFrame:
      bump(_foreignFragments);
      return;
    case koFrameAssembler::Result::Invalid:
      bump(_invalidFragments);
      dropCurrent();
      return;
    case koFrameAssembler::Result::Duplicate:
    case koFrameAssembler::Result::Taken:
      break;
  }
  if (_assembler.isComplete()) {
    deliver();
  } else if (fragment.endMark == 1) {
    dropCurrent();
  }
}
