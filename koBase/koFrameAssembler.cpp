#include "koBase/koFrameAssembler.h"

#include <cstring>
#include <new>

koFrameAssembler::koFrameAssembler() { _taken.reserve(256); }

koFrameAssembler::~koFrameAssembler() { delete[] _buffer; }

bool koFrameAssembler::isUsable(const koFrame::FrameHeader& h) const {
  return h.packetSize >= koFrame::kMinPacketSize && h.packetSize <= koFrame::kMaxPacketSize &&
         h.frameLength <= _maxFrameLength &&
         koFrame::fragmentCountFor(h.frameLength, h.packetSize) == h.fragmentCount;
}

bool koFrameAssembler::start(const koFrame::FrameHeader& h) {
  if (!isUsable(h) || !prepare(h.frameNumber, h.frameLength, h.packetSize, h.fragmentCount)) return false;
  _lengthKnown = true;
  return true;
}

bool koFrameAssembler::startFromFragment(const koFrame::FragmentHeader& f, uint32_t packetSize) {
  _started = false;
  if (packetSize < koFrame::kMinPacketSize || packetSize > koFrame::kMaxPacketSize) return false;
  if (f.fragmentCount == 0) return false;
  // The shortest frame of this many fragments must be within the maximum;
  // the buffer holds the longest, every fragment a full piece.
  const uint64_t piece = packetSize - koFrame::kFragmentHeaderSize;
  if ((f.fragmentCount - 1ull) * piece + 1 > _maxFrameLength) return false;
  const uint64_t longest = f.fragmentCount * piece;
  if (longest > UINT32_MAX) return false;
  if (!prepare(f.frameNumber, static_cast<uint32_t>(longest), packetSize, f.fragmentCount)) return false;
  _lengthKnown = false;
  return true;
}

bool koFrameAssembler::prepare(uint32_t frameNumber, uint32_t length, uint32_t packetSize, uint32_t count) {
  // A frame larger than any before: when memory is short it is refused, and
  // the frame in progress stays as it was. The flags grow to the count at
  // once rather than step by step.
  if (_taken.capacity() <= count) {
    try {
      _taken.reserve(count + _taken.getGrowStep());
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (_capacity < length) {
    auto* bigger = new (std::nothrow) uint8_t[length];
    if (!bigger) return false;
    delete[] _buffer;
    _buffer = bigger;
    _capacity = length;
  }
  _frameNumber = frameNumber;
  _frameLength = length;
  _packetSize = packetSize;
  _fragmentCount = count;
  // No clearing: a frame is delivered only when every fragment has been
  // copied in, and the fragments cover the frame exactly.
  _taken.setSize(_fragmentCount);
  if (_fragmentCount) std::memset(_taken.data(), 0, _fragmentCount);
  _takenCount = 0;
  _started = true;
  return true;
}

koFrameAssembler::Result koFrameAssembler::add(const koFrame::FragmentHeader& f, const uint8_t* data,
                                                uint32_t available) {
  if (!_started || f.frameNumber != _frameNumber || f.fragmentCount != _fragmentCount)
    return Result::OtherFrame;
  const uint32_t piece = _packetSize - koFrame::kFragmentHeaderSize;
  if (f.index >= _fragmentCount) return Result::Invalid;
  const uint64_t offset = static_cast<uint64_t>(f.index) * piece;
  const bool last = f.index + 1 == _fragmentCount;
  if (!_lengthKnown && last) {
    // The frame's end: any length from 1 byte to a full piece.
    if (f.offset != offset || f.dataLength == 0 || f.dataLength > piece || f.dataLength > available ||
        offset + f.dataLength > _maxFrameLength)
      return Result::Invalid;
  } else {
    const uint64_t expected = _frameLength - offset < piece ? _frameLength - offset : piece;
    if (f.offset != offset || f.dataLength != expected || f.dataLength > available ||
        static_cast<uint64_t>(f.offset) + f.dataLength > _frameLength)
      return Result::Invalid;
  }
  if (_taken[f.index]) return Result::Duplicate;
  if (!_lengthKnown && last) {
    _frameLength = f.offset + f.dataLength;
    _lengthKnown = true;
  }
  _taken[f.index] = 1;
  std::memcpy(_buffer + f.offset, data, f.dataLength);
  ++_takenCount;
  return Result::Taken;
}
