// ApplyWindow: the Hanning and Hamming weights for n = 8 and an odd
// n, type 0 an exact copy, type 3 the Slepian taper of the record's own length,
// other types leave the output alone.

#include "spectral/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/state.h"
#include "spectral/slepian.h"

namespace {

std::vector<double> Weights(AppState& s, int n, int type) {
  std::vector<double> ones(static_cast<size_t>(n), 1.0), out(static_cast<size_t>(n), -99.0);
  ApplyWindow(s.SlepianWindows, ones.data(), out.data(), n, 1.0, type);
  return out;
}

TEST(ApplyWindow, HanningOfEightSamplesHasThePartsWeightsMirrored) {
  AppState s;
  std::vector<double> w = Weights(s, 8, kWindowHanning);
  const double expected[4] = {0.0, 0.14644660940672627, 0.5, 0.85355339059327373};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(w[static_cast<size_t>(i)], expected[i], 1e-15) << i;
    EXPECT_EQ(w[static_cast<size_t>(7 - i)], w[static_cast<size_t>(i)]) << i;
  }
}

TEST(ApplyWindow, HammingOfEightSamplesRunsFromPoint08TowardOne) {
  AppState s;
  std::vector<double> w = Weights(s, 8, kWindowHamming);
  for (int i = 0; i < 4; ++i) {
    double expected = 0.54 + 0.46 * std::cos(M_PI * (i - 4) / 4.0);
    EXPECT_NEAR(w[static_cast<size_t>(i)], expected, 1e-15) << i;
    EXPECT_EQ(w[static_cast<size_t>(7 - i)], w[static_cast<size_t>(i)]) << i;
  }
  EXPECT_NEAR(w[0], 0.08, 1e-15);
  EXPECT_NEAR(w[3], 0.54 + 0.46 * std::sqrt(0.5), 1e-15);
}

TEST(ApplyWindow, OddLengthCopiesTheMiddleSampleWithWeightOne) {
  AppState s;
  for (int type : {kWindowHanning, kWindowHamming}) {
    std::vector<double> w = Weights(s, 9, type);  // m = 4
    EXPECT_EQ(w[4], 1.0);
    for (int i = 0; i < 4; ++i) {
      double c = std::cos(M_PI * (i - 4) / 4.0);
      double expected = type == kWindowHanning ? 0.5 * (1 + c) : 0.54 + 0.46 * c;
      EXPECT_NEAR(w[static_cast<size_t>(i)], expected, 1e-15);
      EXPECT_EQ(w[static_cast<size_t>(8 - i)], w[static_cast<size_t>(i)]);
    }
  }
}

TEST(ApplyWindow, TypeNoneIsAnExactCopy) {
  AppState s;
  std::vector<double> in = {1.5, -0.0, 3e-300, -7.25, 1e300, 0.1, std::numeric_limits<double>::denorm_min()};
  std::vector<double> out(in.size(), 42.0);
  ApplyWindow(s.SlepianWindows, in.data(), out.data(), static_cast<int>(in.size()), 1.0, kWindowNone);
  for (size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(out[i], in[i]) << i;
    EXPECT_EQ(std::signbit(out[i]), std::signbit(in[i])) << i;
  }
}

TEST(ApplyWindow, WeightsMultiplyTheSamples) {
  AppState s;
  std::vector<double> in = {2, -4, 6, -8, 10, -12, 14, -16};
  std::vector<double> out(8);
  ApplyWindow(s.SlepianWindows, in.data(), out.data(), 8, 1.0, kWindowHanning);
  std::vector<double> w = Weights(s, 8, kWindowHanning);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(out[i], in[i] * w[i]);
}

TEST(ApplyWindow, SlepianUsesTheFirstTaperOfTheRecordsOwnLength) {
  AppState s;
  for (int n : {5120, 30000}) {  // shorter and longer than the 25600 start-up taper
    std::vector<double> w = Weights(s, n, kWindowSlepian);
    std::vector<double> taper(static_cast<size_t>(n));
    SlepianTapers(n, 1, 3.0, taper.data());
    EXPECT_EQ(w, taper) << n;
    double ss = 0;
    for (double x : w) ss += x * x;
    EXPECT_NEAR(ss, n, 1e-8 * n);
    EXPECT_NEAR(w.front(), w.back(), 1e-12);
  }
  EXPECT_EQ(s.SlepianWindows.size(), 2u);
}

TEST(ApplyWindow, UnknownTypeLeavesTheOutputUnchanged) {
  AppState s;
  std::vector<double> w = Weights(s, 8, 4);
  for (double x : w) EXPECT_EQ(x, -99.0);
  w = Weights(s, 8, -1);
  for (double x : w) EXPECT_EQ(x, -99.0);
}

TEST(ApplyWindow, FractionBelowOneTapersOnlyTheEnds) {
  AppState s;
  std::vector<double> ones(20, 1.0), out(20, -1.0);
  ApplyWindow(s.SlepianWindows, ones.data(), out.data(), 20, 0.5, kWindowHanning);  // m = 5
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[19], 0.0);
  for (int i = 5; i < 15; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], 1.0) << i;
}

}  // namespace
