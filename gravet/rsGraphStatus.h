// rsGraphStatus: the sender's state as it multicasts it to every receiver,
// and its byte image.
//
// Byte image (little-endian, unaligned; a text is a 32-bit length followed by
// exactly that many bytes, no NUL): running u8, focusDisplay i32,
// mainVideoAddress text, mainVideoPort u16, mainVideoFormat i32,
// mainVideoResolution i32, subVideoAddress text, subVideoPort u16,
// subVideoFormat i32, subVideoResolution i32, audioAddress text, audioPort
// u16, audioFormat i32, pointerAddress text, pointerPort u16, then seven i32:
// loupexVideoFormat, loupexMaskType, loupexMaskWidth, loupexMaskHeight,
// videoFormat, compoundMaskType, compoundBlendingType.
// 77 fixed bytes plus the four texts; a new record is 81 bytes long.
#pragma once

#include <cstdint>
#include <vector>

#include "pellum/mxString.h"

class rsGraphStatus {
 public:
  // Field numbers: bit n of a change mask stands for field n.
  enum Field {
    Running = 0,
    FocusDisplay,
    MainVideoAddress,
    MainVideoPort,
    MainVideoFormat,
    MainVideoResolution,
    SubVideoAddress,
    SubVideoPort,
    SubVideoFormat,
    SubVideoResolution,
    AudioAddress,
    AudioPort,
    AudioFormat,
    PointerAddress,
    PointerPort,
    LoupexVideoFormat,
    LoupexMaskType,
    LoupexMaskWidth,
    LoupexMaskHeight,
    VideoFormat,
    CompoundMaskType,
    CompoundBlendingType,
    NumFields
  };
  // Bit 22 of a change mask: the first record a receiver applies.
  static constexpr uint32_t FirstRecordBit = 1u << 22;
  // Size of the fixed part of the byte image (everything but text bytes).
  static constexpr unsigned FixedSize = 77;
  // A text must be shorter than this to be read back.
  static constexpr unsigned MaxTextLength = 1024;

  rsGraphStatus();
  rsGraphStatus(const rsGraphStatus& other);
  rsGraphStatus& operator=(const rsGraphStatus& other);
  rsGraphStatus(rsGraphStatus&& other) noexcept;
  rsGraphStatus& operator=(rsGraphStatus&& other) noexcept;

  // Serialises the record into its own buffer and hands out that buffer; the
  // bytes stay valid until the next toByteArray, an assignment or the
  // record's destruction. The caller does not free them.
  void toByteArray(unsigned char*& data, unsigned& size);

  // Reads every serialised field from a byte image. A truncated image or a
  // text of MaxTextLength bytes or more rejects the image: false, a line in
  // the notification log, and no field is changed. Bytes after the last field
  // are ignored. The first-time flag and the buffer are left alone.
  bool fromByteArray(const unsigned char* data, unsigned size);

  // True exactly once per record (copies inherit the current value).
  bool firstTime();

  // The fields, in their serialised order.
  uint8_t running = 0;
  int32_t focusDisplay = 0;
  mxString mainVideoAddress;
  uint16_t mainVideoPort = 0;
  int32_t mainVideoFormat = 0;
  int32_t mainVideoResolution = 0;
  mxString subVideoAddress;
  uint16_t subVideoPort = 0;
  int32_t subVideoFormat = 0;
  int32_t subVideoResolution = 0;
  mxString audioAddress;
  uint16_t audioPort = 0;
  int32_t audioFormat = 0;
  mxString pointerAddress;
  uint16_t pointerPort = 0;
  int32_t loupexVideoFormat = 0;
  int32_t loupexMaskType = 0;
  int32_t loupexMaskWidth = 0;
  int32_t loupexMaskHeight = 0;
  int32_t videoFormat = 0;
  int32_t compoundMaskType = 0;
  int32_t compoundBlendingType = 0;

 private:
  bool firstTime_ = true;
  std::vector<unsigned char> buffer_;
};

// The change mask a receiver acts on: bit n set when field n of `incoming`
// differs from `applied` (texts compared byte by byte, two empty texts being
// equal), and FirstRecordBit when `first` is true.
uint32_t rsGraphStatusChangeMask(const rsGraphStatus& applied, const rsGraphStatus& incoming, bool first);
