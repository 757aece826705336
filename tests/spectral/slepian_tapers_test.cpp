// Slepian tapers: the start-up tapers' symmetry, norm, orthogonality
// and concentration, and agreement with dense eigen-solvers for a small case.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/state.h"
#include "platform/headless/headless_platform.h"
#include "spectral/slepian.h"

namespace {

const double kPi = std::acos(-1.0);

// Fraction of the taper's energy within |f| ≤ W = NW/n: Σ_ij v_i v_j sin(2πW(i−j))/(π(i−j)) / Σ v².
double Concentration(const double* v, int n, double NW) {
  const double W = NW / n;
  long double energy = 0, total = 0;
  for (int i = 0; i < n; ++i) energy += static_cast<long double>(v[i]) * v[i];
  total = 2.0L * W * energy;
  for (int lag = 1; lag < n; ++lag) {
    long double r = 0;
    for (int i = 0; i + lag < n; ++i) r += static_cast<long double>(v[i]) * v[i + lag];
    total += 2.0L * r * std::sin(2.0 * kPi * W * lag) / (kPi * lag);
  }
  return static_cast<double>(total / energy);
}

// Cyclic Jacobi eigen-solver for a dense symmetric matrix (row-major n×n):
// eigenvalues in values, eigenvector k in column k of vectors.
void JacobiEigen(std::vector<double> a, int n, std::vector<double>& values, std::vector<double>& vectors) {
  vectors.assign(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) vectors[static_cast<size_t>(i) * n + i] = 1.0;
  auto A = [&](int i, int j) -> double& { return a[static_cast<size_t>(i) * n + j]; };
  auto V = [&](int i, int j) -> double& { return vectors[static_cast<size_t>(i) * n + j]; };
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0, diag = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) (i == j ? diag : off) += A(i, j) * A(i, j);
    if (off <= 1e-30 * diag) break;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) {
        double apq = A(p, q);
        if (apq == 0.0) continue;
        double theta = (A(q, q) - A(p, p)) / (2 * apq);
        double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < n; ++k) {
          double akp = A(k, p), akq = A(k, q);
          A(k, p) = c * akp - s * akq;
          A(k, q) = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {
          double apk = A(p, k), aqk = A(q, k);
          A(p, k) = c * apk - s * aqk;
          A(q, k) = s * apk + c * aqk;
        }
        for (int k = 0; k < n; ++k) {
          double vkp = V(k, p), vkq = V(k, q);
          V(k, p) = c * vkp - s * vkq;
          V(k, q) = s * vkp + c * vkq;
        }
      }
  }
  values.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) values[static_cast<size_t>(i)] = A(i, i);
}

// Eigenvector of the dense solution with the k-th largest eigenvalue, scaled to
// Σx² = n with the sign of the reference taper.
std::vector<double> DenseTaper(const std::vector<double>& values, const std::vector<double>& vectors, int n, int rank,
                               const double* like) {
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) { return values[a] > values[b]; });
  int col = order[static_cast<size_t>(rank)];
  std::vector<double> v(static_cast<size_t>(n));
  double ss = 0, dot = 0;
  for (int i = 0; i < n; ++i) {
    v[static_cast<size_t>(i)] = vectors[static_cast<size_t>(i) * n + col];
    ss += v[static_cast<size_t>(i)] * v[static_cast<size_t>(i)];
    dot += v[static_cast<size_t>(i)] * like[i];
  }
  double scale = std::sqrt(n / ss) * (dot < 0 ? -1.0 : 1.0);
  for (double& x : v) x *= scale;
  return v;
}

class DefaultTapers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tapers = new std::vector<double>(static_cast<size_t>(kDefaultTaperLength) * 2);
    SlepianTapers(kDefaultTaperLength, 2, kDefaultTaperNW, tapers->data(), eigenvalues);
  }
  static void TearDownTestSuite() {
    delete tapers;
    tapers = nullptr;
  }
  static const double* Taper(int k) { return tapers->data() + static_cast<size_t>(k) * kDefaultTaperLength; }
  static std::vector<double>* tapers;
  static double eigenvalues[2];
};
std::vector<double>* DefaultTapers::tapers = nullptr;
double DefaultTapers::eigenvalues[2] = {};

TEST_F(DefaultTapers, FirstTaperIsSymmetricPositiveWithNoSignChange) {
  const int n = kDefaultTaperLength;
  const double* t = Taper(0);
  double worst = 0;
  for (int i = 0; i < n; ++i) worst = std::max(worst, std::fabs(t[i] - t[n - 1 - i]));
  EXPECT_LT(worst, 1e-9);
  for (int i = 0; i < n; ++i) ASSERT_GT(t[i], 0.0) << "sample " << i;
  EXPECT_GT(t[n / 2], t[0]);
}

TEST_F(DefaultTapers, SecondTaperIsAntisymmetricPositiveOverItsFirstHalf) {
  const int n = kDefaultTaperLength;
  const double* t = Taper(1);
  double worst = 0;
  for (int i = 0; i < n; ++i) worst = std::max(worst, std::fabs(t[i] + t[n - 1 - i]));
  EXPECT_LT(worst, 1e-9);
  for (int i = 0; i < n / 2; ++i) ASSERT_GT(t[i], 0.0) << "sample " << i;
}

TEST_F(DefaultTapers, EachHasSumOfSquaresEqualToItsLengthAndTheyAreOrthogonal) {
  const int n = kDefaultTaperLength;
  double s0 = 0, s1 = 0, s01 = 0;
  for (int i = 0; i < n; ++i) {
    s0 += Taper(0)[i] * Taper(0)[i];
    s1 += Taper(1)[i] * Taper(1)[i];
    s01 += Taper(0)[i] * Taper(1)[i];
  }
  EXPECT_NEAR(s0, n, 1e-9 * n);
  EXPECT_NEAR(s1, n, 1e-9 * n);
  EXPECT_NEAR(s01 / n, 0.0, 1e-12);
}

TEST_F(DefaultTapers, AreWellConcentratedInTheirBand) {
  double l0 = Concentration(Taper(0), kDefaultTaperLength, kDefaultTaperNW);
  double l1 = Concentration(Taper(1), kDefaultTaperLength, kDefaultTaperNW);
  // Known values for NW = 3: 1 − λ0 ≈ 3e−7, 1 − λ1 ≈ 2e−5.
  EXPECT_GT(l0, 0.999999);
  EXPECT_LE(l0, 1.0 + 1e-12);
  EXPECT_GT(l1, 0.9999);
  EXPECT_LT(l1, l0);
  EXPECT_LT(eigenvalues[0], eigenvalues[1]);
}

TEST(SlepianTapers, SmallCaseAgreesWithDenseConcentrationMatrixEigenvectors) {
  const int n = 64;
  const double NW = 3.0, W = NW / n;
  std::vector<double> tapers(static_cast<size_t>(n) * 2);
  SlepianTapers(n, 2, NW, tapers.data());
  // The defining problem: the Toeplitz matrix sin(2πW(i−j))/(π(i−j)), diagonal 2W.
  std::vector<double> a(static_cast<size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      a[static_cast<size_t>(i) * n + j] = i == j ? 2 * W : std::sin(2 * kPi * W * (i - j)) / (kPi * (i - j));
  std::vector<double> values, vectors;
  JacobiEigen(a, n, values, vectors);
  for (int k = 0; k < 2; ++k) {
    const double* t = tapers.data() + static_cast<size_t>(k) * n;
    std::vector<double> ref = DenseTaper(values, vectors, n, k, t);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(t[i], ref[static_cast<size_t>(i)], 1e-8) << "taper " << k << " i " << i;
  }
}

TEST(SlepianTapers, SmallCaseAgreesWithDenseSolutionOfTheTridiagonalMatrix) {
  const int n = 64;
  const double NW = 3.0;
  std::vector<double> tapers(static_cast<size_t>(n) * 2);
  double eig[2];
  SlepianTapers(n, 2, NW, tapers.data(), eig);
  const double c = std::cos(2 * kPi * NW / n);
  std::vector<double> a(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) {
    a[static_cast<size_t>(i) * n + i] = c * ((n - 1) / 2.0 - i) * ((n - 1) / 2.0 - i);
    if (i > 0) a[static_cast<size_t>(i) * n + i - 1] = a[static_cast<size_t>(i - 1) * n + i] = i * (n - i) / 2.0;
  }
  std::vector<double> values, vectors;
  JacobiEigen(a, n, values, vectors);
  std::vector<double> sorted = values;
  std::sort(sorted.rbegin(), sorted.rend());
  // The routine works on the negated matrix: its smallest are our largest, negated.
  EXPECT_NEAR(eig[0], -sorted[0], 1e-9 * std::fabs(sorted[0]));
  EXPECT_NEAR(eig[1], -sorted[1], 1e-9 * std::fabs(sorted[1]));
  for (int k = 0; k < 2; ++k) {
    const double* t = tapers.data() + static_cast<size_t>(k) * n;
    std::vector<double> ref = DenseTaper(values, vectors, n, k, t);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(t[i], ref[static_cast<size_t>(i)], 1e-10) << "taper " << k << " i " << i;
  }
}

TEST(TridibTinvit, FindInnerEigenpairsOfTheSecondDifferenceMatrix) {
  // d = 2, e = −1: eigenvalues 2 − 2cos(kπ/(n+1)), eigenvectors sin(ikπ/(n+1)).
  const int n = 40, m11 = 3, m = 3;
  std::vector<double> d(n + 1, 2.0), e(n + 1, -1.0), e2(n + 1, 1.0), w(m + 1), rv(6 * (n + 1));
  std::vector<int> ind(m + 1);
  double* rv1 = rv.data();
  double eps1 = 0.0, lb = 0, ub = 0;
  int ierr = -7;
  tridib(n, eps1, d.data(), e.data(), e2.data(), lb, ub, m11, m, w.data(), ind.data(), ierr, rv1, rv1 + (n + 1));
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(e2[1], 0.0);
  for (int r = 1; r <= m; ++r) {
    int k = m11 + r - 1;
    EXPECT_NEAR(w[static_cast<size_t>(r)], 2 - 2 * std::cos(k * kPi / (n + 1)), 1e-13) << k;
    EXPECT_EQ(ind[static_cast<size_t>(r)], 1);
    EXPECT_LT(lb, w[static_cast<size_t>(r)]);
    EXPECT_GT(ub, w[static_cast<size_t>(r)]);
  }
  std::vector<double> z(static_cast<size_t>(n) * m);
  tinvit(n, n, d.data(), e.data(), e2.data(), m, w.data(), ind.data(), z.data(), ierr, rv1, rv1 + (n + 1),
         rv1 + 2 * (n + 1), rv1 + 3 * (n + 1), rv1 + 4 * (n + 1));
  EXPECT_EQ(ierr, 0);
  for (int r = 1; r <= m; ++r) {
    int k = m11 + r - 1;
    const double* v = z.data() + static_cast<size_t>(r - 1) * n;
    double norm = std::sqrt((n + 1) / 2.0), sign = v[0] < 0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) EXPECT_NEAR(sign * v[i], std::sin((i + 1) * k * kPi / (n + 1)) / norm, 1e-12) << k;
  }
}

TEST(SlepianTapers, OddLengthAndMoreTapersKeepTheirSymmetriesAndSigns) {
  const int n = 101, K = 4;
  std::vector<double> t(static_cast<size_t>(n) * K);
  SlepianTapers(n, K, 4.0, t.data());
  for (int k = 0; k < K; ++k) {
    const double* v = t.data() + static_cast<size_t>(k) * n;
    double sign = k % 2 == 0 ? 1.0 : -1.0, ss = 0;
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(v[i], sign * v[n - 1 - i], 1e-10) << "taper " << k;
      ss += v[i] * v[i];
    }
    EXPECT_NEAR(ss, n, 1e-9);
  }
  EXPECT_GT(t[n / 2], 0.0);
  EXPECT_GT(t[n + 10], 0.0);  // taper 1 positive over its first half
  for (int j = 0; j < K; ++j)
    for (int k = j + 1; k < K; ++k) {
      double dot = 0;
      for (int i = 0; i < n; ++i) dot += t[static_cast<size_t>(j) * n + i] * t[static_cast<size_t>(k) * n + i];
      EXPECT_NEAR(dot / n, 0.0, 1e-10) << j << "," << k;
    }
}

TEST(SlepianTapers, TinyLengthsGiveAUnitTaper) {
  double one[1] = {0};
  SlepianTapers(1, 1, 3.0, one);
  EXPECT_DOUBLE_EQ(one[0], 1.0);
  double none[1] = {7};
  SlepianTapers(0, 1, 3.0, none);
  EXPECT_EQ(none[0], 7);
}

TEST(SlepianStartUp, InitAppStateComputesTheDefaultTapersIntoEigv) {
  HeadlessPlatform host;
  AppState s;
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  options.startDir = "/tmp";
  InitAppState(s, host, options);
  ASSERT_GE(s.eigv.size(), static_cast<size_t>(kDefaultTaperLength) * 2);
  std::vector<double> expected(static_cast<size_t>(kDefaultTaperLength) * 2);
  SlepianTapers(kDefaultTaperLength, 2, 3.0, expected.data());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(s.eigv[i], expected[i]) << i;
  EXPECT_TRUE(host.messages.empty());
}

TEST(SlepianWindow, IsTheFirstTaperOfTheRecordLengthComputedOnceAndKept) {
  AppState s;
  const std::vector<double>& w = SlepianWindow(s.SlepianWindows, 5120);
  ASSERT_EQ(w.size(), 5120u);
  std::vector<double> expected(5120);
  SlepianTapers(5120, 1, 3.0, expected.data());
  EXPECT_EQ(w, expected);
  const double* first = w.data();
  EXPECT_EQ(SlepianWindow(s.SlepianWindows, 5120).data(), first);
  EXPECT_EQ(s.SlepianWindows.size(), 1u);
  SlepianWindow(s.SlepianWindows, 2560);
  EXPECT_EQ(s.SlepianWindows.size(), 2u);
  // The window is a window: symmetric and largest at its centre, not a truncated ramp.
  const std::vector<double>& v = SlepianWindow(s.SlepianWindows, 2560);
  EXPECT_NEAR(v[0], v[2559], 1e-12);
  EXPECT_GT(v[1280], 10 * v[0]);
}

}  // namespace
