// The spectrum pipeline: transform length, the half-length real transform
// against four1, the sine test, the trend, the notch, the coil correction
// against the bin-by-bin lookup, and the band cross-spectra.

#include "spectral/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "app/analysis.h"
#include "app/state.h"
#include "platform/headless/headless_platform.h"
#include "spectral/fft.h"
#include "spectral/realfft.h"
#include "spectral/response.h"
#include "spectral/window.h"

namespace {

// A state with one page of n points of the given channels, in physical units,
// at rate code `rate`, as the paint pipeline leaves it before the spectra.
struct Page {
  HeadlessPlatform host;
  AppState s;
  Page(int n, int rate, std::initializer_list<int> labels) {
    s.host = &host;
    s.SampleRate = rate;
    s.SampsPerBlock = n;
    s.RecordsPerPlot = 1;
    s.NumPlotPoints = n;
    s.FourierOn = 1;
    s.xplotdata.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) s.xplotdata[static_cast<size_t>(i)] = 1000.0 + i / static_cast<double>(rate);
    int ch = 0;
    for (int label : labels) {
      s.OutHeader.ChannelEnabled[ch] = 1;
      s.OutHeader.ChannelLabel[ch] = static_cast<int8_t>(label);
      s.yplotdata[ch].assign(static_cast<size_t>(n), 0.0);
      ++ch;
    }
  }
  std::complex<double> Bin(int ch, long b) const {
    return {s.yplotdata2[ch][static_cast<size_t>(2 * b + 1)], s.yplotdata2[ch][static_cast<size_t>(2 * b + 2)]};
  }
};

TEST(TransformLength, NextPowerOfTwoAtLeastTwo) {
  EXPECT_EQ(TransformLength(1000), 1024u);
  EXPECT_EQ(TransformLength(1024), 1024u);
  EXPECT_EQ(TransformLength(1025), 2048u);
  EXPECT_EQ(TransformLength(0), 2u);
  EXPECT_EQ(TransformLength(1), 2u);
  EXPECT_EQ(TransformLength(10'000'000), 16'777'216u);
}

// The half-length transform against four1 over N complex points with zero
// imaginary parts, for every length from 2 to 2^18 and both signs.
TEST(RealSpectrum, EqualsTheFullComplexTransformWithinRounding) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (unsigned long N = 2; N <= (1ul << 18); N *= 2)
    for (int isign : {+1, -1}) {
      std::vector<double> x(N), full(2 * N + 1, 0.0), half(N + 3, 0.0);
      for (double& v : x) v = u(rng);
      for (unsigned long j = 0; j < N; ++j) {
        full[2 * j + 1] = x[j];
        half[j + 1] = x[j];
      }
      four1(full.data(), N, isign);
      RealSpectrum(half.data(), N, isign);
      double peak = 0, worst = 0;
      for (unsigned long k = 0; k <= N / 2; ++k) {
        peak = std::max(peak, std::hypot(full[2 * k + 1], full[2 * k + 2]));
        worst = std::max(worst, std::hypot(full[2 * k + 1] - half[2 * k + 1], full[2 * k + 2] - half[2 * k + 2]));
      }
      EXPECT_LT(worst, 1e-14 * peak * std::log2(static_cast<double>(N)) + 1e-300) << "N " << N << " isign " << isign;
    }
}

// The fused detrend and window against ApplyWindow of the detrended record,
// for every window type, odd and even lengths.
TEST(WindowRecord, EqualsApplyWindowOfTheDetrendedRecordWithinRounding) {
  AppState s;
  std::mt19937_64 rng(11);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int n : {1, 2, 3, 8, 255, 1025, 100000})
    for (int type : {0, 1, 2, 3}) {
      std::vector<double> y(static_cast<size_t>(n)), trend(y.size()), detrended(y.size()), slow(y.size()),
          fast(y.size());
      for (int i = 0; i < n; ++i) {
        y[static_cast<size_t>(i)] = g(rng);
        trend[static_cast<size_t>(i)] = 0.1 * g(rng);
        detrended[static_cast<size_t>(i)] = y[static_cast<size_t>(i)] - trend[static_cast<size_t>(i)];
      }
      ApplyWindow(s.SlepianWindows, detrended.data(), slow.data(), n, 1.0, type);
      WindowRecord(s.SlepianWindows, y.data(), trend.data(), fast.data(), n, type);
      for (int i = 0; i < n; ++i)
        ASSERT_NEAR(fast[static_cast<size_t>(i)], slow[static_cast<size_t>(i)], 1e-13) << n << " " << type << " " << i;
    }
}

TEST(SpectrumPipeline, SineTestPeaksAtItsBinWithHalfTheLength) {
  Page page(1024, 1024, {kLabelHx, kLabelEx});
  AppState& s = page.s;
  for (double& v : s.yplotdata[0]) v = 5.0;  // data, replaced by the test sine
  s.SineTestOn = 1;
  s.WindowType = 0;
  ASSERT_EQ(RunSpectrumPipeline(s), 1);
  EXPECT_EQ(s.FftLength, 1024);
  EXPECT_DOUBLE_EQ(s.FreqStep, 0.5);
  for (int ch : {0, 1}) {
    EXPECT_NEAR(std::abs(page.Bin(ch, 60)), 512.0, 1e-9);
    for (long b = 0; b < 512; ++b)
      if (b != 60) {
        ASSERT_LT(std::abs(page.Bin(ch, b)), 1e-9) << b;
      }
    // Density 2·dt·|X|²/n: the sine's variance 1/2 in one bin of 1 Hz.
    EXPECT_NEAR(s.yplotdata[ch][60], 0.5, 1e-12);
  }
}

TEST(SpectrumPipeline, TrendIsNotSubtractedFromTheSineButFromTheData) {
  Page page(1024, 1024, {kLabelHx});
  AppState& s = page.s;
  // A large offset and slope on the data: the fitted trend takes them away.
  for (int i = 0; i < 1024; ++i) s.yplotdata[0][static_cast<size_t>(i)] = 300.0 + 2.0 * i;
  s.SineTestOn = 1;
  s.WindowType = 0;
  RunSpectrumPipeline(s);
  EXPECT_NEAR(page.Bin(0, 0).real(), 0.0, 1e-9);  // a whole number of sine periods: no DC
  EXPECT_EQ(s.TrendFitted[0], 0);                 // nothing was fitted to the sine

  for (int i = 0; i < 1024; ++i) s.yplotdata[0][static_cast<size_t>(i)] = 300.0 + 2.0 * i;
  s.SineTestOn = 0;
  RunSpectrumPipeline(s);
  EXPECT_EQ(s.TrendFitted[0], 1);
  // The fitted curve is sampled at the fit's own abscissas FitX, which fall
  // behind the points' times by up to one sample: what is left of the line is
  // a ramp of at most one sample's rise (2), against a sum of 1.35e6.
  EXPECT_NEAR(s.ypoly[0][1000], 300.0 + 2.0 * (s.FitX[1000] - 1000.0) * 1024, 1e-6);
  EXPECT_LT(std::abs(page.Bin(0, 0)), 2.0 * 1024);
}

TEST(SpectrumPipeline, TrendIsFittedAgainstThePointTimesAndRefittedWhenTheDataChange) {
  Page page(2048, 1000, {kLabelHx});
  AppState& s = page.s;
  auto fill = [&](double offset, double slope) {
    for (int i = 0; i < 2048; ++i)
      s.yplotdata[0][static_cast<size_t>(i)] = offset + slope * s.xplotdata[static_cast<size_t>(i)];
  };
  fill(7.0, 0.5);
  s.PlotX.assign(2048, 123.0);  // band frequencies of an earlier MT paint
  RunSpectrumPipeline(s);
  EXPECT_NEAR(s.ypoly[0][777], 7.0 + 0.5 * s.FitX[777], 1e-9);
  EXPECT_NEAR(s.FitX[777], s.xplotdata[777], 1e-3);
  EXPECT_EQ(s.FitValid, 1);

  // The same data again (a repaint of the page): the trend is kept, not refitted.
  s.ypoly[0][777] = -1.0;
  fill(7.0, 0.5);
  RunSpectrumPipeline(s);
  EXPECT_EQ(s.ypoly[0][777], -1.0);
  // Changed data (another page, the filter, a gain edited in the header) get their own trend.
  fill(14.0, 1.0);
  RunSpectrumPipeline(s);
  EXPECT_NEAR(s.ypoly[0][777], 14.0 + 1.0 * s.FitX[777], 1e-9);
  // A new order refits the same data.
  s.ypoly[0][777] = -1.0;
  fill(14.0, 1.0);
  s.FitOrder = 2;
  RunSpectrumPipeline(s);
  EXPECT_NEAR(s.ypoly[0][777], 14.0 + 1.0 * s.FitX[777], 1e-9);
  // So does the same data when FitValid was cleared.
  s.ypoly[0][777] = -1.0;
  fill(14.0, 1.0);
  s.FitValid = 0;
  RunSpectrumPipeline(s);
  EXPECT_NEAR(s.ypoly[0][777], 14.0 + 1.0 * s.FitX[777], 1e-9);
}

TEST(SpectrumPipeline, MtModeNeedsHxHyAndAnElectricChannel) {
  struct Case {
    std::initializer_list<int> labels;
    int ok;
  } cases[] = {
      {{kLabelHx, kLabelHy, kLabelEx, kLabelEy}, 1},
      {{kLabelHx, kLabelHy, kLabelEx}, 1},
      {{kLabelHx, kLabelHy, kLabelEy}, 1},
      {{kLabelHx, kLabelEx, kLabelEy}, 0},  // three labels, but no Hy
      {{kLabelHy, kLabelEx, kLabelEy, kLabelHz}, 0},
      {{kLabelHx, kLabelHx, kLabelEx, kLabelEy}, 0},  // Hx twice does not make an Hy
      {{kLabelHx, kLabelHy}, 0},
  };
  for (const Case& c : cases) {
    Page page(1024, 1000, c.labels);
    page.s.AppResOn = 1;
    page.s.ResponseDir = "/nonexistent";
    EXPECT_EQ(RunSpectrumPipeline(page.s), c.ok);
    EXPECT_EQ(page.s.AppResOn, c.ok);
    EXPECT_EQ(page.s.FourierOn, c.ok);
  }
}

TEST(SpectrumPipeline, PageLongerThanTheOldWorkArraysIsTransformedWhole) {
  const int n = 4'194'305;
  Page page(n, 1000, {kLabelEx});
  AppState& s = page.s;
  s.SineTestOn = 1;
  s.SineTestFreq = 125.0;  // bin 125 · N / 1000 of N = 8,388,608: exactly 1,048,576
  s.WindowType = 0;
  RunSpectrumPipeline(s);
  EXPECT_EQ(s.FftLength, 8'388'608);
  long peak = 0;
  for (long b = 1; b < 4'194'304; ++b)
    if (s.yplotdata[0][static_cast<size_t>(b)] > s.yplotdata[0][static_cast<size_t>(peak)]) peak = b;
  EXPECT_EQ(peak, 1'048'576);
}

// White noise of variance σ² has the one-sided density 2σ²·dt per Hz: within
// 5 % on pages of 1, 2 and 8 records with every window, and the same level
// for the same recording whatever the page length. Each level is the mean over
// the pages of the same 8 records (a single short page scatters by several %).
TEST(SpectrumPipeline, WhiteNoiseGivesItsDensityOnEveryPageWithEveryWindow) {
  const double sigma = 3.0, rate = 1000.0;
  std::mt19937_64 rng(11);
  std::normal_distribution<double> g(0.0, sigma);
  std::vector<double> noise(8 * 2560);
  for (double& v : noise) v = g(rng);
  const double expected = 2 * sigma * sigma / rate;
  for (int window = 0; window < 4; ++window) {
    double levels[3] = {};
    int k = 0;
    for (int records : {1, 2, 8}) {
      const int n = records * 2560;
      for (int start = 0; start < 8 * 2560; start += n) {
        Page page(n, static_cast<int>(rate), {kLabelHx});
        AppState& s = page.s;
        s.SampsPerBlock = 2560;
        s.RecordsPerPlot = records;
        s.WindowType = window;
        std::copy(noise.begin() + start, noise.begin() + start + n, s.yplotdata[0].begin());
        ASSERT_EQ(RunSpectrumPipeline(s), 1);
        // Mean density from 10 to 490 Hz (the trend and the window touch only the lowest bins).
        const double df = rate / s.FftLength;
        double sum = 0;
        int bins = 0;
        for (long b = std::lround(10 / df); b * df < 490; ++b, ++bins) sum += s.yplotdata[0][static_cast<size_t>(b)];
        levels[k] += sum / bins * n / (8 * 2560);
      }
      EXPECT_NEAR(levels[k] / expected, 1.0, 0.05) << "window " << window << ", " << records << " records";
      ++k;
    }
    EXPECT_NEAR(levels[1] / levels[0], 1.0, 0.05) << "window " << window;
    EXPECT_NEAR(levels[2] / levels[0], 1.0, 0.05) << "window " << window;
    std::printf("window %d: density / 2 sigma^2 dt = %.3f, %.3f, %.3f at 1, 2, 8 records per page\n", window,
                levels[0] / expected, levels[1] / expected, levels[2] / expected);
  }
}

TEST(Notch, HarmonicBinIsTheBinWithinHalfABin) {
  EXPECT_EQ(HarmonicBin(60.0, 0.25, 100000), 240);
  EXPECT_EQ(HarmonicBin(60.0, 7.9, 1000), 8);
  EXPECT_EQ(HarmonicBin(60.0, 8.0, 1000), -1);  // 7.5 bins: half a bin from both neighbours
  EXPECT_EQ(HarmonicBin(420.0, 1.0, 400), -1);  // beyond the spectrum
}

TEST(Notch, WidthsAreTheSameInHertzOnEveryPage) {
  long gap = 0, side = 0;
  // 8 records of 2560 samples at 1000 Hz (N = 32768): 200 and 100 bins.
  NotchWidths(1000.0 / 32768, &gap, &side);
  EXPECT_EQ(gap, 200);
  EXPECT_EQ(side, 100);
  EXPECT_NEAR(2 * gap * 1000.0 / 32768, 12.207, 1e-3);
  // One record (N = 4096): 50 bins = 12.2 Hz replaced, side bands of 3.17 Hz.
  NotchWidths(1000.0 / 4096, &gap, &side);
  EXPECT_EQ(gap, 25);
  EXPECT_EQ(side, 13);
  // A long page, and bins wider than the widths: at least one bin each.
  NotchWidths(1000.0 / 262144, &gap, &side);
  EXPECT_EQ(gap, 1600);
  EXPECT_EQ(side, 800);
  NotchWidths(30.0, &gap, &side);
  EXPECT_EQ(gap, 1);
  EXPECT_EQ(side, 1);
}

// Side bands on straight lines in |X| and in Im X (at the abscissas the fit
// gives them) around a spike at 60 Hz: the notch puts the lines over the
// spike's bins, evaluated at the bins' upper edges. On a page of 8 records
// (N = 32768 at 1000 Hz) the widths are 200 and 100 bins, on one record 25 and 13.
TEST(Notch, ReplacesTheHarmonicsBinsByTheSideBandTrends) {
  for (int n : {32768, 4096}) {
    Page page(n, 1000, {kLabelEx});
    AppState& s = page.s;
    s.FftLength = n;
    const double df = 1000.0 / n;
    const long gap = n == 32768 ? 200 : 25, side = n == 32768 ? 100 : 13;
    s.yplotdata2[0].assign(static_cast<size_t>(n + 3), 1.0);
    auto amplitude = [](double f) { return 50.0 - 0.2 * f; };
    auto imaginary = [](double f) { return 3.0 + 0.1 * f; };
    const long c = HarmonicBin(60.0, df, static_cast<unsigned long>(n / 2));
    auto set = [&](long b, double f) {
      s.yplotdata2[0][static_cast<size_t>(2 * b + 2)] = imaginary(f);
      s.yplotdata2[0][static_cast<size_t>(2 * b + 1)] =
          std::sqrt(amplitude(f) * amplitude(f) - imaginary(f) * imaginary(f));
    };
    for (long b = c - gap - side; b < c - gap; ++b) set(b, (b - 0.5) * df);
    for (long b = c + gap; b < c + gap + side; ++b) set(b, (b + 0.5) * df);
    s.yplotdata2[0][static_cast<size_t>(2 * c + 1)] = 1e6;
    s.yplotdata2[0][static_cast<size_t>(2 * c + 2)] = -3e5;
    EXPECT_EQ(ApplyNotch(s.yplotdata2[0].data(), static_cast<unsigned long>(n), df, s.NotchedBins), 4);
    for (long b = c - gap; b < c + gap; ++b) {
      ASSERT_NEAR(page.Bin(0, b).real(), amplitude((b + 0.5) * df), 1e-9) << n << " " << b;
      ASSERT_NEAR(page.Bin(0, b).imag(), imaginary((b + 0.5) * df), 1e-9) << n << " " << b;
      EXPECT_EQ(s.NotchedBins[static_cast<size_t>(b)], 1);
    }
    EXPECT_EQ(page.Bin(0, c + gap).imag(), imaginary((c + gap + 0.5) * df));
    EXPECT_EQ(s.NotchedBins[static_cast<size_t>(c - gap - 1)], 0);
    EXPECT_EQ(s.NotchedBins[static_cast<size_t>(c + gap)], 0);
  }
}

TEST(Notch, HarmonicWhoseSideBandsDoNotFitIsLeftAlone) {
  // Bins of 30 Hz: 60 Hz is bin 2, whose lower side band would take bin 0.
  Page low(64, 1920, {kLabelEx});
  low.s.FftLength = 64;
  low.s.yplotdata2[0].assign(64 + 3, 1.0);
  EXPECT_EQ(ApplyNotch(low.s.yplotdata2[0].data(), 64, 1920.0 / 64, low.s.NotchedBins), 3);
  EXPECT_EQ(low.s.NotchedBins[2], 0);
  EXPECT_EQ(low.s.NotchedBins[6], 1);
  EXPECT_EQ(low.s.yplotdata2[0][2 * 2 + 1], 1.0);
  // At 850 samples/s 420 Hz is bin 4048 of 4096: its upper side band would reach bin 4135.
  const int n = 8192;
  Page top(n, 850, {kLabelEx});
  top.s.FftLength = n;
  top.s.yplotdata2[0].assign(n + 3, 1.0);
  EXPECT_EQ(HarmonicBin(420.0, 850.0 / n, n / 2), 4048);
  EXPECT_EQ(ApplyNotch(top.s.yplotdata2[0].data(), n, 850.0 / n, top.s.NotchedBins), 3);
  EXPECT_EQ(top.s.NotchedBins[4048], 0);
}

// The stepped coil correction against the bin-by-bin lookup of the response
// table, for a realistic table, a table in falling order and one row.
TEST(CoilCorrection, EqualsTheBinByBinCorrectionWithinRounding) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> g(0.0, 1.0);
  const unsigned long N = 1 << 15;
  std::vector<double> X(N + 3);
  for (double& v : X) v = g(rng);
  auto fill = [](AppState& s, int rows, bool falling) {
    s.Response.rows = rows;
    for (int i = 0; i < rows; ++i) {
      const int r = falling ? rows - 1 - i : i;
      const double f = std::pow(10.0, -2 + 5.0 * r / std::max(1, rows - 1));
      s.Response.table[i][0] = f;
      s.Response.table[i][1] =
          200.0 * f / std::sqrt(0.25 + f * f) + (r == 17 ? -200.0 * f / std::sqrt(0.25 + f * f) : 0);
      s.Response.table[i][2] = 90.0 + std::atan2(0.5, f) * 180 / M_PI - 1e-3 * f;
    }
  };
  for (int rows : {51, 1})
    for (bool falling : {false, true})
      for (double df : {0.03, 1000.0 / N}) {
        AppState s;
        fill(s, rows, falling);
        std::vector<double> fast = X, slow = X;
        CorrectCoilSpectrum(s.Response, fast.data(), N, df);
        CorrectSpectrum(s.Response, slow.data(), N, df);
        double worst = 0;
        for (unsigned long b = 0; b < N / 2; ++b) {
          const double m = std::hypot(slow[2 * b + 1], slow[2 * b + 2]);
          worst = std::max(worst, std::hypot(fast[2 * b + 1] - slow[2 * b + 1], fast[2 * b + 2] - slow[2 * b + 2]) /
                                      std::max(m, 1e-300));
        }
        EXPECT_LT(worst, 1e-11) << rows << " rows, falling " << falling << ", df " << df;
      }
}

// Taking a flat response off a series divides it by the gain and leaves it
// less its straight line; a delay-free phase turns a sine as the table says.
TEST(CoilCorrection, RemovingAResponseFromTheSeriesDividesByItsGain) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> g;
  for (int n : {2, 3, 999, 1000, 1024}) {
    const unsigned long N = TransformLength(n);
    std::vector<double> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) y[static_cast<size_t>(i)] = 5 + 0.01 * i + g(rng);
    ResponseTable twice;
    twice.rows = 2;
    for (int r = 0; r < 2; ++r) twice.table[r][0] = r * 1000, twice.table[r][1] = 400, twice.table[r][2] = 90;
    std::vector<double> x = y;
    std::vector<double> work(N + 3, std::nan(""));
    RemoveCoilResponse(twice, x.data(), n, N, 1000, work.data());
    // y less its least-squares line, halved.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) sx += i, sy += y[i], sxx += double(i) * i, sxy += i * y[i];
    const double slope = n > 1 ? (n * sxy - sx * sy) / (n * sxx - sx * sx) : 0, offset = (sy - slope * sx) / n;
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], (y[i] - offset - slope * i) / 2, 1e-9) << n << " " << i;
  }
  // A 90° phase lag at every frequency (phase column 0) turns a cosine into a
  // sine (less the small straight line of the cosine).
  const int n = 4096;
  std::vector<double> y(n);
  for (int i = 0; i < n; ++i) y[i] = std::cos(2 * M_PI * 64 * i / n);
  ResponseTable lag;
  lag.rows = 1;
  lag.table[0][0] = 10, lag.table[0][1] = 200, lag.table[0][2] = 0;
  std::vector<double> work(n + 3, std::nan(""));
  RemoveCoilResponse(lag, y.data(), n, n, 1000, work.data());
  for (int i = 0; i < n; ++i) ASSERT_NEAR(std::abs(y[i]), std::abs(std::sin(2 * M_PI * 64 * i / n)), 0.01) << i;
  ResponseTable empty;
  std::vector<double> kept{1, 2, 4};
  RemoveCoilResponse(empty, kept.data(), 3, 4, 1000, work.data());
  EXPECT_EQ(kept, (std::vector<double>{1, 2, 4}));
}

TEST(CrossSpectra, SixtyThreeBandsOfM512ForN65536WithRealAutoSpectra) {
  const int n = 65536;
  Page page(n, 1000, {kLabelHx, kLabelHy, kLabelEx, kLabelEy});
  AppState& s = page.s;
  std::mt19937_64 rng(9);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int ch = 0; ch < 4; ++ch)
    for (double& v : s.yplotdata[ch]) v = g(rng);
  s.AppResOn = 1;
  s.ResponseDir = "/nonexistent";  // no coil files: no correction
  ASSERT_EQ(RunSpectrumPipeline(s), 1);
  EXPECT_EQ(s.PlotCount, 63);
  ASSERT_EQ(s.CrossSpec.size(), 63u * 32);
  for (int b = 0; b < 63; ++b) {
    EXPECT_EQ(s.BandBins[static_cast<size_t>(b)], b == 0 ? 511 : 512);  // band 0 without the zero frequency
    for (int a = 0; a < 4; ++a) {
      EXPECT_EQ(CrossSpectrum(s.CrossSpec, b, a, a).imag(), 0.0);
      EXPECT_GT(CrossSpectrum(s.CrossSpec, b, a, a).real(), 0.0);
      for (int c = 0; c < 4; ++c)
        EXPECT_EQ(CrossSpectrum(s.CrossSpec, b, a, c), std::conj(CrossSpectrum(s.CrossSpec, b, c, a)));
    }
  }
  // ⟨Ex Hy*⟩ of band 5 from the spectra directly.
  std::complex<double> sum = 0;
  for (long k = 5 * 512; k < 6 * 512; ++k) sum += page.Bin(2, k) * std::conj(page.Bin(1, k));
  EXPECT_NEAR(std::abs(CrossSpectrum(s.CrossSpec, 5, kMtEx, kMtHy) - sum / 512.0), 0.0, 1e-9 * std::abs(sum / 512.0));
}

TEST(CrossSpectra, BandCountFollowsTheFormationRule) {
  struct Case {
    int M, N, bands;
  } cases[] = {{512, 65536, 63}, {512, 1024, 0}, {512, 2048, 1}, {500, 4096, 4}, {1, 8, 3}, {0, 4096, 0}};
  for (const Case& c : cases) {
    AppState s;
    s.CoeffsSummed = c.M;
    s.FftLength = c.N;
    for (int ch = 0; ch < 4; ++ch) s.yplotdata2[ch].assign(static_cast<size_t>(c.N + 3), 1.0);
    AccumulatePageCrossSpectra(s, 0, 1, 2, 3);
    EXPECT_EQ(s.PlotCount, c.bands) << c.M << " " << c.N;
  }
}

// Notched bins and the zero frequency are left out of the MT bands; a band
// with none left is empty.
TEST(CrossSpectra, NotchedBinsAreLeftOutAndAMissingChannelGivesNaN) {
  AppState s;
  s.CoeffsSummed = 4;
  s.FftLength = 32;
  s.NotchOn = 1;
  s.NotchedBins.assign(16, 0);
  for (int b : {2, 4, 5, 6, 7}) s.NotchedBins[static_cast<size_t>(b)] = 1;
  for (int ch = 0; ch < 4; ++ch) {
    s.yplotdata2[ch].assign(35, 0.0);
    for (int k = 0; k < 16; ++k) s.yplotdata2[ch][static_cast<size_t>(2 * k + 1)] = k;
  }
  AccumulatePageCrossSpectra(s, 0, 1, -1, 3);
  ASSERT_EQ(s.PlotCount, 3);
  EXPECT_EQ(s.BandBins[0], 2);  // bins 1 and 3: bin 0 is never part of band 0
  EXPECT_EQ(CrossSpectrum(s.CrossSpec, 0, kMtHx, kMtHy).real(), (1.0 + 9.0) / 2);
  EXPECT_EQ(s.BandBins[1], 0);
  EXPECT_TRUE(std::isnan(CrossSpectrum(s.CrossSpec, 1, kMtHx, kMtHx).real()));
  EXPECT_EQ(s.BandBins[2], 4);
  EXPECT_TRUE(std::isnan(CrossSpectrum(s.CrossSpec, 2, kMtEx, kMtHx).real()));
  EXPECT_TRUE(std::isnan(CrossSpectrum(s.CrossSpec, 2, kMtHy, kMtEx).imag()));
  EXPECT_EQ(CrossSpectrum(s.CrossSpec, 2, kMtEy, kMtHx).real(), (64.0 + 81 + 100 + 121) / 4);
}

}  // namespace

// With all four spectra and no bin notched the sums take a path of their own:
// it gives the general loop's bits (forced here by a notch that marks nothing).
TEST(CrossSpectra, TheFourChannelPathGivesTheGeneralBits) {
  const long long N = 4096;
  std::mt19937_64 rng(3);
  std::normal_distribution<double> g(0.0, 1e3);
  std::vector<double> spectra[4];
  const double* X[4];
  for (int a = 0; a < 4; ++a) {
    spectra[a].resize(N + 3);
    for (double& v : spectra[a]) v = g(rng);
    X[a] = spectra[a].data();
  }
  const std::vector<uint8_t> none(N / 2, 0);
  for (long long M : {1, 3, 8, 100}) {
    const BandCrossSpectra fast = AccumulateCrossSpectra(X, M, N, nullptr);
    const BandCrossSpectra general = AccumulateCrossSpectra(X, M, N, &none);
    ASSERT_GT(fast.bands, 0) << M;
    ASSERT_EQ(fast.cross.size(), general.cross.size()) << M;
    EXPECT_EQ(std::memcmp(fast.cross.data(), general.cross.data(), fast.cross.size() * sizeof(double)), 0) << M;
    EXPECT_EQ(fast.bins, general.bins) << M;
  }
}
