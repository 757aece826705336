// LowPassRows with a whole row of six channels in one AVX-512 register: the
// operations of LowPassStep in the same order, lane by lane, so the same
// bits. One register holds every channel, so the recursion of a row runs
// once where the AVX2 kernel runs it twice. This file alone is compiled with
// -mavx512f and -ffp-contract=off: AVX-512F has fused multiply-adds of its
// own, and every product and sum here must round on its own. LowPassRows
// calls it only after a run-time check.

#include "spectral/lowpass_kernels.h"

#if defined(__AVX512F__) && !defined(__FMA__)
#include <immintrin.h>

namespace {

template <int Order>
void FilterRow(LowPassState& s, const LowPassDesign& d, double* rows, int n, unsigned lanes) {
  static_assert(kLowPassRowStride == 8);
  alignas(64) double xh[kLowPassTaps][8] = {}, yh[kLowPassTaps][8] = {};
  for (int l = 0; l < kLowPassChannels; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        xh[i][l] = s.xv[l][i];
        yh[i][l] = s.yv[l][i];
      }
  __m512d x[Order + 1], y[Order + 1];
  for (int i = 0; i <= Order; ++i) {
    x[i] = _mm512_load_pd(xh[i]);
    y[i] = _mm512_load_pd(yh[i]);
  }
  const __mmask8 keep = static_cast<__mmask8>(lanes);
  __m512d c[Order];
  for (int i = 0; i < Order; ++i) c[i] = _mm512_set1_pd(d.c[i]);
  const __m256d gain4 = _mm256_set1_pd(d.gain);
  const __m128d gain2 = _mm_set1_pd(d.gain);
  const __m512d tiny = _mm512_set1_pd(1e-200), minusTiny = _mm512_set1_pd(-1e-200), zero = _mm512_setzero_pd();
  double* p = rows;
  for (int r = 0; r < n; ++r, p += kLowPassRowStride) {
    // The lanes of other channels read zero, so that they never hold slow values.
    const __m512d in = _mm512_maskz_loadu_pd(keep, p);
#pragma GCC unroll 8
    for (int i = 0; i < Order; ++i) {
      x[i] = x[i + 1];
      y[i] = y[i + 1];
    }
    x[Order] = in;
    __m512d v;
    if constexpr (Order == 8) {
      v = _mm512_add_pd(x[0], x[8]);
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(8), _mm512_add_pd(x[1], x[7])));
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(28), _mm512_add_pd(x[2], x[6])));
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(56), _mm512_add_pd(x[3], x[5])));
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(70), x[4]));
    } else {
      v = _mm512_add_pd(x[0], x[4]);
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(4), _mm512_add_pd(x[1], x[3])));
      v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_set1_pd(6), x[2]));
    }
#pragma GCC unroll 8
    for (int i = 0; i < Order; ++i) v = _mm512_add_pd(v, _mm512_mul_pd(c[i], y[i]));
    if constexpr (Order == 8) {
      // Outputs strictly between −1e−200 and 1e−200 become +0 (NaN compares false and stays).
      const __mmask8 small = _mm512_cmp_pd_mask(v, tiny, _CMP_LT_OQ) & _mm512_cmp_pd_mask(v, minusTiny, _CMP_GT_OQ);
      v = _mm512_mask_mov_pd(v, small, zero);
    }
    y[Order] = v;
    // Channels 0 … 3 and 4, 5 divided apart: the divider takes a full-width
    // register no faster than its two halves, and the top two lanes are spare.
    const __m256d low = _mm256_div_pd(_mm512_castpd512_pd256(v), gain4);
    const __m128d high = _mm_div_pd(_mm256_castpd256_pd128(_mm512_extractf64x4_pd(v, 1)), gain2);
    _mm512_mask_storeu_pd(p, keep, _mm512_insertf64x4(_mm512_castpd256_pd512(low), _mm256_castpd128_pd256(high), 1));
  }
  for (int i = 0; i <= Order; ++i) {
    _mm512_store_pd(xh[i], x[i]);
    _mm512_store_pd(yh[i], y[i]);
  }
  for (int l = 0; l < kLowPassChannels; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        s.xv[l][i] = xh[i][l];
        s.yv[l][i] = yh[i][l];
      }
}

void Rows(LowPassState& s, const LowPassDesign& d, double* rows, int n, unsigned channelMask) {
  if (d.order == 8)
    FilterRow<8>(s, d, rows, n, channelMask);
  else
    FilterRow<4>(s, d, rows, n, channelMask);
}

}  // namespace

LowPassRowsKernel Avx512LowPassRows() { return &Rows; }

#else

LowPassRowsKernel Avx512LowPassRows() { return nullptr; }

#endif
