// LowPassRows with four channels per AVX2 register: the operations of
// LowPassStep in the same order, lane by lane, so the same bits. This file
// alone is compiled with -mavx2 (and without -mfma, so that no multiply and
// add are fused into one rounding); LowPassRows calls it only after a
// run-time check.

#include "spectral/lowpass_kernels.h"

#if defined(__AVX2__) && !defined(__FMA__)
#include <immintrin.h>

namespace {

// Filters the four columns first … first+3 of rows whose bits are set in lanes
// (bit l for column first + l), with the histories in registers.
template <int Order>
void FilterFour(LowPassState& s, const LowPassDesign& d, double* rows, int n, int first, unsigned lanes) {
  alignas(32) double xh[kLowPassTaps][4] = {}, yh[kLowPassTaps][4] = {};
  for (int l = 0; l < 4; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        xh[i][l] = s.xv[first + l][i];
        yh[i][l] = s.yv[first + l][i];
      }
  __m256d x[Order + 1], y[Order + 1];
  for (int i = 0; i <= Order; ++i) {
    x[i] = _mm256_load_pd(xh[i]);
    y[i] = _mm256_load_pd(yh[i]);
  }
  const __m256i keep =
      _mm256_set_epi64x(lanes & 8u ? -1 : 0, lanes & 4u ? -1 : 0, lanes & 2u ? -1 : 0, lanes & 1u ? -1 : 0);
  const __m256d filtered = _mm256_castsi256_pd(keep);
  __m256d c[Order];
  for (int i = 0; i < Order; ++i) c[i] = _mm256_set1_pd(d.c[i]);
  const __m256d gain = _mm256_set1_pd(d.gain);
  const __m256d tiny = _mm256_set1_pd(1e-200), minusTiny = _mm256_set1_pd(-1e-200);
  double* p = rows + first;
  for (int r = 0; r < n; ++r, p += kLowPassRowStride) {
    const __m256d in = _mm256_loadu_pd(p);
#pragma GCC unroll 8
    for (int i = 0; i < Order; ++i) {
      x[i] = x[i + 1];
      y[i] = y[i + 1];
    }
    x[Order] = in;
    __m256d v;
    if constexpr (Order == 8) {
      v = _mm256_add_pd(x[0], x[8]);
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(8), _mm256_add_pd(x[1], x[7])));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(28), _mm256_add_pd(x[2], x[6])));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(56), _mm256_add_pd(x[3], x[5])));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(70), x[4]));
    } else {
      v = _mm256_add_pd(x[0], x[4]);
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(4), _mm256_add_pd(x[1], x[3])));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(6), x[2]));
    }
#pragma GCC unroll 8
    for (int i = 0; i < Order; ++i) v = _mm256_add_pd(v, _mm256_mul_pd(c[i], y[i]));
    if constexpr (Order == 8) {
      // Outputs strictly between −1e−200 and 1e−200 become +0 (NaN compares false and stays).
      const __m256d small = _mm256_and_pd(_mm256_cmp_pd(v, tiny, _CMP_LT_OQ), _mm256_cmp_pd(v, minusTiny, _CMP_GT_OQ));
      v = _mm256_andnot_pd(small, v);
    }
    y[Order] = v;
    _mm256_storeu_pd(p, _mm256_blendv_pd(in, _mm256_div_pd(v, gain), filtered));
  }
  for (int i = 0; i <= Order; ++i) {
    _mm256_store_pd(xh[i], x[i]);
    _mm256_store_pd(yh[i], y[i]);
  }
  for (int l = 0; l < 4; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        s.xv[first + l][i] = xh[i][l];
        s.yv[first + l][i] = yh[i][l];
      }
}

void Rows(LowPassState& s, const LowPassDesign& d, double* rows, int n, unsigned channelMask) {
  for (int first = 0; first < kLowPassChannels; first += 4) {
    const unsigned lanes = channelMask >> first & 0xFu;
    if (!lanes) continue;
    if (d.order == 8)
      FilterFour<8>(s, d, rows, n, first, lanes);
    else
      FilterFour<4>(s, d, rows, n, first, lanes);
  }
}

}  // namespace

LowPassRowsKernel Avx2LowPassRows() { return &Rows; }

#else

LowPassRowsKernel Avx2LowPassRows() { return nullptr; }

#endif
