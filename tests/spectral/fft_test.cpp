// four1: against a direct DFT for every power of two up to 4096 in
// both directions, the round trip, the impulse and constant cases, and
// bit-for-bit agreement with the published routine.

#include "spectral/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <complex>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

namespace {

// The published routine as it was written, kept as the reference for any
// faster four1: the result must be the same.
void ReferenceFour1(double data[], unsigned long nn, int isign) {
  unsigned long n = nn << 1, j = 1;
  for (unsigned long i = 1; i < n; i += 2) {
    if (j > i) {
      std::swap(data[j], data[i]);
      std::swap(data[j + 1], data[i + 1]);
    }
    unsigned long m = nn;
    while (m >= 2 && j > m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }
  unsigned long mmax = 2;
  while (n > mmax) {
    unsigned long istep = mmax << 1;
    double theta = 6.283185307179586 / (isign * static_cast<double>(mmax));
    double wtemp = std::sin(0.5 * theta);
    double wpr = -2.0 * wtemp * wtemp, wpi = std::sin(theta), wr = 1.0, wi = 0.0;
    for (unsigned long m = 1; m < mmax; m += 2) {
      for (unsigned long i = m; i <= n; i += istep) {
        j = i + mmax;
        double tempr = wr * data[j] - wi * data[j + 1];
        double tempi = wr * data[j + 1] + wi * data[j];
        data[j] = data[i] - tempr;
        data[j + 1] = data[i + 1] - tempi;
        data[i] += tempr;
        data[i + 1] += tempi;
      }
      wtemp = wr;
      wr = wtemp * wpr - wi * wpi + wr;
      wi = wi * wpr + wtemp * wpi + wi;
    }
    mmax = istep;
  }
}

// Random complex data in the 1-based interleaved layout (2N+1 doubles).
std::vector<double> RandomData(unsigned long N, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> data(2 * N + 1, 0.0);
  for (unsigned long i = 1; i <= 2 * N; ++i) data[i] = u(rng);
  return data;
}

// X_k = Σ_j x_j exp(+2πi·isign·jk/N) in long double, the exponent reduced exactly mod N.
std::vector<std::complex<long double>> DirectDft(const std::vector<double>& data, unsigned long N, int isign) {
  const long double twoPi = 6.283185307179586476925286766559L;
  std::vector<std::complex<long double>> w(N);
  for (unsigned long r = 0; r < N; ++r)
    w[r] = std::polar(1.0L, isign * twoPi * static_cast<long double>(r) / static_cast<long double>(N));
  std::vector<std::complex<long double>> X(N);
  for (unsigned long k = 0; k < N; ++k) {
    std::complex<long double> sum = 0;
    for (unsigned long j = 0; j < N; ++j)
      sum += std::complex<long double>(data[2 * j + 1], data[2 * j + 2]) * w[(j * k) % N];
    X[k] = sum;
  }
  return X;
}

TEST(Four1, MatchesADirectDftForEveryPowerOfTwoUpTo4096InBothDirections) {
  double worstRel = 0;
  for (unsigned long N = 2; N <= 4096; N *= 2) {
    for (int isign : {+1, -1}) {
      std::vector<double> data = RandomData(N, static_cast<unsigned>(N * 2 + (isign > 0)));
      std::vector<std::complex<long double>> ref = DirectDft(data, N, isign);
      four1(data.data(), N, isign);
      long double err2 = 0, ref2 = 0;
      for (unsigned long k = 0; k < N; ++k) {
        std::complex<long double> got(data[2 * k + 1], data[2 * k + 2]);
        err2 += std::norm(got - ref[k]);
        ref2 += std::norm(ref[k]);
      }
      double rel = static_cast<double>(std::sqrt(err2 / ref2));
      // Rounding grows with the number of stages and the twiddle recurrence;
      // the bound scales with log2 N and leaves room of about ten.
      double bound = 2e-16 * std::log2(static_cast<double>(N)) * 10;
      EXPECT_LT(rel, bound) << "N " << N << " isign " << isign;
      worstRel = std::max(worstRel, rel / std::log2(static_cast<double>(N)));
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", worstRel);
  RecordProperty("worst_relative_error_per_log2N", text);
}

TEST(Four1, ForwardThenInverseReturnsTheInputTimesN) {
  for (unsigned long N : {2ul, 8ul, 1024ul, 65536ul}) {
    std::vector<double> data = RandomData(N, 7);
    std::vector<double> original = data;
    four1(data.data(), N, +1);
    four1(data.data(), N, -1);
    double worst = 0;
    for (unsigned long i = 1; i <= 2 * N; ++i)
      worst = std::max(worst, std::fabs(data[i] / static_cast<double>(N) - original[i]));
    EXPECT_LT(worst, 4e-16 * std::log2(static_cast<double>(N)) * 10) << "N " << N;
    EXPECT_EQ(data[0], original[0]) << "element 0 is not used";
  }
}

TEST(Four1, UnitImpulseAtSampleZeroGivesAllOnes) {
  const unsigned long N = 64;
  std::vector<double> data(2 * N + 1, 0.0);
  data[1] = 1.0;
  four1(data.data(), N, +1);
  for (unsigned long k = 0; k < N; ++k) {
    EXPECT_DOUBLE_EQ(data[2 * k + 1], 1.0) << k;
    EXPECT_DOUBLE_EQ(data[2 * k + 2], 0.0) << k;
  }
}

TEST(Four1, ConstantGivesNTimesItAtBinZeroAndZeroElsewhere) {
  const unsigned long N = 256;
  const double c = 2.5;
  std::vector<double> data(2 * N + 1, 0.0);
  for (unsigned long j = 0; j < N; ++j) data[2 * j + 1] = c;
  four1(data.data(), N, -1);
  EXPECT_DOUBLE_EQ(data[1], N * c);
  EXPECT_DOUBLE_EQ(data[2], 0.0);
  for (unsigned long k = 1; k < N; ++k) {
    EXPECT_NEAR(data[2 * k + 1], 0.0, 1e-12) << k;
    EXPECT_NEAR(data[2 * k + 2], 0.0, 1e-12) << k;
  }
}

TEST(Four1, PositiveSignPutsAPositiveFrequencyToneInItsBin) {
  // x_j = exp(−2πi·5j/N): with isign +1 the sum exp(2πi·j(k−5)/N) peaks at k = 5.
  const unsigned long N = 32;
  std::vector<double> data(2 * N + 1, 0.0);
  for (unsigned long j = 0; j < N; ++j) {
    data[2 * j + 1] = std::cos(2 * M_PI * 5 * j / N);
    data[2 * j + 2] = -std::sin(2 * M_PI * 5 * j / N);
  }
  four1(data.data(), N, +1);
  EXPECT_NEAR(data[2 * 5 + 1], N, 1e-12);
  EXPECT_NEAR(data[2 * 7 + 1], 0.0, 1e-12);
}

TEST(Four1, AgreesBitForBitWithThePublishedRoutine) {
  for (unsigned long N = 2; N <= (1ul << 18); N *= 2) {
    for (int isign : {+1, -1}) {
      std::vector<double> a = RandomData(N, static_cast<unsigned>(N + 3));
      std::vector<double> b = a;
      four1(a.data(), N, isign);
      ReferenceFour1(b.data(), N, isign);
      ASSERT_EQ(a, b) << "N " << N << " isign " << isign;
    }
  }
}

}  // namespace
