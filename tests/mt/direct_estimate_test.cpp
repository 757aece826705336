// An impedance estimate made by the numerics alone, from generated series of a
// half-space: the transform, the band cross-spectra and the estimator.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "datafile/synth.h"
#include "mt/impedance.h"
#include "spectral/spectrum.h"
#include "spectral/window.h"

TEST(DirectEstimate, AHalfSpaceReadsItsResistivityAndPhase) {
  const int n = 4096, M = 64;
  const double fs = 1000, rho = 250, w = 2 * M_PI / n;
  std::mt19937_64 rng(11);
  std::normal_distribution<double> g;
  std::vector<double> x[4], X[4];  // Hx, Hy, Ex = Z·Hy, Ey = −Z·Hx of exp(+iωt) harmonics at the bins
  for (auto& v : x) v.assign(n, 0.0);
  for (int b = 1; b < n / 2; ++b) {
    const Complex2 z = LayeredEarthImpedance({{rho, 0.0}}, b * fs / n);
    const Complex hx(g(rng), g(rng)), hy(g(rng), g(rng)), Z(z.re, z.im);
    const Complex a[4] = {hx, hy, Z * hy, -Z * hx};
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < 4; ++k) x[k][j] += (a[k] * std::polar(1.0, w * b * j)).real();
  }
  SlepianCache tapers;
  const double* spectra[4];
  for (int k = 0; k < 4; ++k) {
    X[k].assign(n + 3, 0.0);
    TransformRecord(tapers, x[k].data(), nullptr, n, n, kWindowNone, X[k].data());
    spectra[k] = X[k].data();
  }
  const BandCrossSpectra cross = AccumulateCrossSpectra(spectra, M, n, nullptr);
  ImpedanceInput in{{spectra[0], spectra[1], spectra[2], spectra[3]},
                    {1, 1, 1, 1},
                    &cross.cross,
                    cross.bands,
                    &cross.bins,
                    nullptr,
                    M,
                    n,
                    fs,
                    n};
  const std::vector<ImpedanceBand> bands = EstimateImpedanceBands(in);
  ASSERT_EQ(bands.size(), 31u);
  for (size_t b = 2; b < bands.size(); ++b)
    for (int p : {1, 2}) {  // Zxy and Zyx
      EXPECT_NEAR(bands[b].resistivity[p] / rho, 1.0, 0.02) << b << " " << p;
      EXPECT_NEAR(bands[b].phase[p], 45.0, 0.5) << b << " " << p;
      EXPECT_GT(bands[b].coherence[p + 1], 0.99);  // Z varies a little across a band
    }
}
