// Drives the zoom with picture sizes, strides, buffer lengths, mask sizes,
// positions and modes taken from the fuzz bytes, on small pictures placed in
// exactly sized heap buffers, so that AddressSanitizer catches any read or
// write outside them; checks that row padding and the bytes after the output
// stay untouched, and that all forms of the pixel loops give the same picture.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filters/loupex/zoom_transform.h"

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  uint8_t u8() { return i_ < n_ ? d_[i_++] : 0; }
  int32_t i32() {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(u8()) << (8 * k);
    return static_cast<int32_t>(v);
  }
  float f32() {
    const uint32_t v = static_cast<uint32_t>(i32());
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }

 private:
  const uint8_t* d_;
  size_t n_;
  size_t i_ = 0;
};

// Small signed sizes with the odd negative, zero and over-large value.
int32_t size(Bytes& b) {
  return static_cast<int32_t>(b.u8() % 70) - 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
  Bytes b(data, n);
  const int32_t inW = size(b), inH = size(b), outW = size(b), outH = size(b);
  const size_t inPad = b.u8() % 5, outPad = b.u8() % 5;
  const int32_t inLenCut = b.u8() % 4;  // 1..3: buffer shorter than declared

  ZoomSettings s;
  const uint8_t mode = b.u8();
  s.maskType = mode % 4 == 3 ? b.i32() : mode % 3;
  s.fixedMode = mode & 0x10;
  s.pointerConnected = mode & 0x20;
  if (mode & 0x40) {
    s.maskWidth = b.i32();
    s.maskHeight = b.i32();
  } else {
    s.maskWidth = size(b);
    s.maskHeight = size(b);
  }
  s.fixedX = (mode & 0x80) ? b.i32() : size(b);
  s.fixedY = (mode & 0x80) ? b.i32() : size(b);
  s.pointerX = b.f32();
  s.pointerY = b.f32();

  auto bytesFor = [](int32_t w, int32_t h, size_t pad) {
    return (w > 0 && h > 0) ? (static_cast<size_t>(w) * 3 + pad) * static_cast<size_t>(h) : 0;
  };
  size_t inLen = bytesFor(inW, inH, inPad);
  if (inLenCut == 3 && inLen > 0) inLen -= 1 + b.u8() % 4 % inLen;
  std::vector<uint8_t> in(inLen);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7 + 1);
  const size_t outLen = bytesFor(outW, outH, outPad);
  constexpr size_t kGuard = 16;
  std::vector<uint8_t> out(outLen + kGuard, 0xa5);

  const RgbConstPicture ip{in.data(), inLen, inW, inH, inW > 0 ? static_cast<size_t>(inW) * 3 + inPad : 0};
  const RgbPicture op{out.data(), outLen, outW, outH, outW > 0 ? static_cast<size_t>(outW) * 3 + outPad : 0};
  // Two frames through one transform: the second may reuse the table. The
  // second frame also goes through every other form of the pixel loops the
  // processor runs, which must agree.
  ZoomTransform zoom;
  zoom.transform(s, ip, op);
  s.maskWidth ^= 1;
  zoom.transform(s, ip, op);
  for (auto level : {ZoomTransform::Kernels::kScalar, ZoomTransform::Kernels::kAvx2}) {
    if (!zoomkernels::supports(level)) continue;
    std::vector<uint8_t> other(out.size(), 0xa5);
    const RgbPicture otherPic{other.data(), outLen, outW, outH, op.stride};
    zoom.setKernels(level);
    zoom.transform(s, ip, otherPic);
    if (other != out) std::abort();
  }

  for (size_t i = outLen; i < out.size(); ++i)
    if (out[i] != 0xa5) std::abort();
  if (outW > 0 && outH > 0)
    for (int32_t y = 0; y < outH; ++y)
      for (size_t p = 0; p < outPad; ++p)
        if (out[y * op.stride + static_cast<size_t>(outW) * 3 + p] != 0xa5) std::abort();
  return 0;
}
