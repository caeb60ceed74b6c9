// The frame layout and the reading procedure, datagram by datagram, without
// sockets: fragments against bytes built here by hand, and the receiver's
// counters for repeats, losses and hostile input.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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
using wire::pattern;
using wire::put32;
using wire::slice;

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

// One frame as a sender puts it on the wire: the header, then the run of
// fragments repeat times, the end mark on the very last one.
void sendFrame(Feed& feed, uint32_t number, const Bytes& frame, uint32_t packetSize = 1024,
               uint32_t repeat = 1) {
  const uint32_t piece = packetSize - koFrame::kFragmentHeaderSize;
  const uint32_t count = static_cast<uint32_t>(koFrame::fragmentCountFor(frame.size(), packetSize));
  feed(header(number, static_cast<uint32_t>(frame.size()), packetSize, count));
  for (uint32_t run = 0; run < repeat; ++run)
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t off = i * piece,
                     n = std::min<uint32_t>(piece, static_cast<uint32_t>(frame.size()) - off);
      feed(fragment(packetSize, number, count, i, off, slice(frame, off, n),
                    run + 1 == repeat && i + 1 == count));
    }
}

// The frame a sender s sends as its k-th: tagged, so that no two are alike.
Bytes frameOf(uint32_t sender, uint32_t k, size_t length) {
  return wire::pattern(length, sender << 16 | k);
}

// The tags of frames (sender << 16 | k): what a failure prints.
std::vector<uint32_t> tags(const std::vector<Bytes>& frames) {
  std::vector<uint32_t> t;
  for (const Bytes& f : frames)
    t.push_back(f.size() < 4 ? ~0u : f[0] | f[1] << 8 | f[2] << 16 | uint32_t{f[3]} << 24);
  return t;
}


}  // namespace

TEST(FrameFormat, PacketizerMatchesHandBuiltFragments) {
  koPacketizer p;
  EXPECT_EQ(p.getPacketSize(), 1024u);
  const Bytes f991 = pattern(991, 1);
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
  const Bytes frame = pattern(5000, 1);
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
  EXPECT_FALSE(s.send("x", 1));  // closed
  EXPECT_FALSE(s.close());
}

TEST(Reading, RepeatedFrameIsDeliveredOnceAndRepeatsAreSkipped) {
  Feed feed;
  const Bytes frame = pattern(3000, 1);
  // 3000 bytes at 1024: 4 fragments; repeat count 3: 1 header + 12 fragments.
  sendFrame(feed, 1, frame, 1024, 3);
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], frame);
  auto& r = feed.receiver;
  EXPECT_EQ(r.getFramesReceived(), 1u);
  EXPECT_EQ(r.getFragmentsReceived(), 4u);  // the later runs are skipped, not counted
  EXPECT_EQ(r.getDroppedFrames(), 0u);
  EXPECT_EQ(r.getPacketSize(), 1024u);
  // A copy of the header that arrives late, with the rest of the frame's
  // repetitions behind it, makes the same frame again: a copy, neither
  // delivered again nor counted as dropped, whether complete or not.
  for (uint32_t copies : {4u, 1u}) {
    feed(header(1, 3000, 1024, 4));
    for (uint32_t i = 0; i < copies; ++i)
      feed(fragment(1024, 1, 4, i, i * 991, slice(frame, i * 991, i < 3 ? 991 : 27), 0));
  }
  sendFrame(feed, 2, slice(frame, 0, 991));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(r.getDuplicateFrames(), 2u);
  EXPECT_EQ(r.getDroppedFrames(), 0u);
  EXPECT_EQ(r.getFramesReceived(), 2u);
  // A header behind the newest is taken: it may come from a sender that
  // started again. Its own copy before any fragment announces it again.
  feed(header(1, 991, 1024, 1));
  feed(header(1, 991, 1024, 1));
  feed(fragment(1024, 1, 1, 0, 0, slice(frame, 991, 991), 1));
  ASSERT_EQ(feed.got.frames.size(), 3u);
  EXPECT_EQ(feed.got.frames[2], slice(frame, 991, 991));
  EXPECT_EQ(r.getDroppedFrames(), 0u);
}

TEST(Reading, RepeatsFillWhatTheFirstRunLost) {
  Feed feed;
  const Bytes frame = pattern(1500, 1);
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
  sendFrame(feed, 3, b);
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
  const Bytes piece = pattern(991, 1);
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
  // They are ignored like any stray datagram: the fragment after the last
  // one makes a frame of its own, as if its header had been lost.
  feed(fragment(1024, 5, 1, 0, 0, piece, 1));
  EXPECT_EQ(r.getFragmentsReceived(), 1u);
  EXPECT_EQ(r.getHeaderlessFrames(), 1u);

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
  // The right length at the wrong place.
  feed(header(11, 1500, 1024, 2));
  feed(fragment(1024, 11, 2, 0, 0, piece, 0));
  feed(fragment(1024, 11, 2, 1, 900, slice(piece, 0, 509), 1));
  EXPECT_EQ(r.getInvalidFragments(), 5u);
  EXPECT_TRUE(feed.got.frames == std::vector<Bytes>{piece});
  EXPECT_EQ(r.getFramesReceived(), 1u);
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
  const Bytes frame = pattern(10000, 1);
  sendFrame(feed, 2, frame);
  ASSERT_EQ(feed.got.frames.size(), 1u);
  EXPECT_EQ(feed.got.frames[0], frame);
}

TEST(Reading, AFrameWhoseHeaderWasLostIsRebuiltFromItsFragments) {
  Feed feed;
  auto& r = feed.receiver;
  const Bytes a = pattern(2500, 1), b = pattern(1500, 2), c = pattern(600, 3);
  // Frame 1 arrives normally.
  sendFrame(feed, 1, a);
  ASSERT_EQ(feed.got.frames.size(), 1u);
  // Frame 2: header lost, and index 0 of the first run too; the second run
  // completes it. The length comes from the last fragment.
  feed(fragment(1024, 2, 2, 1, 991, slice(b, 991, 509), 0));
  EXPECT_EQ(feed.got.frames.size(), 1u);
  feed(fragment(1024, 2, 2, 0, 0, slice(b, 0, 991), 0));
  ASSERT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(feed.got.frames[1], b);
  EXPECT_EQ(r.getHeaderlessFrames(), 1u);
  // Its remaining repetition, and a copy of its header arriving late, deliver
  // nothing again, and the copy gives way to the next frame's fragments.
  feed(fragment(1024, 2, 2, 1, 991, slice(b, 991, 509), 1));
  feed(header(2, 1500, 1024, 2));
  EXPECT_EQ(feed.got.frames.size(), 2u);
  EXPECT_EQ(r.getHeaderlessFrames(), 1u);
  // Frame 3 headerless with the last fragment before the others: still whole.
  feed(fragment(1024, 3, 1, 0, 0, c, 0));
  ASSERT_EQ(feed.got.frames.size(), 3u);
  EXPECT_EQ(feed.got.frames[2], c);
  // Frame 4: header lost and its last fragment lost in every run (with the
  // end mark): the next header ends it as dropped.
  feed(fragment(1024, 4, 3, 0, 0, slice(a, 0, 991), 0));
  feed(fragment(1024, 4, 3, 1, 991, slice(a, 991, 991), 0));
  sendFrame(feed, 5, c);
  ASSERT_EQ(feed.got.frames.size(), 4u);
  EXPECT_EQ(r.getDroppedFrames(), 1u);
  EXPECT_EQ(r.getDroppedFragments(), 1u);
  EXPECT_EQ(r.getFramesReceived(), 4u);
  EXPECT_EQ(r.getHeaderlessFrames(), 3u);
  EXPECT_EQ(r.getDuplicateFrames(), 1u);
}

TEST(Reading, HeaderlessStartsRefuseWhatAHeaderWouldHaveRefused) {
  Feed feed;
  auto& r = feed.receiver;
  r.setMaxFrameLength(5000);
  const Bytes piece = pattern(991, 1);
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


TEST(Reading, ARestartedSenderIsFollowedFromItsFirstFrame) {
  // A sender sends `before` frames, stops, and a new one numbers from 1
  // again; 71 bytes is one pointer record, 2500 bytes three fragments.
  for (uint32_t before : {1u, 5u, 9u})
    for (size_t length : {size_t{71}, size_t{2500}})
      for (uint32_t repeat : {1u, 2u}) {
        SCOPED_TRACE(testing::Message()
                     << before << " frames before the restart, " << length << " bytes, repeat " << repeat);
        Feed feed;
        std::vector<Bytes> sent;
        for (uint32_t k = 1; k <= before; ++k) sent.push_back(frameOf(0, k, length));
        for (uint32_t k = 1; k <= before + 3; ++k) sent.push_back(frameOf(1, k, length));
        for (size_t i = 0; i < sent.size(); ++i)
          sendFrame(feed, static_cast<uint32_t>(i < before ? i + 1 : i - before + 1), sent[i], 1024, repeat);
        EXPECT_EQ(tags(feed.got.frames), tags(sent));
        EXPECT_TRUE(feed.got.frames == sent);
        const auto& r = feed.receiver;
        const uint32_t fragments = static_cast<uint32_t>(koFrame::fragmentCountFor(length, 1024));
        EXPECT_EQ(r.getFramesReceived(), sent.size());
        EXPECT_EQ(r.getFragmentsReceived(), sent.size() * fragments);
        EXPECT_EQ(r.getDroppedFrames(), 0u);
        EXPECT_EQ(r.getDroppedFragments(), 0u);
      }
}

TEST(Reading, InterleavedSingleFragmentFramesOfSeveralSendersAreAllDelivered) {
  // Several stations' pointer records on one group: the senders take turns
  // frame by frame, sender s numbering from 1 + s * offset.
  for (uint32_t senders : {2u, 3u})
    for (uint32_t offset = 0; offset <= 10; ++offset)
      for (uint32_t repeat : {1u, 2u}) {
        SCOPED_TRACE(testing::Message() << senders << " senders, offset " << offset << ", repeat " << repeat);
        Feed feed;
        std::vector<Bytes> sent;
        for (uint32_t round = 0; round < 12; ++round)
          for (uint32_t s = 0; s < senders; ++s) {
            sent.push_back(frameOf(s, round, 71));
            sendFrame(feed, 1 + s * offset + round, sent.back(), 1024, repeat);
          }
        EXPECT_EQ(tags(feed.got.frames), tags(sent));
        EXPECT_TRUE(feed.got.frames == sent);
        EXPECT_EQ(feed.receiver.getFramesReceived(), sent.size());
        EXPECT_EQ(feed.receiver.getFragmentsReceived(), sent.size());
        EXPECT_EQ(feed.receiver.getDroppedFrames(), 0u);
        EXPECT_EQ(feed.receiver.getDroppedFragments(), 0u);
      }
}

TEST(Reading, AnUnusableHeaderIsIgnoredLikeANonHeader) {
  // In the middle of frame 7: a header with a packet size out of range, one
  // whose count does not fit its length, one longer than the maximum, each
  // numbered 8. Frame 7 goes on, and the real frame 8 is taken.
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    Feed feed;
    feed.receiver.setMaxFrameLength(100000);
    const Bytes a = frameOf(0, 7, 2500), b = frameOf(0, 8, 1500);
    feed(header(7, 2500, 1024, 3));
    feed(fragment(1024, 7, 3, 0, 0, slice(a, 0, 991), 0));
    const Bytes bad[] = {header(8, 1500, 100, 2), header(8, 1500, 1024, 5), header(8, 200000, 1024, 202)};
    feed(bad[kind]);
    feed(fragment(1024, 7, 3, 1, 991, slice(a, 991, 991), 0));
    feed(fragment(1024, 7, 3, 2, 1982, slice(a, 1982, 518), 1));
    sendFrame(feed, 8, b);
    EXPECT_TRUE(feed.got.frames == (std::vector<Bytes>{a, b}));
    EXPECT_EQ(feed.receiver.getRefusedFrames(), 1u);
    EXPECT_EQ(feed.receiver.getDroppedFrames(), 0u);
  }
}

TEST(Reading, AFrameThatDoesNotFitInMemoryIsRefusedAndTheNextIsTaken) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit this test sets";
#else
  // In a child whose address space is limited to what it uses now and
  // 256 MiB more: a 900 MB frame cannot be held.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (256u << 20);
    const rlimit r{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &r) != 0) _exit(2);
    Feed feed;
    feed.receiver.setMaxFrameLength(1u << 30);
    const Bytes small = pattern(1500, 3);
    sendFrame(feed, 1, small);
    feed(header(2, 900000000u, 8192, 110308));
    feed(fragment(8192, 2, 110308, 0, 0, pattern(8159, 1), 0));
    sendFrame(feed, 3, small);
    const auto& r2 = feed.receiver;
    _exit(feed.got.frames.size() == 2 && r2.getRefusedFrames() == 1 && r2.getFramesReceived() == 2 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(Reading, AFrameEndedByAnOvertakenHeaderCountsOnce) {
  // Frame 5's header overtook frame 4's: 4's header ends 5 (dropped), and
  // 5's repetitions rebuild it after 4. In the end both are received and
  // nothing is dropped, also when the counters are reset in between.
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset);
    Feed feed;
    auto& r = feed.receiver;
    const Bytes four = frameOf(0, 4, 1500), five = frameOf(0, 5, 2500);
    feed(header(5, 2500, 1024, 3));
    feed(fragment(1024, 5, 3, 0, 0, slice(five, 0, 991), 0));
    sendFrame(feed, 4, four);
    EXPECT_EQ(r.getDroppedFrames(), 1u);
    if (reset) r.resetStatistics();
    for (uint32_t i = 0; i < 3; ++i)
      feed(fragment(1024, 5, 3, i, i * 991, slice(five, i * 991, i < 2 ? 991 : 518), i == 2));
    EXPECT_EQ(tags(feed.got.frames), tags({four, five}));
    EXPECT_EQ(r.getFramesReceived(), reset ? 1u : 2u);
    EXPECT_EQ(r.getDroppedFrames(), 0u);
    EXPECT_EQ(r.getDroppedFragments(), 0u);
  }
}
