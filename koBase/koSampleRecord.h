// The sample record: what a multicast server filter puts into one frame for
// each media sample, and what a client filter takes out of it. This is the
// byte level only: the 72-byte media-type record and the format block are
// carried as bytes (the filters turn them into media types), and the data
// and format block are borrowed, not copied.
//
// Layout (little-endian, no padding): sample number u32; user data length
// u32 (0..64) and the user data; media-type record (72 bytes); format length
// u32 and the format block; previous clock time i64; clock time i64; start
// and stop valid u8 u8; start and stop time i64 i64; media start and stop
// valid u8 u8; media start and stop i64 i64; sync point, discontinuity,
// preroll u8 u8 u8; data length u32 and the data.
#pragma once

#include <cstdint>

class koInputByteStream;
class koOutputByteStream;

struct koSampleRecord {
  static constexpr uint32_t kMaxUserData = 64;
  static constexpr uint32_t kMediaTypeSize = 72;

  uint32_t sampleNumber = 0;
  uint32_t userDataLength = 0;
  uint8_t userData[kMaxUserData] = {};
  uint8_t mediaType[kMediaTypeSize] = {};
  const uint8_t* format = nullptr;  // borrowed
  uint32_t formatLength = 0;
  int64_t previousClockTime = -1;
  int64_t clockTime = 0;
  bool startTimeValid = false;
  bool stopTimeValid = false;
  int64_t startTime = 0;
  int64_t stopTime = 0;
  bool mediaStartValid = false;
  bool mediaStopValid = false;  // written equal to mediaStartValid
  int64_t mediaStart = 0;
  int64_t mediaStop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool preroll = false;
  const uint8_t* data = nullptr;  // borrowed
  uint32_t dataLength = 0;
};

// Appends the record to the stream. False when the user data length is
// above 64 (nothing is written then) or the stream cannot grow.
bool koWriteSampleRecord(koOutputByteStream& out, const koSampleRecord& record);

// Reads a record; format and data point into the stream's bytes. False (the
// record is invalid and must be dropped) when it is cut short or its user
// data length is above 64. Bytes after the data are not looked at.
bool koReadSampleRecord(koInputByteStream& in, koSampleRecord* record);
