#include "filters/loupex/zoom_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace zoomkernels {

bool available() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}

namespace {

// Lanes whose unsigned value is below the limit (0 <= v < limit).
__attribute__((target("avx2"))) inline __m256i below(__m256i v, int32_t limit) {
  return _mm256_and_si256(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(-1)), _mm256_cmpgt_epi32(_mm256_set1_epi32(limit), v));
}

__attribute__((target("avx2"))) inline __m256i times3(__m256i v) { return _mm256_add_epi32(v, _mm256_add_epi32(v, v)); }

// The 1:1 offsets for the columns xi.
__attribute__((target("avx2"))) inline __m256i directOffsets(__m256i xi, int32_t dx, int32_t inW, int32_t directOff) {
  const __m256i minus1 = _mm256_set1_epi32(-1);
  if (directOff < 0) return minus1;
  const __m256i sx = _mm256_add_epi32(xi, _mm256_set1_epi32(dx));
  const __m256i off = _mm256_add_epi32(_mm256_set1_epi32(directOff), times3(sx));
  return _mm256_blendv_epi8(minus1, off, below(sx, inW));
}

// Writes the eight output pixels at dst (24 bytes) from the input offsets
// off; lanes with a negative offset keep the output's pixel. Each pixel is
// read as 4 bytes, so every offset must leave one byte after its pixel.
__attribute__((target("avx2"))) inline void put8(uint8_t* dst, const uint8_t* in, __m256i off) {
  const __m128i expand = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i compress =
      _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14,
                       -1, -1, -1, -1);
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
__attribute__((target("avx2"))) inline void putEach(uint8_t* dst, const uint8_t* in, __m256i off, int32_t* work,
                                                    int32_t x, int32_t last) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(work), off);
  for (int32_t i = 0; x + i <= last && i < 8; ++i) {
    const int32_t o = work[i];
    if (o < 0) continue;
    uint8_t* d = dst + static_cast<size_t>(x + i) * 3;
    d[0] = in[o];
    d[1] = in[o + 1];
    d[2] = in[o + 2];
  }
}

// Eight pixels x..x+7 when they all lie in the span and no offset is the
// input's very last pixel (which has no byte after it), else one by one.
__attribute__((target("avx2"))) inline void put(uint8_t* dst, const uint8_t* in, size_t inLength, __m256i off,
                                                int32_t* work, int32_t x, int32_t last) {
  const int32_t lastSafe = static_cast<int32_t>(inLength) - 4;
  const bool safe = _mm256_movemask_epi8(_mm256_cmpgt_epi32(off, _mm256_set1_epi32(lastSafe))) == 0;
  if (x + 7 <= last && safe)
    put8(dst + static_cast<size_t>(x) * 3, in, off);
  else
    putEach(dst, in, off, work, x, last);
}

}  // namespace

__attribute__((target("avx2"))) void drawRow(const RowSpan& j) {
  const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i minus1 = _mm256_set1_epi32(-1);
  for (int32_t x = j.from; x <= j.to; x += 8) {
    const __m256i xi = _mm256_add_epi32(_mm256_set1_epi32(x), iota);
    const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(j.to + 1), xi);
    const __m256i ins = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(j.inside + x)));
    const __m256i gy = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(j.gy + x)));
    const __m256 s2 = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), j.s2, gy, _mm256_castsi256_ps(lanes), 4);
    const __m256 kx = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), j.kx, gy, _mm256_castsi256_ps(lanes), 4);
    const __m256i ro = _mm256_mask_i32gather_epi32(minus1, reinterpret_cast<const int*>(j.off), gy, lanes, 4);
    const __m256 fx = _mm256_cvtepi32_ps(xi);
    const __m256 fxd = _mm256_cvtepi32_ps(_mm256_add_epi32(xi, _mm256_set1_epi32(j.dx)));
    const __m256i sx = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(fxd, s2), _mm256_mul_ps(fx, kx)));
    const __m256i ok = _mm256_and_si256(below(sx, j.inW), _mm256_cmpgt_epi32(ro, minus1));
    const __m256i blended = _mm256_blendv_epi8(minus1, _mm256_add_epi32(ro, times3(sx)), ok);
    const __m256i isInside = _mm256_cmpgt_epi32(ins, _mm256_setzero_si256());
    const __m256i result = _mm256_blendv_epi8(blended, directOffsets(xi, j.dx, j.inW, j.directOff), isInside);
    put(j.dst, j.in, j.inLength, result, j.work, x, j.to);
  }
}

__attribute__((target("avx2"))) void drawSide(const SideSpan& j) {
  const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i minus1 = _mm256_set1_epi32(-1);
  const __m256 fy = _mm256_set1_ps(j.fy), fyy = _mm256_set1_ps(j.fyy);
  for (int32_t x = j.xs; x <= j.xe; x += 8) {
    const __m256i xi = _mm256_add_epi32(_mm256_set1_epi32(x), iota);
    const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(j.xe + 1), xi);
    const __m256i ins = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(j.inside + x)));
    const __m256i gx = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(j.gx + x)));
    const __m256i col = _mm256_add_epi32(_mm256_set1_epi32(j.colOrigin), _mm256_mullo_epi32(_mm256_set1_epi32(j.colStep), xi));
    const __m256i base =
        _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(j.colBase), col, lanes, 4);
    const __m256i idx = _mm256_add_epi32(base, gx);
    const __m256 s2 = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), j.s2, idx, _mm256_castsi256_ps(lanes), 4);
    const __m256 ky = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), j.ky, idx, _mm256_castsi256_ps(lanes), 4);
    const __m256i sxo = _mm256_mask_i32gather_epi32(minus1, reinterpret_cast<const int*>(j.sxOff), idx, lanes, 4);
    const __m256i sy = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(fy, s2), _mm256_mul_ps(fyy, ky)));
    const __m256i ok = _mm256_and_si256(below(sy, j.inH), _mm256_cmpgt_epi32(sxo, minus1));
    const __m256i off = _mm256_add_epi32(_mm256_mullo_epi32(sy, _mm256_set1_epi32(j.stride)), sxo);
    const __m256i blended = _mm256_blendv_epi8(minus1, off, ok);
    const __m256i isInside = _mm256_cmpgt_epi32(ins, _mm256_setzero_si256());
    const __m256i result = _mm256_blendv_epi8(blended, directOffsets(xi, j.dx, j.inW, j.directOff), isInside);
    put(j.dst, j.in, j.inLength, result, j.work, x, j.xe);
  }
}

}  // namespace zoomkernels

#else  // no vector kernels on other processors: the scalar loops run

namespace zoomkernels {
bool available() { return false; }
void drawRow(const RowSpan&) {}
void drawSide(const SideSpan&) {}
}  // namespace zoomkernels

#endif
