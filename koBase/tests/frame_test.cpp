// The frame layout and the reading procedure, datagram by datagram, without
// sockets: fragments against bytes built here by hand, and the receiver's
// counters for repeats, losses and hostile input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "koBase/koFrameFormat.h"
#include "koBase/koMulticastReceiver.h"
#include "koBase/koMulticastSender.h"
#include "koBase/koPacketizer.h"
#include "wire_helpers.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Datagrams built by hand, byte by byte (shared with the lab tests).
using wire::fragment;
using wire::header;

void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes pattern(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return b;
}

Bytes slice(const Bytes& b, size_t from, size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

struct Collector {
  std::vector<Bytes> frames;
  static void onFrame(const uint8_t* data, uint32_t length, void* user) {
    static_cast<Collector*>(user)->frames.emplace_back(data, data + length);
  }
};

struct Feed {
  koMulticastReceiver receiver;
  Collector got;
  Feed() { receiver.setFrameCallback(Collector::onFrame, &got); }
  void operator()(const Bytes& d) { receiver.processDatagram(d.data(), static_cast<uint32_t>(d.size())); }
};

}  // namespace

TEST(FrameFormat, PacketizerMatchesHandBuiltFragments) {
  koPacketizer p;
  EXPECT_EQ(p.getPacketSize(), 1024u);
  const Bytes f991 = pattern(991);
  ASSERT_EQ(p.packetize(f991.data(), 991), 1u);
  EXPECT_EQ(p.getFrameNumber(), 1u);
  EXPECT_EQ(Bytes(p.getFragment(0), p.getFragment(0) + 1024), fragment(1024, 1, 1, 0, 0, f991, 0));

  const Bytes f992 = pattern(992, 9);
  ASSERT_EQ(p.packetize(f992.data(), 992), 2u);
  EXPECT_EQ(Bytes(p.getFragment(0), p.getFragment(0) + 1024), fragment(1024, 2, 2, 0, 0, slice(f992, 0, 991), 0));
  // The 1-byte remainder still fills a whole packet, with zeros behind it.
  EXPECT_EQ(Bytes(p.getFragment(1), p.getFragment(1) + 1024), fragment(1024, 2, 2, 1, 991, slice(f992, 991, 1), 0));
  p.setEndMark(1, true);
  EXPECT_EQ(p.getFragment(1)[32], 1);

  // A status-sized message: 2000 bytes are 991 + 991 + 18.
  const Bytes f2000 = pattern(2000, 3);
  ASSERT_EQ(p.packetize(f2000.data(), 2000), 3u);
  EXPECT_EQ(Bytes(p.getFragment(2), p.getFragment(2) + 1024), fragment(1024, 3, 3, 2, 1982, slice(f2000, 1982, 18), 0));

  EXPECT_EQ(p.packetize(nullptr, 0), 0u);  // an empty frame has no fragments
  EXPECT_EQ(p.getFrameNumber(), 4u);
}

TEST(FrameFormat, HeaderBytesAndParsing) {
  uint8_t out[1024] = {};
  koFrame::writeFrameHeader(out, {7, 2000, 1024, 3});
  EXPECT_EQ(Bytes(out, out + 1024), header(7, 2000, 1024, 3));
  koFrame::FrameHeader h;
  EXPECT_TRUE(koFrame::parseFrameHeader(out, 1024, &h));
  EXPECT_EQ(h.fragmentCount, 3u);
  EXPECT_FALSE(koFrame::parseFrameHeader(out, 1023, &h));
  out[8] = 0xEE;
  EXPECT_FALSE(koFrame::parseFrameHeader(out, 1024, &h));
  koFrame::FragmentHeader f;
  EXPECT_FALSE(koFrame::parseFragmentHeader(out, 32, &f));
}

TEST(FrameFormat, PacketSizeIsClampedAndAChangeFreesTheBuffers) {
  koPacketizer p;
  const Bytes frame = pattern(5000);
  p.packetize(frame.data(), 5000);
  EXPECT_EQ(p.getBufferCount(), 6u);
  p.setPacketSize(100);
  EXPECT_EQ(p.getPacketSize(), 512u);
  EXPECT_EQ(p.getBufferCount(), 0u);
  p.setPacketSize(9000);
  EXPECT_EQ(p.getPacketSize(), 8192u);
  p.packetize(frame.data(), 5000);
  EXPECT_EQ(p.getBufferCount(), 1u);
  p.setPacketSize(8192);  // unchanged: buffers stay
  EXPECT_EQ(p.getBufferCount(), 1u);
}

TEST(FrameFormat, SenderSettingsAreClamped) {
  koMulticastSender s;
  s.setRepeatCount(0);
  EXPECT_EQ(s.getRepeatCount(), 1u);
  s.setMaximumRate(0);
  EXPECT_EQ(s.getMaximumRate(), 1u);
  s.setPacketSize(100);
  EXPECT_EQ(s.getPacketSize(), 512u);
  EXPECT_EQ(s.getAddress(), "234.5.6.7");
  EXPECT_EQ(s.getPort(), 8190);
  EXPECT_EQ(s.getTimeToLive(), 1u);
  EXPECT_EQ(s.getSystemBufferSize(), 131072u);
  koMulticastSender fresh;
  EXPECT_EQ(fresh.getMaximumRate(), 0x40000000u);
  EXPECT_FALSE(fresh.send("x", 1));  // closed
  EXPECT_FALSE(fresh.close());
  EXPECT_GT(fresh.getLimiter().getSleepGranularity(), 0.0);
  EXPECT_DOUBLE_EQ(fresh.getClockMinimumInterval(), 100e-6);
}

TEST(Reading, RepeatedFrameIsDeliveredOnceAndRepeatsAreSkipped) {
  Feed feed;
  const Bytes frame = pattern(3000);
  // 3000 bytes at 1024: 4 fragments; repeat count 3: 1 header + 12 fragments.
  feed(header(1, 3000, 1024, 4));
  for (int run = 0; run < 3; ++run)
    for (uint32_t i = 0; i < 4; ++i) {
      const uint32_t off = i * 991;
      feed(fragment(1024, 1, 4, i, off, slice(frame, off, i < 3 ? 991 : 27), run == 2 && i == 3));
    }
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], frame);
  auto& r = feed.receiver;
  EXPECT_EQ(r.getFramesReceived(), 1u);
  EXPECT_EQ(r.getFragmentsReceived(), 4u);  // the later runs are skipped, not counted
  EXPECT_EQ(r.getDroppedFrames(), 0u);
  EXPECT_EQ(r.getPacketSize(), 1024u);
  // A copy of the header that arrives late does not start the frame again.
  feed(header(1, 3000, 1024, 4));
  feed(fragment(1024, 1, 4, 0, 0, slice(frame, 0, 991), 0));
  EXPECT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(r.getDroppedFrames(), 0u);
  EXPECT_EQ(r.getLateHeaders(), 1u);
  // A header overtaken by the next frame's header is late too; a restarted
  // sender numbering from 1 again is followed.
  feed(header(3, 991, 1024, 1));
  feed(header(2, 991, 1024, 1));
  EXPECT_EQ(r.getLateHeaders(), 2u);
  EXPECT_EQ(r.getDroppedFrames(), 1u);  // frame 2 was overtaken: lost
  EXPECT_EQ(r.getDroppedFragments(), 1u);
  feed(header(2, 991, 1024, 1));  // its copy counts nothing more
  EXPECT_EQ(r.getDroppedFrames(), 1u);
  feed(fragment(1024, 3, 1, 0, 0, slice(frame, 0, 991), 1));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  for (uint32_t n = 100; n < 103; ++n) {
    feed(header(n, 991, 1024, 1));
    feed(fragment(1024, n, 1, 0, 0, slice(frame, 0, 991), 1));
  }
  feed(header(1, 991, 1024, 1));
  feed(fragment(1024, 1, 1, 0, 0, slice(frame, 0, 991), 1));
  EXPECT_EQ(feed.got.frames.size(), 6u);
}

TEST(Reading, RepeatsFillWhatTheFirstRunLost) {
  Feed feed;
  const Bytes frame = pattern(1500);
  feed(header(5, 1500, 1024, 2));
  feed(fragment(1024, 5, 2, 0, 0, slice(frame, 0, 991), 0));
  // index 1 of run 1 lost; run 2 brings it (index 0 again is a duplicate)
  feed(fragment(1024, 5, 2, 0, 0, slice(frame, 0, 991), 0));
  EXPECT_TRUE(feed.got.frames.empty());
  feed(fragment(1024, 5, 2, 1, 991, slice(frame, 991, 509), 1));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], frame);
  EXPECT_EQ(feed.receiver.getFragmentsReceived(), 3u);
}

TEST(Reading, EndMarkOrNextHeaderEndAnIncompleteFrameAndTheNextFrameIsKept) {
  Feed feed;
  const Bytes a = pattern(2500, 1), b = pattern(600, 2);
  feed(header(1, 2500, 1024, 3));
  feed(fragment(1024, 1, 3, 0, 0, slice(a, 0, 991), 0));
  feed(fragment(1024, 1, 3, 2, 1982, slice(a, 1982, 518), 1));  // end mark, index 1 lost
  EXPECT_EQ(feed.receiver.getDroppedFrames(), 1u);
  EXPECT_EQ(feed.receiver.getDroppedFragments(), 1u);
  // The last fragment of frame 2 is lost: the header of frame 3 ends it and
  // frame 3 itself is still received.
  feed(header(2, 2500, 1024, 3));
  feed(fragment(1024, 2, 3, 0, 0, slice(a, 0, 991), 0));
  feed(fragment(1024, 2, 3, 1, 991, slice(a, 991, 991), 0));
  feed(header(3, 600, 1024, 1));
  feed(fragment(1024, 3, 1, 0, 0, b, 1));
  EXPECT_EQ(feed.receiver.getDroppedFrames(), 2u);
  EXPECT_EQ(feed.receiver.getDroppedFragments(), 2u);
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], b);
  EXPECT_EQ(feed.receiver.getFramesReceived(), 1u);
}

TEST(Reading, SmallPacketsBetweenFramesDoNotHideTheNextHeader) {
  Feed feed;
  const Bytes a = pattern(400, 4), b = pattern(400, 5);
  feed(header(1, 400, 512, 1));
  feed(fragment(512, 1, 1, 0, 0, a, 0));
  feed(fragment(512, 1, 1, 0, 0, a, 0));  // one skipped repeat (an odd number of 512-byte datagrams)
  feed(fragment(512, 1, 1, 0, 0, a, 1));  // and another
  feed(fragment(512, 1, 1, 0, 0, a, 1));
  feed(fragment(512, 1, 1, 0, 0, a, 1));
  feed(header(2, 400, 512, 1));
  feed(fragment(512, 2, 1, 0, 0, b, 1));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(feed.got.frames[1], b);
}

TEST(Reading, EmptyFrameIsDeliveredAtItsHeader) {
  Feed feed;
  feed(header(1, 0, 1024, 0));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_TRUE(feed.got.frames[0].empty());
}

TEST(Reading, HostileDatagramsAreCountedAndNeverWrittenOutsideTheFrame) {
  Feed feed;
  auto& r = feed.receiver;
  const Bytes piece = pattern(991);
  // Wrong sizes and wrong magic words.
  feed(Bytes(10, 0xFD));
  feed(Bytes(1024, 0));
  feed(Bytes(0));
  EXPECT_EQ(r.getInvalidDatagrams(), 3u);
  // Packet size out of range, counts that do not fit the length, gigabytes.
  feed(header(1, 100, 100, 1));
  feed(header(2, 100, 1024, 0));
  feed(header(3, 100, 1024, 0xFFFFFFFFu));
  feed(header(4, 0xFFFFFFFFu, 8192, 524413));
  feed(header(5, 3u << 30, 1024, static_cast<uint32_t>((3ull << 30) / 991 + 1)));
  EXPECT_EQ(r.getRefusedFrames(), 5u);
  // Fragments after a refused header are skipped, never assembled.
  feed(fragment(1024, 5, 1, 0, 0, piece, 1));
  EXPECT_EQ(r.getFragmentsReceived(), 0u);

  // Index not below the count: the frame is dropped.
  feed(header(6, 1500, 1024, 2));
  feed(fragment(1024, 6, 2, 2, 1982, slice(piece, 0, 10), 0));
  EXPECT_EQ(r.getInvalidFragments(), 1u);
  EXPECT_EQ(r.getDroppedFrames(), 1u);
  EXPECT_EQ(r.getDroppedFragments(), 2u);
  // Offset + length beyond the frame, and an offset not where the index puts it.
  feed(header(7, 1500, 1024, 2));
  feed(fragment(1024, 7, 2, 1, 991, piece, 0));  // 991 + 991 > 1500
  feed(header(8, 1500, 1024, 2));
  feed(fragment(1024, 8, 2, 1, 1400, slice(piece, 0, 100), 0));
  EXPECT_EQ(r.getInvalidFragments(), 3u);
  EXPECT_EQ(r.getDroppedFrames(), 3u);
  // A fragment with a data length larger than the datagram (a lie).
  feed(header(9, 991, 1024, 1));
  Bytes lie = fragment(1024, 9, 1, 0, 0, piece, 1);
  put32(lie, 28, 5000);
  feed(lie);
  EXPECT_EQ(r.getInvalidFragments(), 4u);
  // A fragment of the wrong datagram size for this frame.
  feed(header(10, 400, 1024, 1));
  feed(fragment(512, 10, 1, 0, 0, slice(piece, 0, 400), 1));
  EXPECT_EQ(r.getInvalidDatagrams(), 4u);
  EXPECT_TRUE(feed.got.frames.empty());
  EXPECT_EQ(r.getFramesReceived(), 0u);
}

TEST(Reading, TwoSendersInterleavingDoNotCorruptEachOther) {
  Feed feed;
  const Bytes a = pattern(1500, 1), b = pattern(1500, 2);
  // Sender B's fragments (another frame number) arrive inside A's frame:
  // counted, ignored, and B's end mark does not end A's frame.
  feed(header(10, 1500, 1024, 2));
  feed(fragment(1024, 10, 2, 0, 0, slice(a, 0, 991), 0));
  feed(fragment(1024, 77, 2, 1, 991, slice(b, 991, 509), 1));
  feed(fragment(1024, 10, 2, 1, 991, slice(a, 991, 509), 1));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], a);
  EXPECT_EQ(feed.receiver.getForeignFragments(), 1u);
  EXPECT_EQ(feed.receiver.getFragmentsReceived(), 3u);
  // B's header inside A's next frame ends A's frame (dropped) and B's frame,
  // complete, is received.
  feed(header(11, 1500, 1024, 2));
  feed(fragment(1024, 11, 2, 0, 0, slice(a, 0, 991), 0));
  feed(header(78, 1500, 1024, 2));
  feed(fragment(1024, 11, 2, 1, 991, slice(a, 991, 509), 1));
  feed(fragment(1024, 78, 2, 0, 0, slice(b, 0, 991), 0));
  feed(fragment(1024, 78, 2, 1, 991, slice(b, 991, 509), 1));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(feed.got.frames[1], b);
  EXPECT_EQ(feed.receiver.getDroppedFrames(), 1u);
}

TEST(Reading, FramesAboveTheMaximumAreRefusedAndTheBufferStaysSmall) {
  Feed feed;
  feed.receiver.setMaxFrameLength(10000);
  feed(header(1, 10001, 1024, 11));
  EXPECT_EQ(feed.receiver.getRefusedFrames(), 1u);
  const Bytes frame = pattern(10000);
  feed(header(2, 10000, 1024, 11));
  for (uint32_t i = 0; i < 11; ++i)
    feed(fragment(1024, 2, 11, i, i * 991, slice(frame, i * 991, i < 10 ? 991 : 90), i == 10));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], frame);
}

TEST(Reading, AFrameWhoseHeaderWasLostIsRebuiltFromItsFragments) {
  Feed feed;
  auto& r = feed.receiver;
  const Bytes a = pattern(2500, 1), b = pattern(1500, 2), c = pattern(600, 3);
  // Frame 1 arrives normally.
  feed(header(1, 2500, 1024, 3));
  for (uint32_t i = 0; i < 3; ++i) feed(fragment(1024, 1, 3, i, i * 991, slice(a, i * 991, i < 2 ? 991 : 518), 0));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  // Frame 2: header lost, and index 0 of the first run too; the second run
  // completes it. The length comes from the last fragment.
  feed(fragment(1024, 2, 2, 1, 991, slice(b, 991, 509), 0));
  EXPECT_EQ(feed.got.frames.size(), 1u);
  feed(fragment(1024, 2, 2, 0, 0, slice(b, 0, 991), 0));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(feed.got.frames[1], b);
  EXPECT_EQ(r.getHeaderlessFrames(), 1u);
  // Its remaining repetition, and a copy of its header arriving late, start
  // nothing again.
  feed(fragment(1024, 2, 2, 1, 991, slice(b, 991, 509), 1));
  feed(header(2, 1500, 1024, 2));
  EXPECT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(r.getHeaderlessFrames(), 1u);
  EXPECT_EQ(r.getDroppedFrames(), 0u);
  // Frame 3 headerless with the last fragment before the others: still whole.
  feed(fragment(1024, 3, 1, 0, 0, c, 0));
  ASSERT_EQ(feed.got.frames.size(), 3u);
  EXPECT_EQ(feed.got.frames[2], c);
  // Frame 4: header lost and its last fragment lost in every run (with the
  // end mark): the next header ends it as dropped.
  feed(fragment(1024, 4, 3, 0, 0, slice(a, 0, 991), 0));
  feed(fragment(1024, 4, 3, 1, 991, slice(a, 991, 991), 0));
  feed(header(5, 600, 1024, 1));
  feed(fragment(1024, 5, 1, 0, 0, c, 1));
  ASSERT_EQ(feed.got.frames.size(), 4u);
  EXPECT_EQ(r.getDroppedFrames(), 1u);
  EXPECT_EQ(r.getDroppedFragments(), 1u);
  EXPECT_EQ(r.getFramesReceived(), 4u);
  EXPECT_EQ(r.getHeaderlessFrames(), 3u);
}

TEST(Reading, HeaderlessStartsRefuseWhatAHeaderWouldHaveRefused) {
  Feed feed;
  auto& r = feed.receiver;
  r.setMaxFrameLength(5000);
  const Bytes piece = pattern(991);
  // Six fragments could hold more than 5000 bytes, five always fit.
  feed(fragment(1024, 1, 7, 0, 0, piece, 0));
  EXPECT_EQ(r.getRefusedFrames(), 1u);
  feed(fragment(1024, 1, 7, 1, 991, piece, 0));  // the same frame: not tried again
  EXPECT_EQ(r.getRefusedFrames(), 1u);
  EXPECT_EQ(r.getFragmentsReceived(), 0u);
  // Six fragments: the shortest fits, but a last fragment that makes the
  // frame longer than the maximum is invalid.
  feed(fragment(1024, 2, 6, 5, 4955, slice(piece, 0, 100), 1));
  EXPECT_EQ(r.getInvalidFragments(), 1u);
  EXPECT_EQ(r.getDroppedFrames(), 1u);
  // A datagram size outside the packet sizes; a count of 0.
  feed(fragment(400, 3, 1, 0, 0, slice(piece, 0, 300), 1));
  EXPECT_EQ(r.getInvalidDatagrams(), 1u);
  feed(fragment(1024, 4, 0, 0, 0, slice(piece, 0, 10), 1));
  EXPECT_EQ(r.getRefusedFrames(), 2u);
  // A middle fragment that is not a full piece, one not at its place, a last
  // fragment longer than a piece: each drops its frame.
  feed(fragment(1024, 5, 3, 1, 991, slice(piece, 0, 500), 0));
  feed(fragment(1024, 6, 2, 1, 990, piece, 0));
  Bytes longLast = fragment(1024, 7, 2, 1, 991, piece, 1);
  put32(longLast, 28, 992);
  feed(longLast);
  EXPECT_EQ(r.getInvalidFragments(), 4u);
  EXPECT_EQ(r.getDroppedFrames(), 4u);
  EXPECT_EQ(r.getHeaderlessFrames(), 4u);
  // Frame numbers far ahead of the newest are strays, and older ones are
  // repetitions: neither starts a frame.
  feed(fragment(1024, 7 + koMulticastReceiver::kFragmentStartWindow, 1, 0, 0, piece, 1));
  feed(fragment(1024, 6, 1, 0, 0, piece, 1));
  EXPECT_TRUE(feed.got.frames.empty());
  // The fragments of the next frame do.
  feed(fragment(1024, 8, 1, 0, 0, piece, 1));
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], piece);
}
