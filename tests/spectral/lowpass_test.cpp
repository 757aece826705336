// LowPassStep: unit gain at zero frequency, −3 dB at the stated cut-off, the
// numerator weights, the per-channel state shared by both orders, the order-8
// flush; LowPassBlock and LowPassRows (both kernels) bit for bit as the step.

#include "spectral/lowpass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "spectral/lowpass_kernels.h"

namespace {

// |H(f)| of a design at f in cycles per sample, from its difference equation.
double DesignGain(const LowPassDesign& d, double f) {
  const int n = d.order;
  std::complex<double> z1 = std::polar(1.0, -2 * M_PI * f);  // z^−1
  std::complex<double> num = 0, den = 1, zk = 1;
  for (int k = 0; k <= n; ++k) {
    // Binomial numerator weights: (1 + z^−1)^order.
    double binom = 1;
    for (int j = 1; j <= k; ++j) binom = binom * (n - j + 1) / j;
    num += binom * zk;
    if (k >= 1) den -= d.c[n - k] * zk;  // y[t] = … + c[n−k]·y[t−k]
    zk *= z1;
  }
  return std::abs(num / den) / d.gain;
}

// Steady-state amplitude of the filtered unit sine at f, run through LowPassStep.
double SimulatedGain(int corner, double f) {
  LowPassState s;
  const int settle = 20000, measure = 4000;
  double ss = 0, sc = 0;
  for (int t = 0; t < settle + measure; ++t) {
    double y = LowPassStep(s, std::sin(2 * M_PI * f * t), corner, 0);
    if (t >= settle) {
      ss += y * std::sin(2 * M_PI * f * t);
      sc += y * std::cos(2 * M_PI * f * t);
    }
  }
  return 2.0 * std::hypot(ss, sc) / measure;
}

TEST(LowPassStep, HasUnitGainAtZeroFrequencyForEveryCorner) {
  for (int corner = 1; corner <= 6; ++corner) {
    LowPassState s;
    double y = 0;
    for (int t = 0; t < 40000; ++t) y = LowPassStep(s, 123.25, corner, 1);
    // The recursion amplifies rounding by 1/(1 − Σc), up to 1e6 for the
    // narrowest corner: unit gain holds to about 1e−10.
    EXPECT_NEAR(y / 123.25, 1.0, 1e-9) << "corner " << corner;
    EXPECT_NEAR(DesignGain(*LowPassDesignOf(corner), 0.0), 1.0, 1e-9) << "corner " << corner;
  }
}

TEST(LowPassStep, DividesByTheZeroFrequencyGainOfTheTabledCoefficients) {
  // The table's G belongs to the unrounded design: close to, but not exactly,
  // the gain of the ten-digit coefficients.
  for (int corner = 1; corner <= 6; ++corner) {
    const LowPassDesign& d = *LowPassDesignOf(corner);
    EXPECT_NEAR(d.gain / d.tableGain, 1.0, 4e-5) << "corner " << corner;
  }
  EXPECT_EQ(LowPassDesignOf(1)->tableGain, 440.1718407);
  EXPECT_EQ(LowPassDesignOf(6)->tableGain, 17108222.97);
}

TEST(LowPassStep, IsThreeDecibelsDownAtTheStatedCutOff) {
  for (int corner = 1; corner <= 6; ++corner) {
    const double fc = 1.0 / LowPassCornerSamples(corner);
    EXPECT_NEAR(DesignGain(*LowPassDesignOf(corner), fc), std::sqrt(0.5), 1e-4) << "corner " << corner;
    // Sampled at the cut-off frequency exactly, averaging over whole periods.
    EXPECT_NEAR(SimulatedGain(corner, fc), std::sqrt(0.5), 2e-3) << "corner " << corner;
    // A Butterworth: flat below, falling fast above.
    EXPECT_GT(DesignGain(*LowPassDesignOf(corner), fc / 4), 0.999) << "corner " << corner;
    EXPECT_LT(DesignGain(*LowPassDesignOf(corner), fc * 2), 0.07) << "corner " << corner;
  }
}

TEST(LowPassStep, UsesTheBinomialNumeratorWeights) {
  const std::vector<double> order8 = {1, 8, 28, 56, 70, 56, 28, 8, 1};
  const std::vector<double> order4 = {1, 4, 6, 4, 1};
  for (int corner : {1, 2, 3, 4, 5, 6}) {
    const LowPassDesign& d = *LowPassDesignOf(corner);
    const std::vector<double>& weights = d.order == 8 ? order8 : order4;
    LowPassState s;
    std::vector<double> y;  // unscaled outputs G·out
    for (int t = 0; t <= d.order; ++t) y.push_back(d.gain * LowPassStep(s, t == 0 ? 1.0 : 0.0, corner, 3));
    // G·y_t − Σ c[i]·G·y_{t−order+i} is the weight of the impulse t samples ago.
    for (int t = 0; t <= d.order; ++t) {
      double feedback = 0;
      for (int i = 0; i < d.order; ++i) {
        int back = t - d.order + i;
        if (back >= 0) feedback += d.c[i] * y[static_cast<size_t>(back)];
      }
      EXPECT_NEAR(y[static_cast<size_t>(t)] - feedback, weights[static_cast<size_t>(t)], 1e-9)
          << "corner " << corner << " tap " << t;
    }
  }
  EXPECT_EQ(LowPassDesignOf(3)->order, 8);
  EXPECT_EQ(LowPassDesignOf(4)->order, 4);
}

TEST(LowPassStep, KeepsOneStatePerChannelForTheLifeOfTheState) {
  LowPassState s;
  double a = LowPassStep(s, 1.0, 2, 0);
  double b = LowPassStep(s, 1.0, 2, 0);  // the history of channel 0 carries over
  double other = LowPassStep(s, 1.0, 2, 5);
  EXPECT_EQ(other, a);
  EXPECT_NE(b, a);
  LowPassState fresh;
  EXPECT_EQ(LowPassStep(fresh, 1.0, 2, 0), a);
}

TEST(LowPassStep, BothOrdersShareTheChannelsHistories) {
  LowPassState s;
  for (int t = 0; t < 50; ++t) LowPassStep(s, 10.0, 1, 0);  // order 8
  LowPassState cold;
  // The order-4 filter starts from the order-8 history, not from zero.
  double carried = LowPassStep(s, 10.0, 4, 0);
  double zero = LowPassStep(cold, 10.0, 4, 0);
  EXPECT_NE(carried, zero);
  EXPECT_EQ(s.xv[0][4], 10.0);
  EXPECT_EQ(s.xv[0][3], 10.0);
}

TEST(LowPassStep, FlushesTinyOutputsToZeroForOrderEightOnly) {
  LowPassState s;
  LowPassStep(s, 1e-210, 1, 0);
  EXPECT_EQ(s.yv[0][8], 0.0);
  LowPassState t;
  LowPassStep(t, 1e-210, 4, 0);
  EXPECT_EQ(t.yv[0][4], 1e-210);
  LowPassState u;
  LowPassStep(u, 1e-199, 1, 0);
  EXPECT_EQ(u.yv[0][8], 1e-199);
}

TEST(LowPassStep, AnIndexOrChannelOutOfRangeReturnsTheSampleAndTouchesNothing) {
  LowPassState s;
  EXPECT_EQ(LowPassStep(s, 3.5, 0, 0), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 7, 0), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 1, 6), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 1, -1), 3.5);
  for (int ch = 0; ch < kLowPassChannels; ++ch)
    for (int i = 0; i < kLowPassTaps; ++i) EXPECT_EQ(s.xv[ch][i], 0.0);
  EXPECT_EQ(LowPassCornerSamples(4), 50);
  EXPECT_EQ(LowPassCornerSamples(9), 0);
}

TEST(LowPassBlock, GivesLowPassStepsResultsAndStatesBitForBit) {
  for (int corner = 1; corner <= 6; ++corner) {
    LowPassState a, b;
    std::vector<double> in(1000), stepped(in.size()), blocked(in.size());
    for (size_t i = 0; i < in.size(); ++i) in[i] = 100 * std::sin(0.37 * i) + (i % 7 == 0 ? 1e-205 : 3.0 * (i % 5));
    for (size_t i = 0; i < in.size(); ++i) stepped[i] = LowPassStep(a, in[i], corner, 2);
    // Blocks of uneven lengths, the last one in place.
    LowPassBlock(b, in.data(), blocked.data(), 1, corner, 2);
    LowPassBlock(b, in.data() + 1, blocked.data() + 1, 636, corner, 2);
    std::copy(in.begin() + 637, in.end(), blocked.begin() + 637);
    LowPassBlock(b, blocked.data() + 637, blocked.data() + 637, 363, corner, 2);
    EXPECT_EQ(std::memcmp(stepped.data(), blocked.data(), in.size() * sizeof(double)), 0) << corner;
    EXPECT_EQ(std::memcmp(a.xv, b.xv, sizeof a.xv), 0) << corner;
    EXPECT_EQ(std::memcmp(a.yv, b.yv, sizeof a.yv), 0) << corner;
  }
}

// Rows of six channels of random samples (a few tiny, zero and non-finite ones
// among them) and two spare columns.
std::vector<double> RandomRows(int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 1000.0);
  std::vector<double> rows(static_cast<size_t>(n) * kLowPassRowStride);
  for (size_t i = 0; i < rows.size(); ++i) {
    const unsigned pick = static_cast<unsigned>(rng() % 200);
    rows[i] = pick == 0 ? 1e-205 : pick == 1 ? -0.0 : pick == 2 ? 0.0 : normal(rng);
  }
  return rows;
}

TEST(LowPassRows, EveryKernelGivesLowPassStepsResultsAndStatesBitForBit) {
  std::vector<std::pair<const char*, LowPassRowsKernel>> kernels = {
      {"portable", [](LowPassState& s, const LowPassDesign& d, double* rows, int n, unsigned mask) {
         LowPassRowsPortable(s, rows, n, mask, static_cast<int>(&d - LowPassDesignOf(1)) + 1);
       }}};
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (Avx2LowPassRows() && __builtin_cpu_supports("avx2")) kernels.push_back({"avx2", Avx2LowPassRows()});
  if (Avx512LowPassRows() && __builtin_cpu_supports("avx512f")) kernels.push_back({"avx512", Avx512LowPassRows()});
#endif
  const int n = 3000;
  const int cuts[] = {0, 1, 9, 10, 1337, n};  // blocks of 1, 8, 1 and uneven lengths
  unsigned seed = 1;
  for (auto [name, kernel] : kernels)
    for (unsigned mask : {0x3Fu, 0x01u, 0x2Du, 0x30u, 0x1Eu})
      for (int corner = 1; corner <= 6; ++corner) {
        std::vector<double> in = RandomRows(n, seed++);
        if (corner == 2) in[5 * kLowPassRowStride + 3] = std::nan("");  // a NaN runs on in its channel
        // A state that is not at rest, so that the histories are seen to carry in.
        LowPassState stepped;
        for (int ch = 0; ch < kLowPassChannels; ++ch)
          for (int i = 0; i < kLowPassTaps; ++i) stepped.xv[ch][i] = stepped.yv[ch][i] = ch * 10 + i;
        LowPassState rowed = stepped;
        std::vector<double> expected = in;
        for (int ch = 0; ch < kLowPassChannels; ++ch) {
          if (!(mask >> ch & 1u)) continue;
          for (int r = 0; r < n; ++r) {
            double& v = expected[static_cast<size_t>(r) * kLowPassRowStride + ch];
            v = LowPassStep(stepped, v, corner, ch);
          }
        }
        std::vector<double> got = in;
        for (size_t b = 0; b + 1 < std::size(cuts); ++b)
          kernel(rowed, *LowPassDesignOf(corner), got.data() + static_cast<size_t>(cuts[b]) * kLowPassRowStride,
                 cuts[b + 1] - cuts[b], mask);
        ASSERT_EQ(std::memcmp(expected.data(), got.data(), got.size() * sizeof(double)), 0)
            << name << " mask " << mask << " corner " << corner;
        ASSERT_EQ(std::memcmp(&stepped, &rowed, sizeof stepped), 0) << name << " mask " << mask << " corner " << corner;
      }
}

TEST(LowPassRows, AnUnknownCornerOrNoChannelLeavesRowsAndStateAlone) {
  std::vector<double> rows = RandomRows(20, 7), before = rows;
  LowPassState s;
  LowPassRows(s, rows.data(), 20, 0x3F, 0);
  LowPassRows(s, rows.data(), 20, 0x3F, 7);
  LowPassRows(s, rows.data(), 20, 0xC0, 1);  // spare columns are no channels
  LowPassRows(s, rows.data(), 0, 0x3F, 1);
  EXPECT_EQ(rows, before);
  const LowPassState rest;
  EXPECT_EQ(std::memcmp(&s, &rest, sizeof s), 0);
}

}  // namespace
