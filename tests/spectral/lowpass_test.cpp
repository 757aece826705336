// LowPassStep and the display path: unit gain at zero frequency, −3 dB
// at the stated cut-off, the numerator weights, the per-channel state shared by
// both orders, the order-8 flush, the priming from yplotdata_prev, and the
// filter switched off giving back the scaled raw samples exactly.

#include "spectral/lowpass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "app/state.h"

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
  AppState s;
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
    AppState s;
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
    AppState s;
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
  AppState s;
  double a = LowPassStep(s, 1.0, 2, 0);
  double b = LowPassStep(s, 1.0, 2, 0);  // the history of channel 0 carries over
  double other = LowPassStep(s, 1.0, 2, 5);
  EXPECT_EQ(other, a);
  EXPECT_NE(b, a);
  AppState fresh;
  EXPECT_EQ(LowPassStep(fresh, 1.0, 2, 0), a);
}

TEST(LowPassStep, BothOrdersShareTheChannelsHistories) {
  AppState s;
  for (int t = 0; t < 50; ++t) LowPassStep(s, 10.0, 1, 0);  // order 8
  AppState cold;
  // The order-4 filter starts from the order-8 history, not from zero.
  double carried = LowPassStep(s, 10.0, 4, 0);
  double zero = LowPassStep(cold, 10.0, 4, 0);
  EXPECT_NE(carried, zero);
  EXPECT_EQ(s.LowPassXv[0][4], 10.0);
  EXPECT_EQ(s.LowPassXv[0][3], 10.0);
}

TEST(LowPassStep, FlushesTinyOutputsToZeroForOrderEightOnly) {
  AppState s;
  LowPassStep(s, 1e-210, 1, 0);
  EXPECT_EQ(s.LowPassYv[0][8], 0.0);
  AppState t;
  LowPassStep(t, 1e-210, 4, 0);
  EXPECT_EQ(t.LowPassYv[0][4], 1e-210);
  AppState u;
  LowPassStep(u, 1e-199, 1, 0);
  EXPECT_EQ(u.LowPassYv[0][8], 1e-199);
}

TEST(LowPassStep, AnIndexOrChannelOutOfRangeReturnsTheSampleAndTouchesNothing) {
  AppState s;
  EXPECT_EQ(LowPassStep(s, 3.5, 0, 0), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 7, 0), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 1, 6), 3.5);
  EXPECT_EQ(LowPassStep(s, 3.5, 1, -1), 3.5);
  for (int ch = 0; ch < kChannels; ++ch)
    for (int i = 0; i < AppState::kLowPassTaps; ++i) EXPECT_EQ(s.LowPassXv[ch][i], 0.0);
  EXPECT_EQ(LowPassCornerSamples(4), 50);
  EXPECT_EQ(LowPassCornerSamples(9), 0);
}

// A state with one channel of raw counts ready for the display path.
AppState DisplayState(int n) {
  AppState s;
  for (int ch = 0; ch < kChannels; ++ch) {
    s.yplotdata[ch].assign(static_cast<size_t>(n), 0.0);
    s.yplotdata_orig[ch].assign(static_cast<size_t>(n), 0.0);
    s.yplotdata_prev[ch].assign(kHistoryPoints, 0.0);
  }
  for (int i = 0; i < n; ++i) s.yplotdata_orig[2][static_cast<size_t>(i)] = (i * 7919) % 2001 - 1000;
  s.NumPlotPoints = n;
  return s;
}

TEST(LowPassBlock, GivesLowPassStepsResultsAndStatesBitForBit) {
  for (int corner = 1; corner <= 6; ++corner) {
    AppState a, b;
    std::vector<double> in(1000), stepped(in.size()), blocked(in.size());
    for (size_t i = 0; i < in.size(); ++i) in[i] = 100 * std::sin(0.37 * i) + (i % 7 == 0 ? 1e-205 : 3.0 * (i % 5));
    for (size_t i = 0; i < in.size(); ++i) stepped[i] = LowPassStep(a, in[i], corner, 2);
    // Blocks of uneven lengths, the last one in place.
    LowPassBlock(b, in.data(), blocked.data(), 1, corner, 2);
    LowPassBlock(b, in.data() + 1, blocked.data() + 1, 636, corner, 2);
    std::copy(in.begin() + 637, in.end(), blocked.begin() + 637);
    LowPassBlock(b, blocked.data() + 637, blocked.data() + 637, 363, corner, 2);
    EXPECT_EQ(std::memcmp(stepped.data(), blocked.data(), in.size() * sizeof(double)), 0) << corner;
    EXPECT_EQ(std::memcmp(a.LowPassXv, b.LowPassXv, sizeof a.LowPassXv), 0) << corner;
    EXPECT_EQ(std::memcmp(a.LowPassYv, b.LowPassYv, sizeof a.LowPassYv), 0) << corner;
  }
}

TEST(ScaleChannelForDisplay, WithoutTheFilterGivesTheScaledRawSamplesExactly) {
  AppState s = DisplayState(5120);
  const double factor = 0.000596046447753906;
  s.FilterOn = 1;
  ScaleChannelForDisplay(s, 2, factor);
  s.FilterOn = 0;
  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < 5120; ++i)
    ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], s.yplotdata_orig[2][static_cast<size_t>(i)] * factor) << i;
  s.OutHeader.ChannelInvert[2] = 1;
  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < 5120; ++i)
    ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], -(s.yplotdata_orig[2][static_cast<size_t>(i)] * factor)) << i;
}

TEST(ScaleChannelForDisplay, PrimesWithTheFirstCornerValuesOfThePreviousInputsThenFilters) {
  const int n = 1000;
  const double factor = 0.5;
  AppState s = DisplayState(n);
  s.FilterOn = 1;
  s.LowPassCorner = 2;  // 10 samples
  for (int i = 0; i < kHistoryPoints; ++i) s.yplotdata_prev[2][static_cast<size_t>(i)] = 100.0 + i;

  // The same steps by hand on a copy of the state.
  AppState ref = s;
  for (int i = 0; i < 10; ++i) LowPassStep(ref, 100.0 + i, 2, 2);
  std::vector<double> expected;
  for (int i = 0; i < n; ++i) expected.push_back(LowPassStep(ref, s.yplotdata_orig[2][static_cast<size_t>(i)] * factor, 2, 2));

  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < n; ++i) ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], expected[static_cast<size_t>(i)]) << i;
  // The last 199 inputs are kept at the start of yplotdata_prev for the next paint.
  for (int k = 0; k < 199; ++k)
    ASSERT_EQ(s.yplotdata_prev[2][static_cast<size_t>(k)], s.yplotdata_orig[2][static_cast<size_t>(n - 199 + k)] * factor);
  EXPECT_EQ(s.yplotdata_prev[2][199], 100.0 + 199);  // entry 199 is not rewritten
  // Other channels are untouched.
  EXPECT_EQ(s.LowPassXv[1][8], 0.0);
}

TEST(ScaleChannelForDisplay, ARepaintStartsFromTheStateThePreviousPassLeft) {
  AppState s = DisplayState(600);
  s.FilterOn = 1;
  s.LowPassCorner = 5;
  ScaleChannelForDisplay(s, 2, 1.0);
  std::vector<double> first = s.yplotdata[2];
  ScaleChannelForDisplay(s, 2, 1.0);
  EXPECT_NE(first, s.yplotdata[2]);  // the histories carry over between paints
}

TEST(ScaleChannelForDisplay, ShortPlotsKeepAllTheirInputsInsideTheHistory) {
  AppState s = DisplayState(50);
  s.FilterOn = 1;
  s.LowPassCorner = 6;  // primes with 200 values
  ScaleChannelForDisplay(s, 2, 2.0);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(s.yplotdata_prev[2][static_cast<size_t>(149 + i)], s.yplotdata_orig[2][static_cast<size_t>(i)] * 2.0);
}

}  // namespace
