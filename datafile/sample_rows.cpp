#include "datafile/sample_rows.h"

#include <algorithm>
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

DecodeShuffles DecodeShufflesOf(const int* slots, int n) {
  constexpr int8_t kNone = -128;
  DecodeShuffles d;
  const int rowBytes = 3 * n;
  d.highFrom = rowBytes > 16 ? rowBytes - 16 : 0;
  for (int i = 0; i < 16; ++i) d.low[i] = d.high[i] = kNone;
  for (int j = 0; j < n; ++j) {
    const int k = slots[j];
    int8_t* mask = k < 4 ? d.low : d.high;
    const int at = 4 * (k & 3), from = 3 * j - (k < 4 ? 0 : d.highFrom);
    mask[at + 3] = static_cast<int8_t>(from);
    mask[at + 2] = static_cast<int8_t>(from + 1);
    mask[at + 1] = static_cast<int8_t>(from + 2);
  }
  return d;
}

EncodeShuffles EncodeShufflesOf(const OutputColumn* cols, int m) {
  constexpr int8_t kNone = -128;
  EncodeShuffles e;
  const int rowBytes = 3 * m;
  e.tailFrom = rowBytes > 16 ? rowBytes - 16 : 0;
  auto fill = [&](int8_t* lowMask, int8_t* highMask, int first) {
    for (int i = 0; i < 16; ++i) {
      lowMask[i] = highMask[i] = kNone;
      const int o = first + i;
      if (o >= rowBytes || !cols[o / 3].carried) continue;
      const int k = cols[o / 3].slot;
      (k < 4 ? lowMask : highMask)[i] = static_cast<int8_t>(4 * (k & 3) + 2 - o % 3);
    }
  };
  fill(e.headLow, e.headHigh, 0);
  fill(e.tailLow, e.tailHigh, e.tailFrom);
  return e;
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

namespace sample_rows_detail {

void FilterInPieces(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains,
                    const OutputColumn* cols, int m, double span, int corner, LowPassState& filter, uint8_t* out) {
  constexpr int kRows = 256;  // 16 KiB of rows
  alignas(64) double rows[kRows * kSampleRowStride];
  unsigned mask = 0;
  for (int j = 0; j < n; ++j) mask |= 1u << slots[j];
  const size_t inRow = static_cast<size_t>(n) * 3, outRow = static_cast<size_t>(m) * 3;
  for (int r = 0; r < samps; r += kRows) {
    const int count = std::min(kRows, samps - r);
    BlockToMillivoltRows(block + static_cast<size_t>(r) * inRow, count, slots, n, gains, span, rows);
    LowPassRows(filter, rows, count, mask, corner);
    MillivoltRowsToBlock(rows, count, cols, m, span, out + static_cast<size_t>(r) * outRow);
  }
}

}  // namespace sample_rows_detail

void FilterSampleBlock(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains,
                       const OutputColumn* cols, int m, double span, int corner, LowPassState& filter, uint8_t* out) {
  static const sample_rows_detail::OnePassKernel onePass = [] {
    sample_rows_detail::OnePassKernel kernel = sample_rows_detail::Avx512OnePass();
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    if (kernel && __builtin_cpu_supports("avx512f")) return kernel;
#endif
    return static_cast<sample_rows_detail::OnePassKernel>(nullptr);
  }();
  const LowPassDesign* design = LowPassDesignOf(corner);
  if (onePass && design && n >= 1 && n <= kChannels && m >= 1 && m <= kChannels)
    onePass(block, samps, slots, n, gains, cols, m, span, *design, filter, out);
  else
    sample_rows_detail::FilterInPieces(block, samps, slots, n, gains, cols, m, span, corner, filter, out);
}
