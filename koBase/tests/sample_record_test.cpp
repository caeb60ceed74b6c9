// The sample record byte for byte, and the reader's refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "koBase/koByteStream.h"
#include "koBase/koSampleRecord.h"
#include "wire_helpers.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Example {
  koSampleRecord record;
  Bytes format = Bytes(88, 0xF0), data = Bytes(300, 0xD0), bytes;
  Example() {
    record.sampleNumber = 0;
    record.userDataLength = 3;
    record.userData[0] = 'a', record.userData[1] = 'b', record.userData[2] = 'c';
    for (int i = 0; i < 72; ++i) record.mediaType[i] = static_cast<uint8_t>(i);
    record.format = format.data();
    record.formatLength = 88;
    record.previousClockTime = -1;
    record.clockTime = 0x0102030405060708;
    record.startTimeValid = true;  // a start but no stop
    record.stopTimeValid = false;
    record.startTime = 333333;
    record.stopTime = -5;
    record.mediaStartValid = true;
    record.mediaStart = 7;
    record.mediaStop = 8;
    record.syncPoint = true;
    record.preroll = true;
    record.data = data.data();
    record.dataLength = 300;
    // The same record built by hand.
    wire::HandRecord h;
    h.userData = {'a', 'b', 'c'};
    h.mediaType.assign(record.mediaType, record.mediaType + 72);
    h.format = format;
    h.clock = 0x0102030405060708;
    h.startValid = true;
    h.start = 333333;
    h.stop = -5;
    h.mediaStartValid = h.mediaStopValid = true;
    h.mediaStart = 7;
    h.mediaStop = 8;
    h.syncPoint = h.preroll = true;
    h.data = data;
    bytes = h.bytes();
  }
};

}  // namespace

TEST(SampleRecord, WrittenAsTheHandBuiltBytesAndReadBack) {
  Example e;
  koOutputByteStream out;
  ASSERT_TRUE(koWriteSampleRecord(out, e.record));
  ASSERT_EQ(Bytes(out.data(), out.data() + out.length()), e.bytes);
  EXPECT_EQ(e.bytes.size(), 4 + 4 + 3 + 72 + 4 + 88 + 16 + 2 + 16 + 2 + 16 + 3 + 4 + 300u);

  koInputByteStream in(e.bytes.data(), static_cast<uint32_t>(e.bytes.size()));
  koSampleRecord r;
  ASSERT_TRUE(koReadSampleRecord(in, &r));
  EXPECT_EQ(r.userDataLength, 3u);
  EXPECT_EQ(std::memcmp(r.userData, "abc", 3), 0);
  EXPECT_EQ(std::memcmp(r.mediaType, e.record.mediaType, 72), 0);
  EXPECT_EQ(Bytes(r.format, r.format + r.formatLength), e.format);
  EXPECT_EQ(r.format, e.bytes.data() + 87);  // borrowed, not copied
  EXPECT_EQ(r.previousClockTime, -1);
  EXPECT_EQ(r.clockTime, 0x0102030405060708);
  EXPECT_TRUE(r.startTimeValid);
  EXPECT_FALSE(r.stopTimeValid);
  EXPECT_EQ(r.startTime, 333333);
  EXPECT_TRUE(r.mediaStartValid && r.mediaStopValid);
  EXPECT_TRUE(r.syncPoint);
  EXPECT_FALSE(r.discontinuity);
  EXPECT_TRUE(r.preroll);
  EXPECT_EQ(Bytes(r.data, r.data + r.dataLength), e.data);
}

TEST(SampleRecord, CutShortOrTooMuchUserDataIsRefused) {
  Example e;
  for (size_t n = 0; n < e.bytes.size(); ++n) {
    koInputByteStream in(e.bytes.data(), static_cast<uint32_t>(n));
    koSampleRecord r;
    EXPECT_FALSE(koReadSampleRecord(in, &r)) << "cut at " << n;
  }
  Bytes bad = e.bytes;
  bad[4] = 65;
  koInputByteStream in(bad.data(), static_cast<uint32_t>(bad.size()));
  koSampleRecord r;
  EXPECT_FALSE(koReadSampleRecord(in, &r));
  // A data length far past the frame.
  bad = e.bytes;
  const size_t at = e.bytes.size() - 300 - 4;
  bad[at + 3] = 0x7F;
  in.attach(bad.data(), static_cast<uint32_t>(bad.size()));
  EXPECT_FALSE(koReadSampleRecord(in, &r));
  // The writer refuses what a reader would refuse.
  e.record.userDataLength = 65;
  koOutputByteStream out;
  EXPECT_FALSE(koWriteSampleRecord(out, e.record));
  EXPECT_EQ(out.length(), 0u);
}
