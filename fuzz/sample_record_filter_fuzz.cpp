// A received frame as the client filter sees it, as far as its output pin:
// parsed into a record and a classified media type, the type taken over
// when the first byte asks for the automatic type, checked against the
// output type, copied into a sample and delivered into a real media sample
// of the buffer size the pin negotiates, then followed by a filler.
// Whatever is accepted must lie inside the frame, the output type must be
// one the codes build (never the received sample size), data is kept only
// when it fits, and the stream time never overflows (UBSan).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/ingrel/ingrel_delivery.h"
#include "filters/ingrel/ingrel_record.h"
#include "platform/media/allocator.h"

namespace {

constexpr uint32_t kVariableBufferSize = 100000;  // the pin's request for variable-size types
constexpr ULONG kLargestBuiltSample = 720 * 480 * 3;

void deliver(const MediaClassification& output, const koSampleRecord& r) {
  const MediaType& mt = output.mediaType();
  const LONG size = mt.fixedSizeSamples() && mt.sampleSize() ? static_cast<LONG>(mt.sampleSize())
                                                             : static_cast<LONG>(kVariableBufferSize);
  if (size <= 0) std::abort();
  if (!ingrelDataFits(output, static_cast<uint32_t>(size), r.dataLength)) return;
  auto s = std::make_unique<IngrelSample>();
  ingrelMakeSample(r, false, s.get());
  if (s->data.size() != r.dataLength) std::abort();

  IMemAllocator* allocator = MemAllocator::create();
  ALLOCATOR_PROPERTIES want{1, size, 1, 0}, got{};
  if (allocator->SetProperties(&want, &got) != S_OK || allocator->Commit() != S_OK) std::abort();
  IngrelDelivery delivery;
  for (int round = 0; round < 2; ++round) {
    IMediaSample* sample = nullptr;
    if (allocator->GetBuffer(&sample, nullptr, nullptr, 0) != S_OK) std::abort();
    if (round == 0) {
      auto copy = std::make_unique<IngrelSample>(*s);
      delivery.deliver(std::move(copy), sample);
      if (static_cast<uint32_t>(sample->GetActualDataLength()) != r.dataLength) std::abort();
    } else {
      delivery.fill(sample, output, 30000000);
    }
    if (sample->GetActualDataLength() < 0 || sample->GetActualDataLength() > sample->GetSize()) std::abort();
    sample->Release();
  }
  (void)delivery.streamTime();
  allocator->Decommit();
  allocator->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 0xFFFFFFFFu) return 0;
  MediaClassification output;
  switch (data[0] % 6) {
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
    case 3:
      output.videoFormat = VideoFormat_MPEG4v2;
      output.resolution = Resolution_CIF;
      break;
    case 4:
      output.videoFormat = VideoFormat_MJPEG;
      output.resolution = Resolution_320x240;
      break;
    default:
      break;  // dvsd 720x480
  }
  if (!output.buildMediaType()) std::abort();
  output.classify(output.mediaType().get());
  MediaClassification codes = output;
  const bool automatic = (data[0] & 0x80) != 0;

  const uint8_t* frame = data + 1;
  const uint32_t length = static_cast<uint32_t>(size - 1);
  IngrelParsedRecord parsed;
  if (!ingrelParseRecord(frame, length, &parsed)) return 0;
  const koSampleRecord& r = parsed.record;
  if (r.userDataLength > 64) std::abort();
  if (r.formatLength && (r.format < frame || r.format + r.formatLength > frame + length)) std::abort();
  if (r.dataLength && (r.data < frame || r.data + r.dataLength > frame + length)) std::abort();
  if (automatic && ingrelAdoptType(parsed.received, &codes, &output)) {
    // The type taken over is one the codes build, whatever size was sent.
    if (!(codes.mediaType() == output.mediaType())) std::abort();
    if (output.mediaType().sampleSize() > kLargestBuiltSample) std::abort();
    if (output.kind == MediaKind_Pointer && output.mediaType().sampleSize() != kPointerRecordSize) std::abort();
  }
  if (!parsed.received.fullyClassified() || !parsed.received.sameAs(output)) return 0;
  deliver(output, r);
  return 0;
}
