// Fuzzes the video decoders' sample entry: the bytes of each sample as they
// come off the network, into the MPEG-4 V2 or DV decoder, and each decoded
// picture converted to RGB at one of the decoder's display sizes.
//
// Input: one mode byte (bit 0: DV instead of MPEG-4 V2; bits 1-2: display
// size 1/1, 1/2, 1/4, 1/8), then samples, each a flags byte (bit 0: marked
// as a discontinuity; bit 1: a damaged copy of a real coded frame instead
// of raw bytes), a 16-bit little-endian length and that many bytes. A
// damaged copy reads its bytes as: 3 bytes offset, 3 bytes new length
// (0: unchanged), then bytes written over the real frame at the offset.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/filters/codecs/frame_code.h"
#include "platform/filters/codecs/video_codec_core.h"

namespace {

constexpr int kMP42Width = 352, kMP42Height = 288;
constexpr int kDVWidth = 720, kDVHeight = 480;

// Real coded frames to damage: an MPEG-4 V2 key frame and the P frame after
// it, and a DV frame.
struct RealFrames {
  std::vector<uint8_t> mp42Key, mp42Next, dv;
  RealFrames() {
    auto code = [](VideoCodecKind kind, int w, int h, int count, std::vector<uint8_t>* first, std::vector<uint8_t>* second) {
      VideoEncoderCore encoder;
      if (!encoder.open(kind, w, h, EncoderSettings{})) return;
      std::vector<uint8_t> picture(size_t(w) * h * 3);
      for (int n = 0; n < count; ++n) {
        drawCodedPicture(picture.data(), ptrdiff_t(w) * 3, w, h, uint32_t(n));
        if (!encoder.encode({AV_PIX_FMT_BGR24, w, h, false}, picture.data())) return;
        (n == 0 ? first : second)->assign(encoder.data().begin(), encoder.data().end());
      }
    };
    code(VideoCodecKind::MP42, kMP42Width, kMP42Height, 2, &mp42Key, &mp42Next);
    code(VideoCodecKind::DV, kDVWidth, kDVHeight, 1, &dv, nullptr);
  }
};

uint32_t u24(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const RealFrames real;
  if (size < 1) return 0;
  const bool dv = data[0] & 1;
  const int shift = (data[0] >> 1) & 3;
  const int w = dv ? kDVWidth : kMP42Width, h = dv ? kDVHeight : kMP42Height;
  VideoDecoderCore decoder;
  if (!decoder.open(dv ? VideoCodecKind::DV : VideoCodecKind::MP42, w, h)) return 0;
  PictureFormat out{AV_PIX_FMT_BGR24, w >> shift, h >> shift, true};
  std::vector<uint8_t> picture(pictureSize(out));
  std::vector<uint8_t> sample;
  size_t pos = 1, index = 0;
  while (size - pos >= 3) {
    const uint8_t flags = data[pos];
    size_t length = size_t(data[pos + 1]) | (size_t(data[pos + 2]) << 8);
    pos += 3;
    if (length > size - pos) length = size - pos;
    const uint8_t* bytes = data + pos;
    pos += length;
    if ((flags & 2) && length >= 6) {
      const std::vector<uint8_t>& base = dv ? real.dv : (index == 0 ? real.mp42Key : real.mp42Next);
      if (base.empty()) continue;
      sample = base;
      size_t offset = u24(bytes) % sample.size(), newLength = u24(bytes + 3);
      for (size_t i = 6; i < length && offset + i - 6 < sample.size(); ++i) sample[offset + i - 6] = bytes[i];
      if (newLength) sample.resize(std::min(newLength, sample.size() + 4096), 0);
    } else {
      sample.assign(bytes, bytes + length);
    }
    ++index;
    if (decoder.decode(sample.data(), sample.size(), flags & 1) == VideoDecoderCore::Result::Picture)
      decoder.convertPicture(out, picture.data());
  }
  return 0;
}
