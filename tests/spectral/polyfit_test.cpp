// PolyFit, SolveLinear, FindPivot and IntPow: a line and a cubic
// recovered, the RMS misfit, a singular fit keeping the previous coefficients,
// precision far from x = 0, and the resampled curve.

#include "spectral/polyfit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "spectral/polyfit_kernels.h"

namespace {

TEST(IntPow, SquaresRepeatedlyAndInvertsNegativePowers) {
  EXPECT_EQ(IntPow(2.0, 0), 1.0);
  EXPECT_EQ(IntPow(0.0, 0), 1.0);
  EXPECT_EQ(IntPow(2.0, 10), 1024.0);
  EXPECT_EQ(IntPow(-3.0, 3), -27.0);
  EXPECT_EQ(IntPow(2.0, -3), 0.125);
  EXPECT_EQ(IntPow(-2.0, -1), -0.5);
  EXPECT_EQ(IntPow(1.0, -2147483647 - 1), 1.0);
  EXPECT_DOUBLE_EQ(IntPow(1.1, 20), std::pow(1.1, 20));
  EXPECT_EQ(IntPow(0.0, 5), 0.0);
}

TEST(SolveLinear, SolvesWithFullPivotingAndRestoresTheUnknownsOrder) {
  // 0·x1 + 2·x2 + 1·x3 = 7; 1·x1 + 0·x2 + 0·x3 = 1; 3·x1 + 1·x2 + 5·x3 = 20 → x = (1, 2, 3)
  FitMatrix A{};
  const double rows[3][4] = {{0, 2, 1, 7}, {1, 0, 0, 1}, {3, 1, 5, 20}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 4; ++j) A[i][j] = rows[i - 1][j - 1];
  double X[4] = {0, -1, -1, -1};
  ASSERT_EQ(SolveLinear(A, 3, X), 1);
  EXPECT_NEAR(X[1], 1.0, 1e-14);
  EXPECT_NEAR(X[2], 2.0, 1e-14);
  EXPECT_NEAR(X[3], 3.0, 1e-14);
}

TEST(SolveLinear, ASingularSystemLeavesTheSolutionAsItWas) {
  FitMatrix A{};
  A[1][1] = 1;
  A[1][2] = 2;
  A[1][3] = 3;
  A[2][1] = 2;
  A[2][2] = 4;
  A[2][3] = 6;
  double X[3] = {0, 11, 22};
  EXPECT_EQ(SolveLinear(A, 2, X), 0);
  EXPECT_EQ(X[1], 11);
  EXPECT_EQ(X[2], 22);
}

TEST(FindPivot, MovesTheLargestEntryToTheDiagonalFirstFoundWinning) {
  FitMatrix A{};
  const double rows[3][4] = {{1, 2, 3, 0}, {4, -9, 9, 0}, {7, 8, 5, 0}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 4; ++j) A[i][j] = rows[i - 1][j - 1];
  int ORD[4] = {0, 1, 2, 3};
  FindPivot(A, 3, ORD, 1);
  // |−9| at (2,2) is found before 9 at (2,3): column 2 and row 2 move to the front.
  EXPECT_EQ(A[1][1], -9);
  EXPECT_EQ(A[1][2], 4);
  EXPECT_EQ(A[2][1], 2);
  EXPECT_EQ(ORD[1], 2);
  EXPECT_EQ(ORD[2], 1);
}

TEST(PolyFit, RecoversALineWithZeroMisfit) {
  std::vector<double> x = {0, 1, 2, 3, 4}, y;
  for (double v : x) y.push_back(2 * v + 1);
  std::vector<double> xo(5), yo(5);
  double c[3] = {0, 0, 0}, rms = -1;
  EXPECT_EQ(PolyFit(x.data(), y.data(), xo.data(), yo.data(), c, 1, 5, 5, &rms), 1);
  EXPECT_NEAR(c[1], 1.0, 1e-13);
  EXPECT_NEAR(c[2], 2.0, 1e-13);
  EXPECT_NEAR(rms, 0.0, 1e-13);
}

TEST(PolyFit, ThreePointsOnALineAreEnough) {
  double x[3] = {-1, 0.5, 7}, y[3] = {-1, 2, 15}, xo[3], yo[3], c[3] = {}, rms = -1;
  PolyFit(x, y, xo, yo, c, 1, 3, 3, &rms);
  EXPECT_NEAR(c[1], 1.0, 1e-14);
  EXPECT_NEAR(c[2], 2.0, 1e-14);
  EXPECT_NEAR(rms, 0.0, 1e-14);
}

TEST(PolyFit, RecoversAKnownCubic) {
  const int n = 200;
  std::vector<double> x(n), y(n), xo(n), yo(n);
  for (int i = 0; i < n; ++i) {
    x[static_cast<size_t>(i)] = -3.0 + 0.05 * i;
    double t = x[static_cast<size_t>(i)];
    y[static_cast<size_t>(i)] = 0.5 - 1.25 * t + 0.75 * t * t + 0.125 * t * t * t;
  }
  double c[5] = {}, rms = -1;
  ASSERT_EQ(PolyFit(x.data(), y.data(), xo.data(), yo.data(), c, 3, n, n, &rms), 1);
  EXPECT_NEAR(c[1], 0.5, 1e-12);
  EXPECT_NEAR(c[2], -1.25, 1e-12);
  EXPECT_NEAR(c[3], 0.75, 1e-12);
  EXPECT_NEAR(c[4], 0.125, 1e-12);
  EXPECT_LT(rms, 1e-13);
}

TEST(PolyFit, GivesTheRmsMisfitWithTheFittedTermsInTheDenominator) {
  // y = x + (+1, −1, +1, −1 …): the least-squares line through 0,1,2,3 and the
  // residuals follow; rms = sqrt(Σr² / (npts − 2)).
  double x[4] = {0, 1, 2, 3}, y[4] = {1, 0, 3, 2}, xo[4], yo[4], c[3] = {}, rms = 0;
  PolyFit(x, y, xo, yo, c, 1, 4, 4, &rms);
  // Line: slope 0.6, intercept 0.6; residuals 0.4, −1.2, 1.2, −0.4.
  EXPECT_NEAR(c[1], 0.6, 1e-14);
  EXPECT_NEAR(c[2], 0.6, 1e-14);
  EXPECT_NEAR(rms, std::sqrt((0.16 + 1.44 + 1.44 + 0.16) / 2.0), 1e-14);
}

TEST(PolyFit, AllXZeroKeepsThePreviousCoefficients) {
  double x[5] = {0, 0, 0, 0, 0}, y[5] = {1, 2, 3, 4, 5}, xo[5], yo[5], rms = -1;
  double c[3] = {0, 7.0, -3.0};
  EXPECT_EQ(PolyFit(x, y, xo, yo, c, 1, 5, 5, &rms), 0);
  EXPECT_EQ(c[1], 7.0);
  EXPECT_EQ(c[2], -3.0);
  // The misfit and curve come from the kept coefficients: f(0) = 7.
  EXPECT_NEAR(rms, std::sqrt((36.0 + 25 + 16 + 9 + 4) / 3.0), 1e-12);
  for (double v : yo) EXPECT_EQ(v, 7.0);
}

TEST(PolyFit, AllXEqualElsewhereIsSingularToo) {
  double x[4] = {12.5, 12.5, 12.5, 12.5}, y[4] = {1, 2, 3, 4}, xo[2], yo[2], rms = 0;
  double c[4] = {0, 1, 2, 3};
  EXPECT_EQ(PolyFit(x, y, xo, yo, c, 2, 4, 2, &rms), 0);
  EXPECT_EQ(c[1], 1);
  EXPECT_EQ(c[2], 2);
  EXPECT_EQ(c[3], 3);
}

TEST(PolyFit, StaysPreciseFarFromXZero) {
  // A cubic trend a thousand seconds into a file, 1024 samples per second:
  // in raw seconds the normal equations of order 3 would lose all precision.
  const int n = 1024;
  std::vector<double> x(n), y(n), xo(n), yo(n);
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 1e-3);
  for (int i = 0; i < n; ++i) {
    double t = 1024.0 + i / 1024.0;
    double u = t - 1024.5;
    x[static_cast<size_t>(i)] = t;
    y[static_cast<size_t>(i)] = 3.0 + 4.0 * u - 2.0 * u * u + 8.0 * u * u * u + noise(rng);
  }
  double c[5] = {}, rms = 0;
  ASSERT_EQ(PolyFit(x.data(), y.data(), xo.data(), yo.data(), c, 3, n, n, &rms), 1);
  EXPECT_NEAR(rms, 1e-3, 1e-4);
  double worst = 0;
  for (int i = 0; i < n; ++i) {
    double u = xo[static_cast<size_t>(i)] - 1024.5;
    double trend = 3.0 + 4.0 * u - 2.0 * u * u + 8.0 * u * u * u;
    worst = std::max(worst, std::fabs(yo[static_cast<size_t>(i)] - trend));
  }
  EXPECT_LT(worst, 5e-4);
  // The coefficients, in powers of x, still describe the trend (to their own rounding).
  double at = 1024.25, f = 0;
  for (int j = 1; j <= 4; ++j) f += c[j] * std::pow(at, j - 1);
  double u = at - 1024.5;
  EXPECT_NEAR(f, 3.0 + 4.0 * u - 2.0 * u * u + 8.0 * u * u * u, 1e-2);
}

TEST(PolyFit, ResamplesTheCurveOneStepShortOfTheLastX) {
  double x[5] = {10, 11, 12, 13, 14}, y[5] = {5, 7, 9, 11, 13}, xo[8], yo[8], c[3] = {}, rms = 0;
  PolyFit(x, y, xo, yo, c, 1, 5, 8, &rms);
  for (int i = 0; i < 8; ++i) {
    EXPECT_DOUBLE_EQ(xo[i], 10 + i * 0.5);
    EXPECT_NEAR(yo[i], 2 * xo[i] - 15, 1e-12);
  }
}

TEST(PolyFit, AnOrderOutsideTheDialogsRangeWritesNothingButTheMisfit) {
  double x[3] = {0, 1, 2}, y[3] = {0, 1, 2}, xo[3] = {9, 9, 9}, yo[3] = {9, 9, 9}, rms = -1;
  double c[30] = {};
  c[1] = 4;
  EXPECT_EQ(PolyFit(x, y, xo, yo, c, 21, 3, 3, &rms), 0);
  EXPECT_EQ(rms, 0.0);
  EXPECT_EQ(c[1], 4);
  EXPECT_EQ(xo[0], 9);
}

TEST(PolyFit, HighOrderFitOfAPolynomialIsExact) {
  const int n = 400, order = 12;
  std::vector<double> x(n), y(n), xo(n), yo(n);
  for (int i = 0; i < n; ++i) {
    double t = -1.0 + 2.0 * i / (n - 1);
    x[static_cast<size_t>(i)] = t;
    double f = 0;
    for (int k = order; k >= 0; --k) f = f * t + (k % 3 - 1);
    y[static_cast<size_t>(i)] = f;
  }
  double c[kMaxFitTerms + 1] = {}, rms = 1;
  ASSERT_EQ(PolyFit(x.data(), y.data(), xo.data(), yo.data(), c, order, n, n, &rms), 1);
  for (int k = 0; k <= order; ++k) EXPECT_NEAR(c[k + 1], k % 3 - 1, 1e-8) << k;
  EXPECT_LT(rms, 1e-11);
}

}  // namespace

// The AVX2 passes give the portable passes' bits: power sums, misfit and curve
// at every order, with lengths that leave every kind of tail, with and without
// the curve's abscissas.
TEST(PolyFit, VectorPassesGiveThePortableBits) {
  const PolyFitKernels* vector = Avx2PolyFitKernels();
  if (!vector || !__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 kernels here";
  std::mt19937_64 rng(17);
  std::normal_distribution<double> g(0.0, 50.0);
  for (int npts : {1, 3, 15, 16, 17, 33, 1000, 4099})
    for (int order : {0, 1, 3, 8, 20}) {
      std::vector<double> x(static_cast<size_t>(npts)), y(x.size());
      for (int i = 0; i < npts; ++i) {
        x[static_cast<size_t>(i)] = 3600.0 + i / 512.0;
        y[static_cast<size_t>(i)] = g(rng) + 0.01 * i;
      }
      for (bool withX : {true, false}) {
        std::vector<double> xo[2], yo[2];
        double coeffs[2][kMaxFitTerms + 2] = {}, rms[2] = {};
        int solved[2];
        const PolyFitKernels* kernels[2] = {&PortablePolyFitKernels(), vector};
        for (int k = 0; k < 2; ++k) {
          xo[k].assign(x.size(), -1.0);
          yo[k].assign(x.size(), -1.0);
          const PolyAbscissas a = PolyFitAbscissasWith(*kernels[k], x.data(), npts, order);
          solved[k] = PolyFitWith(*kernels[k], a, x.data(), y.data(), withX ? xo[k].data() : nullptr, yo[k].data(),
                                  coeffs[k], npts, &rms[k]);
        }
        const std::string where = std::to_string(npts) + " points, order " + std::to_string(order);
        ASSERT_EQ(solved[0], solved[1]) << where;
        EXPECT_EQ(std::memcmp(coeffs[0], coeffs[1], sizeof coeffs[0]), 0) << where;
        EXPECT_EQ(std::memcmp(&rms[0], &rms[1], sizeof rms[0]), 0) << where;
        EXPECT_EQ(xo[0], xo[1]) << where;
        EXPECT_EQ(std::memcmp(yo[0].data(), yo[1].data(), yo[0].size() * sizeof(double)), 0) << where;
      }
    }
}
