// The optimised zoom against a plain, literal rendition of the algorithm
// (whole picture, band by band and triangle by triangle, column by column
// where the algorithm walks columns, one pixel at a time), over many
// geometries: sizes, masks, positions, both mask types; and the pictures of
// the usual video sizes pinned by checksums, so that a change of the pixel
// loops that alters a single output byte shows.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "filters/loupex/zoom_transform.h"

namespace {

struct Ref {
  const std::vector<uint8_t>& in;
  int inW, inH;
  std::vector<uint8_t>& out;
  int W, H;
  ZoomGeometry g;

  void put(int x, int y, long sx, long sy) {
    if (sx < 0 || sx >= inW || sy < 0 || sy >= inH) return;
    for (int c = 0; c < 3; ++c) out[(static_cast<size_t>(y) * W + x) * 3 + c] = in[(sy * inW + sx) * 3 + c];
  }
  void mapped(int x, int y, float s) {
    const float s2 = s * s;
    const float one = 1.0f - s2;
    const long sx =
        static_cast<long>(static_cast<float>(x + g.dx) * s2 + static_cast<float>(x) * (one * g.rx));
    const long sy =
        static_cast<long>(static_cast<float>(y + g.dy) * s2 + static_cast<float>(y) * (one * g.ry));
    put(x, y, sx, sy);
  }
  static float weight(float num, float den) { return den > 0.0f ? std::clamp(num / den, 0.0f, 1.0f) : 1.0f; }

  void rectangle() {
    const long x0 = g.x0, y0 = g.y0, x1 = x0 + g.maskWidth, y1 = y0 + g.maskHeight;
    if (y0 > 0)
      for (long y = 0; y <= y0; ++y)
        for (long x = y * x0 / y0; x <= W - 1 - y * (W - x1) / y0; ++x)
          mapped(x, y, static_cast<float>(y) / static_cast<float>(y0));
    const long N = W - x1;
    if (N > 0)
      for (long x = W - 1; x >= x1; --x) {
        const long n = W - 1 - x;
        for (long y = n * y0 / N; y <= H - 1 - n * (H - y1) / N; ++y)
          mapped(x, y, static_cast<float>(W - x) / static_cast<float>(N));
      }
    const long M = H - y1;
    if (M > 0)
      for (long y = H - 1; y >= y1; --y) {
        const long n = H - 1 - y;
        for (long x = n * x0 / M; x <= W - 1 - n * (W - x1) / M; ++x)
          mapped(x, y, static_cast<float>(H - y) / static_cast<float>(M));
      }
    if (x0 > 0)
      for (long x = 0; x <= x0; ++x)
        for (long y = x * y0 / x0; y <= H - 1 - x * (H - y1) / x0; ++y)
          mapped(x, y, static_cast<float>(x) / static_cast<float>(x0));
    for (long y = y0; y < y1; ++y)
      for (long x = x0; x < x1; ++x) put(x, y, g.xin + (x - x0), g.yin + (y - y0));
  }

  void ellipse(const ZoomTable& t) {
    const long cx = g.x0 + g.maskWidth / 2, cy = g.y0 + g.maskHeight / 2;
    auto pixel = [&](long x, long y, float num, float den) {
      if (t.at(x - cx, y - cy).inside)
        put(x, y, x + g.dx, y + g.dy);
      else
        mapped(x, y, weight(num, den));
    };
    for (long y = 0; y < cy; ++y)
      for (long x = y * cx / cy; x <= W - 1 - y * (W - cx) / cy; ++x)
        pixel(x, y, static_cast<float>(y), static_cast<float>(cy + t.at(x - cx, y - cy).gy));
    for (long y = H - 1; y >= cy; --y) {
      const long n = H - 1 - y;
      for (long x = n * cx / (H - cy); x <= W - 1 - n * (W - cx) / (H - cy); ++x)
        pixel(x, y, static_cast<float>(H - y), static_cast<float>(H - cy - t.at(x - cx, y - cy).gy));
    }
    for (long x = 0; x < cx; ++x)
      for (long y = x * cy / cx; y <= H - 1 - x * (H - cy) / cx; ++y)
        pixel(x, y, static_cast<float>(x), static_cast<float>(cx + t.at(x - cx, y - cy).gx));
    for (long x = W - 1; x >= cx; --x) {
      const long n = W - 1 - x;
      for (long y = n * cy / (W - cx); y <= H - 1 - n * (H - cy) / (W - cx); ++y)
        pixel(x, y, static_cast<float>(W - x), static_cast<float>(W - cx - t.at(x - cx, y - cy).gx));
    }
  }
};

// The pixel loops this processor runs, the plain ones first.
std::vector<ZoomTransform::Kernels> kernelLevels() {
  std::vector<ZoomTransform::Kernels> levels;
  for (auto level :
       {ZoomTransform::Kernels::kScalar, ZoomTransform::Kernels::kAvx2, ZoomTransform::Kernels::kAvx512})
    if (zoomkernels::supports(level)) levels.push_back(level);
  return levels;
}

}  // namespace

TEST(ZoomReference, OptimisedLoopsMatchTheLiteralAlgorithm) {
  std::mt19937 rng(4711);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ZoomTransform zoom;
  for (int round = 0; round < 203; ++round) {
    // The last rounds are wider and taller than the ellipse table's grid.
    const bool huge = round >= 200;
    const int inW = huge ? pick(1500, 3200) : pick(2, 200), inH = huge ? pick(2, 12) : pick(2, 150);
    const int W = huge              ? pick(1450, inW)
                  : round % 10 == 0 ? pick(1, 260)
                                    : pick(1, inW),
              H = huge              ? pick(1, inH)
                  : round % 10 == 0 ? pick(1, 200)
                                    : pick(1, inH);
    if (W == inW && H == inH) continue;
    std::vector<uint8_t> in(static_cast<size_t>(inW) * inH * 3);
    for (auto& v : in) v = static_cast<uint8_t>(rng());
    ZoomSettings s;
    s.maskType = huge ? 1 : round % 2;
    s.maskWidth = pick(-2, inW + 10);
    s.maskHeight = pick(-2, inH + 10);
    s.pointerConnected = round % 3 != 0;
    s.fixedMode = round % 7 == 0;
    s.fixedX = pick(-50, inW + 50);
    s.fixedY = pick(-50, inH + 50);
    s.pointerX = std::uniform_real_distribution<float>(-0.3f, 1.3f)(rng);
    s.pointerY = std::uniform_real_distribution<float>(-0.3f, 1.3f)(rng);

    std::vector<uint8_t> slow(static_cast<size_t>(W) * H * 3, 0);
    Ref ref{in, inW, inH, slow, W, H, ZoomTransform::geometry(s, inW, inH, W, H)};
    for (ZoomTransform::Kernels level : kernelLevels()) {
      std::vector<uint8_t> fast(slow.size(), 0xee);
      zoom.setKernels(level);
      ASSERT_TRUE(zoom.transform(s, RgbConstPicture::packed(in.data(), in.size(), inW, inH),
                                 RgbPicture::packed(fast.data(), fast.size(), W, H)));
      if (level == ZoomTransform::Kernels::kScalar) {
        if (s.maskType == 0) {
          ref.rectangle();
        } else {
          // The transform's own table (tested on its own), built for this mask.
          ASSERT_TRUE(zoom.table().isBuiltFor(ref.g.maskWidth, ref.g.maskHeight));
          ref.ellipse(zoom.table());
        }
      }
      ASSERT_EQ(fast, slow) << "round " << round << ": " << inW << "x" << inH << " -> " << W << "x" << H
                            << " mask " << s.maskType << " " << ref.g.maskWidth << "x" << ref.g.maskHeight
                            << " x0 " << ref.g.x0 << " y0 " << ref.g.y0 << " loops "
                            << static_cast<int>(level);
    }
  }
}

namespace {

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

struct Case {
  int inW, inH, W, H;
  int32_t maskType, maskWidth, maskHeight;
  bool fixedMode;
  int32_t fixedX, fixedY;
  float pointerX, pointerY;
  uint64_t checksum;  // of the output picture
};

// Video sizes with the masks, positions and modes a station uses, and the
// corner cases among them: the window at a corner, the pointer far outside,
// odd masks, a mask as large as the output.
const Case kCases[] = {
    {720, 480, 640, 480, 1, 128, 96, false, 0, 0, 0.4f, 0.6f, 0x8d796d621dfc6ddaull},
    {720, 480, 352, 288, 1, 128, 96, false, 0, 0, 0.4f, 0.6f, 0x8e7fcce65d2cace0ull},
    {720, 480, 640, 480, 1, 200, 150, false, 0, 0, 0.0f, 0.0f, 0x9c754a3c21b1a521ull},
    {720, 480, 352, 288, 1, 127, 95, false, 0, 0, 0.95f, 0.97f, 0xf3b0a29c4266ebc8ull},
    {720, 480, 176, 144, 1, 64, 64, true, 600, 20, 0.5f, 0.5f, 0x796830388942b914ull},
    {1280, 720, 640, 480, 1, 320, 240, false, 0, 0, 0.5f, 0.5f, 0x375d2f9550e100b9ull},
    {720, 480, 640, 480, 1, 640, 480, false, 0, 0, 0.3f, 0.3f, 0x36446ae9e0df050full},
    {352, 288, 128, 96, 1, 128, 96, false, 0, 0, 0.7f, 0.2f, 0x63b12cc737897c00ull},
    {720, 480, 360, 240, 1, 33, 17, false, 0, 0, -5.0f, 7.0f, 0xadd415dec610a6a2ull},
    {1920, 1080, 720, 480, 1, 128, 96, false, 0, 0, 0.8f, 0.1f, 0x84b397e0b95a678bull},
    {720, 480, 640, 480, 0, 128, 96, false, 0, 0, 0.4f, 0.6f, 0x4c0a266211fa9087ull},
    {720, 480, 352, 288, 0, 127, 95, false, 0, 0, 0.95f, 0.97f, 0xe777912e24097f4dull},
};

}  // namespace

TEST(ZoomReference, VideoSizesMatchTheLiteralAlgorithmAndTheirChecksums) {
  std::mt19937 rng(1234);
  for (const Case& c : kCases) {
    std::vector<uint8_t> in(static_cast<size_t>(c.inW) * c.inH * 3);
    for (auto& v : in) v = static_cast<uint8_t>(rng() >> 24);
    ZoomSettings s;
    s.maskType = c.maskType;
    s.maskWidth = c.maskWidth;
    s.maskHeight = c.maskHeight;
    s.pointerConnected = true;
    s.fixedMode = c.fixedMode;
    s.fixedX = c.fixedX;
    s.fixedY = c.fixedY;
    s.pointerX = c.pointerX;
    s.pointerY = c.pointerY;
    const RgbConstPicture inPic = RgbConstPicture::packed(in.data(), in.size(), c.inW, c.inH);

    ZoomTransform zoom;
    std::vector<uint8_t> slow(static_cast<size_t>(c.W) * c.H * 3, 0);
    for (ZoomTransform::Kernels level : kernelLevels()) {
      std::vector<uint8_t> out(slow.size(), 0xee);
      zoom.setKernels(level);
      ASSERT_TRUE(zoom.transform(s, inPic, RgbPicture::packed(out.data(), out.size(), c.W, c.H)));
      if (level == ZoomTransform::Kernels::kScalar) {
        Ref ref{in, c.inW, c.inH, slow, c.W, c.H, ZoomTransform::geometry(s, c.inW, c.inH, c.W, c.H)};
        if (c.maskType == 0)
          ref.rectangle();
        else
          ref.ellipse(zoom.table());
      }
      ASSERT_EQ(out, slow) << c.inW << "x" << c.inH << " -> " << c.W << "x" << c.H << " mask " << c.maskType
                           << " " << c.maskWidth << "x" << c.maskHeight << " loops "
                           << static_cast<int>(level);
      EXPECT_EQ(fnv1a(out), c.checksum) << c.inW << "x" << c.inH << " -> " << c.W << "x" << c.H << " mask "
                                        << c.maskType << " " << c.maskWidth << "x" << c.maskHeight;
    }
  }
}

namespace {

// n bytes that end right before a page the process may not touch, so that
// reading or writing even one byte past them stops the test.
class GuardedBytes {
 public:
  explicit GuardedBytes(size_t n) : n_(n) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = (n + page - 1) / page * page + page;
    void* p = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<uint8_t*>(p);
    if (mprotect(base_ + mapped_ - page, page, PROT_NONE) != 0) return;
    data_ = base_ + mapped_ - page - n;
  }
  ~GuardedBytes() {
    if (base_) munmap(base_, mapped_);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  uint8_t* data() const { return data_; }
  size_t size() const { return n_; }

 private:
  size_t n_, mapped_ = 0;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

}  // namespace

TEST(ZoomReference, PicturesEndingAtAGuardPage) {
  // The vector loops read pixels 4 bytes at a time and table rows in blocks:
  // with both pictures right before an inaccessible page, any access past
  // their ends faults. Pointers near the top right corner put the input's
  // last pixel among the ones copied.
  std::mt19937 rng(99);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ZoomTransform zoom;
  for (int round = 0; round < 150; ++round) {
    const int inW = pick(2, 90), inH = pick(2, 60);
    const int W = pick(1, inW), H = pick(1, inH);
    if (W == inW && H == inH) continue;
    GuardedBytes in(static_cast<size_t>(inW) * inH * 3);
    ASSERT_NE(in.data(), nullptr);
    for (size_t i = 0; i < in.size(); ++i) in.data()[i] = static_cast<uint8_t>(rng());
    ZoomSettings s;
    s.maskType = round % 5 == 0 ? kZoomMaskRectangle : kZoomMaskEllipse;
    s.maskWidth = pick(1, inW);
    s.maskHeight = pick(1, inH);
    s.pointerConnected = true;
    s.pointerX = std::uniform_real_distribution<float>(0.5f, 1.2f)(rng);
    s.pointerY = std::uniform_real_distribution<float>(-0.2f, 0.5f)(rng);

    const std::vector<uint8_t> inCopy(in.data(), in.data() + in.size());
    std::vector<uint8_t> slow(static_cast<size_t>(W) * H * 3, 0);
    Ref ref{inCopy, inW, inH, slow, W, H, ZoomTransform::geometry(s, inW, inH, W, H)};
    for (ZoomTransform::Kernels level : kernelLevels()) {
      GuardedBytes out(slow.size());
      ASSERT_NE(out.data(), nullptr);
      std::memset(out.data(), 0xee, out.size());
      zoom.setKernels(level);
      ASSERT_TRUE(zoom.transform(s, RgbConstPicture::packed(in.data(), in.size(), inW, inH),
                                 RgbPicture::packed(out.data(), out.size(), W, H)));
      if (level == ZoomTransform::Kernels::kScalar) {
        if (s.maskType == kZoomMaskRectangle)
          ref.rectangle();
        else
          ref.ellipse(zoom.table());
      }
      ASSERT_EQ(std::vector<uint8_t>(out.data(), out.data() + out.size()), slow)
          << "round " << round << " loops " << static_cast<int>(level);
    }
  }
}
