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

void ToRowsAvx2(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                double* rows) {
  alignas(32) double gain[kSampleRowStride], keep[kSampleRowStride];
  for (int k = 0; k < kSampleRowStride; ++k) gain[k] = 1.0, keep[k] = 0.0;
  for (int j = 0; j < n; ++j) {
    gain[slots[j]] = gains[slots[j]];
    keep[slots[j]] = -1.0;  // the sign bit selects the new value
  }
  const __m256d g0 = _mm256_load_pd(gain), g1 = _mm256_load_pd(gain + 4);
  const __m256d k0 = _mm256_load_pd(keep), k1 = _mm256_load_pd(keep + 4);
  const __m256d s = _mm256_set1_pd(span);
  // Dividing by 2^24 and multiplying by 2^-24 round the same real number: the same bits.
  const __m256d scale = _mm256_set1_pd(1.0 / 16777216.0);
  // Decoded a chunk of rows ahead of their conversion: a vector load straight
  // after the scalar stores of its lanes would wait for them to retire.
  constexpr int kChunk = 256;
  alignas(32) int32_t counts[kChunk][kSampleRowStride] = {};
  const uint8_t* p = block;
  for (int first = 0; first < samps; first += kChunk) {
    const int rowsHere = samps - first < kChunk ? samps - first : kChunk;
    for (int r = 0; r < rowsHere; ++r)
      for (int j = 0; j < n; ++j, p += 3) counts[r][slots[j]] = Decode(p);
    for (int r = 0; r < rowsHere; ++r) {
      double* row = rows + static_cast<std::size_t>(first + r) * kSampleRowStride;
      const __m256d c0 = _mm256_cvtepi32_pd(_mm_load_si128(reinterpret_cast<const __m128i*>(counts[r])));
      const __m256d c1 = _mm256_cvtepi32_pd(_mm_load_si128(reinterpret_cast<const __m128i*>(counts[r] + 4)));
      const __m256d v0 = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(c0, s), scale), g0);
      const __m256d v1 = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(c1, s), scale), g1);
      _mm256_storeu_pd(row, _mm256_blendv_pd(_mm256_loadu_pd(row), v0, k0));
      _mm256_storeu_pd(row + 4, _mm256_blendv_pd(_mm256_loadu_pd(row + 4), v1, k1));
    }
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

}  // namespace

void ToBlockAvx2(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out) {
  alignas(32) double gain[kSampleRowStride], sign[kSampleRowStride];
  for (int k = 0; k < kSampleRowStride; ++k) gain[k] = 1.0, sign[k] = 0.0;
  int slot[kSampleRowStride] = {};
  for (int j = 0; j < m; ++j) {
    // A column not carried reads a spare lane, which is zero.
    slot[j] = cols[j].carried ? cols[j].slot : kSampleRowStride - 1;
    if (!cols[j].carried) continue;
    gain[cols[j].slot] = cols[j].gain;
    sign[cols[j].slot] = cols[j].negate ? -0.0 : 0.0;
  }
  const __m256d g0 = _mm256_load_pd(gain), g1 = _mm256_load_pd(gain + 4);
  const __m256d n0 = _mm256_load_pd(sign), n1 = _mm256_load_pd(sign + 4);
  const __m256d s = _mm256_set1_pd(span), full = _mm256_set1_pd(16777216.0);
  alignas(32) int32_t counts[kSampleRowStride + 4];
  uint8_t* q = out;
  for (int r = 0; r < samps; ++r) {
    const double* row = rows + static_cast<std::size_t>(r) * kSampleRowStride;
    const __m256d y0 = _mm256_xor_pd(_mm256_loadu_pd(row), n0);
    const __m256d y1 = _mm256_xor_pd(_mm256_loadu_pd(row + 4), n1);
    _mm_store_si128(reinterpret_cast<__m128i*>(counts),
                    Counts(_mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(y0, full), g0), s)));
    _mm_store_si128(reinterpret_cast<__m128i*>(counts + 4),
                    Counts(_mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(y1, full), g1), s)));
    counts[kSampleRowStride - 1] = 0;
    for (int j = 0; j < m; ++j, q += 3) {
      const uint32_t u = static_cast<uint32_t>(counts[slot[j]]) & 0xFFFFFFu;
      q[0] = static_cast<uint8_t>(u >> 16);
      q[1] = static_cast<uint8_t>(u >> 8);
      q[2] = static_cast<uint8_t>(u);
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
