// LowPassRows with a whole row of six channels in one AVX-512 register
// (spectral/lowpass_avx512_rows.h): one register holds every channel, so the
// recursion of a row runs once where the AVX2 kernel runs it twice. This
// file alone is compiled with -mavx512f and -ffp-contract=off; LowPassRows
// calls it only after a run-time check.

#include "spectral/lowpass_kernels.h"

#if defined(__AVX512F__) && !defined(__FMA__)
#include <cstddef>

#include "spectral/lowpass_avx512_rows.h"

namespace {

// Rows of doubles, kLowPassRowStride apart, filtered in place.
struct RowsInPlace {
  double* rows;
  __m512d In(std::size_t r) const { return _mm512_loadu_pd(rows + r * kLowPassRowStride); }
  void Out(std::size_t r, __m512d y) const { _mm512_storeu_pd(rows + r * kLowPassRowStride, y); }
};

void Rows(LowPassState& s, const LowPassDesign& d, double* rows, int n, unsigned channelMask) {
  static_assert(kLowPassRowStride == 8);
  RowsInPlace inPlace{rows};
  const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (d.order == 8)
    RunLowPassRows<8>(s, d, channelMask, count, inPlace);
  else
    RunLowPassRows<4>(s, d, channelMask, count, inPlace);
}

}  // namespace

LowPassRowsKernel Avx512LowPassRows() { return &Rows; }

#else

LowPassRowsKernel Avx512LowPassRows() { return nullptr; }

#endif
