#include "filters/ingrel/ingrel_record.h"

#include "koBase/koByteStream.h"
#include "platform/media/records.h"

bool ingrelParseRecord(const uint8_t* frame, uint32_t length, IngrelParsedRecord* out) {
  koInputByteStream in(frame, length);
  if (!koReadSampleRecord(in, &out->record)) return false;
  if (in.remaining() != 0) return false;  // another layout, or lengths that do not add up

  AM_MEDIA_TYPE mt{};
  ByteReader tr(out->record.mediaType, koSampleRecord::kMediaTypeSize);
  if (!readMediaTypeRecord(tr, mt)) return false;
  // The record's own format length and pointer words mean nothing here: the
  // format block travels after it.
  MediaType type(mt);
  if (out->record.formatLength) type.setFormat(out->record.format, out->record.formatLength);
  out->received.classify(type.get());
  return true;
}

void ingrelMakeSample(const koSampleRecord& r, bool gap, IngrelSample* out) {
  out->data.assign(r.data, r.data + r.dataLength);
  out->previousClockTime = r.previousClockTime;
  out->clockTime = r.clockTime;
  out->startValid = r.startTimeValid;
  out->stopValid = r.stopTimeValid;
  out->start = r.startTime;
  out->stop = r.stopTime;
  out->mediaTimeValid = r.mediaStartValid && r.mediaStopValid;
  out->mediaStart = r.mediaStart;
  out->mediaStop = r.mediaStop;
  out->syncPoint = r.syncPoint;
  out->discontinuity = r.discontinuity || gap;
  out->preroll = r.preroll;
}

bool ingrelDataFits(const MediaClassification& output, uint32_t bufferSize, uint32_t dataLength) {
  const MediaType& mt = output.mediaType();
  const bool exact = output.kind == MediaKind_Pointer ||
                     (output.kind == MediaKind_Video &&
                      (output.videoFormat == VideoFormat_RGB24 || output.videoFormat == VideoFormat_RGB555));
  if (exact) return dataLength == mt.sampleSize() && dataLength <= bufferSize;
  const uint32_t limit = mt.fixedSizeSamples() && mt.sampleSize() ? mt.sampleSize() : bufferSize;
  return dataLength <= limit && dataLength <= bufferSize;
}

bool ingrelAdoptType(const MediaClassification& received, MediaClassification* codes,
                     MediaClassification* output) {
  if (!received.fullyClassified()) return false;
  MediaClassification built;
  built.kind = received.kind;
  built.videoFormat = received.videoFormat;
  built.resolution = received.resolution;
  built.audioFormat = received.audioFormat;
  built.frequency = received.frequency;
  built.channels = received.channels;
  built.bitCount = received.bitCount;
  if (!built.buildMediaType()) return false;
  output->classify(built.mediaType().get());
  *codes = std::move(built);
  return true;
}
