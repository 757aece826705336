// four1: against a direct DFT in long double for every power of two from 2
// to 2^22 in both directions, with the vector and the portable kernels; the
// round trip, the impulse and constant cases. RealSpectrum: both kernel sets
// give the same bits and the bins of the complex transform.

#include "spectral/fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "spectral/fft_kernels.h"
#include "spectral/realfft.h"

namespace {

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

// Bin k of the direct DFT: the phase steps by a long double product,
// reset from the exact exponent (j·k mod N) every 256 points, so the sum is
// good to far below the transform's own rounding.
std::complex<long double> DirectBin(const std::vector<double>& data, unsigned long N, int isign, unsigned long k) {
  const long double twoPi = 6.283185307179586476925286766559L;
  auto unit = [&](unsigned long r) {
    return std::polar(1.0L, isign * twoPi * static_cast<long double>(r) / static_cast<long double>(N));
  };
  const std::complex<long double> step = unit(k % N);
  std::complex<long double> w = 1, sum = 0;
  for (unsigned long j = 0; j < N; ++j) {
    if (j % 256 == 0) w = unit(static_cast<unsigned long>((static_cast<unsigned long long>(j) * k) % N));
    sum += std::complex<long double>(data[2 * j + 1], data[2 * j + 2]) * w;
    w *= step;
  }
  return sum;
}

// RMS error of four1 relative to the RMS of the direct DFT, over every bin up
// to 4096 points and over 8 bins (0, 1, N/2, N − 1 and four random ones) above.
double RelativeError(unsigned long N, int isign) {
  std::vector<double> data = RandomData(N, static_cast<unsigned>(N * 2 + (isign > 0)));
  std::vector<unsigned long> bins;
  if (N <= 4096) {
    for (unsigned long k = 0; k < N; ++k) bins.push_back(k);
  } else {
    std::mt19937_64 rng(N);
    bins = {0, 1, N / 2, N - 1};
    for (int r = 0; r < 4; ++r) bins.push_back(rng() % N);
  }
  std::vector<std::complex<long double>> ref;
  if (N <= 4096) {
    ref = DirectDft(data, N, isign);
  } else {
    for (unsigned long k : bins) ref.push_back(DirectBin(data, N, isign, k));
  }
  four1(data.data(), N, isign);
  long double err2 = 0, ref2 = 0;
  for (size_t b = 0; b < bins.size(); ++b) {
    const unsigned long k = bins[b];
    const std::complex<long double> r = N <= 4096 ? ref[k] : ref[b];
    err2 += std::norm(std::complex<long double>(data[2 * k + 1], data[2 * k + 2]) - r);
    ref2 += std::norm(r);
  }
  return static_cast<double>(std::sqrt(err2 / ref2));
}

void ExpectAccurateUpTo(unsigned long largest, const char* kernels) {
  double worstRel = 0;
  for (unsigned long N = 2; N <= largest; N *= 2) {
    for (int isign : {+1, -1}) {
      const double rel = RelativeError(N, isign);
      // Rounding grows with the number of stages; the bound scales with log2 N
      // and leaves room of about ten.
      const double bound = 2e-16 * std::log2(static_cast<double>(N)) * 10;
      EXPECT_LT(rel, bound) << kernels << " N " << N << " isign " << isign;
      worstRel = std::max(worstRel, rel / std::log2(static_cast<double>(N)));
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", worstRel);
  ::testing::Test::RecordProperty(std::string("worst_relative_error_per_log2N_") + kernels, text);
}

TEST(Four1, MatchesADirectDftForEveryPowerOfTwoUpTo2To22InBothDirections) { ExpectAccurateUpTo(1ul << 22, "active"); }

TEST(Four1, PortableKernelsMatchADirectDftToo) {
  ForcePortableFftKernels(true);
  ExpectAccurateUpTo(1ul << 18, "portable");
  ForcePortableFftKernels(false);
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

TEST(RealSpectrum, MatchesTheComplexTransformWithEitherKernelSet) {
  for (bool forcePortable : {false, true}) {
    for (unsigned long N = 2; N <= (1ul << 16); N *= 2) {
      for (int isign : {+1, -1}) {
        std::vector<double> samples = RandomData(N / 2, static_cast<unsigned>(N + (isign > 0)));
        samples.resize(N + 3, 0.0);
        // The complex transform of the same samples with zero imaginary parts.
        std::vector<double> full(2 * N + 1, 0.0);
        for (unsigned long j = 0; j < N; ++j) full[2 * j + 1] = samples[j + 1];
        four1(full.data(), N, isign);
        ForcePortableFftKernels(forcePortable);
        RealSpectrum(samples.data(), N, isign);
        ForcePortableFftKernels(false);
        double err2 = 0, ref2 = 0;
        for (unsigned long i = 1; i <= N + 2; ++i) {
          err2 += (samples[i] - full[i]) * (samples[i] - full[i]);
          ref2 += full[i] * full[i];
        }
        EXPECT_LT(std::sqrt(err2 / ref2), 2e-16 * std::log2(static_cast<double>(N)) * 10)
            << "N " << N << " isign " << isign << " portable " << forcePortable;
      }
    }
  }
}

TEST(RealSpectrum, VectorSplitGivesThePortableSplitsBits) {
  const FftKernels& active = ActiveFftKernels();
  if (&active == &PortableFftKernels()) GTEST_SKIP() << "no vector kernels on this processor";
  for (unsigned long M : {8ul, 64ul, 4096ul}) {
    for (int sign : {+1, -1}) {
      const std::vector<double> input = RandomData(M + 1, static_cast<unsigned>(M));
      const unsigned long count = (M / 2 - 1) / 2 * 2;
      std::vector<double> roots(2 * count);
      RootsOfUnity(2 * M, 1, count, roots.data());
      std::vector<double> vector = input, portable = input;
      active.realSplit(vector.data(), M, 1, count, roots.data(), sign);
      PortableFftKernels().realSplit(portable.data(), M, 1, count, roots.data(), sign);
      for (size_t i = 0; i < input.size(); ++i) ASSERT_EQ(vector[i], portable[i]) << "M " << M << " element " << i;
    }
  }
}

}  // namespace
