// The row conversions of sample_rows.h, eight channel columns in two AVX2
// registers: the same operations as the portable loops, lane by lane, so the
// same bits. This file alone is compiled with -mavx2 (without -mfma: every
// product and quotient rounds on its own); it runs only after a run-time check.

#include <cstddef>

#include "datafile/sample_rows.h"

#if defined(__AVX2__) && !defined(__FMA__)
#include <immintrin.h>

namespace {

// DecodeSample, defined here: an inline function of a shared header compiled
// with -mavx2 could lend its AVX2 copy to every other caller.
inline int32_t Decode(const uint8_t* b) {
  int32_t v = b[0] << 16 | b[1] << 8 | b[2];
  return v > 0x7FFFFF ? v - 0x1000000 : v;
}

}  // namespace

namespace sample_rows_detail {

bool Avx2Built() { return true; }

namespace {

// The last two channel columns (4 and 5) go through the divider as one
// 128-bit register, the spare columns 6 and 7 not at all: the divider is the
// slowest unit these loops use.

// millivolts = count · span / 2^24 / gain for the columns 0 … 3 (c0) and 4, 5
// (the low half of c1), stored where keep is set.
struct ToMillivolts {
  __m256d g0, inv0, k0, s, scale;
  __m128d g1, inv1, k1, s1, scale1;
  bool multiply;  // every gain is a power of two: its reciprocal is exact, and
                  // multiplying by it gives the quotient's very bits

  void Store(__m128i c0, __m128i c1, double* row) const {
    __m256d v0 = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(c0), s), scale);
    __m128d v1 = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(c1), s1), scale1);
    if (multiply) {
      v0 = _mm256_mul_pd(v0, inv0);
      v1 = _mm_mul_pd(v1, inv1);
    } else {
      v0 = _mm256_div_pd(v0, g0);
      v1 = _mm_div_pd(v1, g1);
    }
    _mm256_storeu_pd(row, _mm256_blendv_pd(_mm256_loadu_pd(row), v0, k0));
    _mm_storeu_pd(row + 4, _mm_blendv_pd(_mm_loadu_pd(row + 4), v1, k1));
  }
};

}  // namespace

void ToRowsAvx2(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                double* rows) {
  alignas(32) double gain[kSampleRowStride], inv[kSampleRowStride], keep[kSampleRowStride];
  for (int k = 0; k < kSampleRowStride; ++k) gain[k] = inv[k] = 1.0, keep[k] = 0.0;
  bool powers = true;
  for (int j = 0; j < n; ++j) {
    const int32_t g = gains[slots[j]];
    gain[slots[j]] = g;
    inv[slots[j]] = 1.0 / g;
    if (g <= 0 || (g & (g - 1)) != 0) powers = false;
    keep[slots[j]] = -1.0;  // the sign bit selects the new value
  }
  ToMillivolts to;
  to.g0 = _mm256_load_pd(gain), to.inv0 = _mm256_load_pd(inv), to.k0 = _mm256_load_pd(keep);
  to.g1 = _mm_load_pd(gain + 4), to.inv1 = _mm_load_pd(inv + 4), to.k1 = _mm_load_pd(keep + 4);
  to.s = _mm256_set1_pd(span), to.s1 = _mm_set1_pd(span);
  // Dividing by 2^24 and multiplying by 2^-24 round the same real number: the same bits.
  to.scale = _mm256_set1_pd(1.0 / 16777216.0), to.scale1 = _mm_set1_pd(1.0 / 16777216.0);
  to.multiply = powers;

  // A row's 3n bytes are read as 16 from its start and 16 from highFrom on
  // (DecodeShufflesOf).
  const int rowBytes = 3 * n;
  const DecodeShuffles shuffles = DecodeShufflesOf(slots, n);
  const int highFrom = shuffles.highFrom;
  const __m128i lowMask = _mm_load_si128(reinterpret_cast<const __m128i*>(shuffles.low));
  const __m128i highMask = _mm_load_si128(reinterpret_cast<const __m128i*>(shuffles.high));
  const std::size_t total = static_cast<std::size_t>(samps) * static_cast<std::size_t>(rowBytes);
  const std::size_t reach = rowBytes > 16 ? static_cast<std::size_t>(rowBytes) : 16;
  const uint8_t* p = block;
  int r = 0;
  for (; r < samps && static_cast<std::size_t>(p - block) + reach <= total; ++r, p += rowBytes) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + highFrom));
    to.Store(_mm_srai_epi32(_mm_shuffle_epi8(a, lowMask), 8), _mm_srai_epi32(_mm_shuffle_epi8(b, highMask), 8),
             rows + static_cast<std::size_t>(r) * kSampleRowStride);
  }
  // The last rows, whose reads would pass the block's end, a count at a time.
  for (; r < samps; ++r) {
    alignas(16) int32_t counts[kSampleRowStride] = {};
    for (int j = 0; j < n; ++j, p += 3) counts[slots[j]] = Decode(p);
    to.Store(_mm_load_si128(reinterpret_cast<const __m128i*>(counts)),
             _mm_load_si128(reinterpret_cast<const __m128i*>(counts + 4)),
             rows + static_cast<std::size_t>(r) * kSampleRowStride);
  }
}

namespace {

// EncodeSample's count of four values: floor, NaN as 0, saturated to 24 bits.
inline __m128i Counts(__m256d x) {
  __m256d f = _mm256_round_pd(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  f = _mm256_and_pd(f, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
  f = _mm256_max_pd(f, _mm256_set1_pd(-8388608.0));
  f = _mm256_min_pd(f, _mm256_set1_pd(8388607.0));
  return _mm256_cvttpd_epi32(f);
}

// The same for two values, in the low half.
inline __m128i Counts(__m128d x) {
  __m128d f = _mm_round_pd(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  f = _mm_and_pd(f, _mm_cmp_pd(x, x, _CMP_ORD_Q));
  f = _mm_max_pd(f, _mm_set1_pd(-8388608.0));
  f = _mm_min_pd(f, _mm_set1_pd(8388607.0));
  return _mm_cvttpd_epi32(f);
}

}  // namespace

void ToBlockAvx2(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out) {
  alignas(32) double gain[kSampleRowStride], sign[kSampleRowStride];
  for (int k = 0; k < kSampleRowStride; ++k) gain[k] = 1.0, sign[k] = 0.0;
  for (int j = 0; j < m; ++j) {
    if (!cols[j].carried) continue;
    gain[cols[j].slot] = cols[j].gain;
    sign[cols[j].slot] = cols[j].negate ? -0.0 : 0.0;
  }
  const __m256d g0 = _mm256_load_pd(gain), n0 = _mm256_load_pd(sign);
  const __m128d g1 = _mm_load_pd(gain + 4), n1 = _mm_load_pd(sign + 4);
  const __m256d s = _mm256_set1_pd(span), full = _mm256_set1_pd(16777216.0);
  const __m128d s1 = _mm_set1_pd(span), full1 = _mm_set1_pd(16777216.0);

  // The first 16 bytes of a row are stored at once, and a longer row's last
  // 16 after them (EncodeShufflesOf).
  const int rowBytes = 3 * m;
  const EncodeShuffles shuffles = EncodeShufflesOf(cols, m);
  const int tailFrom = shuffles.tailFrom;
  auto load = [](const int8_t* mask) { return _mm_load_si128(reinterpret_cast<const __m128i*>(mask)); };
  const __m128i hl = load(shuffles.headLow), hh = load(shuffles.headHigh), tl = load(shuffles.tailLow),
                th = load(shuffles.tailHigh);

  const std::size_t total = static_cast<std::size_t>(samps) * static_cast<std::size_t>(rowBytes);
  const std::size_t reach = rowBytes > 16 ? static_cast<std::size_t>(rowBytes) : 16;
  uint8_t* q = out;
  for (int r = 0; r < samps; ++r, q += rowBytes) {
    const double* row = rows + static_cast<std::size_t>(r) * kSampleRowStride;
    const __m256d y0 = _mm256_xor_pd(_mm256_loadu_pd(row), n0);
    const __m128d y1 = _mm_xor_pd(_mm_loadu_pd(row + 4), n1);
    const __m128i c0 = Counts(_mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(y0, full), g0), s));
    const __m128i c1 = Counts(_mm_div_pd(_mm_mul_pd(_mm_mul_pd(y1, full1), g1), s1));
    if (static_cast<std::size_t>(q - out) + reach <= total) {
      // The bytes a short row's store writes past its end belong to the next row, which is written after it.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_or_si128(_mm_shuffle_epi8(c0, hl), _mm_shuffle_epi8(c1, hh)));
      if (tailFrom)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + tailFrom),
                         _mm_or_si128(_mm_shuffle_epi8(c0, tl), _mm_shuffle_epi8(c1, th)));
      continue;
    }
    // The last rows, whose stores would pass the block's end, a count at a time.
    alignas(16) int32_t counts[kSampleRowStride] = {};
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), c0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(counts + 4), c1);
    for (int j = 0; j < m; ++j) {
      const uint32_t u = cols[j].carried ? static_cast<uint32_t>(counts[cols[j].slot]) & 0xFFFFFFu : 0u;
      q[3 * j] = static_cast<uint8_t>(u >> 16);
      q[3 * j + 1] = static_cast<uint8_t>(u >> 8);
      q[3 * j + 2] = static_cast<uint8_t>(u);
    }
  }
}

}  // namespace sample_rows_detail

#else

namespace sample_rows_detail {
bool Avx2Built() { return false; }
void ToRowsAvx2(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                double* rows) {
  ToRowsPortable(block, samps, slots, n, gains, span, rows);
}
void ToBlockAvx2(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out) {
  ToBlockPortable(rows, samps, cols, m, span, out);
}
}  // namespace sample_rows_detail

#endif
