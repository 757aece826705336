#include "app/analysis.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>

#include "app/display_filter.h"
#include "app/file_commands.h"
#include "app/open_file.h"
#include "app/remote_reference.h"
#include "datafile/file_io.h"
#include "datafile/loader.h"
#include "datafile/remote_samples.h"
#include "mt/impedance.h"
#include "mt/remote.h"
#include "platform/platform.h"
#include "spectral/lowpass.h"
#include "spectral/peaks.h"
#include "spectral/polyfit.h"
#include "spectral/realfft.h"
#include "spectral/response.h"
#include "spectral/spectrum.h"
#include "spectral/window.h"
#include "util/parallel.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename T, typename A>
void GrowTo(std::vector<T, A>& v, size_t n) {
  if (v.size() < n) v.resize(n);
}

// The page's polynomial trend of channel ch against the time of each point,
// for the spectra. A fit that cannot be solved (fewer points than terms)
// leaves no trend.
// The trends of the given channels, fitted on both cores. Every fit starts
// from the same kept coefficients (a fit that cannot be solved is unsolvable
// for every channel alike, the abscissas being shared), and the state keeps
// the last channel's coefficients and misfit, as fitting one after another would.
void FitTrends(AppState& s, const std::vector<int>& chans, int n) {
  if (chans.empty()) return;
  GrowTo(s.FitX, static_cast<size_t>(n));
  for (int ch : chans) GrowTo(s.ypoly[ch], static_cast<size_t>(n));
  if (n <= 0) return;
  const size_t count = chans.size();
  constexpr size_t kTerms = sizeof(AppState::TrendCoeffs) / sizeof(double);
  std::vector<std::array<double, kTerms>> coeffs(count);
  std::vector<double> rms(count, 0.0);
  // The channels share the page's abscissas: their sums are made once, and
  // the first channel writes the curve's abscissas.
  const PolyAbscissas abscissas = PolyFitAbscissas(s.xplotdata.data(), n, s.FitOrder);
  ParallelFor(static_cast<int>(count), [&](int i) {
    const int ch = chans[static_cast<size_t>(i)];
    double* c = coeffs[static_cast<size_t>(i)].data();
    std::copy(std::begin(s.TrendCoeffs), std::end(s.TrendCoeffs), c);
    double* xout = i == 0 ? s.FitX.data() : nullptr;
    if (!PolyFit(abscissas, s.xplotdata.data(), s.yplotdata[ch].data(), xout, s.ypoly[ch].data(), c, n,
                 &rms[static_cast<size_t>(i)]))
      std::fill(s.ypoly[ch].begin(), s.ypoly[ch].begin() + n, 0.0);
  });
  for (int ch : chans) s.TrendFitted[ch] = 1;
  std::copy(coeffs.back().begin(), coeffs.back().end(), s.TrendCoeffs);
  s.FitRms = rms.back();
}

// A response file's text, as far as the table reads it: up to the line break
// that ends its last row. False when the file cannot be opened.
bool ReadResponseFile(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return false;
  text.clear();
  int lines = 0;
  char buffer[4096];
  while (lines < ResponseTable::kMaxRows) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, f);
    if (got == 0) break;
    size_t take = got;
    for (size_t i = 0; i < got; ++i)
      if (buffer[i] == '\n' && ++lines == ResponseTable::kMaxRows) {
        take = i + 1;
        break;
      }
    text.append(buffer, take);
  }
  std::fclose(f);
  return true;
}

// What identifies the remote's contents: its path, size and modification time.
std::string FileStamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return path;
  return path + '\n' + std::to_string(st.st_size) + '\n' + std::to_string(st.st_mtim.tv_sec) + '.' +
         std::to_string(st.st_mtim.tv_nsec);
}

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

// Channels a value needs, as bits of kMtHx … kMtEy.
constexpr unsigned Bit(int k) { return 1u << k; }
constexpr unsigned kNeedEx = Bit(kMtEx), kNeedEy = Bit(kMtEy);

// The four tables of one redraw; a table that cannot be created or written is
// remembered by name and the others go on.
class Tables {
 public:
  Tables(AppState& s) : s_(s) {
    if (s.CurrentFilePath.empty()) return;
    // One table that is the recording (a link to it, say) stops all four, before any is written.
    std::vector<FileId> inputs = OpenInputsOf(s);
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
      file_[p] = CreateCheckedOutput(WriteSystemOf(s), path_[p], OpenInputsOf(s), why);
      if (!file_[p]) Failed(p);
    }
  }

  void Row(int p, double f, double z, double zStd, double phase, double phaseStd) {
    if (!file_[p]) return;
    const std::string line = ImpedanceTableRow(f, z, zStd, phase, phaseStd);
    if (!file_[p]->Write(line.data(), line.size())) {
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

// Points of the current page that every array holding it can supply.
int PagePoints(const AppState& s) {
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(s.NumPlotPoints, 0)), s.xplotdata.size()));
}

bool Searched(const AppState& s, int ch, int n) {
  return s.OutHeader.ChannelEnabled[ch] && s.yplotdata[ch].size() >= static_cast<size_t>(n);
}

// The peak search's trend of channel ch, fitted with the display's coefficients.
void FitPeakTrend(AppState& s, int ch, int n) {
  GrowTo(s.ypoly[ch], static_cast<size_t>(n));
  GrowTo(s.FitX, static_cast<size_t>(n));
  PolyFit(s.xplotdata.data(), s.yplotdata[ch].data(), s.FitX.data(), s.ypoly[ch].data(), s.FitCoeffs, s.FitOrder, n, n,
          &s.FitRms);
}

}  // namespace

void ScaleRecordToUnits(AppState& s) {
  std::vector<int> chans;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!s.OutHeader.ChannelEnabled[ch]) continue;
    if (s.yplotdata[ch].size() < static_cast<size_t>(s.NumPlotPoints) ||
        s.yplotdata_orig[ch].size() < static_cast<size_t>(s.NumPlotPoints))
      continue;
    chans.push_back(ch);
  }
  // Each channel has its own filter histories: the channels scale on both cores.
  ParallelFor(static_cast<int>(chans.size()), [&](int i) {
    const int ch = chans[static_cast<size_t>(i)];
    ScaleChannelForDisplay(s, ch, ChannelFactor(s, s.OutHeader, ch));
  });
  s.NumEnabledChans = CountEnabled(s.OutHeader);
}

void AnalysePage(AppState& s) {
  ComputeSensorScales(s, s.OutHeader);
  ComputeGains(s.OutHeader);
  ScaleRecordToUnits(s);
  if (s.FindPeaksOn) FindPeaks(s);

  if (s.FourierOn && !RunSpectrumPipeline(s)) {
    s.host->MessageBox("Ex, Ey, Hx, Hy Labels not all present in header", "Zorvan", MsgButtons::Ok, MsgIcon::Warning);
    s.LogX = 0;
    s.LogY = 0;  // time series on a log axis would lose every panel with values <= 0
    s.AppResOn = 0;
    s.FourierOn = 0;
  }
  if (s.AppResOn) {
    ComputeRemoteSpectra(s);
    EstimateImpedance(s);
    s.NumEnabledChans = 4;
    s.LogX = 1;
    // Bands too wide for the page: say which value would give one, once for
    // each value and page length rather than at every repaint.
    const std::string tooWide = CoeffsSummedMessage(s.CoeffsSummed, s.FftLength);
    if (!tooWide.empty() && tooWide != s.CoeffsMessageShown)
      s.host->MessageBox(tooWide, "Zorvan", MsgButtons::Ok, MsgIcon::Warning);
    s.CoeffsMessageShown = tooWide;
  }
}

int FindMtChannels(AppState& s) {
  const MtChannels m = LocateMtChannels(s.OutHeader.ChannelEnabled, s.OutHeader.ChannelLabel, kChannels);
  int* index[4] = {&s.HxChan, &s.HyChan, &s.ExChan, &s.EyChan};
  for (int k = 0; k < 4; ++k) {
    s.MtChannelFound[k] = m.found[k];
    if (m.found[k]) *index[k] = m.index[k];
  }
  return m.Usable();
}

int RunSpectrumPipeline(AppState& s) {
  if (s.AppResOn && !FindMtChannels(s)) {
    s.AppResOn = 0;
    s.FourierOn = 0;
    return 0;
  }
  const int n = std::max(0, s.NumPlotPoints);
  const unsigned long N = TransformLength(n);
  s.FftLength = static_cast<int>(N);
  const double rate = SamplesPerSecond(s);
  const double dt = 1.0 / rate;
  const double df = rate / static_cast<double>(N);
  if (!s.FitValid)
    for (int& fitted : s.TrendFitted) fitted = 0;
  if (s.NotchOn)
    s.NotchedBins.assign(N / 2, 0);
  else
    s.NotchedBins.clear();
  const bool mt = s.AppResOn != 0;

  // The channels are independent once their coil tables are read and their
  // trends fitted: the coil correction and the transforms run on both cores.
  std::vector<int> chans;
  for (int ch = 0; ch < kChannels; ++ch)
    if (s.OutHeader.ChannelEnabled[ch]) chans.push_back(ch);
  const int count = static_cast<int>(chans.size());
  ResponseTable coil[kChannels];
  bool magnetic[kChannels] = {};
  for (int ch : chans) {
    PageRow& y = s.yplotdata[ch];
    GrowTo(y, std::max<size_t>(static_cast<size_t>(n), N / 2));
    GrowTo(s.yplotdata2[ch], N + 3);
    if (s.SineTestOn)
      // The test sine is transformed as it is: no trend is fitted or removed.
      for (int i = 0; i < n; ++i) y[static_cast<size_t>(i)] = std::sin(2 * M_PI * s.SineTestFreq * dt * i);
    magnetic[ch] = mt && ((ch == s.HxChan && s.MtChannelFound[kMtHx]) || (ch == s.HyChan && s.MtChannelFound[kMtHy]));
    if (magnetic[ch]) {
      LoadResponse(s, ch);
      coil[ch] = s.Response;
    }
  }
  // The magnetic field itself, before its trend and window.
  ParallelFor(count, [&](int i) {
    const int ch = chans[static_cast<size_t>(i)];
    if (magnetic[ch]) RemoveCoilResponse(coil[ch], s.yplotdata[ch].data(), n, N, rate, s.yplotdata2[ch].data());
  });
  // A trend is fitted again only when the data or the order changed.
  std::vector<std::array<double, 3>> signatures(static_cast<size_t>(count));
  if (!s.SineTestOn)
    ParallelFor(count, [&](int i) {
      DataSignature(s.yplotdata[chans[static_cast<size_t>(i)]].data(), n, s.FitOrder,
                    signatures[static_cast<size_t>(i)].data());
    });
  std::vector<int> refit;
  for (int i = 0; i < count; ++i) {
    if (s.SineTestOn) continue;
    const int ch = chans[static_cast<size_t>(i)];
    const double* signature = signatures[static_cast<size_t>(i)].data();
    double* fitted = s.TrendSignature[ch];
    if (!s.TrendFitted[ch] || s.ypoly[ch].size() < static_cast<size_t>(n) || signature[0] != fitted[0] ||
        signature[1] != fitted[1] || signature[2] != fitted[2]) {
      refit.push_back(ch);
      std::copy(signature, signature + 3, fitted);
    }
  }
  FitTrends(s, refit, n);
  if (s.WindowType == kWindowSlepian) SlepianWindow(s.SlepianWindows, n);  // made here, only read below
  std::vector<std::vector<uint8_t>> notched(static_cast<size_t>(count));
  std::vector<int> harmonics(static_cast<size_t>(count), 0);
  ParallelFor(count, [&](int i) {
    const int ch = chans[static_cast<size_t>(i)];
    double* X = s.yplotdata2[ch].data();
    double* y = s.yplotdata[ch].data();
    const double weightPower =
        TransformRecord(s.SlepianWindows, y, s.SineTestOn ? nullptr : s.ypoly[ch].data(), n, N, s.WindowType, X);
    if (s.NotchOn) harmonics[static_cast<size_t>(i)] = ApplyNotch(X, N, df, notched[static_cast<size_t>(i)]);
    PowerSpectralDensity(X, N, dt, weightPower, y);
  });
  for (int i = 0; i < count; ++i) {
    // No fitted-peak overlay is made for a notch, so there is nothing left to show.
    if (harmonics[static_cast<size_t>(i)] > 0) s.NotchFitPending = 0;
    const std::vector<uint8_t>& marks = notched[static_cast<size_t>(i)];
    for (size_t b = 0; b < marks.size() && b < s.NotchedBins.size(); ++b) s.NotchedBins[b] |= marks[b];
  }
  s.FitValid = 1;
  s.FreqStep = 0.5 / (static_cast<double>(N) * dt);
  if (mt) {
    const int* f = s.MtChannelFound;
    AccumulatePageCrossSpectra(s, f[kMtHx] ? s.HxChan : -1, f[kMtHy] ? s.HyChan : -1, f[kMtEx] ? s.ExChan : -1,
                               f[kMtEy] ? s.EyChan : -1);
  }
  return 1;
}

void AccumulatePageCrossSpectra(AppState& s, int hx, int hy, int ex, int ey) {
  const int chans[4] = {hx, hy, ex, ey};
  const double* X[4] = {};
  for (int k = 0; k < 4; ++k)
    if (chans[k] >= 0 && chans[k] < kChannels) X[k] = s.yplotdata2[chans[k]].data();
  BandCrossSpectra r = AccumulateCrossSpectra(X, s.CoeffsSummed, s.FftLength, s.NotchOn ? &s.NotchedBins : nullptr);
  s.PlotCount = r.bands;
  s.CrossSpec = std::move(r.cross);
  s.BandBins = std::move(r.bins);
}

void ComputeRemoteSpectra(AppState& s) {
  s.RemoteBands = 0;
  const int n = s.NumPlotPoints;
  // The Sims estimates do not use a remote: nothing to read or tell.
  if (s.RemotePath.empty() || !s.AppResOn || !s.LeastSquaresOn || s.SineTestOn || n <= 0 || !s.MtChannelFound[kMtHx] ||
      !s.MtChannelFound[kMtHy])
    return;
  const std::string key = s.CurrentFilePath + '\n' + std::to_string(s.CurrentRecord) + '\n' + std::to_string(n) + '\n' +
                          FileStamp(s.RemotePath);
  if (key != s.RemoteSeriesKey) {
    s.RemoteSeriesKey = key;
    std::string serials[2];
    if (s.DataFile && IdOfPath(s.RemotePath) == IdOfFile(s.DataFile))
      s.RemoteProblem = "The remote reference " + s.RemoteTitle + " is the open recording itself" + kRemoteWithout;
    else
      s.RemoteProblem = ReadRemoteSamples(s.CurrentFilePath, s.CurrentRecord, n, s.RemotePath, s.AdcSpanMilliVolts,
                                          s.RemoteSeries[0], s.RemoteSeries[1], serials);
    s.RemoteSerial[0] = serials[0];
    s.RemoteSerial[1] = serials[1];
  }
  if (!s.RemoteProblem.empty()) {
    if (s.RemoteToldKey != key && s.host) {
      s.RemoteToldKey = key;
      ShowMessage(*s.host, s.RemoteProblem, MsgIcon::Warning);
    }
    return;
  }

  // The page's pipeline on the remote Hx, Hy: coil, trend, window, transform, notch.
  const unsigned long N = static_cast<unsigned long>(s.FftLength);
  if (N < 2 || static_cast<long long>(N) < n) return;
  const double df = SamplesPerSecond(s) / static_cast<double>(N);
  std::vector<double> trend(static_cast<size_t>(n)), xout(static_cast<size_t>(n));
  const int channel[2] = {s.HxChan, s.HyChan};
  for (int r = 0; r < 2; ++r) {
    // The coil file is the one of the remote's own serial; the field is taken
    // off the coil as for the local Hx, Hy (the recorded series stays cached).
    std::string serial = s.RemoteSerial[r].substr(0, 16);
    serial = serial.substr(0, serial.find('\0'));
    LoadResponseOfSerial(s, serial, s.OutHeader.ChannelLabel[channel[r]]);
    std::vector<double> y = s.RemoteSeries[static_cast<size_t>(r)];
    std::vector<double>& X = s.RemoteSpectrum[static_cast<size_t>(r)];
    GrowTo(X, N + 3);
    RemoveCoilResponse(s.Response, y.data(), n, N, SamplesPerSecond(s), X.data());
    double coeffs[kMaxFitTerms + 2] = {}, rms = 0;
    if (!PolyFit(s.xplotdata.data(), y.data(), xout.data(), trend.data(), coeffs, s.FitOrder, n, n, &rms))
      std::fill(trend.begin(), trend.end(), 0.0);
    X.assign(N + 3, 0.0);
    WindowRecord(s.SlepianWindows, y.data(), trend.data(), X.data() + 1, n, s.WindowType);
    RealSpectrum(X.data(), N, +1);
    if (s.NotchOn && ApplyNotch(X.data(), N, df, s.NotchedBins) > 0) s.NotchFitPending = 0;
  }

  // Band cross-spectra with the remote, over the bins the local bands averaged.
  const int bands = s.PlotCount;
  const int chans[4] = {s.HxChan, s.HyChan, s.ExChan, s.EyChan};
  const double* A[6] = {};
  for (int a = 0; a < 4; ++a)
    if (s.MtChannelFound[a]) A[a] = s.yplotdata2[chans[a]].data();
  A[4] = s.RemoteSpectrum[0].data();
  A[5] = s.RemoteSpectrum[1].data();
  std::vector<double> cross =
      AccumulateRemoteCrossSpectra(A, bands, s.CoeffsSummed, N, s.NotchOn ? &s.NotchedBins : nullptr);
  if (cross.empty()) return;
  s.RemoteCrossSpec = std::move(cross);
  s.RemoteBands = bands;
}

void EstimateImpedance(AppState& s) {
  ImpedanceInput in;
  const int chans[4] = {s.HxChan, s.HyChan, s.ExChan, s.EyChan};
  for (int k = 0; k < 4; ++k) {
    in.found[k] = s.MtChannelFound[k];
    // Hx and Hy are there whenever an estimate is made; an electric channel may be missing.
    const bool used = k < 2 || s.MtChannelFound[k];
    if (used && chans[k] >= 0 && chans[k] < kChannels) in.spectra[k] = s.yplotdata2[chans[k]].data();
  }
  in.cross = &s.CrossSpec;
  in.bands = s.PlotCount;
  in.bandBins = &s.BandBins;
  in.notched = s.NotchOn ? &s.NotchedBins : nullptr;
  in.M = s.CoeffsSummed;
  in.N = s.FftLength;
  in.fs = SamplesPerSecond(s);
  in.points = s.NumPlotPoints;
  in.leastSquares = s.LeastSquaresOn != 0;
  in.simsElement = SimsElement(s);
  in.remoteCross = &s.RemoteCrossSpec;
  in.remoteBands = s.RemoteBands;
  const std::vector<ImpedanceBand> bands = EstimateImpedanceBands(in);

  const size_t nb = bands.size();
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

  unsigned found = 0;
  for (int k = 0; k < 4; ++k)
    if (s.MtChannelFound[k]) found |= Bit(k);
  const bool sims = !s.LeastSquaresOn && in.simsElement >= 0;
  Tables tables(s);
  for (size_t b = 0; b < nb; ++b) {
    const ImpedanceBand& band = bands[b];
    s.BandFreq[b] = band.freq;
    for (int p = 0; p < 4; ++p) s.ZZ[p][b] = s.ZZStd[p][b] = s.ZZPhase[p][b] = s.ZZPhaseStd[p][b] = kNaN;
    if (!band.estimated) continue;

    if (s.LeastSquaresOn) {
      s.ResidualEx[b] = band.residualEx;
      s.ResidualEy[b] = band.residualEy;
      // The panels show |Z|, the apparent resistivity (whose relative error is
      // twice that of |Z|) or the coherence.
      for (int p = 0; p < 4; ++p) {
        s.BandZ[8 * b + 2 * p] = band.Z[p].real();
        s.BandZ[8 * b + 2 * p + 1] = band.Z[p].imag();
        s.ZZPhase[p][b] = band.phase[p];
        s.ZZ[p][b] = s.ResistivityOn ? band.resistivity[p] : band.magnitude[p];
        s.ZZPhaseStd[p][b] = band.phaseError[p];
        s.ZZStd[p][b] = s.ResistivityOn ? band.relError[p] * 2.0 : band.relError[p];
        s.BandCoherence[4 * b + p] = band.coherence[p];
        if (s.CoherOn) s.ZZ[p][b] = band.coherence[p];
      }
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
        tables.Row(p, s.BandFreq[b], s.ZZ[p][b], s.ZZStd[p][b], s.ZZPhase[p][b], s.ZZPhaseStd[p][b]);
      }
    } else if (sims) {
      // The Sims estimates fill the panels only: no errors, no table rows.
      for (int p = 0; p < 4; ++p) {
        s.ZZ[p][b] = band.magnitude[p];
        s.ZZPhase[p][b] = band.phase[p];
      }
    }
  }
  tables.Finish();
}

std::vector<std::string> ResponseDirectories(const AppState& s) {
  if (!s.ResponseDir.empty()) return {WithSeparator(s.ResponseDir)};
  std::vector<std::string> dirs;
  if (!s.CurrentFilePath.empty())
    dirs.push_back(WithSeparator(DirectoryOf(s.CurrentFilePath)) + "LEMI" + kPathSeparator);
  const std::string start = WithSeparator(s.StartDir) + "LEMI" + kPathSeparator;
  if (dirs.empty() || dirs[0] != start) dirs.push_back(start);
  return dirs;
}

int LoadResponseOfSerial(AppState& s, const std::string& serial, int labelCode) {
  s.Response.rows = 0;
  const std::vector<std::string> dirs = ResponseDirectories(s);
  const std::string name = ResponseFileName(serial);
  // Read only: a read-only coil file is as good as any. The coil's own file
  // in any of the folders comes before the default file.
  std::string text;
  auto read = [&](const std::string& file) {
    for (const std::string& dir : dirs)
      if (ReadResponseFile(dir + file, text)) return true;
    return false;
  };
  const int own = read(name);
  const bool any = own || read(kDefaultResponseFile);
  if (!own && std::find(s.ResponseToldNames.begin(), s.ResponseToldNames.end(), name) == s.ResponseToldNames.end()) {
    s.ResponseToldNames.push_back(name);
    std::string message = name + " not found, using default " + kDefaultResponseFile;
    if (!any) {
      std::string where;
      for (size_t i = 0; i < dirs.size(); ++i) where += (i == 0 ? "" : " and ") + dirs[i];
      const std::string label = labelCode == kLabelHx ? "Hx" : labelCode == kLabelHy ? "Hy" : "H";
      message = name + " not found, nor the default " + kDefaultResponseFile + ", in " + where + ": " + label +
                " is shown without coil correction";
    }
    if (s.host) ShowMessage(*s.host, message, MsgIcon::Warning);
  }
  if (!any) return 0;
  s.Response = ParseResponseText(text);
  return own;
}

int LoadResponse(AppState& s, int ch) {
  s.Response.rows = 0;
  if (ch < 0 || ch >= kChannels) return 0;
  return LoadResponseOfSerial(s, SensorSerialText(s.OutHeader.SensorSerial[ch]), s.OutHeader.ChannelLabel[ch]);
}

void ForgetResponseMessages(AppState& s) { s.ResponseToldNames.clear(); }

PeakSearchResult FindPeaks(AppState& s) {
  PeakSearchResult result;
  result.path = s.StartDir + kPeakFileName;

  const int n = PagePoints(s);
  const bool fitValid = s.FitValid != 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    s.PeakCount[ch] = 0;
    if (!Searched(s, ch, n)) continue;
    // A trend that another step fitted is reused; one it never sized is fitted here.
    if (!fitValid || s.ypoly[ch].size() < static_cast<size_t>(n)) FitPeakTrend(s, ch, n);
    GrowTo(s.yplotdataFFT[ch], static_cast<size_t>(n));
    GrowTo(s.PeakX[ch], static_cast<size_t>(kMaxPeaks));
    GrowTo(s.PeakY[ch], static_cast<size_t>(kMaxPeaks));
    const double* y = s.yplotdata[ch].data();
    const double* trend = s.ypoly[ch].data();
    double* detrended = s.yplotdataFFT[ch].data();
    for (int i = 0; i < n; ++i) detrended[i] = y[i] - trend[i];
    s.PeakCount[ch] = DetectPeaks(s.xplotdata.data(), detrended, n, trend, s.PeakX[ch].data(), s.PeakY[ch].data(),
                                  kMaxPeaks, s.NoiseLevel[ch], s.SNCutoff);
  }
  if (n > 0) s.FitValid = 1;

  // The list is formed in memory, then written through the check that keeps it
  // off the open recording (PeakData.txt may be a link to it).
  std::string text;
  if (s.PeakCount[2] != 0 && Searched(s, 1, n) && Searched(s, 3, n))
    text = PeakDirectionsText(s.xplotdata.data(), n, s.PeakX[2].data(), s.PeakY[2].data(), s.PeakCount[2],
                              s.ypoly[2].data(), s.yplotdataFFT[1].data(), s.yplotdataFFT[3].data(), &result.lines);
  result.why = WriteCheckedFile(s, result.path, text.data(), text.size());
  if (!result.why.empty()) result.err = EIO;
  if (result.err) {
    result.lines = 0;
    s.PeakFileFailed = 1;
    if (s.host) s.host->SetStatusText(0, result.why);
  } else if (s.PeakFileFailed) {
    s.PeakFileFailed = 0;
    if (s.host) s.host->SetStatusText(0, "Ready");
  }
  return result;
}
