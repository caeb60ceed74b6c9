// The MP3 encoder and decoder cores on real sound: a tone keeps its
// frequency and level through encoding and decoding at MPEG-1, -2 and -2.5
// rates; frames cut anywhere, truncated frames and garbage never stop the
// decoder for good; a stream unlike the output format is converted.
#include <gtest/gtest.h>

#include <random>

#include "platform/filters/audio/mp3_codec.h"
#include "platform/filters/audio/mp3_format.h"
#include "platform/filters/audio/tests/tone_analysis.h"
#include "platform/media/records.h"

namespace {

struct Encoded {
  std::vector<std::vector<uint8_t>> packets;
  std::vector<int64_t> pts, durations;
  std::vector<uint8_t> all() const {
    std::vector<uint8_t> out;
    for (const auto& p : packets) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
};

Encoded encodeTone(const PcmFormat& f, double hz, double seconds, double amplitude) {
  Mp3EncoderCore enc;
  EXPECT_TRUE(enc.open(f, Mp3EncoderCore::bitRateFor(f)));
  auto pcm = toPcm16(toneSamples(hz, f.rate, size_t(seconds * f.rate), amplitude), f.channels);
  Encoded e;
  auto sink = [&](const uint8_t* p, size_t n, int64_t pts, int64_t d) {
    e.packets.emplace_back(p, p + n);
    e.pts.push_back(pts);
    e.durations.push_back(d);
  };
  // In pieces of a tenth of a second, as a capture device delivers them.
  const size_t piece = f.rate / 10 * f.frameBytes();
  for (size_t off = 0; off < pcm.size(); off += piece)
    EXPECT_TRUE(enc.encode(pcm.data() + off, std::min(piece, pcm.size() - off), sink));
  EXPECT_TRUE(enc.flush(sink));
  return e;
}

std::vector<uint8_t> decodeAll(Mp3DecoderCore& dec, const std::vector<uint8_t>& mp3, size_t piece) {
  std::vector<uint8_t> pcm;
  for (size_t off = 0; off < mp3.size(); off += piece)
    dec.decode(mp3.data() + off, std::min(piece, mp3.size() - off),
               [&](const uint8_t* p, size_t n) { pcm.insert(pcm.end(), p, p + n); });
  return pcm;
}

void expectTone(const std::vector<uint8_t>& pcm, const PcmFormat& f, double hz, double amplitude) {
  for (unsigned c = 0; c < f.channels; ++c) {
    auto s = channelOf(pcm, f.channels, c);
    // Leave out the encoder's start-up and the padded end.
    auto mid = slice(s, f.rate / 10, s.size() - f.rate / 5);
    ASSERT_GT(mid.size(), f.rate / 4) << "too little sound decoded";
    EXPECT_NEAR(zeroCrossingFrequency(mid, f.rate), hz, hz * 0.005) << "channel " << c;
    EXPECT_NEAR(rmsOf(mid), amplitude / std::sqrt(2.0), amplitude / std::sqrt(2.0) * 0.15) << "channel " << c;
    // The tone dominates: 30 dB above a neighbouring frequency.
    EXPECT_GT(goertzelPower(mid, hz, f.rate), 1000 * goertzelPower(mid, hz * 1.37, f.rate));
  }
}

TEST(Mp3Codec, ToneKeepsFrequencyAndLevelAtEachMpegVersion) {
  struct Case {
    PcmFormat f;
    double hz;
  } cases[] = {{{44100, 2, 16}, 1000}, {{48000, 1, 16}, 440}, {{22050, 1, 16}, 440}, {{8000, 2, 16}, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.f.rate << " Hz, " << c.f.channels << " channels");
    Encoded e = encodeTone(c.f, c.hz, 1.0, 0.5);
    ASSERT_FALSE(e.packets.empty());
    const int64_t frameLength = Mp3EncoderCore::frameLengthFor(c.f);
    for (size_t i = 0; i < e.packets.size(); ++i) {
      // Every packet is one whole frame: sync word first, one frame long.
      ASSERT_GE(e.packets[i].size(), 4u);
      EXPECT_EQ(e.packets[i][0], 0xFF);
      EXPECT_EQ(e.packets[i][1] & 0xE0, 0xE0);
      if (i + 1 < e.packets.size()) {
        EXPECT_EQ(e.durations[i], frameLength);  // the last one is cut to the end
      }
      if (i) {
        EXPECT_EQ(e.pts[i] - e.pts[i - 1], frameLength);
      }
    }
    // Bit rate as chosen: bytes per second within 10 %.
    double bytesPerSecond = double(e.all().size()) / (double(e.packets.size()) * frameLength / c.f.rate);
    EXPECT_NEAR(bytesPerSecond, Mp3EncoderCore::bitRateFor(c.f) / 8.0, Mp3EncoderCore::bitRateFor(c.f) / 80.0);

    Mp3DecoderCore dec;
    ASSERT_TRUE(dec.open(c.f));
    auto pcm = decodeAll(dec, e.all(), 1000);  // cut across frame boundaries
    EXPECT_EQ(dec.framesRejected(), 0u);
    EXPECT_NEAR(double(pcm.size()) / c.f.frameBytes(), double(e.packets.size() * frameLength), 2.0 * frameLength);
    expectTone(pcm, c.f, c.hz, 0.5);
  }
}

TEST(Mp3Codec, EightBitInputEncodes) {
  PcmFormat f{22050, 1, 8};
  std::vector<uint8_t> pcm;
  for (double v : toneSamples(500, f.rate, f.rate, 0.5)) pcm.push_back(static_cast<uint8_t>(std::lround(128 + v * 127)));
  Mp3EncoderCore enc;
  ASSERT_TRUE(enc.open(f, Mp3EncoderCore::bitRateFor(f)));
  std::vector<uint8_t> mp3;
  auto sink = [&](const uint8_t* p, size_t n, int64_t, int64_t) { mp3.insert(mp3.end(), p, p + n); };
  ASSERT_TRUE(enc.encode(pcm.data(), pcm.size(), sink));
  ASSERT_TRUE(enc.flush(sink));
  Mp3DecoderCore dec;
  PcmFormat out{22050, 1, 16};
  ASSERT_TRUE(dec.open(out));
  expectTone(decodeAll(dec, mp3, 4096), out, 500, 0.5);
}

TEST(Mp3Codec, DecoderRecoversFromTruncatedFramesAndGarbage) {
  PcmFormat f{44100, 2, 16};
  Encoded e = encodeTone(f, 1000, 2.0, 0.5);
  ASSERT_GT(e.packets.size(), 60u);
  std::mt19937 rng(7);
  std::vector<uint8_t> damaged;
  const size_t half = e.packets.size() / 2;
  for (size_t i = 0; i < half; ++i) {
    const auto& p = e.packets[i];
    if (i % 5 == 3) {
      damaged.insert(damaged.end(), p.begin(), p.begin() + static_cast<std::ptrdiff_t>(p.size() / 3));  // cut short
    } else if (i % 7 == 2) {
      for (int k = 0; k < 300; ++k) damaged.push_back(static_cast<uint8_t>(rng()));  // noise between frames
      damaged.insert(damaged.end(), p.begin(), p.end());
    } else {
      damaged.insert(damaged.end(), p.begin(), p.end());
    }
  }
  Mp3DecoderCore dec;
  ASSERT_TRUE(dec.open(f));
  decodeAll(dec, damaged, 777);
  const uint64_t decodedBefore = dec.framesDecoded();
  EXPECT_GT(decodedBefore, half / 2);
  // The clean second half decodes completely and keeps the tone.
  std::vector<uint8_t> clean;
  for (size_t i = half; i < e.packets.size(); ++i) clean.insert(clean.end(), e.packets[i].begin(), e.packets[i].end());
  auto pcm = decodeAll(dec, clean, 1500);
  EXPECT_GE(dec.framesDecoded() - decodedBefore, e.packets.size() - half - 2);
  expectTone(pcm, f, 1000, 0.5);

  // After a reset a frame cut in two is not joined to what follows.
  dec.reset();
  auto pcm2 = decodeAll(dec, clean, 4096);
  expectTone(pcm2, f, 1000, 0.5);
}

TEST(Mp3Codec, DecoderSurvivesPureNoiseAndEmptyInput) {
  PcmFormat f{44100, 2, 16};
  Mp3DecoderCore dec;
  ASSERT_TRUE(dec.open(f));
  std::mt19937 rng(11);
  std::vector<uint8_t> noise(256 * 1024);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  // Noise full of false sync words.
  for (size_t i = 0; i < noise.size(); i += 97) {
    noise[i] = 0xFF;
    noise[i + 1 < noise.size() ? i + 1 : i] = 0xFB;
  }
  size_t out = decodeAll(dec, noise, 1024).size();
  (void)out;  // whatever came out must simply be safe to read
  dec.decode(nullptr, 0, [](const uint8_t*, size_t) {});
  dec.decode(noise.data(), 0, [](const uint8_t*, size_t) {});
  // And it still decodes a real stream afterwards.
  dec.reset();
  Encoded e = encodeTone(f, 1000, 1.0, 0.5);
  expectTone(decodeAll(dec, e.all(), 2048), f, 1000, 0.5);
}

TEST(Mp3Codec, DecoderConvertsToTheOutputFormat) {
  // A 22.05 kHz mono stream into 44.1 kHz stereo: the tone stays at 440 Hz
  // and the length in seconds stays the same.
  PcmFormat in{22050, 1, 16}, out{44100, 2, 16};
  Encoded e = encodeTone(in, 440, 1.0, 0.5);
  Mp3DecoderCore dec;
  ASSERT_TRUE(dec.open(out));
  auto pcm = decodeAll(dec, e.all(), 3000);
  double seconds = double(pcm.size()) / out.frameBytes() / out.rate;
  double encodedSeconds = double(e.packets.size()) * Mp3EncoderCore::frameLengthFor(in) / in.rate;
  EXPECT_NEAR(seconds, encodedSeconds, 0.05);
  auto left = slice(channelOf(pcm, 2, 0), out.rate / 10, out.rate / 2);
  auto right = slice(channelOf(pcm, 2, 1), out.rate / 10, out.rate / 2);
  EXPECT_NEAR(zeroCrossingFrequency(left, out.rate), 440, 3);
  EXPECT_NEAR(zeroCrossingFrequency(right, out.rate), 440, 3);
  EXPECT_GT(rmsOf(left), 0.2);  // mono spread to both sides, not lost
}

TEST(Mp3Codec, MediaTypeRecord) {
  // Wave-format record of the encoder's output, byte by byte.
  MediaType mt = makeMp3Type(44100, 2, 128000, 1152, 8192);
  ASSERT_EQ(mt.formatLength(), 30u);
  const uint8_t expected[30] = {0x55, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x80, 0x3E, 0, 0, 1, 0, 0, 0, 12, 0,
                                1, 0, 0, 0, 0, 0, 0xA1, 0x01, 1, 0, 0x71, 0x05};
  EXPECT_EQ(std::vector<uint8_t>(mt.format(), mt.format() + 30), std::vector<uint8_t>(expected, expected + 30));
  EXPECT_TRUE(mt.fixedSizeSamples());
  EXPECT_FALSE(mt.temporalCompression());
  Mp3StreamInfo info;
  ASSERT_TRUE(mp3InfoOf(mt, info));
  EXPECT_EQ(info.rate, 44100u);
  EXPECT_EQ(info.channels, 2);
  // As the multicast client builds it: subtype left open, rate from the
  // codes, the decoder takes it; a PCM record it does not.
  mt.setSubtype(GUID_NULL);
  EXPECT_TRUE(mp3InfoOf(mt, info));
  EXPECT_FALSE(mp3InfoOf(makePcmType(PcmFormat{}), info));
}

}  // namespace
