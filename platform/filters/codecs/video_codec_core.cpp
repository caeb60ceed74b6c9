#include "platform/filters/codecs/video_codec_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "platform/com/log.h"

void AvCodecContextFree::operator()(AVCodecContext* c) const {
  avcodec_free_context(&c);
}
void AvFrameFree::operator()(AVFrame* f) const {
  av_frame_free(&f);
}
void AvPacketFree::operator()(AVPacket* p) const {
  av_packet_free(&p);
}

namespace {

// libavcodec reports every damaged macroblock of a corrupt stream on
// standard error; the decoders count and log broken samples themselves.
void quietCodecLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

AVCodecID codecId(VideoCodecKind kind) {
  return kind == VideoCodecKind::MP42 ? AV_CODEC_ID_MSMPEG4V2 : AV_CODEC_ID_DVVIDEO;
}

const char* kindName(VideoCodecKind kind) {
  return kind == VideoCodecKind::MP42 ? "MPEG-4 V2" : "DV";
}

// libavcodec's slice threads hand work over through its own (uninstrumented)
// atomics, which ThreadSanitizer cannot see; its builds code on one thread.
int sliceThreads() {
#if defined(__SANITIZE_THREAD__)
  return 1;
#else
  return 0;  // one per processor
#endif
}

AVRational frameRateOf(int64_t frameDuration) {
  if (frameDuration <= 0) return {30, 1};
  AVRational r;
  av_reduce(&r.num, &r.den, 10000000, frameDuration, 1 << 20);
  return r;
}

}  // namespace

bool isDVFrameSize(int width, int height) {
  return width == 720 && (height == 480 || height == 576);
}

size_t dvFrameBytes(int width, int height) {
  if (!isDVFrameSize(width, height)) return 0;
  return height == 480 ? 120000 : 144000;
}

// ---------------------------------------------------------------- encoder

VideoEncoderCore::VideoEncoderCore() = default;
VideoEncoderCore::~VideoEncoderCore() = default;

void VideoEncoderCore::close() {
  ctx_.reset();
  frame_.reset();
  packet_.reset();
  out_.clear();
}

bool VideoEncoderCore::open(VideoCodecKind kind, int width, int height, const EncoderSettings& s) {
  quietCodecLog();
  close();
  const AVCodec* codec = avcodec_find_encoder(codecId(kind));
  if (!codec) {
    platformLog(PlatformLogLevel::Error, "%s encoder: libavcodec has no such encoder", kindName(kind));
    return false;
  }
  AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
  AvFramePtr frame(av_frame_alloc());
  AvPacketPtr packet(av_packet_alloc());
  if (!ctx || !frame || !packet) return false;
  ctx->width = width;
  ctx->height = height;
  ctx->max_b_frames = 0;
  quantiser_ = 0;
  if (kind == VideoCodecKind::DV) {
    if (!isDVFrameSize(width, height)) {
      platformLog(PlatformLogLevel::Error, "DV encoder: %dx%d is not a DV frame size", width, height);
      return false;
    }
    ctx->pix_fmt = height == 480 ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
    ctx->time_base = height == 480 ? AVRational{1001, 30000} : AVRational{1, 25};
    ctx->thread_type = FF_THREAD_SLICE;
    ctx->thread_count = sliceThreads();
  } else {
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    AVRational rate = frameRateOf(s.frameDuration);
    ctx->framerate = rate;
    ctx->time_base = av_inv_q(rate);
    ctx->gop_size = std::clamp(s.keyFrameInterval, 1, 1000);
    if (s.quality >= 0) {
      quantiser_ = std::clamp(static_cast<int>(std::lround(31 - std::min(s.quality, 1.0) * 29)), 2, 31);
      ctx->flags |= AV_CODEC_FLAG_QSCALE;
      ctx->global_quality = FF_QP2LAMBDA * quantiser_;
    } else {
      ctx->bit_rate = s.bitRate;
    }
    ctx->thread_count = 1;
  }
  int ret = avcodec_open2(ctx.get(), codec, nullptr);
  if (ret < 0) {
    platformLog(PlatformLogLevel::Error, "%s encoder: cannot open for %dx%d (error %d)", kindName(kind), width,
                height, ret);
    return false;
  }
  frame->format = ctx->pix_fmt;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  ctx_ = std::move(ctx);
  frame_ = std::move(frame);
  packet_ = std::move(packet);
  pts_ = 0;
  return true;
}

bool VideoEncoderCore::encode(const PictureFormat& format, const uint8_t* picture) {
  out_.clear();
  key_ = false;
  if (!ctx_) return false;
  if (av_frame_make_writable(frame_.get()) < 0) return false;
  if (!converter_.convert(format, picture, frame_.get())) return false;
  frame_->pts = pts_++;
  frame_->pict_type = AV_PICTURE_TYPE_NONE;
  if (quantiser_) frame_->quality = FF_QP2LAMBDA * quantiser_;
  int ret = avcodec_send_frame(ctx_.get(), frame_.get());
  if (ret < 0) return false;
  ret = avcodec_receive_packet(ctx_.get(), packet_.get());
  if (ret == AVERROR(EAGAIN)) return true;
  if (ret < 0) return false;
  out_.assign(packet_->data, packet_->data + packet_->size);
  key_ = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
  av_packet_unref(packet_.get());
  return true;
}

// ---------------------------------------------------------------- decoder

VideoDecoderCore::VideoDecoderCore() = default;
VideoDecoderCore::~VideoDecoderCore() = default;

void VideoDecoderCore::close() {
  ctx_.reset();
  frame_.reset();
  packet_.reset();
}

bool VideoDecoderCore::open(VideoCodecKind kind, int width, int height) {
  quietCodecLog();
  close();
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  const AVCodec* codec = avcodec_find_decoder(codecId(kind));
  if (!codec) {
    platformLog(PlatformLogLevel::Error, "%s decoder: libavcodec has no such decoder", kindName(kind));
    return false;
  }
  AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
  AvFramePtr frame(av_frame_alloc());
  AvPacketPtr packet(av_packet_alloc());
  if (!ctx || !frame || !packet) return false;
  ctx->width = width;
  ctx->coded_width = width;
  ctx->height = height;
  ctx->coded_height = height;
  // Damage anywhere in a sample makes the whole sample fail, so that a
  // concealed (guessed) picture is never shown.
  ctx->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER | AV_EF_CAREFUL;
  if (kind == VideoCodecKind::DV) {
    ctx->thread_type = FF_THREAD_SLICE;
    ctx->thread_count = sliceThreads();
  } else {
    ctx->thread_count = 1;
  }
  int ret = avcodec_open2(ctx.get(), codec, nullptr);
  if (ret < 0) {
    platformLog(PlatformLogLevel::Error, "%s decoder: cannot open for %dx%d (error %d)", kindName(kind), width,
                height, ret);
    return false;
  }
  ctx_ = std::move(ctx);
  frame_ = std::move(frame);
  packet_ = std::move(packet);
  width_ = width;
  height_ = height;
  waitKey_ = true;
  return true;
}

VideoDecoderCore::Result VideoDecoderCore::decode(const uint8_t* data, size_t size, bool discontinuity) {
  if (!ctx_) return Result::Broken;
  if (discontinuity) waitKey_ = true;
  if (!data || size == 0 || size > (64u << 20)) {
    ++broken_;
    waitKey_ = true;
    return Result::Broken;
  }
  // libavcodec reads a little past the end of a packet: give it zeroed padding.
  padded_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
  std::memcpy(padded_.data(), data, size);
  std::memset(padded_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  packet_->data = padded_.data();
  packet_->size = static_cast<int>(size);
  av_frame_unref(frame_.get());
  int ret = avcodec_send_packet(ctx_.get(), packet_.get());
  packet_->data = nullptr;
  packet_->size = 0;
  if (ret >= 0) ret = avcodec_receive_frame(ctx_.get(), frame_.get());
  if (ret == AVERROR(EAGAIN)) return Result::Nothing;
  bool broken = ret < 0 || frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) ||
                frame_->width != width_ || frame_->height != height_;
  if (broken) {
    ++broken_;
    waitKey_ = true;
    av_frame_unref(frame_.get());
    // Forget the references the damaged sample left behind.
    avcodec_flush_buffers(ctx_.get());
    return Result::Broken;
  }
  bool key = frame_->key_frame || frame_->pict_type == AV_PICTURE_TYPE_I;
  if (waitKey_ && !key) {
    av_frame_unref(frame_.get());
    return Result::Waiting;
  }
  waitKey_ = false;
  return Result::Picture;
}

bool VideoDecoderCore::convertPicture(const PictureFormat& to, uint8_t* dst) {
  if (!frame_ || !frame_->data[0]) return false;
  return converter_.convert(frame_.get(), to, dst);
}
