// What the client's output pin puts into real media samples: the filler of
// every output type, in the order a stall makes them, and the output stream
// time (clock differences of the records, waited time of the fillers) also
// for hostile clock values; the type taken over automatically.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "filters/ingrel/ingrel_delivery.h"
#include "filters/ingrel/ingrel_fillers.h"
#include "platform/media/allocator.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

MediaClassification codes(int kind, int format = VideoFormat_RGB24, int resolution = Resolution_SQCIF) {
  MediaClassification c;
  c.kind = kind;
  c.videoFormat = format;
  c.resolution = resolution;
  c.audioFormat = AudioFormat_PCM;
  EXPECT_TRUE(c.buildMediaType());
  c.classify(c.mediaType().get());
  return c;
}

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
  // A fresh sample with its buffer filled with 0xEE.
  IMediaSample* take() {
    if (sample) sample->Release();
    allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    std::memset(p, 0xEE, static_cast<size_t>(sample->GetSize()));
    return sample;
  }
  std::vector<uint8_t> data() {
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    return std::vector<uint8_t>(p, p + sample->GetActualDataLength());
  }
  std::string flags() {
    return std::string(sample->IsSyncPoint() == S_OK ? "S" : "-") + (sample->IsDiscontinuity() == S_OK ? "D" : "-") +
           (sample->IsPreroll() == S_OK ? "P" : "-");
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

std::vector<uint8_t> zeros(size_t n) { return std::vector<uint8_t>(n, 0); }
std::vector<uint8_t> mpeg4Key() { return std::vector<uint8_t>(ingrelMpeg4Filler(), ingrelMpeg4Filler() + kMpeg4FillerSize); }

}  // namespace

TEST(IngrelDelivery, FillersFollowTheTableForEveryOutputType) {
  const std::vector<uint8_t> picture(128 * 96 * 3, 0x5A);
  struct Row {
    const char* name;
    MediaClassification type;
    LONG buffer;
    bool withLast;
    // The fillers of one stall, in order: content and flags.
    std::vector<std::pair<std::vector<uint8_t>, std::string>> fillers;
  };
  const std::vector<uint8_t>& jpeg = ingrelJpegFiller(Resolution_320x240);
  const std::vector<Row> rows = {
      {"audio", codes(MediaKind_Audio), 4096, false, {{zeros(4096), "---"}}},
      {"pointer", codes(MediaKind_Pointer), 71, true, {{zeros(71), "---"}}},
      {"MPEG-4 v2", codes(MediaKind_Video, VideoFormat_MPEG4v2, Resolution_CIF), 100000, true,
       {{mpeg4Key(), "SD-"}, {{}, "SD-"}, {mpeg4Key(), "SD-"}}},
      {"MPEG-4 v3", codes(MediaKind_Video, VideoFormat_MPEG4v3, Resolution_QCIF), 100000, false,
       {{mpeg4Key(), "SD-"}, {{}, "SD-"}}},
      {"H.261", codes(MediaKind_Video, VideoFormat_H261, Resolution_CIF), 5000, true, {{zeros(5000), "S-P"}}},
      {"H.263", codes(MediaKind_Video, VideoFormat_H263, Resolution_QCIF), 5000, false, {{zeros(5000), "S-P"}}},
      {"Motion-JPEG", codes(MediaKind_Video, VideoFormat_MJPEG, Resolution_320x240), 230400, true,
       {{jpeg, "S--"}, {jpeg, "S--"}}},
      {"RGB24, last sample", codes(MediaKind_Video), 36864, true, {{picture, "SD-"}, {picture, "SD-"}}},
      {"RGB24, none yet", codes(MediaKind_Video), 36864, false, {{zeros(36864), "SDP"}}},
      {"RGB555, none yet", codes(MediaKind_Video, VideoFormat_RGB555), 24576, false, {{zeros(24576), "SDP"}}},
      {"dvsd, last sample", codes(MediaKind_Video, VideoFormat_DVSD, Resolution_720x480), 36864, true,
       {{picture, "SD-"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Buffer b(row.buffer);
    IngrelDelivery d;
    if (row.withLast) {
      std::vector<uint8_t> data = row.type.kind == MediaKind_Pointer ? std::vector<uint8_t>(71, 9) : picture;
      if (static_cast<LONG>(data.size()) > row.buffer) data.resize(static_cast<size_t>(row.buffer));
      d.deliver(real(data, -1, 0), b.take());
    }
    // Two stalls: a real sample between them starts the order again.
    for (int stall = 0; stall < 2; ++stall) {
      for (size_t i = 0; i < row.fillers.size(); ++i) {
        d.fill(b.take(), row.type, 30000000);
        EXPECT_EQ(b.data(), row.fillers[i].first) << "stall " << stall << " filler " << i;
        EXPECT_EQ(b.flags(), row.fillers[i].second) << "stall " << stall << " filler " << i;
        REFERENCE_TIME t0, t1;
        int64_t m0, m1;
        EXPECT_TRUE(FAILED(b.sample->GetTime(&t0, &t1)));
        EXPECT_NE(b.sample->GetMediaTime(&m0, &m1), S_OK);
      }
      if (row.withLast) {
        std::vector<uint8_t> data = row.type.kind == MediaKind_Pointer ? std::vector<uint8_t>(71, 9) : picture;
        if (static_cast<LONG>(data.size()) > row.buffer) data.resize(static_cast<size_t>(row.buffer));
        d.deliver(real(data, 0, 1), b.take());
      } else if (stall == 0) {
        d.reset();
      }
    }
  }
}

TEST(IngrelDelivery, StreamTimeAddsClockDeltasAndWaitsAndNeverWraps) {
  Buffer b(16);
  IngrelDelivery d;
  struct Step {
    int64_t previous, clock, waited;  // waited >= 0: a filler
    int64_t expected;
  };
  const std::vector<Step> steps = {
      {-1, 5000000, -1, 333333},                   // no previous clock: one frame
      {5000000, 5400000, -1, 733333},              // the clock difference
      {0, 0, 30000000, 30733333},                  // a filler: the time waited
      {5400000, 5000000, -1, 30333333},            // the clock went back: so does the stream
      {kMin, kMax, -1, 30666666},                  // not a 64-bit difference: one frame
      {kMax, kMin, -1, 30999999},
      {0, kMax, -1, kMax},                         // saturates at the top
      {0, kMax, -1, kMax},
      {-2, kMin, -1, kMax + (kMin + 2)},           // and comes back from it
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    if (s.waited >= 0)
      d.fill(b.take(), codes(MediaKind_Audio), s.waited);
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
  const MediaClassification rgb = codes(MediaKind_Video, VideoFormat_RGB24, Resolution_320x240);
  const MediaClassification pointer = codes(MediaKind_Pointer);
  struct Row {
    const char* name;
    MediaClassification received;
    bool adopted;
    ULONG sampleSize;  // of the output afterwards
  };
  const MediaClassification original = codes(MediaKind_Video, VideoFormat_DVSD, Resolution_720x480);
  const ULONG originalSize = original.mediaType().sampleSize();
  MediaClassification unknownKind;
  unknownKind.classify(MediaType(MEDIATYPE_Stream, GUID_NULL, FORMAT_None).get());
  MediaClassification oddSize = codes(MediaKind_Video);
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
