// The column-by-column series path against drawing every segment, pixel for
// pixel, on the Qt surface.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "app/state.h"
#include "platform/qt/qimage_surface.h"
#include "plot/series.h"

namespace {

struct Case {
  const char* name;
  std::vector<double> x, y;
  SeriesAxes axes;
};

// Returns the number of differing pixels and checks that something was drawn.
long Compare(const Case& c, Rgb pen = kBlack) {
  AppState s;
  QImageSurface fast(1600, 900), plain(1600, 900);
  for (QImageSurface* sf : {&fast, &plain}) sf->SelectPen(sf->CreatePen(pen, 1));
  DrawSeries(s, fast, c.axes, static_cast<int>(c.x.size()), c.y.data(), c.x.data());
  DrawSeries(s, plain, c.axes, static_cast<int>(c.x.size()), c.y.data(), c.x.data(), nullptr, 0,
             SeriesPath::PerSegment);
  long differ = 0, drawn = 0;
  for (int y = 0; y < 900; ++y)
    for (int x = 0; x < 1600; ++x) {
      differ += fast.PixelAt(x, y) != plain.PixelAt(x, y);
      drawn += plain.PixelAt(x, y) != kWhite;
    }
  EXPECT_GT(drawn, 0) << c.name;
  return differ;
}

SeriesAxes Panel(double xmin, double xmax, double ymin, double ymax, int logx = 0, int logy = 0) {
  return {150, 80, 1300, 700, xmin, xmax, ymin, ymax, logx, logy};
}

std::vector<double> Ramp(int n, double step = 1.0) {
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = i * step;
  return x;
}

TEST(SeriesPixels, ColumnPathMatchesEverySegment) {
  std::mt19937_64 rng(42);
  std::normal_distribution<double> noise(0, 1);
  std::uniform_real_distribution<double> uniform(-1, 1);
  std::vector<Case> cases;

  const int n = 200000;
  {
    Case c{"random, many points per column", Ramp(n), {}, Panel(0, n - 1, -3, 3)};
    for (int i = 0; i < n; ++i) c.y.push_back(noise(rng));
    cases.push_back(c);
  }
  {
    // Smooth with rare spikes far beyond the limits on both sides.
    Case c{"spiky", Ramp(n), {}, Panel(0, n - 1, -2, 2)};
    for (int i = 0; i < n; ++i) {
      double v = std::sin(i * 1e-4) + 0.05 * noise(rng);
      if (i % 9973 == 0) v += (i % 2 ? 1e6 : -50);
      if (i % 31337 == 5) v = 1e300;
      c.y.push_back(v);
    }
    cases.push_back(c);
  }
  {
    // Limits inside the data on every side: segments leave and re-enter.
    Case c{"clipped on all sides", Ramp(n), {}, Panel(30000, 170000, -0.8, 0.9)};
    double v = 0;
    for (int i = 0; i < n; ++i) c.y.push_back(v = 0.999 * v + 0.05 * noise(rng));
    cases.push_back(c);
  }
  {
    Case c{"fewer points than columns", Ramp(700), {}, Panel(0, 699, -1.2, 1.2)};
    for (int i = 0; i < 700; ++i) c.y.push_back(uniform(rng) * 1.5);
    cases.push_back(c);
  }
  {
    Case c{"columns revisited", {}, {}, Panel(-1, 1, -1, 1)};
    for (int i = 0; i < 50000; ++i) {
      c.x.push_back(uniform(rng) * 1.3);
      c.y.push_back(uniform(rng) * 1.3);
    }
    cases.push_back(c);
  }
  {
    Case c{"log axes with zeros and gaps", Ramp(n, 0.01), {}, Panel(0.01, 2000, 1e-3, 1e2, 1, 1)};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < n; ++i) c.y.push_back(i % 5000 == 7 ? 0.0 : i % 7001 == 3 ? nan : std::exp(3 * noise(rng)));
    cases.push_back(c);
  }
  {
    Case c{"flat limits", Ramp(n), {}, Panel(0, n - 1, 0.5, 0.5)};
    for (int i = 0; i < n; ++i) c.y.push_back(0.5 + 0.01 * std::round(noise(rng) * 20));
    cases.push_back(c);
  }
  for (const Case& c : cases) EXPECT_EQ(Compare(c), 0) << c.name;
  EXPECT_EQ(Compare(cases[0], kRed), 0);
}

TEST(SeriesPixels, CrossingSegmentWithBothEndsOutsideFillsTheColumn) {
  // In one column: down from the top edge, a segment from above the panel to
  // below it, drawn across it, and up from the bottom edge ending one row
  // below the first run.
  AppState s;
  SeriesAxes axes{10, 10, 20, 90, 0, 1, 0, 90, 0, 0};
  const double x[] = {0.5, 0.5, 0.5, 0.5};
  const double y[] = {80, 150, -100, 79};  // rows 20, out above, out below, 21
  QImageSurface fast(40, 120), plain(40, 120);
  DrawSeries(s, fast, axes, 4, y, x);
  DrawSeries(s, plain, axes, 4, y, x, nullptr, 0, SeriesPath::PerSegment);
  for (int row = 10; row <= 100; ++row) EXPECT_EQ(plain.PixelAt(20, row), kBlack) << row;
  EXPECT_TRUE(fast.Image() == plain.Image());
}

TEST(SeriesPixels, EveryLengthOfShortSeries) {
  // Short series in a narrow panel, so columns hold many points and the
  // clipping cuts many of them.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-2, 2);
  AppState s;
  for (int n = 1; n < 60; ++n) {
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
      x[i] = u(rng);
      y[i] = u(rng);
    }
    SeriesAxes axes{5, 5, 6, 20, -1, 1, -1, 1, 0, 0};
    QImageSurface fast(20, 40), plain(20, 40);
    DrawSeries(s, fast, axes, n, y.data(), x.data());
    DrawSeries(s, plain, axes, n, y.data(), x.data(), nullptr, 0, SeriesPath::PerSegment);
    EXPECT_TRUE(fast.Image() == plain.Image()) << n;
  }
  // Few rows and columns: runs of equal rows, returns to earlier rows and
  // chains that end on a new extreme.
  for (int trial = 0; trial < 3000; ++trial) {
    int n = 2 + trial % 40;
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
      x[i] = std::floor(u(rng) * 1.2) / 2;
      y[i] = std::round(u(rng) * 2) / 2;
    }
    SeriesAxes axes{2, 2, 4, 6, -1, 1, -1.5, 1.5, 0, 0};
    QImageSurface fast(10, 12), plain(10, 12);
    DrawSeries(s, fast, axes, n, y.data(), x.data());
    DrawSeries(s, plain, axes, n, y.data(), x.data(), nullptr, 0, SeriesPath::PerSegment);
    ASSERT_TRUE(fast.Image() == plain.Image()) << trial;
  }
}

}  // namespace
