// MP3 encoding and decoding on libavcodec (libmp3lame encodes), apart from
// the media framework so that tests and the fuzzer drive them directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/filters/audio/pcm_format.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

// Interleaved PCM in, MP3 frames out.
class Mp3EncoderCore {
 public:
  // One packet (a whole MP3 frame): its bytes, its first sample frame in the
  // stream and its length in sample frames.
  using PacketFn = std::function<void(const uint8_t* data, size_t size, int64_t pts, int64_t duration)>;

  Mp3EncoderCore();
  ~Mp3EncoderCore();
  Mp3EncoderCore(const Mp3EncoderCore&) = delete;
  Mp3EncoderCore& operator=(const Mp3EncoderCore&) = delete;

  // The bit rate chosen for a format: 64 kbit/s per channel at 32 kHz and
  // above, 32 kbit/s per channel from 16 kHz, else 24 kbit/s per channel.
  static uint32_t bitRateFor(const PcmFormat& f);
  // Sample frames per MP3 frame (1152, or 576 below 32 kHz).
  static uint32_t frameLengthFor(const PcmFormat& f) { return f.rate >= 32000 ? 1152 : 576; }

  bool open(const PcmFormat& in, uint32_t bitRate);
  void close();
  bool isOpen() const { return ctx_ != nullptr; }
  // Encodes whole sample frames of the input format (a trailing part frame
  // is ignored). False when the encoder failed.
  bool encode(const uint8_t* pcm, size_t bytes, const PacketFn& out);
  // Encodes what is buffered (padded with silence) and drains the encoder.
  bool flush(const PacketFn& out);

 private:
  bool sendFrame(bool last, const PacketFn& out);
  bool drain(const PacketFn& out);

  PcmFormat in_;
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::vector<int16_t> pending_[2];  // planar samples not yet encoded
  int64_t nextPts_ = 0;
};

// MP3 bytes in (any cut: frames may be split across calls, garbage is
// skipped), interleaved PCM of a fixed output format out; a stream whose
// rate or channel count differs is converted.
class Mp3DecoderCore {
 public:
  using PcmFn = std::function<void(const uint8_t* pcm, size_t bytes)>;

  Mp3DecoderCore();
  ~Mp3DecoderCore();
  Mp3DecoderCore(const Mp3DecoderCore&) = delete;
  Mp3DecoderCore& operator=(const Mp3DecoderCore&) = delete;

  bool open(const PcmFormat& out);
  void close();
  bool isOpen() const { return ctx_ != nullptr; }
  // Decodes what the bytes complete. Broken frames are skipped and counted.
  void decode(const uint8_t* data, size_t size, const PcmFn& out);
  // Forgets partial frames and decoder state (after a gap in the stream).
  void reset();

  uint64_t framesDecoded() const { return framesDecoded_; }
  uint64_t framesRejected() const { return framesRejected_; }

 private:
  void decodePacket(const uint8_t* data, size_t size, const PcmFn& out);
  bool convert(const PcmFn& out);

  PcmFormat out_;
  AVCodecContext* ctx_ = nullptr;
  AVCodecParserContext* parser_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwrContext* swr_ = nullptr;
  int swrFormat_ = -1, swrRate_ = 0, swrChannels_ = 0;
  std::vector<uint8_t> input_;   // padded copy of the input for the parser
  std::vector<uint8_t> output_;  // converted PCM
  uint64_t framesDecoded_ = 0, framesRejected_ = 0;
};
