#include "filters/loupex/zoom_kernels.h"

#include <algorithm>
#include <climits>
#include <cstring>

// The weights and source coordinates must come out bit for bit the same in
// every form: this file is built without contracting a * b + c into fused
// multiply-adds (see CMakeLists.txt), and the vector forms use the exactly
// rounded division and conversions with truncation, as the plain loop does.

namespace zoomkernels {

namespace {

inline bool below(int64_t v, int64_t limit) {
  return static_cast<uint64_t>(v) < static_cast<uint64_t>(limit);
}

inline void copyPixel(uint8_t* d, const uint8_t* s) {
  std::memcpy(d, s, 2);
  d[2] = s[2];
}

}  // namespace

namespace {

// The plain loop. A weight depends on the boundary offset and, in the side
// triangles, on the column. The offset stays the same for long runs along a
// row of the bottom and top triangles, and down a column of a side triangle,
// and so do the weight and the source row (or column): they are worked out
// again only when it changes.
template <bool kSide>
void drawPlain(const Span& j) {
  // Everything in locals: the output bytes written may alias any memory as
  // far as the compiler knows, so values read through j would be reloaded
  // after every pixel.
  const int16_t* const bound = j.bound;
  const int64_t numBase = j.numBase, numStep = j.numStep, denBase = j.denBase, denSign = j.denSign;
  const int64_t dx = j.dx, inW = j.inW, inH = j.inH, stride = j.stride, directOff = j.directOff;
  const float rx = j.rx, ry = j.ry;
  const float fy = static_cast<float>(j.y), fyd = static_cast<float>(j.y + j.dy);
  const uint8_t* const in = j.in;
  uint8_t* const dst = j.dst;
  Weight* const columns = j.columns;
  Weight row{INT32_MIN, 0.0f, 0.0f, -1};
  // x and x + dx counted in floats: exact, as both are whole numbers below 2^24.
  float fx = static_cast<float>(j.from), fxd = static_cast<float>(j.from + dx);
  for (int64_t x = j.from; x <= j.to; ++x, fx += 1.0f, fxd += 1.0f) {
    uint8_t* const d = dst + x * 3;
    const int16_t g = bound[x];
    if (g == ZoomTable::kInside) {
      if (directOff >= 0 && below(x + dx, inW)) copyPixel(d, in + directOff + (x + dx) * 3);
      continue;
    }
    Weight& w = kSide ? columns[x] : row;
    if (w.g != g) {
      const float num = static_cast<float>(numBase + numStep * x);
      const float den = static_cast<float>(denBase + denSign * g);
      const float s = den > 0.0f ? std::clamp(num / den, 0.0f, 1.0f) : 1.0f;
      const float s2 = s * s, rest = 1.0f - s2;
      if (kSide) {
        const int64_t sx = static_cast<int64_t>(fxd * s2 + fx * (rest * rx));
        w = {g, s2, rest * ry, below(sx, inW) ? sx * 3 : -1};
      } else {
        const int64_t sy = static_cast<int64_t>(fyd * s2 + fy * (rest * ry));
        w = {g, s2, rest * rx, below(sy, inH) ? sy * stride : -1};
      }
    }
    if (w.off < 0) continue;
    if (kSide) {
      const int64_t sy = static_cast<int64_t>(fyd * w.s2 + fy * w.k);
      if (below(sy, inH)) copyPixel(d, in + sy * stride + w.off);
    } else {
      const int64_t sx = static_cast<int64_t>(fxd * w.s2 + fx * w.k);
      if (below(sx, inW)) copyPixel(d, in + w.off + sx * 3);
    }
  }
}

}  // namespace

void drawScalar(const Span& j) {
  if (j.columns)
    drawPlain<true>(j);
  else
    drawPlain<false>(j);
}

}  // namespace zoomkernels

#if defined(__x86_64__) || defined(__i386__)
#if defined(__GNUC__) && !defined(__clang__)
// g++ 12 takes the deliberately undefined start values inside the AVX-512
// intrinsics for uninitialised variables.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace zoomkernels {

bool supports(Level level) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
                             __builtin_cpu_supports("bmi2");
  switch (level) {
    case Level::kScalar:
      return true;
    case Level::kAvx2:
      return avx2;
    case Level::kAvx512:
      return avx512;
  }
  return false;
}

namespace {

// ---- AVX2: eight pixels at a time --------------------------------------

#define ZOOM_AVX2 __attribute__((target("avx2")))

// Lanes whose unsigned value is below the limit (0 <= v < limit).
ZOOM_AVX2 inline __m256i below8(__m256i v, int32_t limit) {
  return _mm256_and_si256(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(-1)),
                          _mm256_cmpgt_epi32(_mm256_set1_epi32(limit), v));
}

ZOOM_AVX2 inline __m256i times3(__m256i v) {
  return _mm256_add_epi32(v, _mm256_add_epi32(v, v));
}

// Writes the eight output pixels at dst (24 bytes) from the input offsets
// off; lanes with a negative offset keep the output's pixel. Each pixel is
// read as 4 bytes, so every offset must leave one byte after its pixel.
ZOOM_AVX2 inline void put8(uint8_t* dst, const uint8_t* in, __m256i off) {
  const __m128i expand = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i compress = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2,
                                            4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
  const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + 16));
  const __m128i p03 = _mm_shuffle_epi8(lo, expand);
  const __m128i p47 = _mm_shuffle_epi8(_mm_alignr_epi8(hi, lo, 12), expand);
  const __m256i existing = _mm256_set_m128i(p47, p03);
  const __m256i valid = _mm256_cmpgt_epi32(off, _mm256_set1_epi32(-1));
  const __m256i px = _mm256_mask_i32gather_epi32(existing, reinterpret_cast<const int*>(in), off, valid, 1);
  const __m256i packed = _mm256_shuffle_epi8(px, compress);
  const __m128i a = _mm256_castsi256_si128(packed);
  const __m128i b = _mm256_extracti128_si256(packed, 1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(a, _mm_slli_si128(b, 12)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm_srli_si128(b, 4));
}

// Copies the pixels of output columns x..last (at most 8) whose offsets are
// in the vector, one by one.
ZOOM_AVX2 inline void putEach(uint8_t* dst, const uint8_t* in, __m256i off, int32_t x, int32_t last) {
  alignas(32) int32_t work[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(work), off);
  for (int32_t i = 0; x + i <= last && i < 8; ++i) {
    if (work[i] >= 0) copyPixel(dst + static_cast<size_t>(x + i) * 3, in + work[i]);
  }
}

}  // namespace

ZOOM_AVX2 void drawAvx2(const Span& j) {
  const __m256i minus1 = _mm256_set1_epi32(-1);
  const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
  const __m256 rx = _mm256_set1_ps(j.rx), ry = _mm256_set1_ps(j.ry);
  const __m256 fy = _mm256_set1_ps(static_cast<float>(j.y)),
               fyd = _mm256_set1_ps(static_cast<float>(j.y + j.dy));
  // Column numbers and numerators are whole numbers below 2^24: exact in
  // floats, so they are counted there.
  const __m256 iota = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256 eight = _mm256_set1_ps(8.0f);
  __m256 fx = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(j.from)), iota);
  __m256 fxd = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(j.from + j.dx)), iota);
  const __m256 numStep = _mm256_set1_ps(static_cast<float>(j.numStep));
  __m256 num = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(j.numBase)), _mm256_mul_ps(numStep, fx));
  const __m256 numStep8 = _mm256_mul_ps(numStep, eight);
  const __m256i denBase = _mm256_set1_epi32(j.denBase);
  const __m256i denNegate = _mm256_set1_epi32(j.denSign < 0 ? -1 : 0);  // (g ^ -1) - -1 = -g
  const __m256i stride = _mm256_set1_epi32(j.stride);
  const __m256i directOff = _mm256_set1_epi32(j.directOff);
  const __m256i insideMark = _mm256_set1_epi32(ZoomTable::kInside);
  const __m256i lastSafe = _mm256_set1_epi32(static_cast<int32_t>(j.inLength) - 4);
  const bool direct = j.directOff >= 0;
  const int32_t inW = j.inW, inH = j.inH, to = j.to;
  const int16_t* const bound = j.bound;
  const uint8_t* const in = j.in;
  uint8_t* const dst = j.dst;
  for (int32_t x = j.from; x <= to; x += 8) {
    const __m256i xd = _mm256_cvttps_epi32(fxd);
    const __m256i g = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bound + x)));

    // s = num / den within 0..1, or 1 where den <= 0 (std::clamp's order of tests).
    const __m256 den = _mm256_cvtepi32_ps(
        _mm256_add_epi32(denBase, _mm256_sub_epi32(_mm256_xor_si256(g, denNegate), denNegate)));
    const __m256 q = _mm256_min_ps(one, _mm256_max_ps(zero, _mm256_div_ps(num, den)));
    const __m256 s = _mm256_blendv_ps(one, q, _mm256_cmp_ps(den, zero, _CMP_GT_OQ));
    const __m256 s2 = _mm256_mul_ps(s, s);
    const __m256 rest = _mm256_sub_ps(one, s2);
    const __m256i sx = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(fxd, s2), _mm256_mul_ps(fx, _mm256_mul_ps(rest, rx))));
    const __m256i sy = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(fyd, s2), _mm256_mul_ps(fy, _mm256_mul_ps(rest, ry))));
    const __m256i ok = _mm256_and_si256(below8(sx, inW), below8(sy, inH));
    const __m256i blended =
        _mm256_blendv_epi8(minus1, _mm256_add_epi32(_mm256_mullo_epi32(sy, stride), times3(sx)), ok);
    fx = _mm256_add_ps(fx, eight);
    fxd = _mm256_add_ps(fxd, eight);
    num = _mm256_add_ps(num, numStep8);

    // Inside the ellipse: the 1:1 copy.
    const __m256i directs =
        direct ? _mm256_blendv_epi8(minus1, _mm256_add_epi32(directOff, times3(xd)), below8(xd, inW))
               : minus1;
    const __m256i off = _mm256_blendv_epi8(blended, directs, _mm256_cmpeq_epi32(g, insideMark));

    // Eight at once when all lie in the run and none is the input's very
    // last pixel (which has no byte after it), else one by one.
    const bool safe = _mm256_movemask_epi8(_mm256_cmpgt_epi32(off, lastSafe)) == 0;
    if (x + 7 <= to && safe)
      put8(dst + static_cast<size_t>(x) * 3, in, off);
    else
      putEach(dst, in, off, x, to);
  }
}

// ---- AVX-512: sixteen pixels at a time ---------------------------------

#define ZOOM_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")))

ZOOM_AVX512 void drawAvx512(const Span& j) {
  // Byte i of the packed pixels is byte i % 3 of lane i / 3.
  const __m512i pack = _mm512_set_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                  //
                                       62, 61, 60, 58, 57, 56, 54, 53, 52, 50, 49, 48, 46, 45, 44, 42,  //
                                       41, 40, 38, 37, 36, 34, 33, 32, 30, 29, 28, 26, 25, 24, 22, 21,  //
                                       20, 18, 17, 16, 14, 13, 12, 10, 9, 8, 6, 5, 4, 2, 1, 0);
  const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps(1.0f);
  const __m512 rx = _mm512_set1_ps(j.rx), ry = _mm512_set1_ps(j.ry);
  const __m512 fy = _mm512_set1_ps(static_cast<float>(j.y)),
               fyd = _mm512_set1_ps(static_cast<float>(j.y + j.dy));
  // Column numbers, the numerators and the denominators' base are whole
  // numbers below 2^24: exact in floats, so they are counted there.
  const __m512 iota = _mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512 sixteen = _mm512_set1_ps(16.0f);
  __m512 fx = _mm512_add_ps(_mm512_set1_ps(static_cast<float>(j.from)), iota);
  __m512 fxd = _mm512_add_ps(_mm512_set1_ps(static_cast<float>(j.from + j.dx)), iota);
  const __m512 numStep = _mm512_set1_ps(static_cast<float>(j.numStep));
  __m512 num = _mm512_add_ps(_mm512_set1_ps(static_cast<float>(j.numBase)), _mm512_mul_ps(numStep, fx));
  const __m512 numStep16 = _mm512_mul_ps(numStep, sixteen);
  const __m512i denBase = _mm512_set1_epi32(j.denBase);
  const __m512i denNegate = _mm512_set1_epi32(j.denSign < 0 ? -1 : 0);  // (g ^ -1) - -1 = -g
  const __m512i stride = _mm512_set1_epi32(j.stride);
  const __m512i inW = _mm512_set1_epi32(j.inW), inH = _mm512_set1_epi32(j.inH);
  const __m512i directOff = _mm512_set1_epi32(j.directOff);
  const __m512i insideMark = _mm512_set1_epi32(ZoomTable::kInside);
  const __mmask16 direct = j.directOff >= 0 ? 0xffff : 0;
  const __m512i lastSafe = _mm512_set1_epi32(static_cast<int32_t>(j.inLength) - 4);
  const int32_t to = j.to;
  const int16_t* const bound = j.bound;
  const uint8_t* const in = j.in;
  uint8_t* const dst = j.dst;
  for (int32_t x = j.from; x <= to; x += 16) {
    const int32_t n = std::min(16, to - x + 1);
    const __mmask16 lanes = static_cast<__mmask16>((1u << n) - 1);
    const __m512i xd = _mm512_cvttps_epi32(fxd);
    const __m512i g = _mm512_cvtepi16_epi32(_mm256_maskz_loadu_epi16(lanes, bound + x));
    const __mmask16 inEllipse = _mm512_cmpeq_epi32_mask(g, insideMark);

    // s = num / den within 0..1, or 1 where den <= 0 (std::clamp's order of tests).
    const __m512 den = _mm512_cvtepi32_ps(
        _mm512_add_epi32(denBase, _mm512_sub_epi32(_mm512_xor_si512(g, denNegate), denNegate)));
    const __m512 q = _mm512_min_ps(one, _mm512_max_ps(zero, _mm512_div_ps(num, den)));
    const __m512 s = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(den, zero, _CMP_GT_OQ), one, q);
    const __m512 s2 = _mm512_mul_ps(s, s);
    const __m512 rest = _mm512_sub_ps(one, s2);
    const __m512i sx = _mm512_cvttps_epi32(
        _mm512_add_ps(_mm512_mul_ps(fxd, s2), _mm512_mul_ps(fx, _mm512_mul_ps(rest, rx))));
    const __m512i sy = _mm512_cvttps_epi32(
        _mm512_add_ps(_mm512_mul_ps(fyd, s2), _mm512_mul_ps(fy, _mm512_mul_ps(rest, ry))));
    const __mmask16 blended =
        _mm512_kandn(inEllipse, _mm512_cmplt_epu32_mask(sx, inW) & _mm512_cmplt_epu32_mask(sy, inH));
    const __mmask16 directs = inEllipse & direct & _mm512_cmplt_epu32_mask(xd, inW);
    const __m512i off = _mm512_mask_blend_epi32(
        directs,
        _mm512_add_epi32(_mm512_mullo_epi32(sy, stride), _mm512_add_epi32(sx, _mm512_add_epi32(sx, sx))),
        _mm512_add_epi32(directOff, _mm512_add_epi32(xd, _mm512_add_epi32(xd, xd))));
    __mmask16 take = lanes & (blended | directs);
    fx = _mm512_add_ps(fx, sixteen);
    fxd = _mm512_add_ps(fxd, sixteen);
    num = _mm512_add_ps(num, numStep16);

    // Pixels are gathered as 4 bytes; the input's very last pixel has no
    // byte after it and is copied on its own.
    const __mmask16 last = _mm512_mask_cmpgt_epi32_mask(take, off, lastSafe);
    take &= static_cast<__mmask16>(~last);
    const __m512i px = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), take, off, in, 1);
    const uint64_t bytes = _pdep_u64(take, 0x0000249249249249ull) * 7;  // lane i -> bytes 3i..3i+2
    uint8_t* const d = dst + static_cast<size_t>(x) * 3;
    _mm512_mask_storeu_epi8(d, bytes, _mm512_permutexvar_epi8(pack, px));
    if (last) {
      alignas(64) int32_t work[16];
      _mm512_store_si512(work, off);
      for (int i = 0; i < 16; ++i)
        if (last & (1u << i)) copyPixel(d + i * 3, in + work[i]);
    }
  }
}

}  // namespace zoomkernels

#else  // other processors run the plain loop

namespace zoomkernels {
bool supports(Level level) {
  return level == Level::kScalar;
}
void drawAvx2(const Span& span) {
  drawScalar(span);
}
void drawAvx512(const Span& span) {
  drawScalar(span);
}
}  // namespace zoomkernels

#endif

namespace zoomkernels {

Level widest() {
  if (supports(Level::kAvx512)) return Level::kAvx512;
  if (supports(Level::kAvx2)) return Level::kAvx2;
  return Level::kScalar;
}

}  // namespace zoomkernels
