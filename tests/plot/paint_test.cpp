#include "plot/paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "app/commands.h"
#include "app/open_file.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

namespace {

class PaintTest : public StartedStateTest {
 protected:
  void Open(const SynthOptions& o, const std::string& recordsPerPlot = "1") {
    host.AnswerOpen(WriteRecording(dir, "page.bin", o), recordsPerPlot);
    ASSERT_EQ(CmdOpenFile(s), 1);
  }
  void Paint() {
    surface.Clear();
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
  }
  double Scaled(int ch, int i) { return s.yplotdata_orig[ch][i] * ChannelFactor(s, s.OutHeader, ch); }

  RecordingSurface surface{1600, 900};
};

TEST_F(PaintTest, ChannelsZeroAndTwoGiveTwoPanels) {
  Open(SmallRecording(1, "Hx,-,Ex"));
  Paint();
  EXPECT_EQ(s.NumEnabledChans, 2);
  EXPECT_EQ(s.PlotTop, 99);
  EXPECT_EQ(s.PlotLeft, 180);
  EXPECT_EQ(s.PlotWidth, 1600 - 180 - 90);
  EXPECT_EQ(s.PanelGap, 15);
  EXPECT_EQ(s.PanelHeight, (900 - 99 - 2 * 15 - 63) / 2);
  EXPECT_EQ(s.PanelTop[0], 99);
  EXPECT_EQ(s.PanelTop[1], 99 + s.PanelHeight + 15);
  ASSERT_NE(surface.FindText("Hx, pT"), nullptr);
  ASSERT_NE(surface.FindText("Ex, mV/km"), nullptr);
  // Channel 0's panel is not the bottom one: it carries the file's path; only the bottom one the axis title.
  ASSERT_NE(surface.FindText(s.CurrentFilePath), nullptr);
  EXPECT_LT(surface.FindText(s.CurrentFilePath)->y, s.PanelTop[0]);
  ASSERT_NE(surface.FindText("UTC"), nullptr);
  EXPECT_GT(surface.FindText("UTC")->y, s.PanelTop[1] + s.PanelHeight);
  EXPECT_EQ(s.PlotCount, 2560);
  EXPECT_DOUBLE_EQ(s.XMin, 0.0);
  EXPECT_DOUBLE_EQ(s.XMax, 2559 / 1000.0);
}

TEST_F(PaintTest, HawaiiTimeNamesTheAxis) {
  Open(SmallRecording(1, "Hx"));
  s.TimeFormatHST = 1;
  Paint();
  EXPECT_NE(surface.FindText("HST"), nullptr);
  EXPECT_EQ(surface.FindText("UTC"), nullptr);
}

TEST_F(PaintTest, FirstRedrawAfterOpeningCapturesTheLimits) {
  Open(SmallRecording(1));
  EXPECT_EQ(s.CaptureLimits, 1);
  Paint();
  EXPECT_EQ(s.CaptureLimits, 0);
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_LT(s.YMinChan[ch], s.YMaxChan[ch]);
    EXPECT_EQ(s.YMinManual[ch], s.YMinChan[ch]);
    EXPECT_EQ(s.YMaxManual[ch], s.YMaxChan[ch]);
  }
  // Later redraws leave the fixed limits alone; a channel not autoscaled uses them.
  s.YMinManual[1] = -1;
  s.YMaxManual[1] = 1;
  s.AutoscaleChan[1] = 0;
  Paint();
  EXPECT_EQ(s.YMinChan[1], -1);
  EXPECT_EQ(s.YMaxChan[1], 1);
  EXPECT_EQ(s.YMinManual[0], s.YMinChan[0]);
}

TEST_F(PaintTest, FilterOnAndOffRestoresTheScaledSamples) {
  Open(SmallRecording(1, "Hx,Hy"));
  Paint();
  for (int i : {0, 1, 1000, 2559}) EXPECT_EQ(s.yplotdata[1][i], Scaled(1, i));
  s.FilterOn = 1;
  s.LowPassCorner = 2;
  Paint();
  int differing = 0;
  for (int i = 0; i < 2560; ++i) differing += s.yplotdata[1][i] != Scaled(1, i);
  EXPECT_GT(differing, 2000);
  s.FilterOn = 0;
  Paint();
  for (int i = 0; i < 2560; ++i) ASSERT_EQ(s.yplotdata[1][i], Scaled(1, i)) << i;
}

TEST_F(PaintTest, InvertedChannelIsNegated) {
  Open(SmallRecording(1, "Hx"));
  s.OutHeader.ChannelInvert[0] = 1;
  Paint();
  EXPECT_EQ(s.yplotdata[0][10], -Scaled(0, 10));
}

TEST_F(PaintTest, PolynomialSubtractionLeavesTheResidual) {
  Open(SmallRecording(1, "Hx,Hy"));
  s.SubtractPolyOn = 1;
  Paint();
  EXPECT_EQ(s.FitValid, 1);
  double sum = 0, sumSquares = 0;
  for (int i = 0; i < 2560; ++i) {
    ASSERT_NEAR(s.yplotdata[0][i] + s.ypoly[0][i], Scaled(0, i), 1e-9);
    sum += s.yplotdata[0][i];
    sumSquares += s.yplotdata[0][i] * s.yplotdata[0][i];
  }
  // The curve is sampled at the fit's own abscissas, a hair off the points' times.
  EXPECT_LT(std::abs(sum / 2560), 0.01 * std::sqrt(sumSquares / 2560));
  // The fit is made against the points' times, also on a later page.
  ASSERT_EQ(LoadPageAt(s, 0), 1);
  s.PlotX.assign(2560, 5000.0);  // what a spectral paint would have left
  Paint();
  for (int i = 0; i < 2560; i += 97) ASSERT_NEAR(s.yplotdata[0][i] + s.ypoly[0][i], Scaled(0, i), 1e-9);
}

TEST_F(PaintTest, NoEnabledChannelDrawsAnEmptyGreyPage) {
  Open(SmallRecording(1));
  for (auto& e : s.OutHeader.ChannelEnabled) e = 0;
  Paint();
  EXPECT_TRUE(surface.lines.empty());
  EXPECT_TRUE(surface.texts.empty());
  ASSERT_FALSE(surface.fills.empty());
  EXPECT_EQ(surface.fills.back().color, kGrey);
}

TEST_F(PaintTest, NoFileGivesAGreyImageAndNoRedraw) {
  PaintPlotWindow(s, surface);
  ASSERT_EQ(surface.fills.size(), 1u);
  EXPECT_EQ(surface.fills[0].color, kGrey);
  EXPECT_TRUE(surface.lines.empty());
}

TEST_F(PaintTest, MtModeWithoutItsChannelsFallsBackToTimeSeries) {
  Open(SmallRecording(1, "Hx,Hz"));
  s.FourierOn = s.AppResOn = s.LogY = 1;
  Paint();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ex, Ey, Hx, Hy Labels not all present in header");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
  EXPECT_EQ(s.FourierOn + s.AppResOn + s.LogX + s.LogY, 0);
  EXPECT_NE(surface.FindText("Hz, pT"), nullptr);
}

TEST_F(PaintTest, FileNameAboveTheTopPanelWhicheverChannelsAreEnabled) {
  Open(SmallRecording(1, "-,Hy,Ex"));
  Paint();
  const RecordedText* path = surface.FindText(s.CurrentFilePath);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(path->x, s.PlotLeft);
  EXPECT_LT(path->y, s.PanelTop[0]);
  // A single panel is the top and the bottom one: the name above, the clock below.
  for (int ch : {2, 4}) s.OutHeader.ChannelEnabled[ch] = 0;
  Paint();
  ASSERT_EQ(s.NumEnabledChans, 1);
  ASSERT_NE(surface.FindText(s.CurrentFilePath), nullptr);
  EXPECT_LT(surface.FindText(s.CurrentFilePath)->y, s.PanelTop[0]);
  ASSERT_NE(surface.FindText("UTC"), nullptr);
  EXPECT_GT(surface.FindText("UTC")->y, s.PanelTop[0] + s.PanelHeight);
}

TEST_F(PaintTest, AllZeroChannelIsDrawnAtZeroInAFrame) {
  // Slot 2 is an unconnected (NC) input: every sample 0.
  Open(SmallRecording(1, "Hx,NC"));
  Paint();
  ASSERT_EQ(s.NumEnabledChans, 2);
  EXPECT_EQ(s.YMinChan[1], -1.0);
  EXPECT_EQ(s.YMaxChan[1], 1.0);
  const int top = s.PanelTop[1], bottom = top + s.PanelHeight, middle = top + s.PanelHeight / 2;
  ASSERT_NE(surface.FindText("NC"), nullptr);
  const RecordedText* zero = nullptr;
  for (const auto& t : surface.texts)
    if (t.text == "0" && t.y > top && t.y < bottom) zero = &t;
  ASSERT_NE(zero, nullptr);
  EXPECT_NEAR(zero->y + zero->size.cy / 2, middle, 1);
  // The series: one-pixel lines along the middle of the panel, across it.
  int minX = 1 << 30, maxX = -1;
  for (const auto& l : surface.lines)
    if (l.pen.width <= 1 && l.y0 == l.y1 && std::abs(l.y0 - middle) <= 1) {
      minX = std::min(minX, l.x0);
      maxX = std::max(maxX, l.x1);
    }
  EXPECT_LE(minX, s.PlotLeft + 1);
  EXPECT_GE(maxX, s.PlotLeft + s.PlotWidth - 2);
  // The frame's bottom edge closes under it and the clock labels follow.
  EXPECT_TRUE(std::any_of(surface.lines.begin(), surface.lines.end(),
                          [&](const RecordedLine& l) { return l.x1 == s.PlotLeft + s.PlotWidth && l.y1 == bottom; }));
  EXPECT_GT(surface.FindText("UTC")->y, bottom);
}

TEST(PanelLabels, ByLabelCodeAndMtPanel) {
  AppState s;
  s.OutHeader.ChannelLabel[0] = kLabelEy;
  s.OutHeader.ChannelLabel[1] = 7;
  SetPanelLabels(s, 0, 0);
  EXPECT_EQ(s.YAxisLabel, "Ey, mV/km");
  EXPECT_EQ(s.XAxisTitle, "UTC");
  SetPanelLabels(s, 1, 1);
  EXPECT_EQ(s.YAxisLabel, "mV");
  s.AmplPhaseOn = 1;
  SetPanelLabels(s, 0, 0);
  EXPECT_EQ(s.YAxisLabel, "EyPhase,deg");
  s.AmplPhaseOn = 0;
  s.FourierOn = s.AppResOn = 1;
  SetPanelLabels(s, 1, 1);
  EXPECT_EQ(s.YAxisLabel, "rhoxy, ohm-m");
  EXPECT_EQ(s.XAxisTitle, "Hz");
  // Fourier switched off with the resistivities on: still a frequency axis.
  s.FourierOn = 0;
  SetPanelLabels(s, 1, 1);
  EXPECT_EQ(s.XAxisTitle, "Hz");
  s.TimeFormatHST = 1;
  SetPanelLabels(s, 1, 1);
  EXPECT_EQ(s.XAxisTitle, "Hz");
  s.FourierOn = 1;
  s.CoherOn = 1;
  SetPanelLabels(s, 3, 3);
  EXPECT_EQ(s.YAxisLabel, "Ey Coherence");
  s.LeastSquaresOn = 0;
  s.SimsZxyOn = 1;
  s.SimsZyyOn = 1;
  SetPanelLabels(s, 2, 2);
  EXPECT_EQ(s.YAxisLabel, "Zyy, eqn. 14");
}

}  // namespace

// Autoscaling takes the finite values only, and a zero limit keeps the sign of
// the first zero of the page, however long the page.
TEST(PanelLimits, FiniteExtremesAndTheFirstZerosSign) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  struct Case {
    std::vector<double> y;
    double lo, hi;
  } cases[] = {
      {{nan, 7, inf, 3, -2, 8, -2.5, 1e300, -inf, 4, 6}, -2.5, 1e300},
      {{5, 0.0, -0.0, 3, 2, 0.0, 11, 4, 9}, 0.0, 11},
      {{5, -0.0, 0.0, 3, 2, 0.0, 11, 4, 9}, -0.0, 11},
      {{-5, -1, -0.0, -3, 0.0, -2, -7, -4, -9}, -9, -0.0},
      {{-5, -1, 0.0, -3, -0.0, -2, -7, -4, -9}, -9, 0.0},
      {{nan, 2}, 2, 2},
  };
  for (const Case& c : cases) {
    AppState s;
    s.NumPlotPoints = static_cast<int>(c.y.size());
    s.xplotdata.assign(c.y.size(), 0.0);
    for (size_t i = 0; i < c.y.size(); ++i) s.xplotdata[i] = static_cast<double>(i);
    for (int ch = 0; ch < kChannels; ++ch) s.OutHeader.ChannelEnabled[ch] = ch == 0;
    s.AutoscaleChan[0] = 1;
    s.yplotdata[0].assign(c.y.begin(), c.y.end());
    SetupPlotAxes(s);
    if (c.lo == c.hi) {  // a flat panel is opened up around its value
      EXPECT_EQ(s.YMinChan[0], 1.0) << c.y.size();
      EXPECT_EQ(s.YMaxChan[0], 3.0) << c.y.size();
      continue;
    }
    EXPECT_EQ(s.YMinChan[0], c.lo);
    EXPECT_EQ(s.YMaxChan[0], c.hi);
    EXPECT_EQ(std::signbit(s.YMinChan[0]), std::signbit(c.lo)) << c.y[1];
    EXPECT_EQ(std::signbit(s.YMaxChan[0]), std::signbit(c.hi)) << c.y[2];
  }
}
