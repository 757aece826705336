#include "plot/series.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/state.h"
#include "platform/vector_state.h"

bool SeriesMapping::Setup(const SeriesAxes& a) {
  left = a.left;
  top = a.top;
  bottom = a.top + a.height;
  logx = a.logx != 0;
  logy = a.logy != 0;
  ymin = a.ymin;
  if (!logx) {
    sx = a.width / (a.xmax - a.xmin);
    xorigin = a.xmin;
  } else if (a.xmin > 0 && a.xmax > 0) {
    sx = a.width / (std::log10(a.xmax) - std::log10(a.xmin));
    xorigin = std::log10(a.xmin);
  } else {
    sx = a.width / std::log10(a.xmax);
    xorigin = 0;
  }
  if (a.ymax == a.ymin) {
    sy = a.height / 100;
    L0 = std::log10(std::fabs(a.ymin));
  } else if (!logy) {
    sy = a.height / (a.ymax - a.ymin);
  } else if (a.ymin > 0 && a.ymax > 0) {
    sy = a.height / (std::log10(a.ymax) - std::log10(a.ymin));
    L0 = std::log10(a.ymin);
  } else {
    sy = a.height / (std::log10(std::fabs(a.ymax)) - std::log10(std::fabs(a.ymin)));
    L0 = std::log10(std::fabs(a.ymin));
  }
  // A logarithmic limit of 0 gives no finite scale: nothing can be placed.
  if (!std::isfinite(sx) || !std::isfinite(xorigin) || !std::isfinite(sy)) return false;
  if (logy && !std::isfinite(L0)) return false;
  return true;
}

int ClipSegment(double x0, double y0, double x1, double y1, int xlow, int ylow, int xhigh, int yhigh, int& cx0,
                int& cy0, int& cx1, int& cy1) {
  auto inside = [&](double x, double y) { return x >= xlow && x <= xhigh && y >= ylow && y <= yhigh; };
  auto to_int = [](double v) { return static_cast<int>(std::clamp(std::trunc(v), -1e9, 1e9)); };
  const bool in0 = inside(x0, y0);
  const bool in1 = inside(x1, y1);
  if (in0 && in1) return 1;
  // The segment runs from P1 (t = 0) to P0 (t = 1); [tIn, tOut] is the part
  // inside the rectangle, and the edge that sets each end is remembered so
  // the cut lies exactly on it.
  const double dx = x0 - x1, dy = y0 - y1;
  double tIn = 0, tOut = 1;
  int edgeIn = -1, edgeOut = -1;  // 0 xlow, 1 xhigh, 2 ylow, 3 yhigh
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - xlow, xhigh - x1, y1 - ylow, yhigh - y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return 0;  // parallel to this edge and beyond it
      continue;
    }
    const double r = q[k] / p[k];
    if (p[k] < 0) {
      if (r > tOut) return 0;
      if (r > tIn) {
        tIn = r;
        edgeIn = k;
      }
    } else {
      if (r < tIn) return 0;
      if (r < tOut) {
        tOut = r;
        edgeOut = k;
      }
    }
  }
  if (!(tIn <= tOut)) return 0;
  const int edges[4] = {xlow, xhigh, ylow, yhigh};
  // The point where the segment meets edge k; clamped so rounding never leaves the rectangle.
  auto cut = [&](int k, int& cx, int& cy) {
    if (k < 0) return;
    if (k < 2) {
      cx = edges[k];
      cy = to_int(y1 + (edges[k] - x1) * dy / dx);
    } else {
      cy = edges[k];
      cx = to_int(x0 + (edges[k] - y0) * dx / dy);
    }
    cx = std::clamp(cx, xlow, xhigh);
    cy = std::clamp(cy, ylow, yhigh);
  };
  if (!in1) cut(edgeIn, cx1, cy1);
  if (!in0) cut(edgeOut, cx0, cy0);
  return 1;
}

namespace {

struct Clip {
  int xlow, ylow, xhigh, yhigh;
  bool Inside(int x, int y) const { return x >= xlow && x <= xhigh && y >= ylow && y <= yhigh; }
};

// Every segment drawn in turn, with error bars when asked.
void DrawEverySegment(const AppState& s, Surface& sf, const SeriesMapping& m, const Clip& clip, int first, int count,
                      const double* y, const double* x, const double* errors, bool bars) {
  PenId thin = kStockPen, standard = kStockPen, callers = sf.CurrentPen();
  if (bars) {
    thin = sf.CreatePen(kBlack, 1);
    standard = sf.CreatePen(kBlack, s.StandardLineWidth);
  }
  const bool logy = m.logy;
  int ppx = 0, ppy = 0;
  bool prevValid = false;
  for (int i = first; i < count; ++i) {
    int px = 0, py = 0, upper = 0, lower = 0;
    bool valid = m.Column(x[i], px);
    bool barValid = false;
    if (!bars) {
      valid = m.Row(y[i], py) && valid;
    } else {
      const double v = y[i];
      const double e = (logy || s.AmplPhaseOn) ? errors[i] : errors[i] * v;
      // Heights above the bottom edge of the bar's upper end, the point and
      // the lower end.
      double hU, h, hL;
      if (logy && v <= 0) {
        hU = h = hL = -20 * m.sy;
      } else if (logy) {
        hU = m.sy * (std::log10(v * (1 + e)) - m.L0);
        h = m.sy * (std::log10(v) - m.L0);
        hL = e < 1 ? m.sy * (std::log10(v * (1 - e)) - m.L0) : m.sy * (std::log10(v) - std::log10(e) - m.L0);
      } else {
        hU = m.sy * (v + e - m.ymin);
        h = m.sy * (v - m.ymin);
        hL = m.sy * (v - e - m.ymin);
      }
      valid = SeriesMapping::Offset(m.bottom, -h, py) && valid;
      barValid = valid && SeriesMapping::Offset(m.bottom, -hU, upper) && SeriesMapping::Offset(m.bottom, -hL, lower);
      upper = std::clamp(upper, m.top, m.bottom);
      lower = std::clamp(lower, m.top, m.bottom);
    }

    int ok = 0;
    int cx0 = px, cy0 = py, cx1 = ppx, cy1 = ppy;
    if (i == first) {
      cx1 = px;
      cy1 = py;
    } else if (valid && prevValid) {
      ok = ClipSegment(px, py, ppx, ppy, clip.xlow, clip.ylow, clip.xhigh, clip.yhigh, cx0, cy0, cx1, cy1);
    }
    if (i == first ? valid : prevValid) sf.MoveTo(cx1, cy1);
    if (ok) {
      if (!bars) {
        sf.LineTo(cx0, cy0);
      } else {
        sf.SelectPen(thin);
        sf.LineTo(cx0, cy0);
      }
    }
    // The first point has no segment but still gets its bar when it lies in
    // the panel.
    if (bars && barValid && (ok || (i == first && clip.Inside(px, py)))) {
      sf.SelectPen(standard);
      sf.MoveTo(px, upper);
      sf.LineTo(px, lower);
      sf.MoveTo(px, py);
    }
    ppx = px;
    ppy = py;
    prevValid = valid;
  }
  if (bars) {
    sf.SelectPen(callers);
    sf.DeletePen(thin);
    sf.DeletePen(standard);
  }
}

// log10 of a positive normal double through its exponent and the series
// ln m = 2·atanh((m−1)/(m+1)) for the mantissa m in [√½, √2]: within 2e-13 of
// libm's log10 over the whole range, at a fraction of its cost.
inline double FastLog10(double v) {
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  int e = static_cast<int>(bits >> 52) - 1023;
  double m = std::bit_cast<double>((bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1023} << 52));
  if (m > 1.4142135623730951) {
    m *= 0.5;
    ++e;
  }
  const double t = (m - 1) / (m + 1), t2 = t * t;
  double p = 1.0 / 19;
  for (double c : {1.0 / 17, 1.0 / 15, 1.0 / 13, 1.0 / 11, 1.0 / 9, 1.0 / 7, 1.0 / 5, 1.0 / 3, 1.0}) p = p * t2 + c;
  return e * 0.30102999566398120 + (2 * t * p) * 0.43429448190325182;
}

// origin + trunc(scale·(FastLog10(v) − offset)) as SeriesMapping computes it
// with libm's log10, when that is certain: false (the caller then maps the
// point exactly) for values that are not positive normal numbers and when the
// product lies so close to a whole number (or beyond the +-1e9 bound) that
// the two logarithms could truncate differently.
inline bool FastLogOffset(int origin, double v, double offset, double scale, int& out) {
  if (!(v >= std::numeric_limits<double>::min() && v <= std::numeric_limits<double>::max())) return false;
  const double d = scale * (FastLog10(v) - offset);
  if (!(std::fabs(d) < 1e9 - 2)) return false;
  const double frac = std::fabs(d - static_cast<double>(static_cast<long long>(d)));
  const double tol = std::fabs(scale) * 1e-12 + std::fabs(d) * 1e-15 + 1e-12;
  if (frac < tol || frac > 1 - tol) return false;
  out = origin + static_cast<int>(d);
  return true;
}

// The same pixels as DrawEverySegment for a one-pixel pen without bars. A
// one-pixel segment within one pixel column covers a run of rows, and the
// runs of consecutive segments in a column join, so a dense series needs only
// a few vertical lines per column. Segments between columns, and those the
// clipping cuts, are drawn as they are; the union of pixels is the same in
// any order.
// Keeps the moves and lines a series would draw, for DrawSteps.
struct StepSink {
  std::vector<SeriesSteps::Step>& steps;
  void MoveTo(int x, int y) { steps.push_back({x, y, false}); }
  void LineTo(int x, int y) { steps.push_back({x, y, true}); }
};

template <bool LogX, bool LogY, typename Sink>
void DrawByColumns(Sink& sf, SeriesMapping m, const Clip& clip, int first, int count, const double* y,
                   const double* x) {
  m.logx = LogX;  // constants from here on, so the mapping has no axis branches
  m.logy = LogY;
  bool runActive = false;
  int runX = 0, runLo = 0, runHi = 0;
  auto flush = [&] {
    if (!runActive) return;
    sf.MoveTo(runX, runLo);
    sf.LineTo(runX, runHi + 1);
    runActive = false;
  };
  auto addRows = [&](int col, int lo, int hi) {
    if (runActive && runX == col && lo <= runHi + 1 && hi >= runLo - 1) {
      runLo = std::min(runLo, lo);
      runHi = std::max(runHi, hi);
      return;
    }
    flush();
    runActive = true;
    runX = col;
    runLo = lo;
    runHi = hi;
  };
  // A vertical one-pixel line covers its start row and stops short of its end.
  auto vertical = [&](int col, int from, int to) {
    if (from < to)
      addRows(col, from, to - 1);
    else if (from > to)
      addRows(col, to + 1, from);
  };

  // Points are mapped a block at a time (independent iterations that
  // pipeline well), then walked for the runs.
  constexpr int kBlock = 4096;
  constexpr int kInvalid = std::numeric_limits<int>::min();  // no mapped column reaches it
  int cols[kBlock], rows[kBlock];
  int ppx = 0, ppy = 0;
  bool prevValid = false;  // false at the first point: no segment ends there
  bool prevInside = false;
  for (int base = first; base < count; base += kBlock) {
    const int n = std::min(kBlock, count - base);
    for (int k = 0; k < n; ++k) {
      int px = 0, py = 0;
      // Logarithmic axes map through FastLog10; the few points it cannot place
      // with certainty, and everything else, take the mapping's own path.
      bool validX, validY;
      if (!LogX || !FastLogOffset(m.left, x[base + k], m.xorigin, m.sx, px))
        validX = m.Column(x[base + k], px);
      else
        validX = true;
      if (LogY && FastLogOffset(m.bottom, y[base + k], m.L0, -m.sy, py)) {
        validY = true;
        py = py < m.top ? m.top : (py > m.bottom ? m.bottom : py);
      } else {
        validY = m.Row(y[base + k], py);
      }
      const bool valid = validX & validY;
      cols[k] = valid ? px : kInvalid;
      rows[k] = py;
    }
    for (int k = 0; k < n;) {
      const int px = cols[k], py = rows[k];
      const bool valid = px != kInvalid;
      const bool inside = clip.Inside(px, py);
      if (valid && prevValid) {
        int ax = ppx, ay = ppy, bx = px, by = py;
        bool ok = (inside && prevInside) ||
                  ClipSegment(px, py, ppx, ppy, clip.xlow, clip.ylow, clip.xhigh, clip.yhigh, bx, by, ax, ay);
        if (ok) {
          if (ax == bx) {
            vertical(ax, ay, by);
          } else {
            sf.MoveTo(ax, ay);
            sf.LineTo(bx, by);
          }
        }
      }
      ppx = px;
      ppy = py;
      prevValid = valid;
      prevInside = inside;
      ++k;
      if (!inside || !valid) continue;
      // A chain of points inside the panel in this column, joined by vertical
      // segments, covers the rows [lo, hi] of its points, except its last row
      // when no segment reaches it: a segment leaves out its end row, so the
      // last row is covered only if it lies within the rows spanned before the
      // chain's final change of value (loPrev, hiPrev).
      int lo = py, hi = py, loPrev = std::numeric_limits<int>::max(), hiPrev = std::numeric_limits<int>::min();
      int last = py;
      int j = k;
      while (j < n && cols[j] == px && rows[j] >= clip.ylow && rows[j] <= clip.yhigh) {
        const int r = rows[j];
        const bool changed = r != last;
        loPrev = changed ? lo : loPrev;
        hiPrev = changed ? hi : hiPrev;
        lo = std::min(lo, r);
        hi = std::max(hi, r);
        last = r;
        ++j;
      }
      if (j == k) continue;
      if (lo < hi) {
        if (last > hiPrev)
          addRows(px, lo, last - 1);
        else if (last < loPrev)
          addRows(px, last + 1, hi);
        else
          addRows(px, lo, hi);
      }
      ppy = last;
      k = j;
    }
  }
  flush();
  if (prevValid) sf.MoveTo(ppx, ppy);
}

// The mapping, clip rectangle and first point of a series: false when there is
// nothing to draw.
bool Prepare(const SeriesAxes& a, int count, const double* y, const double* x, SeriesMapping& m, Clip& clip,
             int& first) {
  if (a.ymin == 0 && a.ymax == 0) return false;
  if ((a.xmin == 0 && a.xmax == 0) || a.xmin == a.xmax) return false;
  if (!y || !x || count <= 0) return false;
  ClearUpperVectorState();  // whatever ran before, the mapping runs at full speed
  if (!m.Setup(a)) return false;
  // The zero frequency has no place on a log axis; the MT bands start above it.
  first = 0;
  if (a.logx)
    while (first < count && !(x[first] > 0)) ++first;
  clip = Clip{a.left, a.top, a.left + a.width, a.top + a.height};
  return true;
}

template <typename Sink>
void DrawColumns(Sink& sink, const SeriesMapping& m, const Clip& clip, int first, int count, const double* y,
                 const double* x) {
  auto draw = m.logx ? (m.logy ? DrawByColumns<true, true, Sink> : DrawByColumns<true, false, Sink>)
                     : (m.logy ? DrawByColumns<false, true, Sink> : DrawByColumns<false, false, Sink>);
  draw(sink, m, clip, first, count, y, x);
}

}  // namespace

void DrawSeries(const AppState& s, Surface& surface, const SeriesAxes& a, int count, const double* y, const double* x,
                const double* errors, int errorBars, SeriesPath path) {
  SeriesMapping m;
  Clip clip{};
  int first = 0;
  if (!Prepare(a, count, y, x, m, clip, first)) return;
  const bool bars = errorBars && errors;
  if (!bars && path == SeriesPath::Auto && surface.SelectedPen().width <= 1)
    DrawColumns(surface, m, clip, first, count, y, x);
  else
    DrawEverySegment(s, surface, m, clip, first, count, y, x, errors, bars);
}

void PlanSeries(const SeriesAxes& a, int count, const double* y, const double* x, SeriesSteps& out) {
  out.steps.clear();
  SeriesMapping m;
  Clip clip{};
  int first = 0;
  if (!Prepare(a, count, y, x, m, clip, first)) return;
  StepSink sink{out.steps};
  DrawColumns(sink, m, clip, first, count, y, x);
}

void DrawSteps(Surface& surface, const SeriesSteps& plan) {
  for (const SeriesSteps::Step& step : plan.steps)
    if (step.line)
      surface.LineTo(step.x, step.y);
    else
      surface.MoveTo(step.x, step.y);
}

void DrawClippedRect(Surface& surface, PenId pen, int x1, int y1, int x2, int y2, int xlow, int xhigh, int ylow,
                     int yhigh) {
  PenId old = surface.SelectPen(pen);
  auto line = [&](int ax, int ay, int bx, int by) {
    surface.MoveTo(ax, ay);
    surface.LineTo(bx, by);
  };
  // A side is drawn when it lies strictly inside the bounds, and only as far
  // as they reach, whichever way the rectangle was dragged.
  const int ya = std::clamp(std::min(y1, y2), ylow, yhigh), yb = std::clamp(std::max(y1, y2), ylow, yhigh);
  const int xa = std::clamp(std::min(x1, x2), xlow, xhigh), xb = std::clamp(std::max(x1, x2), xlow, xhigh);
  if (xlow < x1 && x1 < xhigh) line(x1, ya, x1, yb);
  if (xlow < x2 && x2 < xhigh) line(x2, ya, x2, yb);
  if (ylow < y2 && y2 < yhigh) line(xa, y2, xb, y2);
  if (ylow < y1 && y1 < yhigh) line(xa, y1, xb, y1);
  surface.SelectPen(old);
}
