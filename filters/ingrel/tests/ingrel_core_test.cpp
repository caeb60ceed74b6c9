// The client's record parser, sample queue and filler frames, without a
// network: hand-built records and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <thread>

#include "filters/ingrel/ingrel_fillers.h"
#include "filters/ingrel/ingrel_queue.h"
#include "filters/ingrel/ingrel_record.h"
#include "filters/ingrel/tests/built_codes.h"
#include "koBase/tests/wire_helpers.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
// After the project headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A record built by hand, field by field.
Bytes handRecord(const MediaType& mt, uint32_t number, const Bytes& data,
                 uint32_t formatLength = UINT32_MAX) {
  wire::HandRecord r;
  r.sampleNumber = number;
  r.userData = {'u', 'd'};
  ByteWriter w(r.mediaType);
  writeMediaTypeRecord(w, mt.get());
  r.format.assign(mt.format(), mt.format() + std::min(formatLength, mt.formatLength()));
  r.previousClock = 1000;
  r.clock = 2000;
  r.startValid = true;
  r.start = 55;
  r.mediaStartValid = r.mediaStopValid = true;
  r.mediaStart = 7;
  r.mediaStop = 8;
  r.syncPoint = r.preroll = true;
  r.data = data;
  return r.bytes();
}

}  // namespace

TEST(IngrelRecord, ParsesTheHandBuiltRecordIntoASample) {
  const MediaClassification out = builtCodes(MediaKind_Video);
  Bytes data(128 * 96 * 3);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  const Bytes frame = handRecord(out.mediaType(), 41, data);
  IngrelParsedRecord p;
  ASSERT_TRUE(ingrelParseRecord(frame.data(), static_cast<uint32_t>(frame.size()), &p));
  EXPECT_EQ(std::tuple(p.record.sampleNumber, p.record.userDataLength), std::tuple(41u, 2u));
  EXPECT_TRUE(p.received.fullyClassified());
  EXPECT_TRUE(p.received.sameAs(out));
  EXPECT_EQ(p.received.mediaType(), out.mediaType());  // format block carried whole
  EXPECT_TRUE(ingrelDataFits(out, 1 << 20, p.record.dataLength));
  IngrelSample s;
  ingrelMakeSample(p.record, false, &s);
  EXPECT_EQ(s.data, data);
  EXPECT_EQ(std::tuple(s.previousClockTime, s.clockTime, s.startValid, s.stopValid, s.start, s.mediaTimeValid,
                       s.mediaStart, s.syncPoint, s.discontinuity, s.preroll),
            std::tuple(1000, 2000, true, false, 55, true, 7, true, false, true));
  ingrelMakeSample(p.record, true, &s);
  EXPECT_TRUE(s.discontinuity);
}

TEST(IngrelRecord, RefusesWhatDoesNotAddUpAndClassifiesOddTypesAsUnknown) {
  const MediaClassification out = builtCodes(MediaKind_Video);
  const Bytes data(128 * 96 * 3, 9);
  const Bytes good = handRecord(out.mediaType(), 1, data);
  IngrelParsedRecord p;
  // Every cut is refused; so is anything left over after the data.
  for (size_t cut = 0; cut < good.size(); cut += 997)
    EXPECT_FALSE(ingrelParseRecord(good.data(), static_cast<uint32_t>(cut), &p)) << cut;
  EXPECT_FALSE(ingrelParseRecord(good.data(), static_cast<uint32_t>(good.size() - 1), &p));
  Bytes longer = good;
  longer.push_back(0);
  EXPECT_FALSE(ingrelParseRecord(longer.data(), static_cast<uint32_t>(longer.size()), &p));
  Bytes user = good;
  user[4] = 65;
  EXPECT_FALSE(ingrelParseRecord(user.data(), static_cast<uint32_t>(user.size()), &p));
  // A data length past the end of the frame.
  Bytes over = good;
  const size_t lengthAt = good.size() - data.size() - 4;
  over[lengthAt + 3] = 0x7F;
  EXPECT_FALSE(ingrelParseRecord(over.data(), static_cast<uint32_t>(over.size()), &p));

  // Unknown major type: unknown kind. A format block shorter than the
  // video-info record: video of unknown format. Neither is ever delivered.
  MediaType odd = out.mediaType();
  odd.setMajortype(makeGuid("{11111111-2222-3333-4444-555555555555}"));
  Bytes r = handRecord(odd, 1, data);
  ASSERT_TRUE(ingrelParseRecord(r.data(), static_cast<uint32_t>(r.size()), &p));
  EXPECT_EQ(p.received.kind, MediaKind_Unknown);
  EXPECT_FALSE(p.received.fullyClassified());
  r = handRecord(out.mediaType(), 1, data, 60);
  ASSERT_TRUE(ingrelParseRecord(r.data(), static_cast<uint32_t>(r.size()), &p));
  EXPECT_EQ(p.received.kind, MediaKind_Video);
  EXPECT_EQ(p.received.videoFormat, VideoFormat_Unknown);
  EXPECT_FALSE(p.received.fullyClassified());
  // A bitmap header that claims more than the block holds.
  MediaType claims = out.mediaType();
  Bytes block(claims.format(), claims.format() + claims.formatLength());
  block[48] = 0xFF;  // bitmap header size
  block[49] = 0xFF;
  claims.setFormat(block);
  r = handRecord(claims, 1, data);
  ASSERT_TRUE(ingrelParseRecord(r.data(), static_cast<uint32_t>(r.size()), &p));
  EXPECT_FALSE(p.received.fullyClassified());

  // Types of another classification.
  const MediaClassification qcif = builtCodes(MediaKind_Video, VideoFormat_RGB24, Resolution_QCIF);
  r = handRecord(qcif.mediaType(), 1, data);
  ASSERT_TRUE(ingrelParseRecord(r.data(), static_cast<uint32_t>(r.size()), &p));
  EXPECT_FALSE(p.received.sameAs(out));
  const MediaClassification mjpeg320 = builtCodes(MediaKind_Video, VideoFormat_MJPEG, Resolution_320x240);
  const MediaClassification mjpeg640 = builtCodes(MediaKind_Video, VideoFormat_MJPEG, Resolution_640x480);
  r = handRecord(mjpeg320.mediaType(), 1, Bytes(100));
  ASSERT_TRUE(ingrelParseRecord(r.data(), static_cast<uint32_t>(r.size()), &p));
  EXPECT_TRUE(p.received.sameAs(mjpeg320));
  EXPECT_FALSE(p.received.sameAs(mjpeg640));
}

TEST(IngrelRecord, DataMustFitTheOutputType) {
  const MediaClassification rgb = builtCodes(MediaKind_Video);
  const uint32_t image = 128 * 96 * 3;
  EXPECT_TRUE(ingrelDataFits(rgb, image, image));
  EXPECT_FALSE(ingrelDataFits(rgb, image, image - 1));  // a picture cut short
  EXPECT_FALSE(ingrelDataFits(rgb, image, image + 1));
  const MediaClassification pointer = builtCodes(MediaKind_Pointer);
  EXPECT_TRUE(ingrelDataFits(pointer, 71, 71));
  EXPECT_FALSE(ingrelDataFits(pointer, 71, 70));
  const MediaClassification mpeg = builtCodes(MediaKind_Video, VideoFormat_MPEG4v2, Resolution_CIF);
  EXPECT_TRUE(ingrelDataFits(mpeg, 100000, 0));
  EXPECT_TRUE(ingrelDataFits(mpeg, 100000, 100000));
  EXPECT_FALSE(ingrelDataFits(mpeg, 100000, 100001));
  const MediaClassification audio = builtCodes(MediaKind_Audio);
  EXPECT_TRUE(ingrelDataFits(audio, 100000, 4096));
  EXPECT_FALSE(ingrelDataFits(audio, 100000, 100001));
}

TEST(IngrelQueue, KeepsTheNewestFourAndWaitsWithADeadline) {
  IngrelQueue q;
  int discarded = 0;
  for (int i = 0; i < 5; ++i) {
    auto s = std::make_unique<IngrelSample>();
    s->clockTime = i;
    discarded += q.push(std::move(s));
  }
  EXPECT_EQ(discarded, 1);
  EXPECT_EQ(q.size(), 4u);
  auto first = q.pop(std::chrono::steady_clock::now());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->clockTime, 1);
  EXPECT_TRUE(first->discontinuity);  // its predecessor was discarded
  q.clear();
  EXPECT_FALSE(q.pop(std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
  // A waiting pop returns as soon as a sample arrives, or when woken.
  std::thread producer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    q.push(std::make_unique<IngrelSample>());
  });
  EXPECT_TRUE(q.pop(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
  producer.join();
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    q.wake();
  });
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(q.pop(t0 + std::chrono::seconds(5)));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
  waker.join();
  q.rearm();
  q.push(std::make_unique<IngrelSample>());
  EXPECT_TRUE(q.pop(std::chrono::steady_clock::now()));

  // Done-with samples come back with their buffers: no allocation per sample.
  auto used = q.acquire();
  used->data.resize(100000);
  const uint8_t* buffer = used->data.data();
  q.recycle(std::move(used));
  auto again = q.acquire();
  EXPECT_EQ(again->data.data(), buffer);
  again->data.assign(10, 1);
  EXPECT_EQ(again->data.data(), buffer);
}

namespace {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
void onJpegError(j_common_ptr c) {
  longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}
}  // namespace

TEST(IngrelFillers, JpegPicturesOfEveryResolutionDecodeDarkAtTheirSizes) {
  const uint32_t sizes[] = {384, 592, 1984, 512, 576, 1392, 1576, 5200, 5792};
  for (int code = 0; code < 9; ++code) {
    const std::vector<uint8_t>& jpeg = ingrelJpegFiller(code);
    ASSERT_EQ(jpeg.size(), sizes[code]) << code;
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(std::memcmp(jpeg.data() + 6, "AVI1", 4), 0);
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    EXPECT_EQ(jpeg.back(), 0xD9);

    jpeg_decompress_struct d;
    JpegError err;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    if (setjmp(err.jump)) {
      jpeg_destroy_decompress(&d);
      ADD_FAILURE() << "resolution " << code << " does not decode";
      continue;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    ASSERT_EQ(jpeg_read_header(&d, TRUE), JPEG_HEADER_OK);
    jpeg_start_decompress(&d);
    int w = 0, h = 0;
    resolutionSize(code, &w, &h);
    EXPECT_EQ(static_cast<int>(d.output_width), w);
    EXPECT_EQ(static_cast<int>(d.output_height), h);
    std::vector<uint8_t> row(d.output_width * d.output_components);
    int brightest = 0;
    while (d.output_scanline < d.output_height) {
      JSAMPROW rows[] = {row.data()};
      jpeg_read_scanlines(&d, rows, 1);
      for (uint8_t v : row) brightest = std::max<int>(brightest, v);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    EXPECT_LE(brightest, 8) << code;
  }
  EXPECT_TRUE(ingrelJpegFiller(9).empty());
  EXPECT_TRUE(ingrelJpegFiller(-1).empty());
  EXPECT_EQ(ingrelMpeg4Filler()[0], 0x3f);
}
