#include "filters/ingrel/ingrel_fillers.h"

#include <array>

#include "filters/mediaclass/mediaclass.h"

namespace {

// An MPEG-4 v2 key frame of a plain dark 128x96 picture.
const uint8_t kMpeg4Frame[kMpeg4FillerSize] = {
    0x3f, 0x78, 0xfe, 0x3b, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e,
    0x49, 0x02, 0x39, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49,
    0x02, 0x39, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02,
    0x39, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39,
    0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24,
    0x08, 0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08,
    0xe4, 0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08, 0xe4,
    0x90, 0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08, 0xe4, 0x90,
    0x23, 0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08, 0xe4, 0x90, 0x23,
    0x92, 0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92,
    0x40, 0x8e, 0x49, 0x02, 0x39, 0x24, 0x08, 0xe4, 0x90, 0x23, 0x92, 0x40,
    0x8e, 0x49, 0x03, 0x23, 0x0c,
};

const uint32_t kJpegSizes[] = {384, 592, 1984, 512, 576, 1392, 1576, 5200, 5792};

// Writes bits most significant first; pads the last byte with ones.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>(acc_ << 1 | ((bits >> i) & 1));
      if (++used_ == 8) flush();
    }
  }
  void finish() {
    while (used_ != 0) put(1, 1);
  }

 private:
  void flush() {
    out_.push_back(acc_);
    if (acc_ == 0xFF) out_.push_back(0);  // byte stuffing
    acc_ = 0;
    used_ = 0;
  }
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int used_ = 0;
};

void segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& body) {
  out.push_back(0xFF);
  out.push_back(marker);
  const size_t length = body.size() + 2;
  out.push_back(static_cast<uint8_t>(length >> 8));
  out.push_back(static_cast<uint8_t>(length));
  out.insert(out.end(), body.begin(), body.end());
}

// A baseline grey-scale JPEG of a black picture: every 8x8 block has the DC
// value of black and no AC terms. The Huffman tables hold just the two DC
// categories and the end-of-block code used. A comment segment pads the
// image to the exact size.
std::vector<uint8_t> blackJpeg(int width, int height, uint32_t size) {
  std::vector<uint8_t> head = {0xFF, 0xD8};
  segment(head, 0xE0, {'A', 'V', 'I', '1', 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<uint8_t> tail;
  std::vector<uint8_t> dqt(65, 16);
  dqt[0] = 0x00;
  segment(tail, 0xDB, dqt);
  segment(tail, 0xC0,
          {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height), static_cast<uint8_t>(width >> 8),
           static_cast<uint8_t>(width), 1, 1, 0x11, 0});
  // DC: category 0 is "0", category 7 is "10". AC: end of block is "0".
  std::vector<uint8_t> dc(17, 0);
  dc[0] = 0x00;
  dc[1] = 1;
  dc[2] = 1;
  dc.push_back(0);
  dc.push_back(7);
  segment(tail, 0xC4, dc);
  std::vector<uint8_t> ac(17, 0);
  ac[0] = 0x10;
  ac[1] = 1;
  ac.push_back(0x00);
  segment(tail, 0xC4, ac);
  segment(tail, 0xDA, {1, 1, 0x00, 0, 63, 0});
  BitWriter bits(tail);
  const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
  // Black: (0 - 128) * 8 / 16 = -64, category 7, written as -64 + 127.
  bits.put(0b10, 2);
  bits.put(63, 7);
  bits.put(0, 1);
  for (int i = 1; i < blocks; ++i) bits.put(0, 2);
  bits.finish();
  tail.push_back(0xFF);
  tail.push_back(0xD9);

  const size_t used = head.size() + tail.size();
  if (used + 4 <= size) segment(head, 0xFE, std::vector<uint8_t>(size - used - 4, 0));
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

const uint8_t* ingrelMpeg4Filler() {
  return kMpeg4Frame;
}

const std::vector<uint8_t>& ingrelJpegFiller(int resolution) {
  static const std::array<std::vector<uint8_t>, 9> frames = [] {
    std::array<std::vector<uint8_t>, 9> f;
    for (int code = 0; code < 9; ++code) {
      int w = 0, h = 0;
      resolutionSize(code, &w, &h);
      f[code] = blackJpeg(w, h, kJpegSizes[code]);
    }
    return f;
  }();
  static const std::vector<uint8_t> none;
  return resolution >= 0 && resolution < 9 ? frames[resolution] : none;
}
