#include "platform/filters/audio/mp3_codec.h"

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// Broken frames are counted and reported by the filters; libavcodec's own
// line per broken frame would flood standard error on a noisy network.
void quietLibav() {
  static const bool quiet = [] {
    if (av_log_get_level() >= AV_LOG_WARNING) av_log_set_level(AV_LOG_FATAL);
    return true;
  }();
  (void)quiet;
}

}  // namespace

// ---------------------------------------------------------------- encoder

Mp3EncoderCore::Mp3EncoderCore() = default;

Mp3EncoderCore::~Mp3EncoderCore() {
  close();
}

uint32_t Mp3EncoderCore::bitRateFor(const PcmFormat& f) {
  uint32_t perChannel = f.rate >= 32000 ? 64000 : f.rate >= 16000 ? 32000 : 24000;
  return perChannel * f.channels;
}

bool Mp3EncoderCore::open(const PcmFormat& in, uint32_t bitRate) {
  close();
  quietLibav();
  if (!in.valid()) return false;
  const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
  if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MP3);
  if (!codec) return false;
  in_ = in;
  ctx_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!ctx_ || !frame_ || !packet_) {
    close();
    return false;
  }
  ctx_->sample_rate = static_cast<int>(in.rate);
  av_channel_layout_default(&ctx_->ch_layout, in.channels);
  ctx_->sample_fmt = AV_SAMPLE_FMT_S16P;
  ctx_->bit_rate = bitRate;
  ctx_->time_base = AVRational{1, static_cast<int>(in.rate)};
  if (avcodec_open2(ctx_, codec, nullptr) < 0 || ctx_->frame_size <= 0) {
    close();
    return false;
  }
  frame_->nb_samples = ctx_->frame_size;
  frame_->format = AV_SAMPLE_FMT_S16P;
  frame_->sample_rate = ctx_->sample_rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &ctx_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0) {
    close();
    return false;
  }
  pending_[0].clear();
  pending_[1].clear();
  nextPts_ = 0;
  return true;
}

void Mp3EncoderCore::close() {
  avcodec_free_context(&ctx_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
}

bool Mp3EncoderCore::encode(const uint8_t* pcm, size_t bytes, const PacketFn& out) {
  if (!ctx_) return false;
  const size_t frames = bytes / in_.frameBytes();
  for (size_t i = 0; i < frames; ++i)
    for (unsigned c = 0; c < in_.channels; ++c) {
      int16_t v;
      if (in_.bits == 16) {
        v = static_cast<int16_t>(pcm[0] | (pcm[1] << 8));
        pcm += 2;
      } else {
        v = static_cast<int16_t>((int(*pcm++) - 128) * 256);
      }
      pending_[c].push_back(v);
    }
  while (pending_[0].size() >= static_cast<size_t>(ctx_->frame_size))
    if (!sendFrame(false, out)) return false;
  return true;
}

bool Mp3EncoderCore::sendFrame(bool last, const PacketFn& out) {
  if (av_frame_make_writable(frame_) < 0) return false;
  const size_t n = std::min(pending_[0].size(), static_cast<size_t>(ctx_->frame_size));
  for (unsigned c = 0; c < in_.channels; ++c) {
    auto* dst = reinterpret_cast<int16_t*>(frame_->data[c]);
    std::copy_n(pending_[c].begin(), n, dst);
    std::fill(dst + n, dst + ctx_->frame_size, int16_t(0));
    pending_[c].erase(pending_[c].begin(), pending_[c].begin() + static_cast<std::ptrdiff_t>(n));
  }
  (void)last;
  frame_->pts = nextPts_;
  nextPts_ += ctx_->frame_size;
  if (avcodec_send_frame(ctx_, frame_) < 0) return false;
  return drain(out);
}

bool Mp3EncoderCore::drain(const PacketFn& out) {
  for (;;) {
    int r = avcodec_receive_packet(ctx_, packet_);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return false;
    out(packet_->data, static_cast<size_t>(packet_->size), packet_->pts, packet_->duration);
    av_packet_unref(packet_);
  }
}

bool Mp3EncoderCore::flush(const PacketFn& out) {
  if (!ctx_) return false;
  if (!pending_[0].empty() && !sendFrame(true, out)) return false;
  if (avcodec_send_frame(ctx_, nullptr) < 0) return false;
  return drain(out);
}

// ---------------------------------------------------------------- decoder

Mp3DecoderCore::Mp3DecoderCore() = default;

Mp3DecoderCore::~Mp3DecoderCore() {
  close();
}

bool Mp3DecoderCore::open(const PcmFormat& out) {
  close();
  quietLibav();
  if (!out.valid()) return false;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (!codec) return false;
  out_ = out;
  ctx_ = avcodec_alloc_context3(codec);
  parser_ = av_parser_init(AV_CODEC_ID_MP3);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!ctx_ || !parser_ || !frame_ || !packet_ || avcodec_open2(ctx_, codec, nullptr) < 0) {
    close();
    return false;
  }
  framesDecoded_ = framesRejected_ = 0;
  return true;
}

void Mp3DecoderCore::close() {
  if (parser_) av_parser_close(parser_);
  parser_ = nullptr;
  avcodec_free_context(&ctx_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  swr_free(&swr_);
  swrFormat_ = -1;
  swrRate_ = swrChannels_ = 0;
}

void Mp3DecoderCore::reset() {
  if (!ctx_) return;
  if (parser_) av_parser_close(parser_);
  parser_ = av_parser_init(AV_CODEC_ID_MP3);
  avcodec_flush_buffers(ctx_);
}

void Mp3DecoderCore::decode(const uint8_t* data, size_t size, const PcmFn& out) {
  if (!ctx_ || !parser_ || !data) return;
  while (size > 0) {
    // The parser reads a little past the bytes it is given: hand it a
    // padded copy, in pieces an int can count.
    const size_t piece = std::min<size_t>(size, 1 << 20);
    input_.assign(data, data + piece);
    input_.resize(piece + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const uint8_t* p = input_.data();
    int left = static_cast<int>(piece);
    while (left > 0) {
      uint8_t* frame = nullptr;
      int frameSize = 0;
      int used = av_parser_parse2(parser_, ctx_, &frame, &frameSize, p, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (used < 0) break;
      p += used;
      left -= used;
      if (frameSize > 0) decodePacket(frame, static_cast<size_t>(frameSize), out);
      if (used == 0 && frameSize == 0) break;
    }
    data += piece;
    size -= piece;
  }
}

void Mp3DecoderCore::decodePacket(const uint8_t* data, size_t size, const PcmFn& out) {
  av_packet_unref(packet_);
  if (av_new_packet(packet_, static_cast<int>(size)) < 0) return;
  std::memcpy(packet_->data, data, size);
  int r = avcodec_send_packet(ctx_, packet_);
  av_packet_unref(packet_);
  if (r < 0 && r != AVERROR(EAGAIN)) {
    ++framesRejected_;
    return;
  }
  for (;;) {
    r = avcodec_receive_frame(ctx_, frame_);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
    if (r < 0) {
      ++framesRejected_;
      break;
    }
    if (convert(out))
      ++framesDecoded_;
    else
      ++framesRejected_;
    av_frame_unref(frame_);
  }
}

bool Mp3DecoderCore::convert(const PcmFn& out) {
  const int channels = frame_->ch_layout.nb_channels;
  if (frame_->nb_samples <= 0 || frame_->sample_rate <= 0 || channels < 1 || channels > 2) return false;
  if (!swr_ || swrFormat_ != frame_->format || swrRate_ != frame_->sample_rate || swrChannels_ != channels) {
    swr_free(&swr_);
    AVChannelLayout outLayout, inLayout;
    av_channel_layout_default(&outLayout, out_.channels);
    av_channel_layout_default(&inLayout, channels);
    int r = swr_alloc_set_opts2(&swr_, &outLayout, out_.bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_U8,
                                static_cast<int>(out_.rate), &inLayout, static_cast<AVSampleFormat>(frame_->format),
                                frame_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    av_channel_layout_uninit(&inLayout);
    if (r < 0 || swr_init(swr_) < 0) {
      swr_free(&swr_);
      return false;
    }
    swrFormat_ = frame_->format;
    swrRate_ = frame_->sample_rate;
    swrChannels_ = channels;
  }
  int room = swr_get_out_samples(swr_, frame_->nb_samples);
  if (room <= 0) return true;
  output_.resize(static_cast<size_t>(room) * out_.frameBytes());
  uint8_t* planes[1] = {output_.data()};
  int n = swr_convert(swr_, planes, room, const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
  if (n < 0) return false;
  if (n > 0) out(output_.data(), static_cast<size_t>(n) * out_.frameBytes());
  return true;
}
