// An impedance estimate made by the numerics alone, from generated series of a
// half-space (Hx, Hy, Ex = Z·Hy, Ey = −Z·Hx as exp(+iωt) harmonics at the
// bins): the transform, the band cross-spectra and the estimator.

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
  std::vector<std::vector<double>> x(4, std::vector<double>(n)), X(4, std::vector<double>(n + 3));
  for (int b = 1; b < n / 2; ++b) {
    const Complex2 z = LayeredEarthImpedance({{rho, 0.0}}, b * fs / n);
    const Complex hx(g(rng), g(rng)), hy(g(rng), g(rng)), Z(z.re, z.im);
    const Complex a[4] = {hx, hy, Z * hy, -Z * hx};
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < 4; ++k) x[k][j] += (a[k] * std::polar(1.0, w * b * j)).real();
  }
  SlepianCache tapers;
  ImpedanceInput in;
  for (int k = 0; k < 4; ++k) {
    TransformRecord(tapers, x[k].data(), nullptr, n, n, kWindowNone, X[k].data());
    in.spectra[k] = X[k].data(), in.found[k] = 1;
  }
  const BandCrossSpectra cross = AccumulateCrossSpectra(in.spectra, M, n, nullptr);
  in.cross = &cross.cross, in.bands = cross.bands, in.bandBins = &cross.bins;
  in.M = M, in.N = n, in.fs = fs, in.points = n;
  const std::vector<ImpedanceBand> bands = EstimateImpedanceBands(in);
  ASSERT_EQ(bands.size(), 31u);
  for (size_t b = 2; b < bands.size(); ++b)
    for (int p : {1, 2}) {  // Zxy and Zyx
      EXPECT_NEAR(bands[b].resistivity[p] / rho, 1.0, 0.02) << b << " " << p;
      EXPECT_NEAR(bands[b].phase[p], 45.0, 0.5) << b << " " << p;
      EXPECT_GT(bands[b].coherence[p + 1], 0.99);  // Z varies a little across a band
    }
}
