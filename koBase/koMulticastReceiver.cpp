#include "koBase/koMulticastReceiver.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "koBase/koLog.h"

koMulticastReceiver::koMulticastReceiver() = default;

koMulticastReceiver::~koMulticastReceiver() {
  if (isOpen()) close();
}

void koMulticastReceiver::resetStatistics() {
  _statisticsEpoch.fetch_add(1, std::memory_order_relaxed);
  _byteRate.reset();
  _frameRate.reset();
  for (auto* v : {&_packetSize, &_framesReceived, &_fragmentsReceived, &_droppedFrames, &_droppedFragments,
                  &_refusedFrames, &_duplicateFrames, &_receiveErrors, &_headerlessFrames, &_invalidFragments,
                  &_foreignFragments, &_invalidDatagrams})
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
    _recentCount = _recentNext = 0;
    _lostCount = _lostNext = 0;
    _memoryShort = false;
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
  uint32_t failures = 0;  // in a row
  bool reported = false;
  while (_running.load()) {
    uint32_t length = 0;
    // In the middle of a frame more fragments are on their way: let a few
    // gather instead of waking for each one.
    const uint32_t linger = _assembler.isStarted() ? kMidFrameLinger : 0;
    const int r = _socket->receiveDatagram(buffer.get(), koFrame::kMaxPacketSize, &length, linger);
    if (r == -1) continue;  // cancelled: the loop condition decides
    if (r == 0 && length > koFrame::kMaxPacketSize) {
      bump(_invalidDatagrams);  // consumed and refused
      continue;
    }
    if (r != 1) {
      // The socket itself fails, and would fail again at once: wait before
      // the next try, longer each time, and say so once per opening. Closing
      // still ends the wait at once.
      const int error = errno;
      bump(_receiveErrors);
      if (!reported)
        ko::log(ko::LogLevel::Error,
                "multicast receiver %s port %u: receiving fails (%s); retrying with pauses", _address.c_str(),
                _port, std::strerror(error));
      reported = true;
      _socket->pauseReceive(std::min(1u << std::min(failures, 9u), kMaxRetryPause));
      ++failures;
      continue;
    }
    failures = 0;
    processDatagram(buffer.get(), length);
  }
}

koMulticastReceiver::FrameId koMulticastReceiver::currentId() const {
  return {_assembler.getFrameNumber(), _assembler.getPacketSize(), _assembler.getFragmentCount()};
}

const koMulticastReceiver::Recent* koMulticastReceiver::findRecent(const FrameId& id) const {
  for (uint32_t i = 0; i < _recentCount; ++i)
    if (_recent[i].id == id) return &_recent[i];
  return nullptr;
}

void koMulticastReceiver::deliver() {
  const uint32_t length = _assembler.getFrameLength();
  const uint64_t digest = XXH3_64bits(_assembler.getFrame(), length);
  const FrameId id = currentId();
  if (const Recent* r = findRecent(id); r && r->length == length && r->digest == digest) {
    bump(_duplicateFrames);  // the very bytes delivered under this number lately
    _assembler.reset();
    return;
  }
  reviveLost(id);
  _recent[_recentNext] = {id, length, digest};
  _recentNext = (_recentNext + 1) % kRecentFrames;
  if (_recentCount < kRecentFrames) ++_recentCount;
  // Counted before the hand-over, so that a caller which learns of the frame
  // from its callback never reads a count that does not include it yet.
  _byteRate.add(length);
  _frameRate.add(1);
  bump(_framesReceived);
  if (_callback) _callback(_assembler.getFrame(), length, _user);
  _assembler.reset();
  sched_yield();
}

void koMulticastReceiver::countLost(const FrameId& id, uint32_t missing) {
  // An incomplete copy of a frame delivered lately (its header duplicated on
  // the way, with part of its repetitions behind it) was not lost; a frame
  // already counted as lost is counted once.
  if (findRecent(id)) {
    bump(_duplicateFrames);
    return;
  }
  for (uint32_t i = 0; i < _lostCount; ++i)
    if (_lost[i].counted && _lost[i].id == id) return;
  bump(_droppedFrames);
  bump(_droppedFragments, missing);
  _lost[_lostNext] = {id, missing, _statisticsEpoch.load(std::memory_order_relaxed), true};
  _lostNext = (_lostNext + 1) % kRecentFrames;
  if (_lostCount < kRecentFrames) ++_lostCount;
}

void koMulticastReceiver::reviveLost(const FrameId& id) {
  for (uint32_t i = 0; i < _lostCount; ++i)
    if (_lost[i].counted && _lost[i].id == id) {
      // Only what was counted since the statistics were last reset, and
      // never below 0 should a reset come in between.
      if (_lost[i].epoch == _statisticsEpoch.load(std::memory_order_relaxed)) {
        takeBack(_droppedFrames, 1);
        takeBack(_droppedFragments, _lost[i].missing);
      }
      _lost[i].counted = false;
      return;
    }
}

void koMulticastReceiver::takeBack(std::atomic<uint32_t>& v, uint32_t n) {
  uint32_t current = v.load(std::memory_order_relaxed);
  while (!v.compare_exchange_weak(current, current > n ? current - n : 0, std::memory_order_relaxed)) {
  }
}

void koMulticastReceiver::dropCurrent() {
  countLost(currentId(), _assembler.getFragmentCount() - _assembler.getTakenCount());
  _assembler.reset();
}

bool koMulticastReceiver::isNewer(uint32_t frameNumber) const {
  if (!_haveLastFrame) return true;
  const uint32_t ahead = frameNumber - _lastFrameNumber;
  return ahead != 0 && ahead < kFragmentStartWindow;
}

bool koMulticastReceiver::startFromFragment(const koFrame::FragmentHeader& fragment, uint32_t length) {
  // Only a frame ahead of the last one announced: older fragments are
  // repetitions or stragglers of frames already taken.
  if (!isNewer(fragment.frameNumber)) return false;
  if (length < koFrame::kMinPacketSize || length > koFrame::kMaxPacketSize) {
    bump(_invalidDatagrams);
    return false;
  }
  _haveLastFrame = true;
  _lastFrameNumber = fragment.frameNumber;
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
    // A header nothing can be made of is a stray datagram like any other.
    if (!_assembler.isUsable(header)) {
      bump(_refusedFrames);
      return;
    }
    _haveLastFrame = true;
    _lastFrameNumber = header.frameNumber;
    // A header of the frame in progress (its number, packet size and count)
    // announces it again: a copy of its header, its own header after
    // fragments that overtook it, or another frame under the same number.
    // Either way the fragments that follow make it, the frame is counted
    // once, and what came before is not mixed in. Any other header ends the
    // frame in progress, counted as dropped if incomplete; the new frame is
    // taken at once.
    const bool again = _assembler.isStarted() &&
                       currentId() == FrameId{header.frameNumber, header.packetSize, header.fragmentCount};
    if (_assembler.isStarted() && !again) dropCurrent();
    if (!_assembler.start(header)) {
      if (!_memoryShort)
        ko::log(ko::LogLevel::Warn,
                "multicast receiver %s port %u: no memory for a frame of %u bytes; refused", _address.c_str(),
                _port, header.frameLength);
      _memoryShort = true;
      if (again) dropCurrent();
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
  // A copy of a frame delivered lately (see countLost) gives way to a
  // fragment of a frame ahead of it.
  if (_assembler.isStarted() && fragment.frameNumber != _assembler.getFrameNumber() &&
      findRecent(currentId()) && isNewer(fragment.frameNumber))
    dropCurrent();
  // Between frames: repetitions of frames already taken are skipped; a
  // fragment of a frame ahead of the last one announced means its header was
  // lost, and the frame is rebuilt from its fragments alone.
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
