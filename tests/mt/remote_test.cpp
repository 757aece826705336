// Remote-reference estimates on generated two-station recordings: the bias of
// least squares under noisy magnetic channels removed, both estimates equal
// without noise, the remote read at the page's own times, and a remote that
// cannot serve a page (not covering it, another rate, samples in between)
// told once and not used; the Remote Reference dialog and status part 0.

#include "mt/remote.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/commands.h"
#include "app/open_file.h"
#include "app/remote_reference.h"
#include "datafile/loader.h"
#include "datafile/remote_samples.h"
#include "datafile/synth.h"
#include "dialogs/remote_reference_dialog.h"
#include "mt/impedance.h"
#include "platform/headless/headless_platform.h"
#include "plot/paint.h"
#include "spectral/spectrum.h"
#include "tests/support/recordings.h"

namespace {

using Cx = std::complex<double>;
constexpr int kFirstBand = 2;

// Two stations written by the generator; the local one opened with R records per page.
class TwoStations {
 public:
  TwoStations(SynthOptions o, int recordsPerPlot) {
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    o.remotePath = dir / "remote.bin";
    remotePath = o.remotePath;
    EXPECT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
    host.AnswerOpen(WriteRecording(dir, "local.bin", o), std::to_string(recordsPerPlot));
    EXPECT_EQ(CmdOpenFile(s), 1);
    s.FourierOn = s.AppResOn = 1;
  }
  ~TwoStations() { ShutdownAppState(s); }

  // The page from record first (1-based), estimated as the MT display does.
  void Estimate(int first) {
    if (first != s.CurrentRecord + 1) {
      ASSERT_GT(LoadPageAt(s, first - 1), 0);
    }
    s.RedrawAll = 1;
    AnalysePage(s);
    ASSERT_EQ(s.AppResOn, 1);
  }
  Cx Z(int b, int p) const { return {s.BandZ[8 * b + 2 * p], s.BandZ[8 * b + 2 * p + 1]}; }
  std::vector<Cx> AllZ() const {
    std::vector<Cx> z;
    for (int b = 0; b < s.PlotCount; ++b)
      for (int p = 0; p < 4; ++p) z.push_back(Z(b, p));
    return z;
  }

  TempDir dir;
  HeadlessPlatform host;
  AppState s;
  std::string remotePath;
};

double Rho(Cx z, double f) { return 0.2e6 * std::norm(z) / f; }

struct Worst {
  double rho = 0, phase = 0, upperBias = 0;
  double upperScatter = 0;  // rms over the upper third of (ρa/ρ − 1) / reported relative error of ρa
};

// Worst deviation of Zxy and Zyx from the earth's response from kFirstBand on,
// and the worst bias over the upper third of the bands.
Worst Compare(const TwoStations& t, const std::vector<EarthLayer>& earth) {
  Worst w;
  int upper = 0;
  const int bands = t.s.PlotCount;
  for (int b = kFirstBand; b < bands; ++b) {
    const double f = t.s.BandFreq[static_cast<size_t>(b)];
    const Complex2 z = LayeredEarthImpedance(earth, f);
    const double rho0 = Rho({z.re, z.im}, f), phase0 = std::atan2(z.im, z.re) * 180 / M_PI;
    for (int p : {1, 2}) {
      const double dev = std::abs(Rho(t.Z(b, p), f) / rho0 - 1);
      w.rho = std::max(w.rho, dev);
      w.phase = std::max(w.phase, std::abs(ElementPhase(p, t.Z(b, p)) - phase0));
      if (b >= bands - bands / 3) {
        w.upperBias = std::max(w.upperBias, dev);
        w.upperScatter += std::pow(dev / t.s.ZZStd[p][static_cast<size_t>(b)], 2);
        ++upper;
      }
    }
  }
  w.upperScatter = std::sqrt(w.upperScatter / upper);
  return w;
}

// Two stations 62.5 samples/s apart by three records, 5 % noise on every
// channel of each; the page of records 4 … 105 in bands of 4096 coefficients.
SynthOptions NoisyPair(const std::vector<EarthLayer>& earth) {
  SynthOptions o = SmallRecording(105, "Hx,Hy,Hz,Ex,Ey");
  o.rateCode = 62;
  o.noise = 0.05;
  o.seed = 11;
  o.earth = earth;
  o.remoteDelayRecords = 3;
  return o;
}

}  // namespace

TEST(RemoteReference, RemovesTheBiasOfNoisyMagneticChannels) {
  const std::vector<std::vector<EarthLayer>> earths = {{{100.0, 0}}, {{10.0, 1000.0}, {100.0, 0}}};
  for (const auto& earth : earths) {
    TwoStations t(NoisyPair(earth), 102);
    t.s.CoeffsSummed = 4096;
    t.Estimate(4);
    ASSERT_EQ(t.s.RemoteBands, 0);  // no remote chosen yet
    const Worst ls = Compare(t, earth);
    ASSERT_EQ(SetRemoteReference(t.s, t.remotePath), "");
    t.Estimate(4);
    ASSERT_EQ(t.s.RemoteBands, t.s.PlotCount);
    EXPECT_TRUE(t.host.MessageTexts().empty());
    const Worst rr = Compare(t, earth);
    EXPECT_LT(rr.rho, 0.03);
    EXPECT_LT(rr.phase, 1.0);
    EXPECT_GT(ls.upperBias, 0.10);
    // The reported errors describe the remote-referenced scatter; they do not cover the bias of least squares.
    EXPECT_GT(rr.upperScatter, 0.3);
    EXPECT_LT(rr.upperScatter, 3.0);
    EXPECT_GT(ls.upperScatter, 5.0);
    std::printf(
        "%zu layer(s), %d bands: remote reference worst rho %.2f %%, phase %.2f deg from band %d; "
        "least squares worst %.1f %% in the upper third; deviation / reported error (rms, upper third) %.2f and %.1f\n",
        earth.size(), t.s.PlotCount, 100 * rr.rho, rr.phase, kFirstBand, 100 * ls.upperBias, rr.upperScatter,
        ls.upperScatter);
  }
}

TEST(RemoteReference, AgreesWithLeastSquaresWithoutNoise) {
  SynthOptions o = SmallRecording(12);
  o.remoteDelayRecords = 2;
  o.realisticCoil = true;  // the remote's own coil files correct its spectra
  TwoStations t(o, 10);
  t.Estimate(3);
  const std::vector<Cx> ls = t.AllZ();
  ASSERT_EQ(SetRemoteReference(t.s, t.remotePath), "");
  t.Estimate(3);
  ASSERT_GT(t.s.RemoteBands, kFirstBand);
  const std::vector<Cx> rr = t.AllZ();
  double worst = 0;
  for (int b = 0; b < t.s.PlotCount; ++b)
    for (int p : {1, 2}) {
      const double f = t.s.BandFreq[static_cast<size_t>(b)];
      worst = std::max(
          worst, std::abs(Rho(rr[static_cast<size_t>(4 * b + p)], f) / Rho(ls[static_cast<size_t>(4 * b + p)], f) - 1));
    }
  EXPECT_LT(worst, 0.001);
  std::printf("no noise: remote reference and least squares differ by at most %.4f %% in rho\n", 100 * worst);
}

// The remote's samples are those recorded at the page's times: without noise
// they equal the page's own Hx and Hy, record by record, whatever the offset.
TEST(RemoteReference, ReadsTheRemoteAtThePagesOwnTimes) {
  SynthOptions o = SmallRecording(8);
  o.remoteDelayRecords = 3;
  TwoStations t(o, 3);
  ASSERT_GT(LoadPageAt(t.s, 4), 0);  // records 5 … 7 of the local station, 2 … 4 of the remote
  ScaleRecordToUnits(t.s);
  std::vector<double> hx, hy;
  std::string serials[2];
  ASSERT_EQ(ReadRemoteSamples(t.s.CurrentFilePath, t.s.CurrentRecord, t.s.NumPlotPoints, t.remotePath, 10000.0, hx, hy,
                              serials),
            "");
  EXPECT_EQ(serials[0], "R1045");
  EXPECT_EQ(serials[1], "R1046");
  ASSERT_EQ(hx.size(), static_cast<size_t>(t.s.NumPlotPoints));
  for (int i = 0; i < t.s.NumPlotPoints; i += 97) {
    EXPECT_DOUBLE_EQ(hx[static_cast<size_t>(i)], t.s.yplotdata[0][static_cast<size_t>(i)]) << i;
    EXPECT_DOUBLE_EQ(hy[static_cast<size_t>(i)], t.s.yplotdata[1][static_cast<size_t>(i)]) << i;
  }
}

TEST(RemoteReference, APageTheRemoteDoesNotCoverIsToldOnceAndEstimatedWithoutIt) {
  SynthOptions o = SmallRecording(6);
  o.noise = 0.02;
  o.remoteDelayRecords = 2;
  TwoStations t(o, 2);
  t.Estimate(1);
  const std::vector<Cx> own = t.AllZ();
  ASSERT_EQ(SetRemoteReference(t.s, t.remotePath), "");
  t.Estimate(1);  // records 1 and 2: the remote starts with record 3
  EXPECT_EQ(t.s.RemoteBands, 0);
  EXPECT_EQ(t.AllZ(), own);
  ASSERT_EQ(t.host.MessageTexts().size(), 1u);
  EXPECT_EQ(t.host.MessageTexts()[0],
            "The remote reference remote.bin does not hold the whole time span of the page; the page is estimated "
            "without it.");
  t.Estimate(1);  // a repaint of the same page says nothing more
  EXPECT_EQ(t.host.MessageTexts().size(), 1u);
  t.Estimate(3);  // records 3 and 4 are held
  EXPECT_EQ(t.s.RemoteBands, t.s.PlotCount);
  EXPECT_EQ(t.host.MessageTexts().size(), 1u);
  EXPECT_NE(t.AllZ(), own);
  t.Estimate(5);  // records 5 and 6 are the remote's 3 and 4
  EXPECT_EQ(t.s.RemoteBands, t.s.PlotCount);
}

TEST(RemoteReference, AnotherRateOrSamplesBetweenThePagesAreToldAndNotUsed) {
  SynthOptions o = SmallRecording(3);
  o.noise = 0.02;
  TwoStations t(o, 2);
  t.Estimate(1);
  const std::vector<Cx> own = t.AllZ();

  SynthOptions other = o;
  other.remotePath.clear();
  other.rateCode = 500;
  const std::string slow = WriteRecording(t.dir, "slow.bin", other);
  ASSERT_EQ(SetRemoteReference(t.s, slow), "");
  t.Estimate(1);
  EXPECT_EQ(t.s.RemoteBands, 0);
  EXPECT_EQ(t.AllZ(), own);
  ASSERT_EQ(t.host.MessageTexts().size(), 1u);
  EXPECT_EQ(t.host.MessageTexts().back(),
            "The remote reference slow.bin is sampled at 500 samples/s, the open recording at 1000; the page is "
            "estimated without it.");

  other = o;
  other.remotePath.clear();
  AddSeconds(other.start, 0.4e-3);  // 0.4 samples later
  const std::string between = WriteRecording(t.dir, "between.bin", other);
  ASSERT_EQ(SetRemoteReference(t.s, between), "");
  t.Estimate(1);
  EXPECT_EQ(t.s.RemoteBands, 0);
  EXPECT_EQ(t.AllZ(), own);
  ASSERT_EQ(t.host.MessageTexts().size(), 2u);
  EXPECT_EQ(t.host.MessageTexts().back(),
            "The samples of between.bin fall between those of the page; the page is estimated without it.");
}

TEST(RemoteReference, DialogChoosesOrClearsAndStatusShowsTheChoice) {
  SynthOptions o = SmallRecording(2);
  TwoStations t(o, 1);
  EXPECT_EQ(t.host.status[0], "local.bin");

  // A recording without Hx and Hy is refused and the dialog stays open; the next choice is taken.
  SynthOptions electric = SmallRecording(1, "Ex,Ey");
  const std::string noMagnetic = WriteRecording(t.dir, "electric.bin", electric);
  t.host.openFilesAnswers = {{noMagnetic}, {t.remotePath}};
  t.host.dialogScripts.push_back([](HeadlessDialog& d) {
    EXPECT_EQ(d.GetText(kRemoteFile), "None");
    d.Click(kRemoteOpen);
    EXPECT_FALSE(d.closed());
    d.Click(kRemoteOpen);
  });
  EXPECT_EQ(ChooseRemoteReference(t.s), kRemoteOpen);
  ASSERT_EQ(t.host.MessageTexts().size(), 1u);
  EXPECT_EQ(t.host.MessageTexts()[0], "electric.bin has no enabled Hx and Hy channels to serve as a remote reference.");
  EXPECT_EQ(t.s.RemotePath, t.remotePath);
  EXPECT_EQ(t.host.status[0], "local.bin (RR: remote.bin)");

  // The open recording itself is no remote.
  EXPECT_EQ(SetRemoteReference(t.s, t.s.CurrentFilePath),
            "local.bin is the open recording; choose the recording of another station.");

  // Cancel keeps it; None clears it.
  t.host.dialogScripts.push_back([](HeadlessDialog& d) { d.Cancel(); });
  EXPECT_EQ(ChooseRemoteReference(t.s), kIdCancel);
  EXPECT_EQ(t.s.RemotePath, t.remotePath);
  t.host.dialogScripts.push_back([&](HeadlessDialog& d) {
    EXPECT_EQ(d.GetText(kRemoteFile), t.remotePath);
    d.Click(kRemoteNone);
  });
  EXPECT_EQ(ChooseRemoteReference(t.s), kRemoteNone);
  EXPECT_TRUE(t.s.RemotePath.empty());
  EXPECT_EQ(t.host.status[0], "local.bin");
}
