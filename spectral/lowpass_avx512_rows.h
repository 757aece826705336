#pragma once
// The low-pass recursion over rows of six channels held in one AVX-512
// register: the operations of LowPassStep in the same order, lane by lane,
// so the same bits. Where the rows come from and go to is the caller's (rows
// of doubles in spectral/lowpass_avx512.cpp; a record's counts, decoded and
// encoded around the recursion, in datafile/sample_block_avx512.cpp). Include
// it only in files compiled with -mavx512f and -ffp-contract=off: AVX-512F
// has fused multiply-adds of its own, and every product and sum here must
// round on its own. Its functions have internal linkage, so no other file can
// be lent this copy.

#if defined(__AVX512F__) && !defined(__FMA__)
#include <immintrin.h>

#include <cstddef>

#include "spectral/lowpass.h"

namespace {

/// Runs rows 0 … n − 1 through the filter of design d for the channels whose
/// bit is set in lanes, their histories taken from and left in s. rows.In(r)
/// gives row r (lane k for channel k); rows.Out(r, y) takes its result: the
/// filtered channels, the other lanes as In gave them. In(r) is asked for
/// before Out(r − 1), once each, in order.
template <int Order, class Rows>
inline void RunLowPassRows(LowPassState& s, const LowPassDesign& d, unsigned lanes, std::size_t n, Rows& rows) {
  static_assert(Order == 8 || Order == 4);
  alignas(64) double xh[kLowPassTaps][8] = {}, yh[kLowPassTaps][8] = {};
  for (int l = 0; l < kLowPassChannels; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        xh[i][l] = s.xv[l][i];
        yh[i][l] = s.yv[l][i];
      }
  // The histories in named registers: held in arrays, they were kept in
  // memory and stored back on every row.
  __m512d x0 = _mm512_load_pd(xh[0]), x1 = _mm512_load_pd(xh[1]), x2 = _mm512_load_pd(xh[2]),
          x3 = _mm512_load_pd(xh[3]), x4 = _mm512_load_pd(xh[4]), x5 = _mm512_load_pd(xh[5]),
          x6 = _mm512_load_pd(xh[6]), x7 = _mm512_load_pd(xh[7]), x8 = _mm512_load_pd(xh[8]);
  __m512d y0 = _mm512_load_pd(yh[0]), y1 = _mm512_load_pd(yh[1]), y2 = _mm512_load_pd(yh[2]),
          y3 = _mm512_load_pd(yh[3]), y4 = _mm512_load_pd(yh[4]), y5 = _mm512_load_pd(yh[5]),
          y6 = _mm512_load_pd(yh[6]), y7 = _mm512_load_pd(yh[7]), y8 = _mm512_load_pd(yh[8]);
  const __mmask8 keep = static_cast<__mmask8>(lanes);
  const __m512d c0 = _mm512_set1_pd(d.c[0]), c1 = _mm512_set1_pd(d.c[1]), c2 = _mm512_set1_pd(d.c[2]),
                c3 = _mm512_set1_pd(d.c[3]), c4 = _mm512_set1_pd(Order == 8 ? d.c[4] : 0.0),
                c5 = _mm512_set1_pd(Order == 8 ? d.c[5] : 0.0), c6 = _mm512_set1_pd(Order == 8 ? d.c[6] : 0.0),
                c7 = _mm512_set1_pd(Order == 8 ? d.c[7] : 0.0);
  const __m512d gain = _mm512_set1_pd(d.gain);
  const __m512d tiny = _mm512_set1_pd(1e-200), zero = _mm512_setzero_pd();
  const __m512d c7zero = _mm512_mul_pd(c7, zero);
  __m512d raw7 = y8;  // the last output before its flush (the history holds it flushed already)
  __mmask8 small7 = 0;
  auto add = [](__m512d a, __m512d b) { return _mm512_add_pd(a, b); };
  auto mul = [](__m512d a, __m512d b) { return _mm512_mul_pd(a, b); };
  auto k = [](double w) { return _mm512_set1_pd(w); };
  for (std::size_t r = 0; r < n; ++r) {
    const __m512d row = rows.In(r);
    // The lanes of other channels read zero, so that they never hold slow values.
    const __m512d in = _mm512_maskz_mov_pd(keep, row);
    __m512d v;
    if constexpr (Order == 8) {
      x0 = x1, x1 = x2, x2 = x3, x3 = x4, x4 = x5, x5 = x6, x6 = x7, x7 = x8, x8 = in;
      y0 = y1, y1 = y2, y2 = y3, y3 = y4, y4 = y5, y5 = y6, y6 = y7, y7 = y8;
      v = add(x0, x8);
      v = add(v, mul(k(8), add(x1, x7)));
      v = add(v, mul(k(28), add(x2, x6)));
      v = add(v, mul(k(56), add(x3, x5)));
      v = add(v, mul(k(70), x4));
      v = add(v, mul(c0, y0));
      v = add(v, mul(c1, y1));
      v = add(v, mul(c2, y2));
      v = add(v, mul(c3, y3));
      v = add(v, mul(c4, y4));
      v = add(v, mul(c5, y5));
      v = add(v, mul(c6, y6));
      // c7 · y7 from the previous row's unflushed output and its flush mask,
      // which are ready before the flushed output: the same product, bit for
      // bit, with the comparison off the path from one row to the next.
      v = add(v, _mm512_mask_mov_pd(mul(c7, raw7), small7, c7zero));
      // Outputs strictly between −1e−200 and 1e−200 become +0 (NaN compares false and stays).
      raw7 = v;
      small7 = _mm512_cmp_pd_mask(_mm512_abs_pd(v), tiny, _CMP_LT_OQ);
      v = _mm512_mask_mov_pd(v, small7, zero);
      y8 = v;
    } else {
      x0 = x1, x1 = x2, x2 = x3, x3 = x4, x4 = in;
      y0 = y1, y1 = y2, y2 = y3, y3 = y4;
      v = add(x0, x4);
      v = add(v, mul(k(4), add(x1, x3)));
      v = add(v, mul(k(6), x2));
      v = add(v, mul(c0, y0));
      v = add(v, mul(c1, y1));
      v = add(v, mul(c2, y2));
      v = add(v, mul(c3, y3));
      y4 = v;
    }
    rows.Out(r, _mm512_mask_blend_pd(keep, row, _mm512_div_pd(v, gain)));
  }
  const __m512d xs[] = {x0, x1, x2, x3, x4, x5, x6, x7, x8}, ys[] = {y0, y1, y2, y3, y4, y5, y6, y7, y8};
  for (int i = 0; i <= Order; ++i) {
    _mm512_store_pd(xh[i], xs[i]);
    _mm512_store_pd(yh[i], ys[i]);
  }
  for (int l = 0; l < kLowPassChannels; ++l)
    if (lanes >> l & 1u)
      for (int i = 0; i <= Order; ++i) {
        s.xv[l][i] = xh[i][l];
        s.yv[l][i] = yh[i][l];
      }
}

}  // namespace

#endif
