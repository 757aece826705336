#pragma once
// One data series in one panel: points mapped with the frame's scales, joined
// by segments clipped to the panel, optionally with vertical error bars; the
// segment clipper; the clipped zoom rectangle.

#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/surface.h"

struct AppState;

struct SeriesAxes {
  int left = 0, top = 0, width = 0, height = 0;  // the panel, pixels
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int logx = 0, logy = 0;
};

/// Auto draws a one-pixel pen without error bars column by column (the same
/// pixels as every segment drawn in turn); PerSegment always draws every
/// segment.
enum class SeriesPath { Auto, PerSegment };

/// Draws points 0..count-1 (from 1 on a logarithmic X axis) joined by clipped
/// segments with the selected pen. errors: relative to the value unless the
/// Y axis is linear and AmplPhaseOn is set (then absolute in Y units); read
/// only with errorBars. Bars use the standard line width, segments then one
/// pixel; the caller's pen is selected again at the end.
void DrawSeries(const AppState& s, Surface& surface, const SeriesAxes& axes, int count, const double* y,
                const double* x, const double* errors = nullptr, int errorBars = 0, SeriesPath path = SeriesPath::Auto);

/// What DrawSeries draws for a one-pixel pen without error bars, worked out
/// without a surface, to be drawn later by DrawSteps: the same moves and lines
/// in the same order, so the same pixels. A page's channels are worked out this
/// way on both cores, then drawn one after another.
struct SeriesSteps {
  struct Step {
    int x, y;
    bool line;  // a line to (x, y); else a move there
  };
  std::vector<Step> steps;
};
void PlanSeries(const SeriesAxes& axes, int count, const double* y, const double* x, SeriesSteps& out);
void DrawSteps(Surface& surface, const SeriesSteps& plan);

/// Clips the segment from the previous point (x1, y1) to the current point
/// (x0, y0) against [xlow, xhigh] x [ylow, yhigh], bounds inclusive. The
/// caller sets (cx0, cy0) and (cx1, cy1) to the unclipped points truncated to
/// int; only an end that lies outside is moved, onto the edge where the
/// segment enters or leaves (never outside the rectangle). Returns 1 when any
/// part of the segment lies inside, also when both ends lie outside.
int ClipSegment(double x0, double y0, double x1, double y1, int xlow, int ylow, int xhigh, int yhigh, int& cx0,
                int& cy0, int& cx1, int& cy1);

/// The zoom rubber band from corner (x1, y1) to (x2, y2), dragged either way:
/// the sides that lie strictly inside the bounds, cut to them, with the given pen.
void DrawClippedRect(Surface& surface, PenId pen, int x1, int y1, int x2, int y2, int xlow, int xhigh, int ylow,
                     int yhigh);

/// Point-to-pixel mapping of DrawSeries, shared by both drawing paths.
struct SeriesMapping {
  int left = 0, top = 0, bottom = 0;
  double sx = 0, xorigin = 0;
  double sy = 0, ymin = 0, L0 = 0;
  bool logx = false, logy = false;

  /// False when the limits leave nothing to draw.
  bool Setup(const SeriesAxes& a);

  /// Pixel column of an abscissa; false for NaN. Pixel coordinates are kept
  /// within +-1e9 so far-off values stay representable.
  bool Column(double xv, int& px) const {
    double v = logx ? (xv > 0 ? std::log10(xv) : 0.0) : xv;
    return Offset(left, (v - xorigin) * sx, px);
  }
  /// Pixel row of a value when no error bars are drawn: a logarithmic axis
  /// runs values beyond its limits along the edge and drops values <= 0
  /// below it.
  bool Row(double yv, int& py) const {
    if (!logy) return Offset(bottom, -(sy * (yv - ymin)), py);
    if (yv <= 0) return Offset(bottom, 20 * sy, py);
    if (!Offset(bottom, -(sy * (std::log10(yv) - L0)), py)) return false;
    py = py < top ? top : (py > bottom ? bottom : py);
    return true;
  }
  /// origin + trunc(v) as int; false for NaN.
  static bool Offset(int origin, double v, int& out) {
    if (!(v == v)) return false;
    v = v < -1e9 ? -1e9 : (v > 1e9 ? 1e9 : v);
    out = origin + static_cast<int>(v);
    return true;
  }
};
