// koFrameAssembler rebuilds one frame from its fragments. It checks every
// fragment against the frame announced by the header: a fragment whose index
// is not below the count, whose offset or length is not where the frame
// format puts that index, or that would reach past the frame is invalid, and
// nothing of it is written. Frames longer than the maximum frame length are
// refused at start, so a forged header cannot make it allocate without limit;
// a frame whose buffer cannot be allocated is refused as well.
//
// A frame whose header was lost can still be rebuilt from its fragments
// alone: each carries the frame number, the fragment count and its place,
// the datagram's size is the packet size, and the last fragment tells the
// frame's length. Until the last fragment has arrived every other fragment
// must be a full piece.
#pragma once

#include <cstdint>

#include "koBase/koArray.h"
#include "koBase/koFrameFormat.h"

class koFrameAssembler {
 public:
  // 16 MiB: well above any media sample or status message of the system.
  static constexpr uint32_t kDefaultMaxFrameLength = 16u << 20;

  enum class Result { Taken, Duplicate, OtherFrame, Invalid };

  koFrameAssembler();
  ~koFrameAssembler();
  koFrameAssembler(const koFrameAssembler&) = delete;
  koFrameAssembler& operator=(const koFrameAssembler&) = delete;

  void setMaxFrameLength(uint32_t bytes) { _maxFrameLength = bytes; }
  uint32_t getMaxFrameLength() const { return _maxFrameLength; }

  // Whether start() would take this header: the packet size is within
  // 512..8192, the frame is not longer than the maximum, and the fragment
  // count is the one the length and packet size give.
  bool isUsable(const koFrame::FrameHeader& header) const;
  // Prepares for the frame a header announces. False when the header is not
  // usable or the buffer cannot be allocated; the frame in progress, if any,
  // is then left as it was.
  bool start(const koFrame::FrameHeader& header);
  // Prepares for the frame a fragment belongs to when its header is missing.
  // False (nothing prepared) when the packet size is outside 512..8192, the
  // count is 0, the frame could be longer than the maximum, or the buffer
  // cannot be allocated.
  bool startFromFragment(const koFrame::FragmentHeader& fragment, uint32_t packetSize);
  bool isStarted() const { return _started; }
  // Ends the current frame (after delivery or a drop).
  void reset() { _started = false; }

  // data: the bytes after the fragment header, available of them.
  Result add(const koFrame::FragmentHeader& fragment, const uint8_t* data, uint32_t available);

  bool isComplete() const { return _started && _lengthKnown && _takenCount == _fragmentCount; }
  // False while a frame started from a fragment still misses its last one.
  bool isLengthKnown() const { return _lengthKnown; }
  const uint8_t* getFrame() const { return _buffer; }
  uint32_t getFrameNumber() const { return _frameNumber; }
  uint32_t getFrameLength() const { return _frameLength; }
  uint32_t getPacketSize() const { return _packetSize; }
  uint32_t getFragmentCount() const { return _fragmentCount; }
  uint32_t getTakenCount() const { return _takenCount; }
  uint32_t getCapacity() const { return _capacity; }

 private:
  bool prepare(uint32_t frameNumber, uint32_t length, uint32_t packetSize, uint32_t count);

  uint32_t _frameNumber = 0;
  uint32_t _frameLength = 0;
  uint32_t _packetSize = 0;
  uint32_t _fragmentCount = 0;
  uint32_t _takenCount = 0;
  bool _started = false;
  bool _lengthKnown = false;  // false until the last fragment of a headerless frame
  uint8_t* _buffer = nullptr;
  uint32_t _capacity = 0;
  koArray<uint8_t> _taken{256};
  uint32_t _maxFrameLength = kDefaultMaxFrameLength;
};
