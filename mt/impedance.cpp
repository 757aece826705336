#include "mt/impedance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "mt/remote.h"
#include "spectral/spectrum.h"
#include "util/number_text.h"
#include "util/parallel.h"
#include "util/paths.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDeg = 180.0 / M_PI;
const char* const kTableSuffix[4] = {"_ZXX.dat", "_ZXY.dat", "_ZYX.dat", "_ZYY.dat"};

// Channels a value needs, as bits of kMtHx … kMtEy.
constexpr unsigned Bit(int k) { return 1u << k; }

unsigned FoundChannels(const ImpedanceInput& in) {
  unsigned found = 0;
  for (int k = 0; k < 4; ++k)
    if (in.found[k]) found |= Bit(k);
  return found;
}

Complex At(const double* X, long long k) { return {X[2 * k + 1], X[2 * k + 2]}; }

// The Sims estimate of one element from the auxiliary pair (P, Q): the two
// equations ⟨E P*⟩ = Z1⟨Hx P*⟩ + Z2⟨Hy P*⟩ and the same with Q, solved by
// Cramer's rule; which is 0 for Z1 (the coefficient of Hx), 1 for Z2.
Complex SimsEstimate(const std::vector<double>& cross, int b, int E, int P, int Q, int which) {
  auto c = [&](int a, int d) { return CrossSpectrum(cross, b, a, d); };
  const Complex D = c(kMtHx, P) * c(kMtHy, Q) - c(kMtHx, Q) * c(kMtHy, P);
  if (which == 0) return (c(E, P) * c(kMtHy, Q) - c(E, Q) * c(kMtHy, P)) / D;
  return (c(kMtHx, P) * c(E, Q) - c(kMtHx, Q) * c(E, P)) / D;
}

struct SimsChoice {
  int element;      // 0 Zxx, 1 Zxy, 2 Zyx, 3 Zyy
  int E, which;     // electric channel and unknown of the equations
  int pairs[4][2];  // auxiliary pair of each panel
};

// The four estimates of each element, panel by panel. Zyy's third estimate
// uses the pair (Hx, Hy), the one not used by its other three.
const SimsChoice kSims[4] = {
    {0, kMtEx, 0, {{kMtEx, kMtEy}, {kMtEx, kMtHx}, {kMtEy, kMtHy}, {kMtHx, kMtHy}}},
    {1, kMtEx, 1, {{kMtEx, kMtEy}, {kMtEx, kMtHx}, {kMtEy, kMtHy}, {kMtHx, kMtHy}}},
    {2, kMtEy, 0, {{kMtEx, kMtEy}, {kMtEy, kMtHy}, {kMtEx, kMtHx}, {kMtHx, kMtHy}}},
    {3, kMtEy, 1, {{kMtEx, kMtEy}, {kMtEx, kMtHx}, {kMtHx, kMtHy}, {kMtEx, kMtHy}}},
};

// The mean frequency of the bins band b averaged: the band's mean frequency,
// or with notched bins left out the mean of those it kept.
double KeptBandFrequency(const ImpedanceInput& in, int b, int M, double fs, long long N) {
  const std::vector<int>& bandBins = *in.bandBins;
  const bool notched = in.notched && in.notched->size() >= static_cast<size_t>(N / 2) &&
                       static_cast<size_t>(b) < bandBins.size() && bandBins[static_cast<size_t>(b)] < M;
  if (!notched) return BandFrequency(b, M, fs, N);
  double sum = 0;
  int kept = 0;
  for (long long k = BandFirstBin(b, M); k < static_cast<long long>(b + 1) * M; ++k)
    if (!(*in.notched)[static_cast<size_t>(k)]) {
      sum += static_cast<double>(k);
      ++kept;
    }
  return kept ? sum / kept * fs / static_cast<double>(N) : BandFrequency(b, M, fs, N);
}

}  // namespace

ImpedanceBand::ImpedanceBand() {
  for (int p = 0; p < 4; ++p) {
    Z[p] = Complex(kNaN, kNaN);
    magnitude[p] = resistivity[p] = phase[p] = relError[p] = phaseError[p] = coherence[p] = kNaN;
  }
  residualEx = residualEy = kNaN;
}

double BandFrequency(int band, int M, double fs, long long N) {
  const double first = static_cast<double>(BandFirstBin(band, M));
  const double last = (static_cast<double>(band) + 1) * M - 1;
  return (first + last) / 2 * fs / static_cast<double>(N);
}

Complex InvertTensor2x2(Complex a, Complex b, Complex c, Complex d, Complex inverse[4]) {
  const Complex det = a * d - b * c;
  inverse[0] = d / det;
  inverse[1] = -b / det;
  inverse[2] = -c / det;
  inverse[3] = a / det;
  return det;
}

double ElementPhase(int element, Complex z) {
  if (element == 2) z = -z;
  return kDeg * std::fabs(std::atan2(z.imag(), z.real()));
}

std::string ImpedanceTableBase(const std::string& fileName) {
  std::string base = fileName;
  if ((base.find(".bin") != std::string::npos || base.find(".BIN") != std::string::npos) && base.size() >= 4)
    base.resize(base.size() - 4);
  return base;
}

std::string ImpedanceTableRow(double f, double z, double zStd, double phase, double phaseStd) {
  // A value that was not estimated reads "nan", whatever the sign its NaN got.
  // "%10.4e" five times, spaced, and a line break.
  char line[5 * (kMaxNumberText + 1) + 1];
  char* p = line;
  for (double v : {f, z, zStd, phase, phaseStd}) {
    char number[kMaxNumberText];
    const int length = static_cast<int>(WriteScientific4(number, std::isnan(v) ? kNaN : v) - number);
    for (int pad = length; pad < 10; ++pad) *p++ = ' ';
    std::memcpy(p, number, static_cast<size_t>(length));
    p += length;
    *p++ = ' ';
  }
  p[-1] = '\n';
  return std::string(line, p);
}

std::string ImpedanceTablePath(const std::string& dataPath, int p) {
  return DirectoryOf(dataPath) + ImpedanceTableBase(FileTitleOf(dataPath)) + kTableSuffix[p];
}

void DeriveBandQuantities(const ImpedanceInput& in, int b, Complex Zxx, Complex Zxy, Complex Zyx, Complex Zyy,
                          const Complex* errorMatrix, ImpedanceBand& out) {
  const bool haveEx = in.found[kMtEx], haveEy = in.found[kMtEy];
  const Complex Z[4] = {Zxx, Zxy, Zyx, Zyy};
  const double f = out.freq;
  const long long M = in.M;
  const long long N = in.N;
  const long long first = BandFirstBin(b, M);
  const std::vector<int>& bandBins = *in.bandBins;
  const long long kept =
      static_cast<size_t>(b) < bandBins.size() ? bandBins[static_cast<size_t>(b)] : (b + 1) * M - first;

  for (int p = 0; p < 4; ++p) {
    out.phase[p] = ElementPhase(p, Z[p]);
    const double z = 1000.0 * std::abs(Z[p]);
    out.magnitude[p] = z;
    out.resistivity[p] = 0.2 * z * z / f;
  }

  // Residual pass over the band's coefficients (the notched ones left out).
  Complex Y[4];
  InvertTensor2x2(Zxx, Zxy, Zyx, Zyy, Y);
  const double* Xhx = in.spectra[kMtHx];
  const double* Xhy = in.spectra[kMtHy];
  const double* Xex = haveEx ? in.spectra[kMtEx] : nullptr;
  const double* Xey = haveEy ? in.spectra[kMtEy] : nullptr;
  const bool skipNotched = in.notched && in.notched->size() >= static_cast<size_t>(N / 2);
  double resEx = 0, resEy = 0;
  Complex coh[4];
  double power[4] = {}, predicted[4] = {};
  for (long long k = first; k < (b + 1) * M; ++k) {
    if (skipNotched && (*in.notched)[static_cast<size_t>(k)]) continue;
    const Complex hx = At(Xhx, k), hy = At(Xhy, k);
    const Complex ex = Xex ? At(Xex, k) : Complex(), ey = Xey ? At(Xey, k) : Complex();
    const Complex h[2] = {hx, hy};
    power[0] += std::norm(hx);
    power[1] += std::norm(hy);
    if (Xex) {
      const Complex exPredicted = Zxx * hx + Zxy * hy;
      resEx += std::norm(exPredicted - ex);
      coh[2] += ex * std::conj(exPredicted);
      power[2] += std::norm(ex);
      predicted[2] += std::norm(exPredicted);
    }
    if (Xey) {
      const Complex eyPredicted = Zyx * hx + Zyy * hy;
      resEy += std::norm(eyPredicted - ey);
      coh[3] += ey * std::conj(eyPredicted);
      power[3] += std::norm(ey);
      predicted[3] += std::norm(eyPredicted);
    }
    if (Xex && Xey) {
      const Complex hp[2] = {Y[0] * ex + Y[1] * ey, Y[2] * ex + Y[3] * ey};
      for (int i = 0; i < 2; ++i) {
        coh[i] += h[i] * std::conj(hp[i]);
        predicted[i] += std::norm(hp[i]);
      }
    }
  }
  // Each row of a band fits two unknowns, so a band of K bins leaves K − 2
  // degrees of freedom for the residual power; with K <= 2 the fit is exact
  // whatever the noise, and the band has no error and no coherence.
  const bool measured = kept > 2;
  const double K = measured ? static_cast<double>(kept) : kNaN;
  out.residualEx = haveEx ? resEx / (K - 2) : kNaN;
  out.residualEy = haveEy ? resEy / (K - 2) : kNaN;

  // Variances of the elements: the residual power of each element's own
  // equation times the diagonal of the inverse magnetic power matrix.
  Complex m[4];
  const std::vector<double>& cross = *in.cross;
  InvertTensor2x2(std::conj(CrossSpectrum(cross, b, kMtHx, kMtHx)), std::conj(CrossSpectrum(cross, b, kMtHx, kMtHy)),
                  std::conj(CrossSpectrum(cross, b, kMtHy, kMtHx)), std::conj(CrossSpectrum(cross, b, kMtHy, kMtHy)),
                  m);
  if (errorMatrix) std::copy(errorMatrix, errorMatrix + 4, m);
  const Complex mOf[4] = {m[0], m[3], m[0], m[3]};
  const double residual[4] = {out.residualEx, out.residualEx, out.residualEy, out.residualEy};
  const bool haveCoherence[4] = {haveEx && haveEy, haveEx && haveEy, haveEx, haveEy};
  // A page of n samples padded to N points has only n independent values in
  // its N bins: K neighbouring bins carry the information of K·n/N.
  const int n = in.points;
  const double padding = n > 0 && n < N ? static_cast<double>(N) / n : 1.0;
  for (int p = 0; p < 4; ++p) {
    double rel = std::sqrt(std::abs(mOf[p]) * residual[p] * padding / K) / std::abs(Z[p]);
    out.phaseError[p] = kDeg * std::atan(rel);
    out.relError[p] = rel;
    out.coherence[p] = haveCoherence[p] && measured ? std::norm(coh[p]) / (power[p] * predicted[p]) : kNaN;
  }
}

std::vector<ImpedanceBand> EstimateImpedanceBands(const ImpedanceInput& in) {
  const int bands = std::clamp(in.bands, 0, static_cast<int>(in.cross->size() / 32));
  const int M = static_cast<int>(in.M);
  const long long N = in.N;
  const double fs = in.fs;
  std::vector<ImpedanceBand> out(static_cast<size_t>(bands));
  const std::vector<double>& cross = *in.cross;
  const std::vector<int>& bandBins = *in.bandBins;

  const unsigned found = FoundChannels(in);
  const int simsElement = in.leastSquares ? -1 : in.simsElement;
  // Bands are independent: pieces of about 4096 bins on both cores.
  ParallelForBlocks(bands, std::max(1, 4096 / std::max(M, 1)), [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      ImpedanceBand& band = out[static_cast<size_t>(b)];
      band.freq = KeptBandFrequency(in, b, M, fs, N);
      // A band whose bins the notch all replaced is not estimated.
      if (static_cast<size_t>(b) < bandBins.size() && bandBins[static_cast<size_t>(b)] == 0) continue;
      band.estimated = true;

      if (in.leastSquares) {
        auto c = [&](int a, int d) { return CrossSpectrum(cross, b, a, d); };
        const Complex D = c(kMtHx, kMtHx) * c(kMtHy, kMtHy) - c(kMtHx, kMtHy) * c(kMtHy, kMtHx);
        Complex Z[4] = {
            (c(kMtEx, kMtHx) * c(kMtHy, kMtHy) - c(kMtEx, kMtHy) * c(kMtHy, kMtHx)) / D,
            (c(kMtEx, kMtHy) * c(kMtHx, kMtHx) - c(kMtEx, kMtHx) * c(kMtHx, kMtHy)) / D,
            (c(kMtEy, kMtHx) * c(kMtHy, kMtHy) - c(kMtEy, kMtHy) * c(kMtHy, kMtHx)) / D,
            (c(kMtEy, kMtHy) * c(kMtHx, kMtHx) - c(kMtEy, kMtHx) * c(kMtHx, kMtHy)) / D,
        };
        // With a remote reference that covers the page, Z = <E R*><H R*>⁻¹ instead.
        Complex remoteError[4];
        const bool remote = in.remoteCross && RemoteReferenceTensor(*in.remoteCross, in.remoteBands, b, Z, remoteError);
        for (int p = 0; p < 4; ++p) band.Z[p] = Z[p];
        DeriveBandQuantities(in, b, Z[0], Z[1], Z[2], Z[3], remote ? remoteError : nullptr, band);
      } else if (simsElement >= 0) {
        // The Sims estimates give each panel's magnitude and phase only: no errors.
        const SimsChoice& choice = kSims[simsElement];
        for (int p = 0; p < 4; ++p) {
          const unsigned need = Bit(choice.E) | Bit(choice.pairs[p][0]) | Bit(choice.pairs[p][1]);
          if ((need & found) != need) continue;
          const Complex z = SimsEstimate(cross, b, choice.E, choice.pairs[p][0], choice.pairs[p][1], choice.which);
          band.magnitude[p] = 1000.0 * std::abs(z);
          band.phase[p] = ElementPhase(choice.element, z);
        }
      }
    }
  });
  return out;
}
