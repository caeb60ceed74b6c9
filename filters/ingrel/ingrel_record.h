// Turning one received frame into a sample: the sample record is parsed
// with bounds checks, its media type rebuilt (72-byte record plus the
// separately sent format block) and classified, and the sample's bytes and
// times copied into a descriptor that owns them.
#pragma once
#include <cstdint>
#include <vector>

#include "filters/mediaclass/mediaclass.h"
#include "koBase/koSampleRecord.h"

// One queued sample.
struct IngrelSample {
  std::vector<uint8_t> data;
  int64_t previousClockTime = -1;
  int64_t clockTime = 0;
  bool startValid = false, stopValid = false;
  int64_t start = 0, stop = 0;
  bool mediaTimeValid = false;
  int64_t mediaStart = 0, mediaStop = 0;
  bool syncPoint = false, discontinuity = false, preroll = false;
};

// A parsed frame: the record's fields (format and data point into the
// frame) and the classification of its media type.
struct IngrelParsedRecord {
  koSampleRecord record;
  MediaClassification received;
};

// False when the frame is not one whole sample record: cut short, a user
// data length above 64, or bytes left over after the data.
bool ingrelParseRecord(const uint8_t* frame, uint32_t length, IngrelParsedRecord* out);

// Automatic type: the output type taken over from a received one is built
// afresh from its codes, never copied, since the sample size and format
// block of a received type are only the sender's word (a 16-byte "RGB24
// 320x240" sample, a size that overflows a buffer request). codes gets the
// received codes with the built type, output its classification. False,
// with nothing changed, when the codes name no complete type.
bool ingrelAdoptType(const MediaClassification& received, MediaClassification* codes,
                     MediaClassification* output);

// The descriptor of a parsed record; the discontinuity flag is the record's
// or'ed with gap.
void ingrelMakeSample(const koSampleRecord& r, bool gap, IngrelSample* out);

// The most data an output sample of this type can carry intact: the sample
// size of fixed-size types, else the buffer size negotiated for variable
// ones (bufferSize). Records of the uncompressed picture formats and of the
// pointer stream must fill their sample exactly.
bool ingrelDataFits(const MediaClassification& output, uint32_t bufferSize, uint32_t dataLength);
