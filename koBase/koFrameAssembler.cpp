#include "koBase/koFrameAssembler.h"

#include <cstring>

koFrameAssembler::koFrameAssembler() { _taken.reserve(256); }

koFrameAssembler::~koFrameAssembler() { delete[] _buffer; }

bool koFrameAssembler::start(const koFrame::FrameHeader& h) {
  _started = false;
  if (h.packetSize < koFrame::kMinPacketSize || h.packetSize > koFrame::kMaxPacketSize) return false;
  if (h.frameLength > _maxFrameLength) return false;
  if (koFrame::fragmentCountFor(h.frameLength, h.packetSize) != h.fragmentCount) return false;
  _frameNumber = h.frameNumber;
  _frameLength = h.frameLength;
  _packetSize = h.packetSize;
  _fragmentCount = h.fragmentCount;
  if (_capacity < _frameLength) {
    delete[] _buffer;
    _buffer = new uint8_t[_frameLength];
    _capacity = _frameLength;
  }
  if (_frameLength) std::memset(_buffer, 0, _frameLength);
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
  const uint64_t expected = _frameLength - offset < piece ? _frameLength - offset : piece;
  if (f.offset != offset || f.dataLength != expected || f.dataLength > available ||
      static_cast<uint64_t>(f.offset) + f.dataLength > _frameLength)
    return Result::Invalid;
  if (_taken[f.index]) return Result::Duplicate;
  _taken[f.index] = 1;
  std::memcpy(_buffer + f.offset, data, f.dataLength);
  ++_takenCount;
  return Result::Taken;
}
