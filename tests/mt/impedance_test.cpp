// Impedance estimates on band spectra made with a known tensor: least squares
// and the sixteen Sims estimates recover it, the derived quantities (phase,
// apparent resistivity, errors paired with each element's own equation,
// coherences), missing electric channels, and the four tables.

#include "mt/impedance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "app/analysis.h"
#include "app/state.h"
#include "datafile/file_io.h"
#include "platform/headless/headless_platform.h"
#include "spectral/spectrum.h"
#include "tests/support/temp_dir.h"

namespace {

using C = std::complex<double>;

// Spectra of Hx, Hy, Ex, Ey (channels 0 … 3) over `bands` bands of M bins:
// random H, E = Z·H plus white noise of the given rms on Ex and Ey.
struct Bands {
  HeadlessPlatform host;
  AppState s;
  Bands(int bands, int M, const C Z[4], double exNoise = 0, double eyNoise = 0, uint64_t seed = 1) {
    s.host = &host;
    s.SampleRate = 1000;
    s.CoeffsSummed = M;
    s.FftLength = 2 * M * (bands + 1);
    s.HxChan = 0, s.HyChan = 1, s.ExChan = 2, s.EyChan = 3;
    for (int& f : s.MtChannelFound) f = 1;
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    const size_t bins = static_cast<size_t>(s.FftLength / 2);
    for (int ch = 0; ch < 4; ++ch) s.yplotdata2[ch].assign(2 * bins + 3, 0.0);
    for (size_t k = 0; k < bins; ++k) {
      const C hx(g(rng), g(rng)), hy(g(rng), g(rng));
      const C ex = Z[0] * hx + Z[1] * hy + exNoise * C(g(rng), g(rng));
      const C ey = Z[2] * hx + Z[3] * hy + eyNoise * C(g(rng), g(rng));
      const C v[4] = {hx, hy, ex, ey};
      for (int ch = 0; ch < 4; ++ch) {
        s.yplotdata2[ch][2 * k + 1] = v[ch].real();
        s.yplotdata2[ch][2 * k + 2] = v[ch].imag();
      }
    }
    AccumulatePageCrossSpectra(s, 0, 1, 2, 3);
  }
  C Z(int b, int p) const { return {s.BandZ[8 * b + 2 * p], s.BandZ[8 * b + 2 * p + 1]}; }
  C Bin(int ch, long k) const { return {s.yplotdata2[ch][2 * k + 1], s.yplotdata2[ch][2 * k + 2]}; }

  // Adds to Ey noise of the given rms made orthogonal, band by band, to Hx
  // and Hy (and so to Ex): every equation with Hx, Hy or Ex as auxiliary
  // channel still holds exactly, those with Ey do not.
  void AddOrthogonalEyNoise(double rms, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> g(0.0, rms);
    const long M = s.CoeffsSummed;
    for (int b = 0; b < s.PlotCount; ++b) {
      // The band's bins: b·M … b·M + M − 1, band 0 from bin 1.
      const long first = static_cast<long>(BandFirstBin(b, M)), K = (b + 1) * M - first;
      std::vector<C> n(static_cast<size_t>(K)), hx(n.size()), hy(n.size());
      for (long k = 0; k < K; ++k) {
        n[k] = C(g(rng), g(rng));
        hx[k] = Bin(0, first + k);
        hy[k] = Bin(1, first + k);
      }
      auto dot = [&](const std::vector<C>& u, const std::vector<C>& v) {
        C sum = 0;
        for (long k = 0; k < K; ++k) sum += u[k] * std::conj(v[k]);
        return sum;
      };
      // Gram–Schmidt: q = hy without its hx part; n loses its hx and q parts.
      std::vector<C> q = hy;
      const C a = dot(hy, hx) / dot(hx, hx);
      for (long k = 0; k < K; ++k) q[k] -= a * hx[k];
      const C nx = dot(n, hx) / dot(hx, hx), nq = dot(n, q) / dot(q, q);
      for (long k = 0; k < K; ++k) {
        const C v = n[k] - nx * hx[k] - nq * q[k];
        s.yplotdata2[3][2 * (first + k) + 1] += v.real();
        s.yplotdata2[3][2 * (first + k) + 2] += v.imag();
      }
    }
    AccumulatePageCrossSpectra(s, 0, 1, 2, 3);
  }
};

const C kTensor[4] = {C(0.0002, -0.0001), C(0.003, 0.002), C(-0.0025, -0.0031), C(-0.0004, 0.0003)};

TEST(BandFrequency, IsTheMeanFrequencyOfTheBandsBins) {
  // Band 0 of 512 bins keeps bins 1 … 511 (not the zero frequency): mean bin 256.
  EXPECT_DOUBLE_EQ(BandFrequency(0, 512, 1000.0, 65536), 256 * 1000.0 / 65536);
  EXPECT_DOUBLE_EQ(BandFrequency(1, 512, 1000.0, 65536), (512 + 255.5) * 1000.0 / 65536);
  EXPECT_DOUBLE_EQ(BandFrequency(10, 512, 62.5, 32768), (5120 + 255.5) * 62.5 / 32768);
  EXPECT_DOUBLE_EQ(BandFrequency(3, 1, 1000.0, 8), 3 * 125.0);
}

TEST(InvertTensor, GivesTheDeterminantAndTheInverse) {
  const C a(1, 2), b(-0.5, 0.25), c(3, -1), d(0.5, 4);
  C inv[4];
  const C det = InvertTensor2x2(a, b, c, d, inv);
  EXPECT_NEAR(std::abs(det - (a * d - b * c)), 0.0, 1e-15);
  // [[a, b], [c, d]] times its inverse is the identity.
  EXPECT_NEAR(std::abs(a * inv[0] + b * inv[2] - 1.0), 0.0, 1e-14);
  EXPECT_NEAR(std::abs(a * inv[1] + b * inv[3]), 0.0, 1e-14);
  EXPECT_NEAR(std::abs(c * inv[0] + d * inv[2]), 0.0, 1e-14);
  EXPECT_NEAR(std::abs(c * inv[1] + d * inv[3] - 1.0), 0.0, 1e-14);
}

TEST(ElementPhase, DropsTheSignAndTakesZyxFromMinusZyx) {
  EXPECT_EQ(ElementPhase(1, C(0.002, 0)), 0.0);
  EXPECT_EQ(ElementPhase(1, C(-0.002, 0)), 180.0);
  EXPECT_NEAR(ElementPhase(1, C(1, -1)), 45.0, 1e-12);  // a half-space as the spectra give it
  EXPECT_NEAR(ElementPhase(0, C(1, 1)), 45.0, 1e-12);
  EXPECT_NEAR(ElementPhase(2, C(-1, 1)), 45.0, 1e-12);  // Zyx = −Zxy of the same half-space
  EXPECT_EQ(ElementPhase(2, C(0.002, 0)), 180.0);
  EXPECT_NEAR(ElementPhase(3, C(-1, 1)), 135.0, 1e-12);
}

TEST(LeastSquares, ExactTensorIsRecoveredWithZeroErrorsAndCoherencesOfOne) {
  Bands bands(3, 64, kTensor);
  AppState& s = bands.s;
  s.ResistivityOn = 0;
  EstimateImpedance(s);
  ASSERT_EQ(s.PlotCount, 3);
  for (int b = 0; b < 3; ++b)
    for (int p = 0; p < 4; ++p) {
      EXPECT_NEAR(std::abs(bands.Z(b, p) - kTensor[p]), 0.0, 1e-15) << b << " " << p;
      EXPECT_NEAR(s.ZZ[p][b], 1000 * std::abs(kTensor[p]), 1e-12);
      EXPECT_NEAR(s.ZZStd[p][b], 0.0, 1e-12);
      EXPECT_NEAR(s.ZZPhaseStd[p][b], 0.0, 1e-10);
      EXPECT_NEAR(s.BandCoherence[4 * b + p], 1.0, 1e-12);
      EXPECT_NEAR(s.ZZPhase[p][b], ElementPhase(p, kTensor[p]), 1e-9);
    }
  s.CoherOn = 1;
  EstimateImpedance(s);
  for (int p = 0; p < 4; ++p) EXPECT_NEAR(s.ZZ[p][1], 1.0, 1e-12);
}

TEST(LeastSquares, ResistivityOfPoint2At1HzForAMilliImpedance) {
  const std::vector<double> cross(32, 1.0);
  const std::vector<int> bandBins;
  const std::vector<double> spectrum(8, 1.0);
  ImpedanceInput in;
  in.cross = &cross;
  in.bandBins = &bandBins;
  in.bands = 1;
  in.M = 1;
  in.N = 4;
  in.found[kMtHx] = in.found[kMtHy] = 1;  // no electric channel: no residual pass
  for (int k = 0; k < 4; ++k) in.spectra[k] = spectrum.data();
  ImpedanceBand band;
  band.freq = 1.0;
  DeriveBandQuantities(in, 0, C(0.001, 0), C(0, 0.001), C(-0.001, 0), C(0.0006, 0.0008), nullptr, band);
  for (int p = 0; p < 4; ++p) EXPECT_NEAR(band.resistivity[p], 0.2, 1e-15);
  EXPECT_EQ(band.phase[0], 0.0);
  EXPECT_EQ(band.phase[1], 90.0);
  EXPECT_EQ(band.phase[2], 0.0);  // taken of −Zyx
}

// Noise on Ex only: the errors of Zxx and Zxy (the Ex equation) grow, those of
// Zyx and Zyy stay 0; each matches the scatter of the estimates over bands.
TEST(LeastSquares, MisfitErrorOfEachElementComesFromItsOwnEquation) {
  const int nbands = 200, M = 64;
  Bands bands(nbands, M, kTensor, 0.0005, 0.0, 7);
  AppState& s = bands.s;
  s.ResistivityOn = 0;
  EstimateImpedance(s);
  for (int p : {2, 3})
    for (int b = 0; b < nbands; ++b) ASSERT_LT(s.ZZStd[p][b], 1e-12);
  for (int p : {0, 1}) {
    // Reported relative error of |Z| against the scatter of the complex estimates.
    double reported = 0, scatter = 0;
    for (int b = 0; b < nbands; ++b) {
      reported += s.ZZStd[p][b] * std::abs(bands.Z(b, p));
      scatter += std::norm(bands.Z(b, p) - kTensor[p]);
    }
    reported /= nbands;
    scatter = std::sqrt(scatter / nbands);
    EXPECT_NEAR(reported / scatter, 1.0, 0.15) << "element " << p;
  }
  // Coherences of Ex fall below 1, those of Ey do not.
  EXPECT_LT(s.BandCoherence[4 * 10 + 2], 0.999);
  EXPECT_NEAR(s.BandCoherence[4 * 10 + 3], 1.0, 1e-12);
  // With resistivities the relative error is doubled; the phase error is atan of the |Z| error.
  const double zStd = s.ZZStd[1][5];
  s.ResistivityOn = 1;
  EstimateImpedance(s);
  EXPECT_NEAR(s.ZZStd[1][5], 2 * zStd, 1e-15);
  EXPECT_NEAR(s.ZZPhaseStd[1][5], std::atan(zStd) * 180 / M_PI, 1e-12);
}

// Small bands: the residual power of K bins is divided by K − 2, so the
// squared errors match the scatter of the estimates (dividing by K would make
// them half of it at K = 4); bands of K <= 2 bins, fitted exactly whatever the
// noise, have no error and no coherence, and the tables say "nan".
TEST(LeastSquares, ErrorsOfSmallBandsUseKMinusTwoDegreesOfFreedom) {
  const int nbands = 3000, M = 4;
  Bands bands(nbands, M, kTensor, 0.0005, 0.0, 3);
  AppState& s = bands.s;
  s.ResistivityOn = 0;
  EstimateImpedance(s);
  for (int p : {0, 1}) {
    double reported = 0, scatter = 0;
    for (int b = 1; b < nbands; ++b) {  // band 0 keeps 3 bins
      reported += std::pow(s.ZZStd[p][b] * std::abs(bands.Z(b, p)), 2);
      scatter += std::norm(bands.Z(b, p) - kTensor[p]);
    }
    EXPECT_NEAR(reported / scatter, 1.0, 0.1) << "element " << p;
  }

  TempDir dir;
  Bands two(3, 2, kTensor, 0.0005, 0.0005, 4);  // band 0 keeps 1 bin, the others 2
  two.s.CurrentFilePath = dir / "k2.bin";
  EstimateImpedance(two.s);
  for (int b = 0; b < 3; ++b)
    for (int p = 0; p < 4; ++p) {
      EXPECT_TRUE(std::isnan(two.s.ZZStd[p][b])) << b << " " << p;
      EXPECT_TRUE(std::isnan(two.s.ZZPhaseStd[p][b]));
      EXPECT_TRUE(std::isnan(two.s.BandCoherence[4 * b + p]));
    }
  EXPECT_TRUE(std::isfinite(two.s.ZZ[1][1]));  // the estimate itself stays
  std::ifstream table(dir / "k2_ZXY.dat");
  std::string line;
  std::getline(table, line);
  std::getline(table, line);
  EXPECT_NE(line.find("       nan"), std::string::npos) << line;
  EXPECT_EQ(line.find("-nan"), std::string::npos) << line;
}

TEST(Sims, EverySixteenEstimatesRecoverAnExactTensor) {
  Bands bands(2, 32, kTensor);
  AppState& s = bands.s;
  s.LeastSquaresOn = 0;
  struct Choice {
    int* flag;
    int element;
  } choices[] = {{&s.SimsZxxOn, 0}, {&s.SimsZxyOn, 1}, {&s.SimsZyxOn, 2}, {&s.SimsZyyOn, 3}};
  for (const Choice& c : choices) {
    s.SimsZxxOn = s.SimsZxyOn = s.SimsZyxOn = s.SimsZyyOn = 0;
    *c.flag = 1;
    EstimateImpedance(s);
    for (int b = 0; b < 2; ++b)
      for (int p = 0; p < 4; ++p) {
        EXPECT_NEAR(s.ZZ[p][b], 1000 * std::abs(kTensor[c.element]), 1e-9) << c.element << " panel " << p;
        EXPECT_NEAR(s.ZZPhase[p][b], ElementPhase(c.element, kTensor[c.element]), 1e-7);
        EXPECT_TRUE(std::isnan(s.ZZStd[p][b]));  // no error bars for these estimates
      }
  }
  // Several flags: the order Zxx, Zxy, Zyy, Zyx decides, the last set wins.
  s.SimsZxxOn = s.SimsZyyOn = s.SimsZyxOn = 1;
  EstimateImpedance(s);
  EXPECT_NEAR(s.ZZ[0][0], 1000 * std::abs(kTensor[2]), 1e-9);
}

// Noise on Ey that Hx, Hy and Ex do not see: the estimates of Zyx and Zyy
// whose auxiliary pair avoids Ey stay exact, the others do not. Zyy's third
// estimate uses the pair (Hx, Hy).
TEST(Sims, EstimatesUseTheirOwnAuxiliaryPairs) {
  Bands bands(2, 128, kTensor);
  bands.AddOrthogonalEyNoise(0.01, 4);
  AppState& s = bands.s;
  s.LeastSquaresOn = 0;
  s.SimsZxyOn = 0;
  struct Case {
    int* flag;
    int element;
    bool exact[4];
  } cases[] = {
      {&s.SimsZyxOn, 2, {false, false, true, true}},  // (Ex, Ey), (Ey, Hy), (Ex, Hx), (Hx, Hy)
      {&s.SimsZyyOn, 3, {false, true, true, true}},   // (Ex, Ey), (Ex, Hx), (Hx, Hy), (Ex, Hy)
      {&s.SimsZxyOn, 1, {true, true, true, true}},    // the Ex equation holds with any pair
  };
  for (const Case& c : cases) {
    s.SimsZyxOn = s.SimsZyyOn = s.SimsZxyOn = 0;
    *c.flag = 1;
    EstimateImpedance(s);
    const double exact = 1000 * std::abs(kTensor[c.element]);
    for (int p = 0; p < 4; ++p) {
      const double error = std::abs(s.ZZ[p][0] - exact) / exact;
      if (c.exact[p])
        EXPECT_LT(error, 1e-10) << "element " << c.element << " panel " << p;
      else
        EXPECT_GT(error, 1e-4) << "element " << c.element << " panel " << p;
    }
  }
}

TEST(MissingElectricChannel, LeavesWhatNeedsItEmpty) {
  Bands bands(2, 32, kTensor);
  AppState& s = bands.s;
  s.MtChannelFound[kMtEx] = 0;
  AccumulatePageCrossSpectra(s, 0, 1, -1, 3);
  EstimateImpedance(s);
  for (int b = 0; b < 2; ++b) {
    for (int p : {0, 1})
      EXPECT_TRUE(std::isnan(s.ZZ[p][b]) && std::isnan(s.ZZStd[p][b]) && std::isnan(s.ZZPhase[p][b]));
    for (int p : {2, 3}) EXPECT_NEAR(std::abs(bands.Z(b, p) - kTensor[p]), 0.0, 1e-15);
    EXPECT_TRUE(std::isnan(s.BandCoherence[4 * b + 0]));  // the magnetic coherences need both
    EXPECT_TRUE(std::isnan(s.BandCoherence[4 * b + 2]));
    EXPECT_NEAR(s.BandCoherence[4 * b + 3], 1.0, 1e-12);
    EXPECT_TRUE(std::isnan(s.ResidualEx[b]));
  }
  s.CoherOn = 1;
  EstimateImpedance(s);
  EXPECT_TRUE(std::isnan(s.ZZ[2][0]));  // Ex coherence
  EXPECT_NEAR(s.ZZ[3][0], 1.0, 1e-12);
  s.CoherOn = 0;
  s.LeastSquaresOn = 0;
  s.SimsZyxOn = 1;
  s.SimsZxyOn = 0;
  EstimateImpedance(s);
  EXPECT_TRUE(std::isnan(s.ZZ[0][0]));                         // pair Ex, Ey
  EXPECT_NEAR(s.ZZ[1][0], 1000 * std::abs(kTensor[2]), 1e-9);  // pair Ey, Hy
  EXPECT_TRUE(std::isnan(s.ZZ[2][0]));                         // pair Ex, Hx
  EXPECT_NEAR(s.ZZ[3][0], 1000 * std::abs(kTensor[2]), 1e-9);  // pair Hx, Hy
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Tables : public ::testing::Test {
 protected:
  Tables() : bands(3, 32, kTensor) {
    bands.s.CurrentFilePath = dir / "site1.bin";
    bands.s.CurrentFileTitle = "site1.bin";
  }
  TempDir dir;
  Bands bands;
};

TEST_F(Tables, OneRowPerBandInBandOrderWithTheRowFormat) {
  AppState& s = bands.s;
  EstimateImpedance(s);
  const char* names[4] = {"site1_ZXX.dat", "site1_ZXY.dat", "site1_ZYX.dat", "site1_ZYY.dat"};
  for (int p = 0; p < 4; ++p) {
    std::vector<std::string> lines = Lines(dir / names[p]);
    ASSERT_EQ(lines.size(), 3u) << names[p];
    for (int b = 0; b < 3; ++b) {
      char expected[256];
      std::snprintf(expected, sizeof expected, "%10.4e %10.4e %10.4e %10.4e %10.4e", s.BandFreq[b], s.ZZ[p][b],
                    s.ZZStd[p][b], s.ZZPhase[p][b], s.ZZPhaseStd[p][b]);
      EXPECT_EQ(lines[b], expected);
    }
  }
  EXPECT_LT(s.BandFreq[0], s.BandFreq[1]);
  EXPECT_EQ(Lines(dir / "site1_ZXY.dat")[1].substr(0, 10), "1.8555e+02");  // (32 + 15.5)·1000/256
}

TEST_F(Tables, EmptyInSimsModeAndWithoutBands) {
  AppState& s = bands.s;
  EstimateImpedance(s);
  s.LeastSquaresOn = 0;
  EstimateImpedance(s);
  for (const char* name : {"site1_ZXX.dat", "site1_ZXY.dat", "site1_ZYX.dat", "site1_ZYY.dat"}) {
    EXPECT_TRUE(std::filesystem::exists(dir / name));
    EXPECT_TRUE(Lines(dir / name).empty()) << name;
  }
  s.LeastSquaresOn = 1;
  s.PlotCount = 0;
  EstimateImpedance(s);
  EXPECT_TRUE(std::filesystem::exists(dir / "site1_ZYY.dat"));
  EXPECT_TRUE(Lines(dir / "site1_ZYY.dat").empty());
}

TEST_F(Tables, MissingEx) {
  AppState& s = bands.s;
  s.MtChannelFound[kMtEx] = 0;
  AccumulatePageCrossSpectra(s, 0, 1, -1, 3);
  EstimateImpedance(s);
  EXPECT_TRUE(Lines(dir / "site1_ZXX.dat").empty());
  EXPECT_TRUE(Lines(dir / "site1_ZXY.dat").empty());
  EXPECT_EQ(Lines(dir / "site1_ZYX.dat").size(), 3u);
  EXPECT_EQ(Lines(dir / "site1_ZYY.dat").size(), 3u);
}

TEST(TableNames, BaseLosesItsLastFourCharactersWhenItHoldsDotBin) {
  EXPECT_EQ(ImpedanceTableBase("site1.bin"), "site1");
  EXPECT_EQ(ImpedanceTableBase("SITE1.BIN"), "SITE1");
  EXPECT_EQ(ImpedanceTableBase("site1.dat"), "site1.dat");
  EXPECT_EQ(ImpedanceTableBase("a.bin.old"), "a.bin");
  EXPECT_EQ(ImpedanceTableBase("site.Bin"), "site.Bin");
  EXPECT_EQ(ImpedanceTablePath("/data/run/site1.bin", 0), "/data/run/site1_ZXX.dat");
  EXPECT_EQ(ImpedanceTablePath("/data/run/site1.bin", 3), "/data/run/site1_ZYY.dat");
}

// A file system on which one table cannot be created.
class RefusingFileSystem : public FileWriteSystem {
 public:
  explicit RefusingFileSystem(std::string refused) : refused_(std::move(refused)) {}
  CreateResult Create(const std::string& path, const std::vector<FileId>& inputs) override {
    if (path.size() >= refused_.size() && path.compare(path.size() - refused_.size(), refused_.size(), refused_) == 0)
      return CreateResult{CreateStatus::Failed, 13, nullptr};
    return RealFileSystem().Create(path, inputs);
  }

 private:
  std::string refused_;
};

TEST_F(Tables, TableThatCannotBeWrittenIsNamedInTheStatusBarAndTheRestGoesOn) {
  AppState& s = bands.s;
  RefusingFileSystem refusing("_ZYX.dat");
  s.WriteSystem = &refusing;
  EstimateImpedance(s);
  EXPECT_EQ(bands.host.status[0], "Cannot write site1_ZYX.dat");
  EXPECT_TRUE(bands.host.messages.empty());
  EXPECT_EQ(Lines(dir / "site1_ZYY.dat").size(), 3u);
  EXPECT_NEAR(s.ZZ[2][1], 0.2 * std::norm(1000.0 * kTensor[2]) / s.BandFreq[1], 1e-9);
  // Once the tables can be written again the status bar shows the file again.
  s.WriteSystem = nullptr;
  EstimateImpedance(s);
  EXPECT_EQ(bands.host.status[0], "site1.bin");
  EXPECT_EQ(Lines(dir / "site1_ZYX.dat").size(), 3u);
}

}  // namespace

// A table row is "%10.4e" five times: right-aligned in ten places, longer
// where the number needs it, "nan" for a value not estimated whatever its sign.
TEST(ImpedanceTableRow, IsThePrintfRowForAnyValues) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> exponent(-320, 310);
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0, -0.0, 1.0, 123455.0, 9.99995, -9.99995e-5, inf, -inf, 1e-310, 1e300, -1e-300};
  for (int i = 0; i < 3000; ++i) values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, exponent(rng)));
  for (size_t i = 0; i + 5 <= values.size(); i += 3) {
    const double* v = &values[i];
    char want[256];
    std::snprintf(want, sizeof want, "%10.4e %10.4e %10.4e %10.4e %10.4e\n", v[0], v[1], v[2], v[3], v[4]);
    ASSERT_EQ(ImpedanceTableRow(v[0], v[1], v[2], v[3], v[4]), want) << i;
  }
  EXPECT_EQ(ImpedanceTableRow(-std::nan(""), std::nan(""), 1, 2, 3),
            "       nan        nan 1.0000e+00 2.0000e+00 3.0000e+00\n");
}
