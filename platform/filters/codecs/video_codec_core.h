// The codec work of the video encoders and decoders, without the media
// framework: a libavcodec encoder fed with framework pictures, and a decoder
// that takes samples as they come off the network and refuses to show
// anything it could not decode cleanly until the next key frame.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/filters/codecs/av_picture.h"

struct AVCodecContext;
struct AVPacket;

enum class VideoCodecKind { MP42, DV };

struct AvCodecContextFree {
  void operator()(AVCodecContext* c) const;
};
struct AvFrameFree {
  void operator()(AVFrame* f) const;
};
struct AvPacketFree {
  void operator()(AVPacket* p) const;
};
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;

struct EncoderSettings {
  int64_t bitRate = 1500000;     // bits per second
  int keyFrameInterval = 30;     // frames
  double quality = -1;           // 0..1 constant quantiser; negative: follow the bit rate
  int64_t frameDuration = 333333;  // 100 ns units (0: 30 frames per second)
};

// DV frames are 720x480 (525 lines, 4:1:1) or 720x576 (625 lines, 4:2:0).
bool isDVFrameSize(int width, int height);
// Bytes of one DV frame of that size (120000 or 144000).
size_t dvFrameBytes(int width, int height);

class VideoEncoderCore {
 public:
  VideoEncoderCore();
  ~VideoEncoderCore();
  VideoEncoderCore(const VideoEncoderCore&) = delete;
  VideoEncoderCore& operator=(const VideoEncoderCore&) = delete;

  // Opens the codec for pictures of this size; false (with a log line) when
  // the codec refuses. Reopening replaces the previous encoder.
  bool open(VideoCodecKind kind, int width, int height, const EncoderSettings& settings);
  void close();
  bool isOpen() const { return ctx_ != nullptr; }

  // Encodes one picture. True with the coded frame in data() (empty when
  // the codec holds the frame back) and its key flag; false on an error.
  bool encode(const PictureFormat& format, const uint8_t* picture);
  const std::vector<uint8_t>& data() const { return out_; }
  bool isKeyFrame() const { return key_; }

 private:
  AvCodecContextPtr ctx_;
  AvFramePtr frame_;
  AvPacketPtr packet_;
  PictureConverter converter_;
  std::vector<uint8_t> out_;
  bool key_ = false;
  int64_t pts_ = 0;
  int quantiser_ = 0;  // constant quantiser, 0 in bit-rate mode
};

class VideoDecoderCore {
 public:
  enum class Result {
    Picture,  // a picture is ready (picture())
    Waiting,  // dropped: waiting for the next key frame
    Broken,   // dropped: the sample could not be decoded
    Nothing,  // the codec produced no picture for this sample
  };

  VideoDecoderCore();
  ~VideoDecoderCore();
  VideoDecoderCore(const VideoDecoderCore&) = delete;
  VideoDecoderCore& operator=(const VideoDecoderCore&) = delete;

  // width and height: the picture size the stream is declared with; pictures
  // of any other size are dropped as broken.
  bool open(VideoCodecKind kind, int width, int height);
  void close();
  bool isOpen() const { return ctx_ != nullptr; }

  // Decodes one sample. discontinuity: samples were lost before this one.
  Result decode(const uint8_t* data, size_t size, bool discontinuity);
  const AVFrame* picture() const { return frame_.get(); }
  // Converts the last picture into a framework picture (scaling if needed).
  bool convertPicture(const PictureFormat& to, uint8_t* dst);

  uint64_t brokenCount() const { return broken_; }

 private:
  AvCodecContextPtr ctx_;
  AvFramePtr frame_;
  AvPacketPtr packet_;
  PictureConverter converter_;
  std::vector<uint8_t> padded_;
  int width_ = 0, height_ = 0;
  bool waitKey_ = true;
  uint64_t broken_ = 0;
};
