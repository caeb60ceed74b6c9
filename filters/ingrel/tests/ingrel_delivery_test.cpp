// What the client's output pin adds up into its stream time, on real media
// samples (clock differences of the records, waited time of the fillers),
// also for hostile clock values; the type taken over automatically. The
// fillers themselves are checked through the running pin (output_test).
#include "filters/ingrel/ingrel_delivery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "filters/ingrel/tests/built_codes.h"
#include "platform/media/allocator.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

// One real sample of a committed allocator, as the pin gets it.
struct Buffer {
  explicit Buffer(LONG size) : allocator(MemAllocator::create()) {
    ALLOCATOR_PROPERTIES want{1, size, 1, 0}, got{};
    EXPECT_EQ(allocator->SetProperties(&want, &got), S_OK);
    EXPECT_EQ(allocator->Commit(), S_OK);
  }
  ~Buffer() {
    if (sample) sample->Release();
    allocator->Decommit();
    allocator->Release();
  }
  // A fresh sample of the allocator.
  IMediaSample* take() {
    if (sample) sample->Release();
    allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    std::memset(p, 0xEE, static_cast<size_t>(sample->GetSize()));
    return sample;
  }
  IMemAllocator* allocator;
  IMediaSample* sample = nullptr;
};

std::unique_ptr<IngrelSample> real(std::vector<uint8_t> data, int64_t previous, int64_t clock) {
  auto s = std::make_unique<IngrelSample>();
  s->data = std::move(data);
  s->previousClockTime = previous;
  s->clockTime = clock;
  s->syncPoint = true;
  return s;
}

}  // namespace

TEST(IngrelDelivery, StreamTimeAddsClockDeltasAndWaitsAndNeverWraps) {
  Buffer b(16);
  IngrelDelivery d;
  struct Step {
    int64_t previous, clock, waited;  // waited >= 0: a filler
    int64_t expected;
  };
  const std::vector<Step> steps = {
      {-1, 5000000, -1, 333333},         // no previous clock: one frame
      {5000000, 5400000, -1, 733333},    // the clock difference
      {0, 0, 30000000, 30733333},        // a filler: the time waited
      {5400000, 5000000, -1, 30333333},  // the clock went back: so does the stream
      {kMin, kMax, -1, 30666666},        // not a 64-bit difference: one frame
      {kMax, kMin, -1, 30999999},
      {0, kMax, -1, kMax},  // saturates at the top
      {0, kMax, -1, kMax},
      {-2, kMin, -1, kMax + (kMin + 2)},  // and comes back from it
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    if (s.waited >= 0)
      d.fill(b.take(), builtCodes(MediaKind_Audio), s.waited);
    else
      d.deliver(real({1, 2}, s.previous, s.clock), b.take());
    EXPECT_EQ(d.streamTime(), s.expected) << "step " << i;
  }
  EXPECT_EQ(ingrelSampleDuration(-1, kMin), kIngrelFrameDuration);
  EXPECT_EQ(ingrelSampleDuration(kMin, 0), kIngrelFrameDuration);
  EXPECT_EQ(ingrelSampleDuration(-100, kMax - 100), kMax);
  d.reset();
  EXPECT_EQ(d.streamTime(), 0);
  EXPECT_FALSE(d.hasLast());
}

// The received type's sample size and format block are the sender's word:
// the type taken over is built from its codes.
TEST(IngrelRecord, AutomaticTypeIsBuiltFromTheReceivedCodes) {
  auto received = [](const MediaClassification& codesOf, ULONG sampleSize) {
    MediaType mt = codesOf.mediaType();
    mt.setSampleSize(sampleSize);
    MediaClassification r;
    r.classify(mt.get());
    return r;
  };
  const MediaClassification rgb = builtCodes(MediaKind_Video, VideoFormat_RGB24, Resolution_320x240);
  const MediaClassification pointer = builtCodes(MediaKind_Pointer);
  struct Row {
    const char* name;
    MediaClassification received;
    bool adopted;
    ULONG sampleSize;  // of the output afterwards
  };
  const MediaClassification original = builtCodes(MediaKind_Video, VideoFormat_DVSD, Resolution_720x480);
  const ULONG originalSize = original.mediaType().sampleSize();
  MediaClassification unknownKind;
  unknownKind.classify(MediaType(MEDIATYPE_Stream, GUID_NULL, FORMAT_None).get());
  MediaClassification oddSize = builtCodes(MediaKind_Video);
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(oddSize.mediaType().get(), vih));
  vih.bmi.width = 200;
  MediaType odd = oddSize.mediaType();
  odd.setFormat(makeVideoInfoBlock(vih));
  oddSize.classify(odd.get());
  const std::vector<Row> rows = {
      {"RGB24 320x240 as sent", received(rgb, 230400), true, 230400},
      {"RGB24 320x240 claiming 16 bytes", received(rgb, 16), true, 230400},
      {"RGB24 320x240 claiming 4 GiB", received(rgb, 0xFFFFFFF0u), true, 230400},
      {"pointer claiming 0 bytes", received(pointer, 0), true, 71},
      {"unknown kind", unknownKind, false, originalSize},
      {"unknown resolution", oddSize, false, originalSize},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MediaClassification c = original, out = original;
    EXPECT_EQ(ingrelAdoptType(row.received, &c, &out), row.adopted);
    EXPECT_EQ(out.mediaType().sampleSize(), row.sampleSize);
    EXPECT_EQ(c.mediaType(), out.mediaType());
    if (row.adopted) {
      EXPECT_TRUE(out.sameAs(row.received));
    }
  }
}
