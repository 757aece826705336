// The bulk conversions of a record's samples: both implementations give the
// per-sample rule's bits (DecodeSample, the millivolt scaling, EncodeSample)
// for random counts and for the edges: saturation, NaN, negative zero,
// inverted, dropped and missing channels. The filtered copy of a block, in
// one pass or in pieces, gives the bytes and histories of the three steps.

#include "datafile/sample_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "datafile/header.h"
#include "spectral/lowpass.h"

namespace {

using namespace sample_rows_detail;

struct Impl {
  const char* name;
  decltype(&ToRowsPortable) toRows;
  decltype(&ToBlockPortable) toBlock;
};

std::vector<Impl> Impls() {
  std::vector<Impl> impls = {{"portable", &ToRowsPortable, &ToBlockPortable}};
  if (Avx2Available()) impls.push_back({"avx2", &ToRowsAvx2, &ToBlockAvx2});
  return impls;
}

TEST(SampleRows, BlockToMillivoltsGivesTheSampleRuleForEveryChannelSet) {
  std::mt19937 rng(5);
  const double span = 10000.0;
  // Gains of any kind, and powers of two only (whose reciprocals are exact);
  // blocks long and short, down to rows that all lie at the block's end.
  const int32_t mixed[6] = {1, 40, 160, 2560, 8, 64}, powers[6] = {1, 4, 16, 64, 256, 8};
  for (const int32_t* gains : {mixed, powers})
    for (const int samps : {600, 5, 1})
      for (const int slotsSet : {0x3F, 0x01, 0x2A, 0x30, 0x1F, 0x3E}) {
        int slots[6], n = 0;
        for (int k = 0; k < 6; ++k)
          if (slotsSet >> k & 1) slots[n++] = k;
        std::vector<uint8_t> block(static_cast<size_t>(samps) * n * 3);
        for (uint8_t& b : block) b = static_cast<uint8_t>(rng());
        block[0] = 0x80, block[1] = 0, block[2] = 0;  // the most negative count
        for (const Impl& impl : Impls()) {
          std::vector<double> rows(static_cast<size_t>(samps) * kSampleRowStride, 7.5);
          impl.toRows(block.data(), samps, slots, n, gains, span, rows.data());
          for (int r = 0; r < samps; ++r)
            for (int k = 0; k < kSampleRowStride; ++k) {
              double want = 7.5;  // columns of no channel keep what they held
              for (int j = 0; j < n; ++j)
                if (slots[j] == k)
                  want = DecodeSample(&block[(static_cast<size_t>(r) * n + j) * 3]) * span / 16777216.0 / gains[k];
              const double got = rows[static_cast<size_t>(r) * kSampleRowStride + k];
              ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0)
                  << impl.name << " row " << r << " of " << samps << " column " << k << " set " << slotsSet;
            }
        }
      }
}

TEST(SampleRows, MillivoltsToBlockGivesEncodeSamplesBytes) {
  std::mt19937_64 rng(9);
  std::normal_distribution<double> normal(0.0, 300.0);
  const double span = 10000.0;
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const double edges[] = {nan, inf, -inf, -0.0, 0.0, 5000.0, -5000.0, 1e300, -1e-300, 4999.9997, -4999.9997};
  std::vector<double> rows(static_cast<size_t>(300) * kSampleRowStride);
  for (size_t i = 0; i < rows.size(); ++i)
    rows[i] = i < std::size(edges) * kSampleRowStride ? edges[i / kSampleRowStride] : normal(rng);
  // Slots in output order: an inverted one, a channel the record lacks, a dropped
  // slot between (4 is not written), a gain of 2560.
  const OutputColumn five[] = {
      {0, 1, true, false}, {1, 40, true, true}, {2, 1, false, false}, {3, 2560, true, false}, {5, 160, true, true}};
  // Six columns (rows longer than one vector), one column, and a lone column
  // of the last slot, over blocks long and short.
  const OutputColumn six[] = {{0, 1, true, true},  {1, 4, true, false}, {2, 40, true, false},
                              {3, 8, true, false}, {4, 64, true, true}, {5, 2560, true, false}};
  const OutputColumn one[] = {{2, 16, true, true}}, last[] = {{5, 1, true, false}};
  const std::pair<const OutputColumn*, int> sets[] = {{five, 5}, {six, 6}, {one, 1}, {last, 1}};
  for (const auto& [cols, m] : sets)
    for (const int samps : {300, 3, 1})
      for (const Impl& impl : Impls()) {
        std::vector<uint8_t> out(static_cast<size_t>(samps) * m * 3, 0xAA);
        impl.toBlock(rows.data(), samps, cols, m, span, out.data());
        for (int r = 0; r < samps; ++r)
          for (int j = 0; j < m; ++j) {
            double x = 0.0;
            if (cols[j].carried) {
              const double y = rows[static_cast<size_t>(r) * kSampleRowStride + cols[j].slot];
              x = (cols[j].negate ? -y : y) * 16777216.0 * cols[j].gain / span;
            }
            uint8_t want[3];
            EncodeSample(x, want);
            ASSERT_EQ(std::memcmp(want, &out[(static_cast<size_t>(r) * m + j) * 3], 3), 0)
                << impl.name << " row " << r << " of " << samps << " column " << j << " of " << m;
          }
      }
}

TEST(SampleCoding, EncodesTheFloorAtTheEdgesOfTheRangeAndNaNAsZero) {
  const struct {
    double x;
    int32_t count;
  } cases[] = {{-0.5, -1},
               {-0.0, 0},
               {0.999, 0},
               {-1.0, -1},
               {-8388607.5, -8388608},
               {-8388608.0, -8388608},
               {-8388608.5, -8388608},
               {8388607.99, 8388607},
               {8388608.0, 8388607},
               {1e300, 8388607},
               {-1e300, -8388608},
               {std::nan(""), 0}};
  for (const auto& c : cases) {
    uint8_t b[3];
    EncodeSample(c.x, b);
    EXPECT_EQ(DecodeSample(b), c.count) << c.x;
  }
}

// The three steps over a whole block, the way the filtered copy is defined.
void ThreeSteps(const std::vector<uint8_t>& block, int samps, const int* slots, int n, const int32_t* gains,
                const OutputColumn* cols, int m, double span, int corner, LowPassState& s, uint8_t* out) {
  std::vector<double> rows(static_cast<size_t>(samps) * kSampleRowStride);
  unsigned mask = 0;
  for (int j = 0; j < n; ++j) mask |= 1u << slots[j];
  BlockToMillivoltRows(block.data(), samps, slots, n, gains, span, rows.data());
  LowPassRows(s, rows.data(), samps, mask, corner);
  MillivoltRowsToBlock(rows.data(), samps, cols, m, span, out);
}

TEST(FilterSampleBlock, OnePassAndPiecesGiveTheThreeStepsBytesAndHistories) {
  using Kernel = void (*)(const uint8_t*, int, const int*, int, const int32_t*, const OutputColumn*, int, double, int,
                          LowPassState&, uint8_t*);
  std::vector<std::pair<const char*, Kernel>> ways = {{"chosen", &FilterSampleBlock}, {"pieces", &FilterInPieces}};
  std::mt19937 rng(11);
  const int32_t mixed[6] = {1, 40, 160, 2560, 8, 64}, powers[6] = {1, 4, 16, 64, 256, 8};
  // Records after one another through one filter, as a copy runs them: the
  // channel set changes between records (a channel's histories wait while it
  // is missing), and the last block's rows all lie at its end.
  const int records[][2] = {{0x3F, 2190}, {0x2A, 300}, {0x3F, 17}, {0x01, 9}, {0x1E, 7}, {0x3F, 1}, {0x30, 0}};
  // Output columns: the record's own, some inverted, one the record lacks.
  for (const double span :
       {10000.0, 2500.5, 1e-196, 1e-205})  // the last two: outputs about and below the flush threshold
    for (const int32_t* gains : {mixed, powers})
      for (int corner = 1; corner <= 6; ++corner)
        for (const bool invert : {false, true}) {
          LowPassState want, got[2];
          for (const auto& [set, samps] : records) {
            int slots[6], n = 0;
            for (int k = 0; k < 6; ++k)
              if (set >> k & 1) slots[n++] = k;
            OutputColumn cols[6];
            int m = 0;
            for (int k = 0; k < 6; ++k)
              if ((set | 0x04) >> k & 1) cols[m++] = {k, gains[k], (set >> k & 1) != 0, invert && (k == 1 || k == 4)};
            std::vector<uint8_t> block(static_cast<size_t>(samps) * n * 3);
            for (uint8_t& b : block) b = static_cast<uint8_t>(rng());
            std::vector<uint8_t> expected(static_cast<size_t>(samps) * m * 3 + 1, 0xA5);
            ThreeSteps(block, samps, slots, n, gains, cols, m, span, corner, want, expected.data());
            for (int w = 0; w < 2; ++w) {
              std::vector<uint8_t> out(expected.size(), 0xA5);  // the byte past the block stays
              ways[w].second(block.data(), samps, slots, n, gains, cols, m, span, corner, got[w], out.data());
              ASSERT_EQ(out, expected) << ways[w].first << " span " << span << " corner " << corner << " set " << set
                                       << " rows " << samps;
              ASSERT_EQ(std::memcmp(&got[w], &want, sizeof want), 0) << ways[w].first << " corner " << corner;
            }
          }
        }
}

}  // namespace
