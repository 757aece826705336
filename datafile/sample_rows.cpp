#include "datafile/sample_rows.h"

#include <cstddef>

#include "datafile/header.h"

namespace sample_rows_detail {

void ToRowsPortable(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                    double* rows) {
  const uint8_t* p = block;
  for (int r = 0; r < samps; ++r) {
    double* row = rows + static_cast<std::size_t>(r) * kSampleRowStride;
    for (int j = 0; j < n; ++j, p += 3) row[slots[j]] = DecodeSample(p) * span / 16777216.0 / gains[slots[j]];
  }
}

void ToBlockPortable(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out) {
  uint8_t* q = out;
  for (int r = 0; r < samps; ++r) {
    const double* row = rows + static_cast<std::size_t>(r) * kSampleRowStride;
    for (int j = 0; j < m; ++j, q += 3) {
      double x = 0.0;
      if (cols[j].carried) {
        const double y = row[cols[j].slot];
        x = (cols[j].negate ? -y : y) * 16777216.0 * cols[j].gain / span;
      }
      EncodeSample(x, q);
    }
  }
}

// Checked here, outside the file built for AVX2.
bool Avx2Available() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  return Avx2Built() && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace sample_rows_detail

void BlockToMillivoltRows(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                          double* rows) {
  static const bool vector = sample_rows_detail::Avx2Available();
  if (vector)
    sample_rows_detail::ToRowsAvx2(block, samps, slots, n, gains, span, rows);
  else
    sample_rows_detail::ToRowsPortable(block, samps, slots, n, gains, span, rows);
}

void MillivoltRowsToBlock(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out) {
  static const bool vector = sample_rows_detail::Avx2Available();
  if (vector)
    sample_rows_detail::ToBlockAvx2(rows, samps, cols, m, span, out);
  else
    sample_rows_detail::ToBlockPortable(rows, samps, cols, m, span, out);
}
