#include "mt/impedance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "app/state.h"
#include "datafile/file_io.h"
#include "app/open_file.h"
#include "mt/remote.h"
#include "platform/platform.h"
#include "spectral/spectrum.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDeg = 180.0 / M_PI;
const char* const kTableSuffix[4] = {"_ZXX.dat", "_ZXY.dat", "_ZYX.dat", "_ZYY.dat"};

// Channels a value needs, as bits of kMtHx … kMtEy.
constexpr unsigned Bit(int k) {
  return 1u << k;
}
constexpr unsigned kNeedEx = Bit(kMtEx), kNeedEy = Bit(kMtEy);

unsigned FoundChannels(const AppState& s) {
  unsigned found = 0;
  for (int k = 0; k < 4; ++k)
    if (s.MtChannelFound[k]) found |= Bit(k);
  return found;
}

Complex At(const double* X, long long k) {
  return {X[2 * k + 1], X[2 * k + 2]};
}

template <typename T>
void GrowTo(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(n);
}

// The Sims estimate of one element from the auxiliary pair (P, Q): the two
// equations ⟨E P*⟩ = Z1⟨Hx P*⟩ + Z2⟨Hy P*⟩ and the same with Q, solved by
// Cramer's rule; which is 0 for Z1 (the coefficient of Hx), 1 for Z2.
Complex SimsEstimate(const AppState& s, int b, int E, int P, int Q, int which) {
  auto c = [&](int a, int d) { return CrossSpectrum(s, b, a, d); };
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

// The element the Sims flags choose, tested in the order Zxx, Zxy, Zyy, Zyx
// (a later flag wins); −1 when none is set.
int SimsElement(const AppState& s) {
  int element = -1;
  if (s.SimsZxxOn) element = 0;
  if (s.SimsZxyOn) element = 1;
  if (s.SimsZyyOn) element = 3;
  if (s.SimsZyxOn) element = 2;
  return element;
}

// The four tables of one redraw; a table that cannot be created or written is
// remembered by name and the others go on.
class Tables {
 public:
  Tables(AppState& s) : s_(s) {
    if (s.CurrentFilePath.empty()) return;
    // One table that is the recording (a link to it, say) stops all four, before any is written.
    std::vector<FileId> inputs = IdsOfOpenFile(s.DataFile, s.CurrentFilePath);
    AddRemoteInput(s, inputs);
    for (int p = 0; p < 4; ++p) {
      path_[p] = ImpedanceTablePath(s.CurrentFilePath, p);
      if (IsOneOf(IdOfPath(path_[p]), inputs)) {
        why_ = path_[p] + " is the open recording or one of the files read; nothing was written.";
        failed_ = p;
        return;
      }
    }
    for (int p = 0; p < 4; ++p) {
      std::string why;
      file_[p] = CreateCheckedOutput(WriteSystemOr(s.WriteSystem), path_[p],
                                     IdsOfOpenFile(s.DataFile, s.CurrentFilePath), why);
      if (!file_[p]) Failed(p);
    }
  }

  void Row(int p, double f, double z, double zStd, double phase, double phaseStd) {
    if (!file_[p]) return;
    // A value that was not estimated reads "nan", whatever the sign its NaN got.
    auto value = [](double v) { return std::isnan(v) ? kNaN : v; };
    char line[256];
    int len = std::snprintf(line, sizeof line, "%10.4e %10.4e %10.4e %10.4e %10.4e\n", value(f), value(z),
                            value(zStd), value(phase), value(phaseStd));
    if (!file_[p]->Write(line, static_cast<size_t>(len))) {
      file_[p].reset();
      Failed(p);
    }
  }

  // Closes the tables and says in the status bar which one could not be written.
  void Finish() {
    if (s_.CurrentFilePath.empty()) return;
    for (int p = 0; p < 4; ++p)
      if (file_[p] && !file_[p]->Close()) Failed(p);
    if (failed_ >= 0) {
      s_.host->SetStatusText(0, !why_.empty() ? why_ : "Cannot write " + FileTitleOf(path_[failed_]));
      s_.TableWriteFailed = 1;
    } else if (s_.TableWriteFailed) {
      s_.host->SetStatusText(0, FileStatusText(s_));
      s_.TableWriteFailed = 0;
    }
  }

 private:
  void Failed(int p) {
    if (failed_ < 0) failed_ = p;
  }

  AppState& s_;
  std::string path_[4];
  std::unique_ptr<OutputFile> file_[4];
  int failed_ = -1;
  std::string why_;  // why the first table that could not be created was not
};

// The mean frequency of the bins band b averaged: the band's mean frequency,
// or with notched bins left out the mean of those it kept.
double KeptBandFrequency(const AppState& s, int b, int M, double fs, long long N) {
  const bool notched = s.NotchOn && s.NotchedBins.size() >= static_cast<size_t>(N / 2) &&
                       static_cast<size_t>(b) < s.BandBins.size() && s.BandBins[static_cast<size_t>(b)] < M;
  if (!notched) return BandFrequency(b, M, fs, N);
  double sum = 0;
  int kept = 0;
  for (long long k = BandFirstBin(b, M); k < static_cast<long long>(b + 1) * M; ++k)
    if (!s.NotchedBins[static_cast<size_t>(k)]) {
      sum += static_cast<double>(k);
      ++kept;
    }
  return kept ? sum / kept * fs / static_cast<double>(N) : BandFrequency(b, M, fs, N);
}

void ClearPanels(AppState& s, int b) {
  for (int p = 0; p < 4; ++p) s.ZZ[p][b] = s.ZZStd[p][b] = s.ZZPhase[p][b] = s.ZZPhaseStd[p][b] = kNaN;
}

}  // namespace

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

std::string ImpedanceTablePath(const std::string& dataPath, int p) {
  return DirectoryOf(dataPath) + ImpedanceTableBase(FileTitleOf(dataPath)) + kTableSuffix[p];
}

void DeriveBandQuantities(AppState& s, int b, Complex Zxx, Complex Zxy, Complex Zyx, Complex Zyy,
                          const Complex* errorMatrix) {
  const bool haveEx = s.MtChannelFound[kMtEx], haveEy = s.MtChannelFound[kMtEy];
  const Complex Z[4] = {Zxx, Zxy, Zyx, Zyy};
  const double f = s.BandFreq[static_cast<size_t>(b)];
  const long long M = s.CoeffsSummed;
  const long long N = s.FftLength;
  const long long first = BandFirstBin(b, M);
  const long long kept =
      static_cast<size_t>(b) < s.BandBins.size() ? s.BandBins[static_cast<size_t>(b)] : (b + 1) * M - first;

  for (int p = 0; p < 4; ++p) {
    s.ZZPhase[p][b] = ElementPhase(p, Z[p]);
    const double z = 1000.0 * std::abs(Z[p]);
    s.ZZ[p][b] = s.ResistivityOn ? 0.2 * z * z / f : z;
  }

  // Residual pass over the band's coefficients (the notched ones left out).
  Complex Y[4];
  InvertTensor2x2(Zxx, Zxy, Zyx, Zyy, Y);
  const double* Xhx = s.yplotdata2[s.HxChan].data();
  const double* Xhy = s.yplotdata2[s.HyChan].data();
  const double* Xex = haveEx ? s.yplotdata2[s.ExChan].data() : nullptr;
  const double* Xey = haveEy ? s.yplotdata2[s.EyChan].data() : nullptr;
  const bool skipNotched = s.NotchOn && s.NotchedBins.size() >= static_cast<size_t>(N / 2);
  double resEx = 0, resEy = 0;
  Complex coh[4];
  double power[4] = {}, predicted[4] = {};
  for (long long k = first; k < (b + 1) * M; ++k) {
    if (skipNotched && s.NotchedBins[static_cast<size_t>(k)]) continue;
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
  s.ResidualEx[static_cast<size_t>(b)] = haveEx ? resEx / (K - 2) : kNaN;
  s.ResidualEy[static_cast<size_t>(b)] = haveEy ? resEy / (K - 2) : kNaN;

  // Variances of the elements: the residual power of each element's own
  // equation times the diagonal of the inverse magnetic power matrix.
  Complex m[4];
  InvertTensor2x2(std::conj(CrossSpectrum(s, b, kMtHx, kMtHx)), std::conj(CrossSpectrum(s, b, kMtHx, kMtHy)),
                  std::conj(CrossSpectrum(s, b, kMtHy, kMtHx)), std::conj(CrossSpectrum(s, b, kMtHy, kMtHy)), m);
  if (errorMatrix) std::copy(errorMatrix, errorMatrix + 4, m);
  const Complex mOf[4] = {m[0], m[3], m[0], m[3]};
  const double residual[4] = {s.ResidualEx[static_cast<size_t>(b)], s.ResidualEx[static_cast<size_t>(b)],
                              s.ResidualEy[static_cast<size_t>(b)], s.ResidualEy[static_cast<size_t>(b)]};
  const bool haveCoherence[4] = {haveEx && haveEy, haveEx && haveEy, haveEx, haveEy};
  // A page of n samples padded to N points has only n independent values in
  // its N bins: K neighbouring bins carry the information of K·n/N.
  const int n = s.NumPlotPoints;
  const double padding = n > 0 && n < N ? static_cast<double>(N) / n : 1.0;
  for (int p = 0; p < 4; ++p) {
    double rel = std::sqrt(std::abs(mOf[p]) * residual[p] * padding / K) / std::abs(Z[p]);
    s.ZZPhaseStd[p][b] = kDeg * std::atan(rel);
    if (s.ResistivityOn) rel *= 2.0;
    s.ZZStd[p][b] = rel;
    const double c = haveCoherence[p] && measured ? std::norm(coh[p]) / (power[p] * predicted[p]) : kNaN;
    s.BandCoherence[4 * static_cast<size_t>(b) + p] = c;
    if (s.CoherOn) s.ZZ[p][b] = c;
  }
}

void EstimateImpedance(AppState& s) {
  const int bands = std::clamp(s.PlotCount, 0, static_cast<int>(s.CrossSpec.size() / 32));
  const int M = s.CoeffsSummed;
  const long long N = s.FftLength;
  const double fs = SamplesPerSecond(s);
  const size_t nb = static_cast<size_t>(bands);
  for (int p = 0; p < 4; ++p) {
    GrowTo(s.ZZ[p], nb);
    GrowTo(s.ZZStd[p], nb);
    GrowTo(s.ZZPhase[p], nb);
    GrowTo(s.ZZPhaseStd[p], nb);
  }
  s.BandFreq.assign(nb, 0.0);
  s.ResidualEx.assign(nb, kNaN);
  s.ResidualEy.assign(nb, kNaN);
  s.BandZ.assign(8 * nb, kNaN);
  s.BandCoherence.assign(4 * nb, kNaN);

  const unsigned found = FoundChannels(s);
  const int simsElement = s.LeastSquaresOn ? -1 : SimsElement(s);
  Tables tables(s);
  for (int b = 0; b < bands; ++b) {
    s.BandFreq[static_cast<size_t>(b)] = KeptBandFrequency(s, b, M, fs, N);
    ClearPanels(s, b);
    // A band whose bins the notch all replaced is not estimated.
    if (static_cast<size_t>(b) < s.BandBins.size() && s.BandBins[static_cast<size_t>(b)] == 0) continue;

    if (s.LeastSquaresOn) {
      auto c = [&](int a, int d) { return CrossSpectrum(s, b, a, d); };
      const Complex D = c(kMtHx, kMtHx) * c(kMtHy, kMtHy) - c(kMtHx, kMtHy) * c(kMtHy, kMtHx);
      Complex Z[4] = {
          (c(kMtEx, kMtHx) * c(kMtHy, kMtHy) - c(kMtEx, kMtHy) * c(kMtHy, kMtHx)) / D,
          (c(kMtEx, kMtHy) * c(kMtHx, kMtHx) - c(kMtEx, kMtHx) * c(kMtHx, kMtHy)) / D,
          (c(kMtEy, kMtHx) * c(kMtHy, kMtHy) - c(kMtEy, kMtHy) * c(kMtHy, kMtHx)) / D,
          (c(kMtEy, kMtHy) * c(kMtHx, kMtHx) - c(kMtEy, kMtHx) * c(kMtHx, kMtHy)) / D,
      };
      // With a remote reference that covers the page, Z = <E R*><H R*>⁻¹ instead.
      Complex remoteError[4];
      const bool remote = RemoteReferenceTensor(s, b, Z, remoteError);
      for (int p = 0; p < 4; ++p) {
        s.BandZ[8 * static_cast<size_t>(b) + 2 * p] = Z[p].real();
        s.BandZ[8 * static_cast<size_t>(b) + 2 * p + 1] = Z[p].imag();
      }
      DeriveBandQuantities(s, b, Z[0], Z[1], Z[2], Z[3], remote ? remoteError : nullptr);
      // A row needs every channel of its values: the element's electric
      // channel, and with coherences those of the coherence too.
      unsigned need[4] = {kNeedEx, kNeedEx, kNeedEy, kNeedEy};
      if (s.CoherOn) {
        need[0] = need[1] = need[2] = kNeedEx | kNeedEy;
      }
      for (int p = 0; p < 4; ++p) {
        if ((need[p] & found) != need[p]) {
          s.ZZ[p][b] = s.ZZStd[p][b] = s.ZZPhase[p][b] = s.ZZPhaseStd[p][b] = kNaN;
          continue;
        }
        tables.Row(p, s.BandFreq[static_cast<size_t>(b)], s.ZZ[p][b], s.ZZStd[p][b], s.ZZPhase[p][b],
                   s.ZZPhaseStd[p][b]);
      }
    } else if (simsElement >= 0) {
      // The Sims estimates fill the panels only: no errors, no table rows.
      const SimsChoice& choice = kSims[simsElement];
      for (int p = 0; p < 4; ++p) {
        const unsigned need = Bit(choice.E) | Bit(choice.pairs[p][0]) | Bit(choice.pairs[p][1]);
        if ((need & found) != need) continue;
        const Complex z = SimsEstimate(s, b, choice.E, choice.pairs[p][0], choice.pairs[p][1], choice.which);
        s.ZZ[p][b] = 1000.0 * std::abs(z);
        s.ZZPhase[p][b] = ElementPhase(choice.element, z);
      }
    }
  }
  tables.Finish();
}
