// A received frame as the client filter sees it: parsed into a record and a
// classified media type, checked against an output type chosen by the first
// byte, and copied into a sample. Whatever is accepted must lie inside the
// frame, and data is kept only when it fits the output type.
#include <cstdint>
#include <cstdlib>

#include "filters/ingrel/ingrel_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 0xFFFFFFFFu) return 0;
  MediaClassification output;
  switch (data[0] % 4) {
    case 0:
      output.videoFormat = VideoFormat_RGB24;
      output.resolution = Resolution_QCIF;
      break;
    case 1:
      output.kind = MediaKind_Audio;
      output.audioFormat = AudioFormat_PCM;
      break;
    case 2:
      output.kind = MediaKind_Pointer;
      break;
    default:
      break;  // dvsd 720x480
  }
  if (!output.buildMediaType()) std::abort();
  output.classify(output.mediaType().get());

  const uint8_t* frame = data + 1;
  const uint32_t length = static_cast<uint32_t>(size - 1);
  IngrelParsedRecord parsed;
  if (!ingrelParseRecord(frame, length, &parsed)) return 0;
  const koSampleRecord& r = parsed.record;
  if (r.userDataLength > 64) std::abort();
  if (r.formatLength && (r.format < frame || r.format + r.formatLength > frame + length)) std::abort();
  if (r.dataLength && (r.data < frame || r.data + r.dataLength > frame + length)) std::abort();
  if (!ingrelFullyClassified(parsed.received) || !parsed.received.sameAs(output)) return 0;
  if (!ingrelDataFits(output, 100000, r.dataLength)) return 0;
  IngrelSample sample;
  ingrelMakeSample(r, false, &sample);
  if (sample.data.size() != r.dataLength) std::abort();
  if (output.mediaType().fixedSizeSamples() && sample.data.size() > output.mediaType().sampleSize()) std::abort();
  return 0;
}
