// The MT estimates on generated recordings, through the same path as a paint:
// half-spaces of several resistivities at 1000 and 62.5 samples/s, pages of 1
// and 10 records, identity and realistic coils; a two-layer earth against its
// analytic response; the reported errors against the scatter over repeated
// noisy recordings; the notch leaving its bins out of the bands.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "app/commands.h"
#include "datafile/synth.h"
#include "mt/impedance.h"
#include "platform/headless/headless_platform.h"
#include "plot/paint.h"
#include "tests/support/recordings.h"

namespace {

constexpr double kRhoTolerance = 0.05;   // relative
constexpr double kPhaseTolerance = 2.0;  // degrees
constexpr int kFirstBand = 2;            // bands 0 and 1 span too wide a relative range of frequencies

double Rho(std::complex<double> z, double f) {
  return 0.2e6 * std::norm(z) / f;
}

// A recording written and opened as the open dialog would, then estimated as
// the MT display does.
class MtPage {
 public:
  explicit MtPage(const SynthOptions& o, int recordsPerPlot) {
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    EXPECT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
    host.AnswerOpen(WriteRecording(dir, "mt.bin", o), std::to_string(recordsPerPlot));
    EXPECT_EQ(CmdOpenFile(s), 1);
    s.FourierOn = s.AppResOn = 1;
  }
  ~MtPage() { ShutdownAppState(s); }

  void Estimate() {
    ComputePageData(s);
    ASSERT_EQ(s.AppResOn, 1);
    ASSERT_GT(s.PlotCount, kFirstBand);
  }
  std::complex<double> Z(int b, int p) const { return {s.BandZ[8 * b + 2 * p], s.BandZ[8 * b + 2 * p + 1]}; }

  TempDir dir;
  HeadlessPlatform host;
  AppState s;
};

struct Deviation {
  double rho = 0;    // worst |ρa/ρ − 1|
  double phase = 0;  // worst |φ − φ₀|, degrees
};

// Worst deviation of Zxy and Zyx from the earth's response at each band's frequency, from kFirstBand on.
Deviation Compare(const MtPage& page, const std::vector<EarthLayer>& earth) {
  Deviation worst;
  for (int b = kFirstBand; b < page.s.PlotCount; ++b) {
    const double f = page.s.BandFreq[static_cast<size_t>(b)];
    const Complex2 z = LayeredEarthImpedance(earth, f);
    const std::complex<double> z0(z.re, z.im);
    const double phase0 = std::atan2(z.im, z.re) * 180 / M_PI;
    for (int p : {1, 2}) {
      const std::complex<double> zb = page.Z(b, p);
      worst.rho = std::max(worst.rho, std::abs(Rho(zb, f) / Rho(z0, f) - 1));
      worst.phase = std::max(worst.phase, std::abs(ElementPhase(p, zb) - phase0));
      // The panels show what the tables hold.
      EXPECT_NEAR(page.s.ZZ[p][static_cast<size_t>(b)], Rho(zb, f), 1e-9 * Rho(zb, f));
      EXPECT_EQ(page.s.ZZPhase[p][static_cast<size_t>(b)], ElementPhase(p, zb));
    }
  }
  return worst;
}

TEST(MtPhysics, HalfSpaceGivesItsResistivityAndFortyFiveDegrees) {
  const double resistivities[] = {1.0, 100.0, 10000.0};
  int k = 0;
  Deviation overall;
  for (uint32_t rate : {1000u, 62u})
    for (int records : {1, 10})
      for (bool realistic : {false, true}) {
        const double rho = resistivities[k++ % 3];
        SynthOptions o = SmallRecording(records);
        o.rateCode = rate;
        o.realisticCoil = realistic;
        o.earth = {{rho, 0}};
        o.seed = static_cast<uint64_t>(k);
        MtPage page(o, records);
        page.Estimate();
        const Deviation d = Compare(page, o.earth);
        EXPECT_LT(d.rho, kRhoTolerance) << rho << " ohm-m, rate " << rate << ", " << records << " records, coil "
                                        << realistic;
        EXPECT_LT(d.phase, kPhaseTolerance)
            << rho << " ohm-m, rate " << rate << ", " << records << " records, coil " << realistic;
        std::printf(
            "half-space %6g ohm-m, rate %4u, %2d records, %-9s coil: %2d bands, worst rho %5.2f %%, phase %5.3f deg\n",
            rho, rate, records, realistic ? "realistic" : "identity", page.s.PlotCount, 100 * d.rho, d.phase);
        overall.rho = std::max(overall.rho, d.rho);
        overall.phase = std::max(overall.phase, d.phase);
      }
  RecordProperty("worst_rho_percent", std::to_string(100 * overall.rho));
  RecordProperty("worst_phase_deg", std::to_string(overall.phase));
}

TEST(MtPhysics, TwoLayerEarthFollowsItsAnalyticResponse) {
  struct Case {
    uint32_t rate;
    std::vector<EarthLayer> earth;
  } cases[] = {
      {1000, {{100.0, 400.0}, {10.0, 0}}},  // conductive basement under 40 … 480 Hz
      {62, {{10.0, 500.0}, {1000.0, 0}}},   // resistive basement under 2.4 … 30 Hz
  };
  for (const Case& c : cases) {
    SynthOptions o = SmallRecording(10);
    o.rateCode = c.rate;
    o.realisticCoil = true;
    o.earth = c.earth;
    MtPage page(o, 10);
    page.Estimate();
    // The response changes over the bands (so the test sees the layers).
    const double f0 = page.s.BandFreq[kFirstBand], f1 = page.s.BandFreq[static_cast<size_t>(page.s.PlotCount - 1)];
    const Complex2 z0 = LayeredEarthImpedance(c.earth, f0), z1 = LayeredEarthImpedance(c.earth, f1);
    EXPECT_GT(std::abs(std::atan2(z0.im, z0.re) - std::atan2(z1.im, z1.re)) * 180 / M_PI, 10.0);
    const Deviation d = Compare(page, c.earth);
    EXPECT_LT(d.rho, kRhoTolerance) << "rate " << c.rate;
    EXPECT_LT(d.phase, kPhaseTolerance) << "rate " << c.rate;
    std::printf("two layers, rate %4u: %2d bands, worst rho %5.2f %%, phase %5.3f deg\n", c.rate, page.s.PlotCount,
                100 * d.rho, d.phase);
  }
}

// Over repeated recordings with noise on every channel, the relative error
// reported for |Zxy| and |Zyx| (impedance display: not doubled) is within a
// factor of 2 of the scatter of |Z| between the recordings.
TEST(MtPhysics, ReportedErrorsMatchTheScatterOverRepeatedRecordings) {
  const int repeats = 24;
  std::vector<std::vector<double>> magnitude(2), reported(2);
  int bands = 0;
  for (int r = 0; r < repeats; ++r) {
    SynthOptions o = SmallRecording(2);
    o.noise = 0.01;
    o.seed = 100 + static_cast<uint64_t>(r);
    MtPage page(o, 2);
    page.s.ResistivityOn = 0;
    page.s.ImpedanceOn = 1;
    page.Estimate();
    bands = page.s.PlotCount;
    for (int i = 0; i < 2; ++i)
      for (int b = 0; b < bands; ++b) {
        magnitude[i].push_back(std::abs(page.Z(b, i + 1)));
        reported[i].push_back(page.s.ZZStd[i + 1][static_cast<size_t>(b)]);
      }
  }
  double lowest = 1e9, highest = 0;
  for (int i = 0; i < 2; ++i)
    for (int b = kFirstBand; b < bands; ++b) {
      double mean = 0, spread = 0, error = 0;
      for (int r = 0; r < repeats; ++r) mean += magnitude[i][static_cast<size_t>(r * bands + b)] / repeats;
      for (int r = 0; r < repeats; ++r) {
        spread += std::pow(magnitude[i][static_cast<size_t>(r * bands + b)] - mean, 2) / (repeats - 1);
        error += reported[i][static_cast<size_t>(r * bands + b)] / repeats;
      }
      const double ratio = error / (std::sqrt(spread) / mean);
      EXPECT_GT(ratio, 0.5) << (i ? "Zyx" : "Zxy") << " band " << b;
      EXPECT_LT(ratio, 2.0) << (i ? "Zyx" : "Zxy") << " band " << b;
      lowest = std::min(lowest, ratio);
      highest = std::max(highest, ratio);
    }
  std::printf("reported relative error of |Z| / scatter over %d recordings: %.2f … %.2f\n", repeats, lowest, highest);
  RecordProperty("error_scatter_ratio_low", std::to_string(lowest));
  RecordProperty("error_scatter_ratio_high", std::to_string(highest));
}

// Without any power-line signal, the notch's replaced bins are left out of the
// bands: the 180 Hz band keeps the half-space's 45°.
TEST(MtPhysics, NotchedBinsDoNotEnterTheEstimates) {
  SynthOptions o = SmallRecording(10);
  o.earth = {{100.0, 0}};
  MtPage page(o, 10);
  page.s.NotchOn = 1;
  page.Estimate();
  const int band = static_cast<int>(180.0 / (2 * page.s.FreqStep) / page.s.CoeffsSummed);
  ASSERT_GT(page.s.BandBins[static_cast<size_t>(band)], 0);
  ASSERT_LT(page.s.BandBins[static_cast<size_t>(band)], page.s.CoeffsSummed);
  const Deviation d = Compare(page, o.earth);
  EXPECT_LT(d.rho, kRhoTolerance);
  EXPECT_LT(d.phase, kPhaseTolerance);
  std::printf("notch on, band %d keeps %d of %d bins: worst rho %5.2f %%, phase %5.3f deg\n", band,
              page.s.BandBins[static_cast<size_t>(band)], page.s.CoeffsSummed, 100 * d.rho, d.phase);
}

}  // namespace
