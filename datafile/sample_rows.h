#pragma once
// A record's samples in bulk: the 24-bit counts of a block to millivolts at
// the recorder's input in rows of kSampleRowStride (one column per channel
// slot), and rows of millivolts back to the counts of an output block. The
// filtered save runs every sample through both; vector units do a row at a
// time when the processor has them, with the same results bit for bit.

#include <cstdint>

#include "spectral/lowpass.h"

constexpr int kSampleRowStride = 8;  // six channel slots and two spare columns

/// For r < samps and j < n: rows[r · kSampleRowStride + slots[j]] =
/// count · span / 2^24 / gains[slots[j]], the counts of the block's columns
/// j in order (slots ascending, the record's enabled channels). Other entries
/// of a row are left as they were.
void BlockToMillivoltRows(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                          double* rows);

/// One column of an output block.
struct OutputColumn {
  int slot = 0;         // the row column it comes from
  int32_t gain = 1;     // the channel's gain
  bool carried = true;  // false: the record has no such channel, the column is zeros
  bool negate = false;  // the channel is inverted
};

/// For r < samps and j < m: the 3-byte sample j of row r in out is
/// floor(±rows[r · kSampleRowStride + cols[j].slot] · 2^24 · gain / span),
/// saturated to 24 bits (NaN as 0), or 0 when the column is not carried.
void MillivoltRowsToBlock(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out);

/// The three steps of a filtered copy of a block: BlockToMillivoltRows of the
/// record's n channels (slots), LowPassRows of those channels through filter
/// with the design of corner, and MillivoltRowsToBlock into out, with the
/// bytes and the histories of the steps run over the whole block. With
/// AVX-512 in one pass over the rows; else a few hundred rows at a time, so
/// that the rows in between stay in the first-level cache.
void FilterSampleBlock(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains,
                       const OutputColumn* cols, int m, double span, int corner, LowPassState& filter, uint8_t* out);

namespace sample_rows_detail {
/// The byte shuffles (pshufb indices; -128 picks zero) of the vector kernels.
/// Decoding: a row's bytes are read as 16 from its start and 16 from
/// highFrom on (its last 16, or its start again when it is shorter); low
/// puts each count of slots 0 … 3 big end first into the top three bytes of
/// lane slot % 4, high those of slots 4 and 5, so that an arithmetic shift by
/// 8 gives the signed counts.
struct DecodeShuffles {
  int highFrom = 0;
  alignas(16) int8_t low[16], high[16];
};
DecodeShuffles DecodeShufflesOf(const int* slots, int n);
/// Encoding: output byte o of a row is byte 2 − o % 3 of the count of
/// column o / 3, taken from the counts of slots 0 … 3 (low) or 4, 5 (high),
/// zero for a column the record does not carry; the head is a row's first 16
/// bytes, the tail its last 16 from tailFrom on (0: a row of 16 bytes or fewer
/// has no tail).
struct EncodeShuffles {
  int tailFrom = 0;
  alignas(16) int8_t headLow[16], headHigh[16], tailLow[16], tailHigh[16];
};
EncodeShuffles EncodeShufflesOf(const OutputColumn* cols, int m);
// The two implementations, for the tests.
void ToRowsPortable(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                    double* rows);
void ToBlockPortable(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out);
bool Avx2Built();      // the program has the AVX2 versions (sample_rows_avx2.cpp)
bool Avx2Available();  // ... and the processor runs them
void ToRowsAvx2(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, double span,
                double* rows);
void ToBlockAvx2(const double* rows, int samps, const OutputColumn* cols, int m, double span, uint8_t* out);
/// FilterSampleBlock as the three steps over 256 rows at a time.
void FilterInPieces(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains,
                    const OutputColumn* cols, int m, double span, int corner, LowPassState& filter, uint8_t* out);
using OnePassKernel = void (*)(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains,
                               const OutputColumn* cols, int m, double span, const LowPassDesign& design,
                               LowPassState& filter, uint8_t* out);
/// FilterSampleBlock in one pass over the rows, the six slots of a row in one
/// AVX-512 register (sample_block_avx512.cpp), or nullptr when the program
/// was built without it; call it only when the processor has AVX-512F.
OnePassKernel Avx512OnePass();
}  // namespace sample_rows_detail
