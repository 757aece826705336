// The spectral and MT branches of the paint pipeline on generated recordings:
// panels, labels, x values at the band frequencies, error bars, the coherence
// range, the fall-back when MT channels are missing, the trend of each page.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "app/commands.h"
#include "app/open_file.h"
#include "mt/impedance.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "spectral/polyfit.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

namespace {

class SpectralPaint : public StartedStateTest {
 protected:
  void Open(const SynthOptions& o, const std::string& recordsPerPlot = "1") {
    ASSERT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
    host.AnswerOpen(WriteRecording(dir, "site.bin", o), recordsPerPlot);
    ASSERT_EQ(CmdOpenFile(s), 1);
  }
  void Paint() {
    surface.Clear();
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
  }
  void MtMode() { s.FourierOn = s.AppResOn = s.LogY = 1; }
  // Vertical lines of the standard width: the error bars, beside some of the frame.
  int ErrorBarLines() const {
    int bars = 0;
    for (const RecordedLine& l : surface.lines)
      bars += l.x0 == l.x1 && l.pen.width == s.StandardLineWidth && l.y0 != l.y1;
    return bars;
  }

  RecordingSurface surface{1600, 900};
};

TEST_F(SpectralPaint, FourierModeShowsPowerAgainstFrequency) {
  Open(SmallRecording(1, "Hx,Hy,Ex"));
  s.FourierOn = s.LogY = s.LogX = 1;
  Paint();
  EXPECT_EQ(s.FftLength, 4096);
  EXPECT_EQ(s.PlotCount, 2048);
  EXPECT_DOUBLE_EQ(s.PlotX[1], 1000.0 / 4096);
  EXPECT_DOUBLE_EQ(s.XMin, 1000.0 / 4096);  // the zero frequency is left out on a log axis
  EXPECT_DOUBLE_EQ(s.XMax, 2047 * 1000.0 / 4096);
  EXPECT_NE(surface.FindText("Hz"), nullptr);
  EXPECT_NE(surface.FindText("Hx, pT²/Hz"), nullptr);  // power spectral densities
  EXPECT_NE(surface.FindText("Ex, (mV/km)²/Hz"), nullptr);
  EXPECT_GT(s.YMaxChan[0], s.YMinChan[0]);
  EXPECT_GT(s.YMinChan[0], 0.0);
}

TEST_F(SpectralPaint, MtModeDrawsFourPanelsAtTheBandFrequenciesWithErrorBars) {
  Open(SmallRecording(2, "Hx,Hy,Hz,Ex,Ey,-"), "2");
  MtMode();
  Paint();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(s.NumEnabledChans, 4);
  EXPECT_EQ(s.LogX, 1);
  ASSERT_EQ(s.PlotCount, 7);
  for (int b = 0; b < 7; ++b) {
    EXPECT_EQ(s.PlotX[static_cast<size_t>(b)], s.BandFreq[static_cast<size_t>(b)]);
    EXPECT_DOUBLE_EQ(s.BandFreq[static_cast<size_t>(b)], BandFrequency(b, 512, 1000.0, 8192));
  }
  for (const char* label : {"rhoxx,ohm-m", "rhoxy, ohm-m", "rhoyx,ohm-m", "rhoyy,ohm-m"})
    EXPECT_NE(surface.FindText(label), nullptr) << label;
  // Five enabled channels, four MT panels filling the plot area; panel 3 is
  // the last and carries the frequency labels and "Hz".
  EXPECT_EQ(s.PanelHeight, (900 - 99 - 4 * 15 - 63) / 4);
  EXPECT_EQ(s.PanelTop[3], 99 + 3 * (s.PanelHeight + 15));
  EXPECT_GE(s.PanelTop[3] + s.PanelHeight, 900 - 63 - 15 - 3);
  ASSERT_NE(surface.FindText("Hz"), nullptr);
  EXPECT_GT(surface.FindText("Hz")->y, s.PanelTop[3] + s.PanelHeight);
  const int withBars = ErrorBarLines();
  // The tables beside the file agree with the panels.
  std::ifstream zxy(dir / "site_ZXY.dat");
  double f = 0, rho = 0;
  zxy >> f >> rho;
  EXPECT_NEAR(f, s.PlotX[0], 1e-4 * f);
  EXPECT_NEAR(rho, s.ZZ[1][0], 1e-4 * rho);

  s.MisfitErrorsOn = 0;
  Paint();
  // A bar at every band from band 0 on in the diagonal panels, whose errors
  // are large (those of the others may be shorter than a pixel).
  EXPECT_GE(withBars - ErrorBarLines(), 2 * s.PlotCount);
}

// A one-record page (N = 4096) has room for bands of at most 2047 bins.
TEST_F(SpectralPaint, CoeffsSummedTooLargeForThePageNamesTheLargestThatGivesABand) {
  Open(SmallRecording(1));
  MtMode();
  s.CoeffsSummed = 3000;
  Paint();
  EXPECT_EQ(s.PlotCount, 0);
  EXPECT_EQ(
      host.MessageTexts(),
      std::vector<std::string>{"#Coeffs summed 3000 gives no band on this page: 2047 is the largest that gives one"});
  Paint();
  EXPECT_EQ(host.messages.size(), 1u);  // once, not at every repaint
  s.CoeffsSummed = 2047;
  Paint();
  EXPECT_EQ(s.PlotCount, 1);
  EXPECT_EQ(host.messages.size(), 1u);
  // Band 0, the only one, is drawn on the log axis: its point lies in the panel.
  EXPECT_GT(s.BandFreq[0], 0.0);
  EXPECT_LT(s.XMin, s.BandFreq[0]);
  EXPECT_GT(s.XMax, s.BandFreq[0]);
}

// Numbers (and nothing else) in the label row under the bottom panel.
std::vector<double> NumbersBelow(const RecordingSurface& surface, int y) {
  std::vector<double> out;
  for (const auto& t : surface.texts) {
    if (t.y <= y || t.font.height < 20) continue;
    char* end = nullptr;
    double v = std::strtod(t.text.c_str(), &end);
    if (end != t.text.c_str() && *end == 0) out.push_back(v);
  }
  return out;
}

TEST_F(SpectralPaint, OneRecordMtPageCarriesFrequenciesAndResistivities) {
  Open(SmallRecording(1, "Hx,Hy,Ex,Ey"));
  MtMode();
  Paint();
  ASSERT_TRUE(host.messages.empty());
  ASSERT_GE(s.PlotCount, 2);
  // The bands span less than a decade; at least two frequencies are labelled.
  const int bottom = s.PanelTop[3] + s.PanelHeight;
  std::vector<double> freqs = NumbersBelow(surface, bottom);
  ASSERT_GE(freqs.size(), 2u);
  for (double f : freqs) {
    EXPECT_GE(f, s.XMin);
    EXPECT_LE(f, s.XMax);
  }
  EXPECT_EQ(surface.FindText("UTC"), nullptr);
  ASSERT_NE(surface.FindText("Hz"), nullptr);
  // Each resistivity panel (a half-space of 100 ohm-m) has two numbers at least.
  for (int p = 0; p < 4; ++p) {
    int numbers = 0;
    for (const auto& t : surface.texts)
      if (t.font.escapement == 0 && t.x < s.PlotLeft && t.y > s.PanelTop[p] - 20 &&
          t.y < s.PanelTop[p] + s.PanelHeight && std::isdigit(static_cast<unsigned char>(t.text.back())))
        ++numbers;
    EXPECT_GE(numbers, 2) << p;
  }
}

TEST_F(SpectralPaint, AllZeroChannelKeepsItsPanelInFourierMode) {
  // The unconnected slot 5 is last: its power spectrum is all zero and cannot
  // be drawn on a log axis. Its panel is drawn linear, with the frequency
  // labels and "Hz" under it.
  Open(SmallRecording(1, "Hx,Hy,Ex,Ey,NC"));
  s.FourierOn = s.LogY = s.LogX = 1;
  Paint();
  ASSERT_TRUE(host.messages.empty());
  ASSERT_EQ(s.NumEnabledChans, 5);
  EXPECT_EQ(s.YMinChan[4], -1.0);
  EXPECT_EQ(s.YMaxChan[4], 1.0);
  const int top = s.PanelTop[4], bottom = top + s.PanelHeight;
  ASSERT_NE(surface.FindText("NC"), nullptr);
  EXPECT_GT(surface.FindText("NC")->y, top);
  ASSERT_NE(surface.FindText("Hz"), nullptr);
  EXPECT_GT(surface.FindText("Hz")->y, bottom);
  EXPECT_GE(NumbersBelow(surface, bottom).size(), 2u);
  bool zeroLabel = false;
  for (const auto& t : surface.texts) zeroLabel |= t.text == "0" && t.y > top && t.y < bottom;
  EXPECT_TRUE(zeroLabel);
  // The other panels stay logarithmic, from their smallest positive power.
  EXPECT_GT(s.YMinChan[0], 0.0);
}

TEST_F(SpectralPaint, ResistivitiesWithFourierOffShowAFrequencyAxis) {
  Open(SmallRecording(2, "Hx,Hy,Ex,Ey"), "2");
  MtMode();
  Paint();
  s.FourierOn = 0;  // Fourier switched off, apparent resistivity left on
  Paint();
  EXPECT_EQ(surface.FindText("UTC"), nullptr);
  EXPECT_NE(surface.FindText("Hz"), nullptr);
}

TEST_F(SpectralPaint, CoherencesSpanZeroToOneWithoutErrorBars) {
  Open(SmallRecording(2), "2");
  MtMode();
  s.CoherOn = 1;
  s.ResistivityOn = 0;
  Paint();
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(s.YMinChan[ch], 0.0);
    EXPECT_EQ(s.YMaxChan[ch], 1.0);
  }
  EXPECT_NE(surface.FindText("Ex Coherence"), nullptr);
  const int lines = ErrorBarLines();
  s.MisfitErrorsOn = 0;
  Paint();
  EXPECT_EQ(ErrorBarLines(), lines);  // coherences never carry error bars
  for (int b = 2; b < s.PlotCount; ++b) EXPECT_GT(s.ZZ[2][static_cast<size_t>(b)], 0.9);
}

TEST_F(SpectralPaint, MissingHyFallsBackToTimeSeries) {
  Open(SmallRecording(1, "Hx,Hz,Ex,Ey"));
  MtMode();
  Paint();
  ASSERT_EQ(host.MessageTexts(), std::vector<std::string>{"Ex, Ey, Hx, Hy Labels not all present in header"});
  EXPECT_EQ(s.FourierOn + s.AppResOn + s.LogX, 0);
  EXPECT_EQ(s.PlotCount, 2560);
  EXPECT_NE(surface.FindText("Hz, pT"), nullptr);
  EXPECT_NE(surface.FindText("UTC"), nullptr);
}

TEST_F(SpectralPaint, MissingExLeavesItsPanelsEmpty) {
  Open(SmallRecording(2, "Hx,Hy,Ey"), "2");
  MtMode();
  Paint();
  EXPECT_TRUE(host.messages.empty());
  ASSERT_GT(s.PlotCount, 2);
  for (int b = 0; b < s.PlotCount; ++b) {
    EXPECT_TRUE(std::isnan(s.ZZ[0][static_cast<size_t>(b)]));
    EXPECT_TRUE(std::isnan(s.ZZ[1][static_cast<size_t>(b)]));
    EXPECT_FALSE(std::isnan(s.ZZ[2][static_cast<size_t>(b)]));
  }
  EXPECT_EQ(ReadBytes(dir / "site_ZXY.dat").size(), 0u);
  EXPECT_GT(ReadBytes(dir / "site_ZYX.dat").size(), 0u);
}

// The spectra's trend is the page's own: fitted against the points' times
// after the page changed, whatever an MT paint left in PlotX.
TEST_F(SpectralPaint, EachPageGetsItsOwnTrend) {
  Open(SmallRecording(3, "Hx,Hy,Ex,Ey"));
  MtMode();
  Paint();
  ASSERT_EQ(LoadPageAt(s, 2), 1);
  s.FourierOn = 1;
  s.AppResOn = 0;
  Paint();
  std::vector<double> y(2560), xout(2560), curve(2560);
  const double factor = ChannelFactor(s, s.OutHeader, 3);
  for (int i = 0; i < 2560; ++i) y[static_cast<size_t>(i)] = s.yplotdata_orig[3][static_cast<size_t>(i)] * factor;
  double coeffs[22] = {}, rms = 0;
  PolyFit(s.xplotdata.data(), y.data(), xout.data(), curve.data(), coeffs, s.FitOrder, 2560, 2560, &rms);
  for (int i = 0; i < 2560; i += 101)
    EXPECT_NEAR(s.ypoly[3][static_cast<size_t>(i)], curve[static_cast<size_t>(i)], 1e-9);
}

}  // namespace
