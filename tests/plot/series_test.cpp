#include "plot/series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/state.h"
#include "platform/headless/recording_surface.h"

namespace {

// Panel (100, 100) to (300, 200); one pixel per unit on linear axes, so a
// point (x, y) maps to (100 + x, 200 - y).
SeriesAxes Linear() { return {100, 100, 200, 100, 0, 200, 0, 100, 0, 0}; }

struct Seg {
  int x0, y0, x1, y1;
  bool operator==(const Seg&) const = default;
};

std::vector<Seg> Segments(const RecordingSurface& s) {
  std::vector<Seg> out;
  for (const auto& l : s.lines) out.push_back({l.x0, l.y0, l.x1, l.y1});
  return out;
}

std::vector<Seg> Draw(const SeriesAxes& axes, std::vector<double> x, std::vector<double> y,
                      SeriesPath path = SeriesPath::PerSegment) {
  AppState s;
  RecordingSurface sf;
  DrawSeries(s, sf, axes, static_cast<int>(x.size()), y.data(), x.data(), nullptr, 0, path);
  if (path == SeriesPath::Auto) {
    // The series worked out first and drawn afterwards draws the same lines.
    SeriesSteps plan;
    PlanSeries(axes, static_cast<int>(x.size()), y.data(), x.data(), plan);
    RecordingSurface later;
    DrawSteps(later, plan);
    EXPECT_EQ(Segments(later), Segments(sf));
  }
  return Segments(sf);
}

TEST(SeriesClipping, SegmentsAreCutAtTheEdgeTheyLeaveBy) {
  // One point: nothing.
  EXPECT_TRUE(Draw(Linear(), {50}, {50}).empty());
  // Inside to above: ends on the top edge at the interpolated x.
  EXPECT_EQ(Draw(Linear(), {50, 150}, {50, 150}), (std::vector<Seg>{{150, 150, 200, 100}}));
  // Above to inside: the previous end moves.
  EXPECT_EQ(Draw(Linear(), {150, 50}, {150, 50}), (std::vector<Seg>{{200, 100, 150, 150}}));
  // Left to inside and inside to right.
  EXPECT_EQ(Draw(Linear(), {-50, 50, 250}, {0, 50, 0}), (std::vector<Seg>{{100, 175, 150, 150}, {150, 150, 300, 187}}));
  // On the edges counts as inside.
  EXPECT_EQ(Draw(Linear(), {0, 200}, {0, 100}), (std::vector<Seg>{{100, 200, 300, 100}}));
}

TEST(SeriesClipping, BothEndsOutsideAcrossThePanelIsDrawnInsideIt) {
  // Left to right through the middle.
  EXPECT_EQ(Draw(Linear(), {-50, 250}, {50, 50}), (std::vector<Seg>{{100, 150, 300, 150}}));
  // Below to above.
  EXPECT_EQ(Draw(Linear(), {50, 60}, {-20, 150}), (std::vector<Seg>{{151, 200, 157, 100}}));
  // Left of the panel to above it, through the top-left part.
  EXPECT_EQ(Draw(Linear(), {-20, 30}, {70, 130}), (std::vector<Seg>{{100, 106, 105, 100}}));
  // Past a corner without touching the panel: nothing.
  EXPECT_TRUE(Draw(Linear(), {-50, 10}, {60, 160}).empty());
  EXPECT_TRUE(Draw(Linear(), {-50, -10}, {50, 50}).empty());
  // The column path draws the same.
  EXPECT_EQ(Draw(Linear(), {-50, 250}, {50, 50}, SeriesPath::Auto), (std::vector<Seg>{{100, 150, 300, 150}}));
}

TEST(SeriesClipping, BeyondACornerTheCutStaysOnTheEdgeOfThePanel) {
  // From (110, 105) inside to (0, 95) outside left and above: the line
  // leaves by the left edge at y = 104, not on the top edge's line at x = 55.
  EXPECT_EQ(Draw(Linear(), {10, -100}, {95, 105}), (std::vector<Seg>{{110, 105, 100, 104}}));
  // A drop beyond the bottom-right corner that passes the right edge first leaves by it.
  EXPECT_EQ(Draw(Linear(), {190, 400}, {50, -500}), (std::vector<Seg>{{290, 150, 300, 176}}));
  // Every end of every clipped segment lies inside the panel, wherever the points are.
  const std::vector<double> xs = {-300, -1, 0, 37, 199.5, 200, 201, 900};
  const std::vector<double> ys = {-500, -0.5, 0, 42, 100, 100.5, 700};
  for (double xa : xs)
    for (double ya : ys)
      for (double xb : xs)
        for (double yb : ys)
          for (const Seg& g : Draw(Linear(), {xa, xb}, {ya, yb})) {
            EXPECT_TRUE(g.x0 >= 100 && g.x0 <= 300 && g.x1 >= 100 && g.x1 <= 300) << xa << "," << ya;
            EXPECT_TRUE(g.y0 >= 100 && g.y0 <= 200 && g.y1 >= 100 && g.y1 <= 200) << xb << "," << yb;
          }
}

TEST(SeriesClipping, ClipSegmentChangesOnlyTheOutsideEnd) {
  int cx0 = 120, cy0 = 150, cx1 = 400, cy1 = 150;
  EXPECT_EQ(ClipSegment(120, 150, 400, 150, 100, 100, 300, 200, cx0, cy0, cx1, cy1), 1);
  EXPECT_EQ(cx0, 120);
  EXPECT_EQ(cy0, 150);
  EXPECT_EQ(cx1, 300);
  EXPECT_EQ(cy1, 150);
  // Both ends outside: both move onto the edges.
  cx0 = 50, cy0 = 150, cx1 = 350, cy1 = 150;
  EXPECT_EQ(ClipSegment(50, 150, 350, 150, 100, 100, 300, 200, cx0, cy0, cx1, cy1), 1);
  EXPECT_EQ(cx0, 100);
  EXPECT_EQ(cx1, 300);
  // Nothing inside: nothing moves.
  cx0 = 7, cy0 = 8, cx1 = 9, cy1 = 10;
  EXPECT_EQ(ClipSegment(50, 50, 350, 50, 100, 100, 300, 200, cx0, cy0, cx1, cy1), 0);
  EXPECT_EQ(cx0 + cy0 + cx1 + cy1, 34);
}

TEST(SeriesLogAxes, ZeroDropsBelowAndLargeValuesRunAlongTheTop) {
  // Y from 1 to 100: 50 pixels a decade.
  SeriesAxes axes{100, 100, 200, 100, 0, 200, 1, 100, 0, 1};
  // 10 -> row 150; 0 -> far below, cut at the bottom edge.
  EXPECT_EQ(Draw(axes, {50, 60}, {10, 0}), (std::vector<Seg>{{150, 150, 150, 200}}));
  EXPECT_EQ(Draw(axes, {50, 60}, {1000, 1e6}), (std::vector<Seg>{{150, 100, 160, 100}}));
  EXPECT_EQ(Draw(axes, {50, 60}, {-5, 10}), (std::vector<Seg>{{159, 200, 160, 150}}));
}

TEST(SeriesLogAxes, TheFirstValueIsNeverDrawnOnALogXAxis) {
  SeriesAxes axes{100, 100, 200, 100, 1, 100, 0, 100, 1, 0};
  // 100 pixels a decade; index 0 (the zero frequency) is skipped.
  EXPECT_EQ(Draw(axes, {0, 1, 10, 100}, {50, 50, 60, 70}),
            (std::vector<Seg>{{100, 150, 200, 140}, {200, 140, 300, 130}}));
  // A lower limit of 0 counts decades from 10^0.
  SeriesAxes fromZero{100, 100, 200, 100, 0, 100, 0, 100, 1, 0};
  EXPECT_EQ(Draw(fromZero, {0, 1, 10}, {50, 50, 50}), (std::vector<Seg>{{100, 150, 200, 150}}));
}

TEST(SeriesLogAxes, ColumnPathPlacesPointsAsTheMappingDoesOnEveryRowBoundary) {
  // One point per column (so both paths draw the same segments), with values
  // on and next to the boundaries of the pixel rows and columns of log axes,
  // and across the whole range of doubles.
  const SeriesAxes axes{100, 100, 1200, 700, 1e-2, 1e4, 1e-3, 1e2, 1, 1};
  std::vector<double> x, y;
  for (int i = 0; i < 550; ++i) {
    const double edge = std::pow(10.0, -3 + i / 140.0);  // 140 rows per decade
    const double v = i % 4 == 0   ? edge
                     : i % 4 == 1 ? std::nextafter(edge, 0.0)
                     : i % 4 == 2 ? std::nextafter(edge, 1e300)
                                  : edge * 1.0000001;
    x.push_back(std::pow(10.0, -2 + i / 100.0));  // two of the 200 columns per decade apart
    y.push_back(v);
  }
  for (double v : {1e-310, 5e-324, 1e-300, 1e300, 1.7976931348623157e308, 0.0, -1.0})
    for (int k = 0; k < 3; ++k) {
      x.push_back(std::pow(10.0, -2 + x.size() / 100.0));
      y.push_back(v);
    }
  const auto plain = Draw(axes, x, y);
  EXPECT_EQ(Draw(axes, x, y, SeriesPath::Auto), plain);
  EXPECT_GT(plain.size(), 500u);
}

TEST(SeriesScales, EqualYLimitsUseAHundredthOfTheHeight) {
  SeriesAxes axes{100, 100, 200, 250, 0, 200, 5, 5, 0, 0};  // trunc(250 / 100) = 2 pixels a unit
  EXPECT_EQ(Draw(axes, {10, 20}, {5, 10}), (std::vector<Seg>{{110, 350, 120, 340}}));
  // Nothing for limits that are all zero.
  SeriesAxes zero{100, 100, 200, 100, 0, 200, 0, 0, 0, 0};
  EXPECT_TRUE(Draw(zero, {10, 20}, {5, 10}).empty());
  SeriesAxes noX{100, 100, 200, 100, 3, 3, 0, 100, 0, 0};
  EXPECT_TRUE(Draw(noX, {10, 20}, {5, 10}).empty());
}

TEST(SeriesScales, PointsThatAreNotNumbersBreakTheLine) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Draw(Linear(), {10, 20, 30, 40}, {10, nan, 20, 30}), (std::vector<Seg>{{130, 180, 140, 170}}));
  EXPECT_EQ(Draw(Linear(), {10, 20, 30, 40}, {10, nan, 20, 30}, SeriesPath::Auto),
            (std::vector<Seg>{{130, 180, 140, 170}}));
  // A logarithmic axis with a limit of 0 has no scale: nothing is drawn.
  SeriesAxes logZero{100, 100, 200, 100, 0, 200, 0, 100, 0, 1};
  EXPECT_TRUE(Draw(logZero, {10, 20}, {5, 10}).empty());
}

struct Drawn {
  std::vector<Seg> thin, bars;
  PenId penAfter;
};

Drawn WithBars(const AppState& s, const SeriesAxes& axes, std::vector<double> x, std::vector<double> y,
               std::vector<double> e) {
  RecordingSurface sf;
  PenId red = sf.CreatePen(kRed, 1);
  sf.SelectPen(red);
  DrawSeries(s, sf, axes, static_cast<int>(x.size()), y.data(), x.data(), e.data(), 1);
  Drawn d;
  for (const auto& l : sf.lines) {
    EXPECT_EQ(l.pen.color, kBlack);
    (l.pen.width == 1 ? d.thin : d.bars).push_back({l.x0, l.y0, l.x1, l.y1});
  }
  d.penAfter = sf.CurrentPen() == red ? red : -1;
  return d;
}

TEST(SeriesErrorBars, RelativeOnLinearAxesAbsoluteWithPhases) {
  AppState s;
  s.StandardLineWidth = 2;
  Drawn d = WithBars(s, Linear(), {50, 60}, {50, 95}, {0.1, 0.2});
  EXPECT_EQ(d.thin, (std::vector<Seg>{{150, 150, 160, 105}}));
  // The first point gets its bar too; the upper end of the second is held
  // at the top edge (95 + 19 is above the panel).
  EXPECT_EQ(d.bars, (std::vector<Seg>{{150, 145, 150, 155}, {160, 100, 160, 124}}));
  EXPECT_EQ(d.penAfter, 1);

  s.AmplPhaseOn = 1;
  Drawn phase = WithBars(s, Linear(), {50, 60}, {50, 50}, {3, 3});
  EXPECT_EQ(phase.bars, (std::vector<Seg>{{150, 147, 150, 153}, {160, 147, 160, 153}}));
}

TEST(SeriesErrorBars, OnALogAxisAFactorOfOneOrMoreEndsAtTheValueDividedByIt) {
  AppState s;
  SeriesAxes axes{100, 100, 200, 100, 0, 200, 1, 100, 0, 1};
  // y = 10 (row 150); e = 2: up to 30 (row 127), down to 10 / 2 (row 166).
  Drawn big = WithBars(s, axes, {50, 60}, {10, 10}, {2, 2});
  EXPECT_EQ(big.bars[1], (Seg{160, 127, 160, 166}));
  // e = 0.5: up to 15 (row 142), down to 5 (row 166).
  Drawn small = WithBars(s, axes, {50, 60}, {10, 10}, {0.5, 0.5});
  EXPECT_EQ(small.bars[1], (Seg{160, 142, 160, 166}));
  // Outside the panel's columns a point has no segment and so no bar.
  Drawn out = WithBars(s, axes, {-50, -40}, {10, 10}, {0.5, 0.5});
  EXPECT_TRUE(out.bars.empty());
}

TEST(SeriesPaths, WidePensAndBarsDrawEverySegment) {
  AppState s;
  RecordingSurface sf;
  sf.SelectPen(sf.CreatePen(kBlack, 2));
  std::vector<double> x{10, 10, 10, 10}, y{10, 30, 20, 40};
  DrawSeries(s, sf, Linear(), 4, y.data(), x.data());
  EXPECT_EQ(sf.lines.size(), 3u);
  // With a one-pixel pen the column path joins them into one vertical line:
  // rows 190 -> 170 -> 180 -> 160 cover 161..190, the last end left out.
  EXPECT_EQ(Draw(Linear(), x, y, SeriesPath::Auto), (std::vector<Seg>{{110, 161, 110, 191}}));
}

TEST(SeriesZoomRectangle, SidesInsideTheBoundsCutToThem) {
  RecordingSurface sf;
  PenId pen = sf.CreatePen(kBlack, 2);
  DrawClippedRect(sf, pen, 120, 120, 180, 170, 100, 300, 100, 200);
  EXPECT_EQ(Segments(sf),
            (std::vector<Seg>{{120, 120, 120, 170}, {180, 120, 180, 170}, {120, 170, 180, 170}, {120, 120, 180, 120}}));
  for (const auto& l : sf.lines) EXPECT_EQ(l.pen.width, 2);
  EXPECT_EQ(sf.CurrentPen(), kStockPen);

  // Dragged past the right and the top: those sides are missing and the
  // others stop at the bounds.
  sf.Clear();
  DrawClippedRect(sf, pen, 120, 50, 400, 170, 100, 300, 100, 200);
  EXPECT_EQ(Segments(sf), (std::vector<Seg>{{120, 100, 120, 170}, {120, 170, 300, 170}}));

  // Dragged up and to the left, beyond the panel's bottom-right corner: the
  // sides stay within the bounds too.
  sf.Clear();
  DrawClippedRect(sf, pen, 400, 260, 150, 130, 100, 300, 100, 200);
  EXPECT_EQ(Segments(sf), (std::vector<Seg>{{150, 130, 150, 200}, {150, 130, 300, 130}}));
  // A release without a move ends at (0, 0).
  sf.Clear();
  DrawClippedRect(sf, pen, 150, 130, 0, 0, 100, 300, 100, 200);
  EXPECT_EQ(Segments(sf), (std::vector<Seg>{{150, 100, 150, 130}, {100, 130, 150, 130}}));
  for (const auto& l : sf.lines) {
    EXPECT_TRUE(l.x0 >= 100 && l.x0 <= 300 && l.x1 >= 100 && l.x1 <= 300);
    EXPECT_TRUE(l.y0 >= 100 && l.y0 <= 200 && l.y1 >= 100 && l.y1 <= 200);
  }
}

}  // namespace
