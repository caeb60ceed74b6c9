#include "koBase/koPacketizer.h"

#include <cstring>

koPacketizer::koPacketizer() { _buffers.reserve(1024); }

koPacketizer::~koPacketizer() { freeBuffers(); }

void koPacketizer::freeBuffers() {
  for (uint32_t i = 0; i < _buffers.size(); ++i) delete[] _buffers[i];
  _buffers.setSize(0);
  _fragmentCount = 0;
}

void koPacketizer::setPacketSize(uint32_t size) {
  size = koFrame::clampPacketSize(size);
  if (size == _packetSize) return;
  freeBuffers();
  _packetSize = size;
}

uint32_t koPacketizer::packetize(const uint8_t* frame, uint32_t length) {
  ++_frameNumber;
  _fragmentCount = 0;
  const uint32_t piece = _packetSize - koFrame::kFragmentHeaderSize;
  const auto count = static_cast<uint32_t>(koFrame::fragmentCountFor(length, _packetSize));
  koFrame::FragmentHeader header;
  header.frameNumber = _frameNumber;
  header.fragmentCount = count;
  for (uint32_t offset = 0; offset < length; offset += piece) {
    if (_fragmentCount == _buffers.size()) _buffers.append(new uint8_t[_packetSize]);
    uint8_t* buffer = _buffers[_fragmentCount];
    header.index = _fragmentCount;
    header.offset = offset;
    header.dataLength = length - offset < piece ? length - offset : piece;
    koFrame::writeFragmentHeader(buffer, header);
    std::memcpy(buffer + koFrame::kFragmentHeaderSize, frame + offset, header.dataLength);
    // Unused tail: zeros, never bytes of an earlier frame.
    std::memset(buffer + koFrame::kFragmentHeaderSize + header.dataLength, 0, piece - header.dataLength);
    ++_fragmentCount;
    if (length - offset <= piece) break;
  }
  return _fragmentCount;
}
