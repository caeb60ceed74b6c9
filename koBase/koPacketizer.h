// koPacketizer cuts one frame into fragment datagrams of the packet size,
// numbering frames from 1. Its buffers are kept from frame to frame and freed
// when the packet size changes.
#pragma once

#include <cstdint>

#include "koBase/koArray.h"
#include "koBase/koFrameFormat.h"

class koPacketizer {
 public:
  koPacketizer();
  ~koPacketizer();
  koPacketizer(const koPacketizer&) = delete;
  koPacketizer& operator=(const koPacketizer&) = delete;

  // Clamped to 512..8192; a change frees every buffer.
  void setPacketSize(uint32_t size);
  uint32_t getPacketSize() const { return _packetSize; }

  // Number of the last frame cut (0 before the first).
  uint32_t getFrameNumber() const { return _frameNumber; }

  // Cuts a frame of length bytes into fragments (end marks 0) and returns
  // their count. The frame number advances first.
  uint32_t packetize(const uint8_t* frame, uint32_t length);

  uint32_t getFragmentCount() const { return _fragmentCount; }
  // Fragment i, packet-size bytes; valid until the next packetize or
  // setPacketSize.
  uint8_t* getFragment(uint32_t index) { return _buffers[index]; }
  void setEndMark(uint32_t index, bool on) { _buffers[index][32] = on ? 1 : 0; }
  // Buffers currently allocated (they are reused).
  uint32_t getBufferCount() const { return _buffers.size(); }

 private:
  void freeBuffers();

  uint32_t _packetSize = koFrame::kDefaultPacketSize;
  uint32_t _frameNumber = 0;
  uint32_t _fragmentCount = 0;
  koArray<uint8_t*> _buffers{1024};
};
