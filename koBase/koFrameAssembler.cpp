#include "koBase/koFrameAssembler.h"

#include <cstring>

koFrameAssembler::koFrameAssembler() { _taken.reserve(256); }

koFrameAssembler::~koFrameAssembler() { delete[] _buffer; }

bool koFrameAssembler::start(const koFrame::FrameHeader& h) {
  _started = false;
  if (h.packetSize < koFrame::kMinPacketSize || h.packetSize > koFrame::kMaxPacketSize) return false;
  if (h.frameLength > _maxFrameLength) return false;
  if (koFrame::fragmentCountFor(h.frameLength, h.packetSize) != h.fragmentCount) return false;
  prepare(h.frameNumber, h.frameLength, h.packetSize, h.fragmentCount);
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
  prepare(f.frameNumber, static_cast<uint32_t>(longest), packetSize, f.fragmentCount);
  _lengthKnown = false;
  return true;
}

void koFrameAssembler::prepare(uint32_t frameNumber, uint32_t length, uint32_t packetSize, uint32_t count) {
  _frameNumber = frameNumber;
  _frameLength = length;
  _packetSize = packetSize;
  _fragmentCount = count;
  if (_capacity < _frameLength) {
    delete[] _buffer;
    _buffer = new uint8_t[_frameLength];
    _capacity = _frameLength;
  }
  // No clearing: a frame is delivered only when every fragment has been
  // copied in, and the fragments cover the frame exactly.
  _taken.setSize(_fragmentCount);
  if (_fragmentCount) std::memset(_taken.data(), 0, _fragmentCount);
  _takenCount = 0;
  _started = true;
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
