#include "plot/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

#include "app/state.h"
#include "datafile/record_time.h"
#include "plot/surface.h"

namespace {

// Tick arithmetic counts whole steps; the tolerances keep a tick that falls
// exactly on a limit or a pixel from being lost to rounding.
constexpr double kCountEps = 1e-7;
constexpr double kPixelEps = 1e-6;
constexpr int kMaxTicks = 20000;

double FloorCount(double v) { return std::floor(v + kCountEps); }
double CeilCount(double v) { return std::ceil(v - kCountEps); }

int ClampPixel(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(v, -1e9, 1e9));
}
int TruncPx(double v) { return ClampPixel(std::trunc(v + (v >= 0 ? kPixelEps : -kPixelEps))); }
int CeilPx(double v) { return ClampPixel(std::ceil(v - kPixelEps)); }

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-8 * std::max(1.0, std::fabs(b)); }

double Mantissa(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 1;
  return step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
}

int MinorDivisionsTime(double s) {
  if (s <= 5) return 5;
  if (s <= 15) return 3;
  if (s <= 30) return 6;
  if (s <= 120) return 4;
  if (s <= 600) return 5;
  if (s <= 900) return 3;
  if (s <= 3600) return 6;
  if (s <= 14400) return 4;
  if (s <= 86400) return 6;
  return 5;
}

int MinorDivisionsLinear(double step, bool allowSix) {
  double m = Mantissa(step);
  if (Near(m, 2) || Near(m, 4) || (allowSix && Near(m, 6))) return 4;
  return 5;
}

struct Tick {
  double v;
  int c;  // the minor-tick counter at this tick
  bool major;
};

// Ticks from first in steps of minor up to limit; a tick is major when the
// counter is n or 0, and the counter restarts there.
std::vector<Tick> LinearTicks(double first, int c, int n, double minor, double limit) {
  std::vector<Tick> ticks;
  if (!(minor > 0) || !std::isfinite(first) || !std::isfinite(limit)) return ticks;
  for (int k = 0; k < kMaxTicks; ++k) {
    double v = first + k * minor;
    if (v > limit + kCountEps * minor) break;
    if (std::fabs(v) < kCountEps * minor) v = 0;  // a zero tick never prints as "-0.00"
    bool major = c == n || c == 0;
    ticks.push_back({v, c, major});
    if (major) c = 0;
    ++c;
  }
  return ticks;
}

// The ticks of a linear axis over [lo, hi]: n to a step, the majors on whole
// multiples of the step.
std::vector<Tick> AxisTicks(double lo, double hi, double step, int n) {
  if (!(step > 0) || !std::isfinite(step)) return {};
  double first = CeilCount(lo * n / step) * step / n;
  int c = n - static_cast<int>(FloorCount((CeilCount(lo / step) * step - lo) * n / step));
  return LinearTicks(first, c, n, step / n, hi);
}

struct LogTick {
  double pos;  // log10 of the tick value
  int m;       // 1..9: the tick is m x 10^k
  int k;
};

// Ticks at m x 10^k across [lo, hi] in log10 units; a non-positive lo counts
// from 10^0.
std::vector<LogTick> LogTicks(double lo, double hi, double& p) {
  std::vector<LogTick> ticks;
  p = lo > 0 ? std::log10(lo) : 0.0;
  double end = std::log10(hi);
  if (!std::isfinite(p) || !std::isfinite(end)) return ticks;
  int k = static_cast<int>(std::floor(p));
  int m = static_cast<int>(std::trunc(std::pow(10.0, p - k) + 0.49999));
  if (m < 1) m = 1;
  if (m > 9) {
    m = 1;
    ++k;
  }
  for (int guard = 0; guard < kMaxTicks; ++guard) {
    double pos = std::log10(m * std::pow(10.0, k));
    if (pos > end + 1e-12) break;
    // The first tick is rounded to the nearest m and may lie before the
    // axis; it is not drawn there.
    if (pos >= p - 1e-12) ticks.push_back({pos, m, k});
    if (++m > 9) {
      m = 1;
      ++k;
    }
  }
  return ticks;
}

// Where the first tick of a clock axis falls: the first major tick on a whole
// multiple of the step within the minute, hour or day of the clock.
struct ClockTicks {
  double x0;
  int c;
  RecordTime firstMajor;  // clock time of the first major tick
};

ClockTicks AlignToClock(RecordTime t, double xmin, double xstep, int n) {
  ClockTicks out{CeilCount(xmin * n / xstep) * xstep / n, 0, t};
  out.c = n - static_cast<int>(FloorCount((CeilCount(xmin / xstep) * xstep - xmin) * n / xstep));
  double u = xstep / n;
  double secs;
  if (u < 60)
    secs = t.second;
  else if (u < 3600)
    secs = 60.0 * t.minute + t.second;
  else if (u < 86400)
    secs = 3600.0 * t.hour + 60.0 * t.minute + t.second;
  else {
    int toMajor = out.c % n == 0 ? 0 : n - out.c;
    AddSeconds(out.firstMajor, out.x0 + toMajor * u - xmin);
    return out;
  }
  double d = xstep * CeilCount(secs / xstep) - secs;
  if (d > 0) AddSeconds(out.firstMajor, d);
  int steps = static_cast<int>(FloorCount(d * n / xstep));
  if (steps < 0) steps = 0;
  out.x0 = xmin + d - xstep * steps / n;
  out.c = n - steps;
  return out;
}

bool SameDate(const RecordTime& a, const RecordTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Decimals that show v seconds exactly, to the microsecond at most.
int DecimalsOf(double v) {
  double q = 1;
  for (int d = 0; d < 6; ++d, q *= 10)
    if (std::fabs(v * q - std::round(v * q)) < 5e-8 * q) return d;
  return 6;
}

// Decimals of the clock labels: as many as the step and the first major
// tick's seconds need, so that every label is the tick's true time.
int ClockDecimals(double xstep, double firstSecond) {
  if (xstep >= 60) return DecimalsOf(firstSecond);
  return std::max(DecimalsOf(xstep), DecimalsOf(firstSecond));
}

std::string ClockText(const RecordTime& t, int decimals, bool withDate) {
  char sec[32];
  if (decimals == 0)
    std::snprintf(sec, sizeof sec, "%02d", static_cast<int>(std::lround(t.second)));
  else
    std::snprintf(sec, sizeof sec, "%0*.*f", decimals + 3, decimals, t.second);
  char buf[96];
  if (withDate)
    std::snprintf(buf, sizeof buf, "%02d/%02d/%2d %02d:%02d:%s", t.month, t.day, t.year - 2000, t.hour, t.minute, sec);
  else
    std::snprintf(buf, sizeof buf, "%02d:%02d:%s", t.hour, t.minute, sec);
  return buf;
}

// Steps in seconds that labels may be thinned to: every label then falls on a
// round clock time.
const std::vector<double>& LabelSteps() {
  static const std::vector<double> steps = [] {
    std::vector<double> v;
    for (double e = 1e-7; e < 1; e *= 10)
      for (double m : {1.0, 2.0, 2.5, 5.0}) v.push_back(m * e);
    for (double s : {1.0,     2.0,     5.0,     10.0,     15.0,     20.0,      30.0,     60.0,    120.0,
                     300.0,   600.0,   900.0,   1200.0,   1800.0,   3600.0,    7200.0,   10800.0, 14400.0,
                     21600.0, 43200.0, 86400.0, 172800.0, 604800.0, 1209600.0, 2419200.0})
      v.push_back(s);
    return v;
  }();
  return steps;
}

// Strides k for thinning labels a step apart: 1 to `small`, then the whole
// multiples of step that are round steps themselves, then doublings up to most.
std::vector<long long> LabelStrides(double step, const std::vector<double>& round, long long most, int small) {
  std::vector<long long> out;
  for (long long k = 1; k <= small; ++k) out.push_back(k);
  for (double r : round) {
    double k = r / step;
    long long kr = std::llround(k);
    if (kr >= 1 && std::fabs(k - static_cast<double>(kr)) < 1e-6 * k) out.push_back(kr);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  while (out.back() < most) out.push_back(out.back() * 2);
  return out;
}

std::string IntText(long long v) { return std::to_string(v); }

// The text of a value on a logarithmic axis: plain between 0.001 and 99999,
// otherwise a mantissa with "x10" (or "10" alone) and an exponent.
struct LogText {
  std::string base, exp;
};
LogText LogValueText(double v) {
  char buf[32];
  if (v >= 1e-3 * (1 - 1e-9) && v < 1e5) {
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return {buf, ""};
  }
  int k = static_cast<int>(std::floor(std::log10(v) + 1e-9));
  double m = v / std::pow(10.0, k);
  if (std::fabs(m - 1) < 1e-6) return {"10", IntText(k)};
  std::snprintf(buf, sizeof buf, "%.4gx10", m);
  return {buf, IntText(k)};
}

// Candidate label values of a logarithmic axis over [lo, hi] (lo > 0),
// coarsest first: every `every`-th decade; 1, 2 and 5 times the decades; each
// of 1-9 times them; round linear steps across the range (NiceStep, then
// twice and five times it, for panels too small for the first).
constexpr size_t kLinearLevel = 3;
std::vector<std::vector<double>> LogLabelSets(double lo, double hi, int every) {
  std::vector<std::vector<double>> sets(6);
  if (!(lo > 0) || !(hi > lo) || !std::isfinite(hi)) return sets;
  const double a = lo * (1 - 1e-9), b = hi * (1 + 1e-9);
  const int k0 = static_cast<int>(std::floor(std::log10(lo))), k1 = static_cast<int>(std::floor(std::log10(hi)));
  if (k1 - k0 > 1000) return sets;
  for (int k = k0; k <= k1; ++k) {
    const double d = std::pow(10.0, k);
    for (int m = 1; m <= 9; ++m) {
      double v = m * d;
      if (v < a || v > b) continue;
      if (m == 1 && k % every == 0) sets[0].push_back(v);
      if (m == 1 || m == 2 || m == 5) sets[1].push_back(v);
      sets[2].push_back(v);
    }
  }
  const double step = NiceStep(hi - lo);
  const double factors[] = {1, 2, 5};
  for (int i = 0; i < 3; ++i) {
    const double s = step * factors[i];
    auto& set = sets[static_cast<size_t>(3 + i)];
    for (double n = std::ceil(lo / s - 1e-9); n * s <= b && set.size() < 50; ++n)
      if (n > 0) set.push_back(n * s);
  }
  return sets;
}

// Text on a frame: the label font, the exponent font and their metrics.
struct Painter {
  Surface& sf;
  FontId label;
  FontId exponent;
  int F;   // label font height
  int EF;  // exponent font height

  TextSize Extent(const std::string& t, FontId font) {
    FontId old = sf.SelectFont(font);
    TextSize size = sf.TextExtent(t);
    sf.SelectFont(old);
    return size;
  }
  void Text(int x, int y, const std::string& t, FontId font) {
    if (t.empty()) return;
    FontId old = sf.SelectFont(font);
    sf.TextOut(x, y, t);
    sf.SelectFont(old);
  }
  // A label under an X tick: base text centred on px with its top at y, the
  // exponent (if any) after it, raised a third of its height.
  void BelowTick(int px, int y, const std::string& base, const std::string& exp, int bottom) {
    TextSize b = Extent(base, label);
    int x = px - b.cx / 2;
    Text(x, y, base, label);
    if (!exp.empty()) Text(x + b.cx, std::max(bottom + 1, y - EF / 3), exp, exponent);
  }
};

// A label under an X tick, its extent measured before it is placed.
struct XLabel {
  int px = 0;
  std::string base, exp;
  int left = 0, right = 0;  // pixel extent: base centred on px, exponent after it
  int baseWidth = 0;
  bool decadeStyle = false;  // exponent 0.2 F below the axis, as decades of a log axis have it
};

XLabel MakeXLabel(Painter& p, int px, std::string base, std::string exp) {
  XLabel l;
  l.px = px;
  l.baseWidth = p.Extent(base, p.label).cx;
  int e = exp.empty() ? 0 : p.Extent(exp, p.exponent).cx;
  l.left = px - l.baseWidth / 2;
  l.right = l.left + l.baseWidth + e;
  l.base = std::move(base);
  l.exp = std::move(exp);
  return l;
}

// True when each label starts at least gap pixels after the previous one ends.
bool ApartBy(const std::vector<XLabel>& labels, int gap) {
  for (size_t i = 1; i < labels.size(); ++i)
    if (labels[i].left < labels[i - 1].right + gap) return false;
  return true;
}

// The label of a linear frequency tick at x.
XLabel FrequencyLabel(Painter& p, int px, double x, double xstep) {
  double ax = std::fabs(x);
  int k = ax > xstep / 10 ? static_cast<int>(std::floor(std::log10(ax))) : 0;
  if (k >= 4 || (k < -3 && x > 0)) {
    long long mant = static_cast<long long>(std::trunc(x / std::pow(10.0, k) + 0.49999));
    return MakeXLabel(p, px, IntText(mant) + "x10", IntText(k));
  }
  TickLabel t = FormatTickLabel(x, xstep);
  bool expForm = t.display.size() > 3 && t.display.compare(t.display.size() - 3, 3, "x10") == 0;
  return MakeXLabel(p, px, t.display, expForm ? t.exponent : "");
}

std::string DecadeText(int k) {
  static const char* kFixed[] = {"0.001", "0.01", "0.1", "1", "10", "100", "1000"};
  if (k >= -3 && k <= 3) return kFixed[k + 3];
  return "";
}

// What the sides of one frame share.
struct FrameGeometry {
  int left, top, right, bottom, W, H;
  double sx, sy;
  int Lx, Ly, textHeight, labelTop, gap;
};

// A tick on one side of the frame: where it leaves the side and how far in it reaches.
struct SideTick {
  int pos;  // x on the bottom and top, y on the left and right
  int length;
};

// One side of the frame: the line at `at` (a y for the bottom and top, an x
// for the left and right) from `from` to `to`, its ticks pointing inward
// (+1 or -1 along the other axis).
struct Side {
  bool horizontal;
  int at, from, to, inward;
};

// Draws a side as one pen path with each tick a spur off it, in order;
// afterTick(i), when given, runs once tick i is drawn.
void DrawSide(Surface& sf, const Side& side, const std::vector<SideTick>& ticks,
              const std::function<void(size_t)>& afterTick = nullptr) {
  auto to = [&](int along, int in, bool line) {
    const int x = side.horizontal ? along : side.at + side.inward * in;
    const int y = side.horizontal ? side.at + side.inward * in : along;
    if (line)
      sf.LineTo(x, y);
    else
      sf.MoveTo(x, y);
  };
  to(side.from, 0, false);
  for (size_t i = 0; i < ticks.size(); ++i) {
    to(ticks[i].pos, 0, true);
    to(ticks[i].pos, ticks[i].length, true);
    to(ticks[i].pos, 0, false);
    if (afterTick) afterTick(i);
  }
  to(side.to, 0, true);
}

Side Bottom(const FrameGeometry& g) { return {true, g.bottom, g.left, g.right, -1}; }
Side Top(const FrameGeometry& g) { return {true, g.top, g.left, g.right, +1}; }
Side LeftSide(const FrameGeometry& g) { return {false, g.left, g.bottom, g.top, +1}; }
Side RightSide(const FrameGeometry& g) { return {false, g.right, g.bottom, g.top, -1}; }

void DrawXLabel(Painter& p, const XLabel& l, int labelTop, int bottom) {
  p.Text(l.left, labelTop, l.base, p.label);
  if (l.exp.empty()) return;
  int y = l.decadeStyle ? bottom + static_cast<int>(0.2 * p.F) : std::max(bottom + 1, labelTop - p.EF / 3);
  p.Text(l.left + l.baseWidth, y, l.exp, p.exponent);
}

// Clock labels under the major ticks at px, the first at firstMajor (in the
// zone shown), a step apart. When they would run into each other only every
// k-th is labelled, on whole multiples of k steps in the clock; the date
// shows on the first label and where it changes. A label at the
// right end is shortened to its time or left out. Returns the right edge of
// the last label drawn.
int DrawClockLabels(Painter& p, const FrameGeometry& g, const std::vector<int>& px, const RecordTime& firstMajor,
                    double xstep) {
  const size_t n = px.size();
  int lastRight = std::numeric_limits<int>::min();
  if (n == 0) return lastRight;
  const int decimals = ClockDecimals(xstep, firstMajor.second);
  const double perDay = 86400 / xstep;
  const bool dividesDay = xstep <= 86400 && std::fabs(perDay - std::round(perDay)) < 1e-6 * perDay;
  const RecordTime epoch{2000, 1, 1, 0, 0, 0.0};
  std::vector<RecordTime> when(n);
  std::vector<XLabel> full(n), brief(n);
  std::vector<long long> counts(n);
  for (size_t i = 0; i < n; ++i) {
    RecordTime t = firstMajor;
    AddSeconds(t, static_cast<double>(i) * xstep);
    t = RoundedTime(t, decimals);
    when[i] = t;
    full[i] = MakeXLabel(p, px[i], ClockText(t, decimals, true), "");
    brief[i] = MakeXLabel(p, px[i], ClockText(t, decimals, false), "");
    counts[i] = static_cast<long long>(i);
    if (dividesDay) {
      long long day = std::llround(SecondsBetween(epoch, RecordTime{t.year, t.month, t.day, 0, 0, 0.0}) / 86400);
      counts[i] = day * std::llround(perDay) + std::llround((3600.0 * t.hour + 60.0 * t.minute + t.second) / xstep);
    }
  }
  auto pick = [&](long long k) {
    std::vector<XLabel> out;
    const RecordTime* previous = nullptr;
    for (size_t i = 0; i < n; ++i) {
      if (counts[i] % k != 0) continue;
      bool withDate = !previous || !SameDate(when[i], *previous);
      const XLabel* l = withDate ? &full[i] : &brief[i];
      if (px[i] >= g.right - 0.7 * (l->right - l->left)) {
        l = &brief[i];
        if (px[i] >= g.right - 0.7 * (l->right - l->left)) continue;
      }
      out.push_back(*l);
      previous = &when[i];
    }
    return out;
  };
  // The smallest stride whose labels stand apart: 2, 3 or 4 ticks, or a
  // multiple of the step that is a round time; labels then fall on whole
  // multiples of it. Should none fit, the first tick alone is labelled.
  std::vector<XLabel> chosen;
  for (long long k : LabelStrides(xstep, LabelSteps(), static_cast<long long>(n), 4)) {
    chosen = pick(k);
    if (!chosen.empty() && ApartBy(chosen, g.gap)) break;
    chosen.clear();
  }
  if (chosen.empty()) {
    chosen = pick(1);
    chosen.resize(std::min<size_t>(chosen.size(), 1));
  }
  for (const XLabel& l : chosen) {
    DrawXLabel(p, l, g.labelTop, g.bottom);
    lastRight = l.right;
  }
  return lastRight;
}

// Labels of a linear frequency axis at its major ticks; every k-th (k = 2,
// 5, 10, 20 ...) when they would run into each other.
int DrawFrequencyLabels(Painter& p, const FrameGeometry& g, const std::vector<int>& px, const std::vector<double>& x,
                        double xstep) {
  const size_t n = px.size();
  std::vector<XLabel> labels(n);
  std::vector<long long> counts(n);
  for (size_t i = 0; i < n; ++i) {
    labels[i] = FrequencyLabel(p, px[i], x[i], xstep);
    counts[i] = std::llround(x[i] / xstep);
  }
  static const std::vector<double> kRound{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
  std::vector<XLabel> chosen;
  for (long long k : LabelStrides(1.0, kRound, static_cast<long long>(n), 1)) {
    chosen.clear();
    for (size_t i = 0; i < n; ++i)
      if (counts[i] % k == 0) chosen.push_back(labels[i]);
    if (ApartBy(chosen, g.gap)) break;
  }
  int lastRight = std::numeric_limits<int>::min();
  for (const XLabel& l : chosen) {
    DrawXLabel(p, l, g.labelTop, g.bottom);
    lastRight = l.right;
  }
  return lastRight;
}

// The bottom and top sides of a linear X axis: a clock axis in time-series
// mode, aligned to round times of the zone shown on both sides.
void DrawLinearXSides(AppState& s, Surface& sf, Painter& p, const FrameSpec& f, const FrameGeometry& g, bool timeAxis,
                      int NX) {
  std::vector<Tick> ticks;
  ClockTicks clock{};
  if (timeAxis && f.xstep > 0 && std::isfinite(f.xstep)) {
    RecordTime t = s.PlotFirstRecordTime;
    if (s.TimeFormatHST) AddSeconds(t, -36000.0);  // Hawaii: UTC - 10 h
    AddSeconds(t, f.xmin);
    clock = AlignToClock(t, f.xmin, f.xstep, NX);
    ticks = LinearTicks(clock.x0, clock.c, NX, f.xstep / NX, f.xmax);
  } else {
    ticks = AxisTicks(f.xmin, f.xmax, f.xstep, NX);
  }
  std::vector<SideTick> bottom, top;
  std::vector<int> majorPx;
  std::vector<double> majorX;
  for (const Tick& t : ticks) {
    const int length = t.major ? g.Lx : g.Lx / 2;
    const int px = g.left + TruncPx((t.v - f.xmin) * g.sx);
    bottom.push_back({px, length});
    top.push_back({t.v < f.xmin ? g.left : g.left + CeilPx((t.v - f.xmin) * g.sx), length});
    if (t.major) {
      majorPx.push_back(px);
      majorX.push_back(t.v);
    }
  }
  DrawSide(sf, Bottom(g), bottom);
  if (f.XLabelsOn) {
    int lastRight = timeAxis ? DrawClockLabels(p, g, majorPx, clock.firstMajor, f.xstep)
                             : DrawFrequencyLabels(p, g, majorPx, majorX, f.xstep);
    // The title keeps clear of a label at the right end.
    int x = lastRight == std::numeric_limits<int>::min() ? g.right : std::max(g.right, lastRight + g.gap);
    p.Text(x, g.labelTop, f.XAxisTitle, p.label);
  }
  DrawSide(sf, Top(g), top);
}

// A tick of a logarithmic axis at log10 position pos.
struct LogMark {
  double pos;
  bool major;
};

// The m x 10^k ticks and any labelled value between them, in order.
std::vector<LogMark> LogMarks(const std::vector<LogTick>& ticks, const std::vector<double>& labelled) {
  std::vector<LogMark> marks;
  for (const LogTick& t : ticks) marks.push_back({t.pos, t.m == 1});
  for (double v : labelled) {
    double pos = std::log10(v);
    bool onTick =
        std::any_of(ticks.begin(), ticks.end(), [&](const LogTick& t) { return std::fabs(t.pos - pos) < 1e-9; });
    if (!onTick) marks.push_back({pos, true});
  }
  std::sort(marks.begin(), marks.end(), [](const LogMark& a, const LogMark& b) { return a.pos < b.pos; });
  return marks;
}

// The marks at their pixels, majors `major` long and the others `minor`.
template <typename Pixel>
std::vector<SideTick> MarkTicks(const std::vector<LogMark>& marks, Pixel pixel, int major, int minor) {
  std::vector<SideTick> out;
  for (const LogMark& m : marks) out.push_back({pixel(m.pos), m.major ? major : minor});
  return out;
}

// The bottom and top sides of a logarithmic X axis. Decades are labelled;
// an axis with fewer than two decades labels 1, 2 and 5 times them, or
// each of 1-9 times them, or round steps across it, so that at least two
// numbers show.
void DrawLogXSides(Surface& sf, Painter& p, const FrameSpec& f, const FrameGeometry& g) {
  double p0;
  std::vector<LogTick> ticks = LogTicks(f.xmin, f.xmax, p0);
  auto pixel = [&](double pos) { return g.left + TruncPx((pos - p0) * g.sx); };
  // Labels are chosen on every panel, so that all panels get the same ticks;
  // only the bottom one draws them.
  std::vector<XLabel> labels;
  std::vector<double> values;
  {
    auto sets = LogLabelSets(std::pow(10.0, p0), f.xmax, 1);
    for (size_t level = 0; level < sets.size(); ++level) {
      std::vector<XLabel> kept;
      std::vector<double> keptValues;
      bool crowded = false;
      for (double v : sets[level]) {
        int px = pixel(std::log10(v));
        XLabel l;
        if (level == 0) {
          int k = static_cast<int>(std::lround(std::log10(v)));
          std::string text = DecadeText(k);
          l = text.empty() ? MakeXLabel(p, px, "10", IntText(k)) : MakeXLabel(p, px, text, "");
          l.decadeStyle = true;
        } else {
          LogText text = LogValueText(v);
          l = MakeXLabel(p, px, text.base, text.exp);
        }
        if (!kept.empty() && l.left < kept.back().right + g.gap) {
          crowded = true;
          continue;
        }
        kept.push_back(l);
        keptValues.push_back(v);
      }
      // Round steps are taken only when every one of them has room.
      if (kept.size() >= 2 && (level < kLinearLevel || !crowded)) {
        labels = kept;
        values = keptValues;
        break;
      }
      if (kept.size() > labels.size()) {
        labels = kept;
        values = keptValues;
      }
    }
  }
  const std::vector<SideTick> marks = MarkTicks(LogMarks(ticks, values), pixel, g.Lx, g.Lx / 2);
  DrawSide(sf, Bottom(g), marks);
  if (f.XLabelsOn) {
    int lastRight = g.right;
    for (const XLabel& l : labels) {
      DrawXLabel(p, l, g.labelTop, g.bottom);
      lastRight = l.right;
    }
    TextSize size = p.Extent(f.XAxisTitle, p.label);
    p.Text(std::max(g.right + size.cx / 2, lastRight + g.gap), g.labelTop, f.XAxisTitle, p.label);
  }
  DrawSide(sf, Top(g), marks);
}

// The left and right sides of a logarithmic Y axis. About five decades carry
// "10" with the exponent; an axis with fewer than two labelled decades
// carries plain numbers as the X axis does. Returns the left edge of the
// leftmost label.
int DrawLogYSides(Surface& sf, Painter& p, const FrameSpec& f, const FrameGeometry& g) {
  double p0;
  std::vector<LogTick> ticks = LogTicks(f.ymin, f.ymax, p0);
  auto pixel = [&](double pos) { return g.bottom - TruncPx((pos - p0) * g.sy); };
  const double R = std::log10(f.ymax) - p0;
  const int every = std::max(1, static_cast<int>(std::ceil(R / 5)));
  auto sets = LogLabelSets(f.ymin, f.ymax, every);
  // Decades as long as two carry a label; otherwise the first finer level
  // with two labels, each clear of the one below it and of the top edge.
  size_t level = 0;
  std::vector<double> values = sets[0];
  if (values.size() < 2) {
    std::vector<double> best;
    level = 1;
    for (size_t l = 1; l < sets.size(); ++l) {
      std::vector<double> kept;
      bool crowded = false;
      int lastY = g.bottom + 2 * g.textHeight;
      for (double v : sets[l]) {
        int py = pixel(std::log10(v));
        if (py <= g.top + g.textHeight / 2) continue;
        if (lastY - py < g.textHeight) {
          crowded = true;
          continue;
        }
        kept.push_back(v);
        lastY = py;
      }
      // Round steps are taken only when every one of them has room.
      if (kept.size() >= 2 && (l < kLinearLevel || !crowded)) {
        best = kept;
        level = l;
        break;
      }
      if (kept.size() > best.size()) {
        best = kept;
        level = l;
      }
    }
    values = best;
  }
  const std::vector<SideTick> marks = MarkTicks(LogMarks(ticks, values), pixel, 2 * g.Ly, g.Ly);
  DrawSide(sf, LeftSide(g), marks);

  int labelsLeft = g.left;
  for (double v : values) {
    int py = pixel(std::log10(v));
    if (level == 0) {
      int k = static_cast<int>(std::lround(std::log10(v)));
      int w = p.Extent("10", p.label).cx;
      p.Text(g.left - static_cast<int>(1.4 * w) - w, py - p.F / 2, "10", p.label);
      labelsLeft = std::min(labelsLeft, g.left - static_cast<int>(1.4 * w) - w);
      std::string exp = IntText(k);
      int expRight = g.left - static_cast<int>((k < -9 ? 0.004 : 0.007) * g.W);
      p.Text(expRight - p.Extent(exp, p.exponent).cx, py - static_cast<int>(0.7 * p.F), exp, p.exponent);
      continue;
    }
    LogText text = LogValueText(v);
    TextSize size = p.Extent(text.base, p.label);
    int expWidth = text.exp.empty() ? 0 : p.Extent(text.exp, p.exponent).cx;
    int x = g.left - g.textHeight / 2 - expWidth - size.cx;
    int y = py - size.cy / 2;
    p.Text(x, y, text.base, p.label);
    if (!text.exp.empty()) p.Text(x + size.cx, y - p.EF / 3, text.exp, p.exponent);
    labelsLeft = std::min(labelsLeft, x);
  }

  DrawSide(sf, RightSide(g), marks);
  return labelsLeft;
}

// The ticks of a linear Y axis at their pixels; a tick at a whole step is
// long, except at the top edge.
std::vector<SideTick> LinearYTicks(const std::vector<Tick>& ticks, const FrameSpec& f, const FrameGeometry& g, int NY) {
  const double nearTop = f.ymax - kCountEps * f.ystep / NY;
  std::vector<SideTick> out;
  for (const Tick& t : ticks)
    out.push_back({t.v < f.ymin ? g.bottom : g.bottom - CeilPx((t.v - f.ymin) * g.sy),
                   t.c == NY && t.v < nearTop ? 2 * g.Ly : g.Ly});
  return out;
}

// The left side of a linear Y axis with its labels: numbers at the major
// ticks, with one exponent for the axis when its limits are that large or
// small. Returns the left edge of the leftmost label.
int DrawLinearYLeft(Surface& sf, Painter& p, const FrameSpec& f, const FrameGeometry& g, int NY) {
  const std::vector<Tick> ticks = AxisTicks(f.ymin, f.ymax, f.ystep, NY);
  // Decimal exponent of the axis; limits of 0 do not count.
  int E = 0;
  bool any = false;
  for (double v : {f.ymax, f.ymin})
    if (v != 0 && std::isfinite(v)) {
      int e = static_cast<int>(std::floor(std::log10(std::fabs(v))));
      E = any ? std::max(E, e) : e;
      any = true;
    }
  const bool axisExponent = E >= 4 || E < -3;
  const std::vector<SideTick> marks = LinearYTicks(ticks, f, g, NY);
  int labelsLeft = g.left;
  DrawSide(sf, LeftSide(g), marks, [&](size_t i) {
    const Tick& t = ticks[i];
    const int py = marks[i].pos;
    if (!t.major || py <= g.top + g.textHeight / 2) return;
    std::string base, exp;
    int baseRight;
    if (axisExponent) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%6.2f", t.v / std::pow(10.0, E));
      base = std::string(buf) + "x10";
      exp = IntText(E);
      baseRight = g.left - static_cast<int>(0.9 * g.textHeight);
    } else {
      TickLabel label = FormatTickLabel(t.v, f.ystep);
      base = label.display;
      if (!label.exponent.empty() && label.exponent != "0") exp = label.exponent;
      baseRight = g.left - g.textHeight / 2 - (exp.empty() ? 0 : p.Extent(exp, p.exponent).cx);
    }
    TextSize size = p.Extent(base, p.label);
    int y = py - size.cy / 2;
    if (!exp.empty()) {
      // The exponent follows the base and stays clear of the frame.
      int expWidth = p.Extent(exp, p.exponent).cx;
      if (baseRight + expWidth > g.left - 2) baseRight = g.left - 2 - expWidth;
      p.Text(baseRight, y - p.EF / 3, exp, p.exponent);
    }
    p.Text(baseRight - size.cx, y, base, p.label);
    labelsLeft = std::min(labelsLeft, baseRight - size.cx);
  });
  return labelsLeft;
}

// The right side of a linear Y axis: its ticks count from zero (or the whole
// step nearest it) rather than from the limit.
void DrawLinearYRight(Surface& sf, const FrameSpec& f, const FrameGeometry& g, int NY) {
  std::vector<Tick> ticks;
  if (f.ystep > 0 && std::isfinite(f.ystep)) {
    double start = f.ymin == 0 ? 0.0 : std::copysign(FloorCount(std::fabs(f.ymin) / f.ystep) * f.ystep, f.ymin);
    ticks = LinearTicks(start, 0, NY, f.ystep / NY, f.ymax);
  }
  DrawSide(sf, RightSide(g), LinearYTicks(ticks, f, g, NY));
}

}  // namespace

double NiceStep(double range) {
  if (range == 0 || !std::isfinite(range)) return 10;
  double a = std::fabs(range);
  int e = static_cast<int>(std::trunc(std::floor(std::log10(a / 5))));
  double x = a / 5 / std::pow(10.0, e);
  while (x < 1) {
    --e;
    x *= 10;
  }
  while (x >= 10) {
    ++e;
    x /= 10;
  }
  double m = std::ceil(x - 1e-9);
  if (m == 3)
    m = 2.5;
  else if (m == 4 || m == 6 || m == 7)
    m = 5;
  else if (m == 8 || m == 9)
    m = 10;
  return m * std::pow(10.0, e);
}

double TimeStep(double range) {
  double r = range;
  if (r < 60) return r / 10 > 3 ? 10 : NiceStep(r);
  if (r < 3600) {
    for (double step : {15.0, 30.0, 60.0, 120.0, 300.0})
      if (r / step < 6) return step;
    return 600;
  }
  if (r < 86400) {
    for (double step : {900.0, 1800.0, 3600.0, 7200.0})
      if (r / step < 6) return step;
    return 14400;
  }
  if (r < 2292000) {
    if (r / 21600 < 6) return 21600;
    if (r / 43200 < 6) return 43200;
  }
  return 86400;
}

TickLabel FormatTickLabel(double value, double step) {
  TickLabel out;
  double lg = std::log10(std::fabs(step));
  bool expForm = lg < -4 || lg > 4;
  int e = 0;
  double shown = value;
  if (expForm) {
    e = static_cast<int>(std::trunc(lg - 1));
    double q = value / std::pow(10.0, e);
    // Rounded to the nearest whole number on either side of zero.
    shown = std::copysign(std::trunc(0.49999 + std::fabs(q)), q);
  }
  int d = 0;
  if (lg - e < 0) d = static_cast<int>(std::trunc(std::fabs(lg - e - 1.6)));
  if (step > 0.4 + std::trunc(step)) d = 1;
  d = std::clamp(d, 0, 12);

  if (std::fabs(value) < step / 100) {
    out.label = out.display = out.exponent = "0";
    return out;
  }
  char body[64];
  std::snprintf(body, sizeof body, "%.*f", d, std::fabs(shown));
  out.label = std::string(value < 0 ? "-" : " ") + body;
  out.display = out.label;
  if (expForm) {
    out.label += "E" + IntText(e);
    out.display += "x10";
    out.exponent = IntText(e);
  }
  return out;
}

void DrawPlotFrame(AppState& s, Surface& sf, const FrameSpec& f) {
  const int W = f.width, H = f.height;
  const int left = f.left, top = f.top, right = left + W, bottom = top + H;
  if (f.xmax == f.xmin || W <= 0 || H <= 0) return;
  // A logarithmic Y axis needs positive limits; without them the panel still
  // gets its frame, on a linear axis.
  const bool logy = f.logy && f.ymin > 0 && f.ymax > 0;

  double sx;
  if (!f.logx)
    sx = W / (f.xmax - f.xmin);
  else if (f.xmin <= 0)
    sx = W / std::log10(f.xmax);
  else
    sx = W / (std::log10(f.xmax) - std::log10(f.xmin));
  double sy;
  if (!logy)
    sy = f.ymax == f.ymin ? 0.0 : H / (f.ymax - f.ymin);
  else
    sy = f.ymax == f.ymin ? 0.0 : H / (std::log10(f.ymax) - std::log10(f.ymin));

  const int Lx = static_cast<int>(0.01 * W);
  const int Ly = static_cast<int>(std::ceil(static_cast<int>(0.02 * W) * static_cast<double>(H) / W));
  // Text scales with the panel but stays readable in small windows (cell heights in pixels).
  const int F = std::max(15, static_cast<int>(std::min(26.0, 0.16 * H)));
  const int EF = std::max(11, static_cast<int>(std::min(18.0, 0.12 * H)));
  // Without a readable GPS time the axis counts seconds rather than show a made-up clock.
  const bool timeAxis = !s.FourierOn && !s.AppResOn && s.PlotTimeKnown;
  const int NX = timeAxis ? MinorDivisionsTime(f.xstep) : MinorDivisionsLinear(f.xstep, true);
  const int NY = MinorDivisionsLinear(f.ystep, false);

  FontId labelFont = sf.CreateFont({"Arial", F, 500, 0});
  FontId verticalFont = sf.CreateFont({"Arial", F, 500, 900});
  FontId exponentFont = sf.CreateFont({"Arial", EF, 500, 0});
  PenId pen = sf.CreatePen(kBlack, s.StandardLineWidth);
  PenId oldPen = sf.SelectPen(pen);
  FontId oldFont = sf.SelectFont(labelFont);
  Painter p{sf, labelFont, exponentFont, F, EF};
  const int textHeight = p.Extent("0", labelFont).cy;
  const int labelTop = bottom + textHeight / 2;

  if (!f.PanelTitle.empty()) {
    TextSize t = p.Extent(f.PanelTitle, labelFont);
    p.Text(left, top - static_cast<int>(0.05 * H + t.cy), f.PanelTitle, labelFont);
  }

  const FrameGeometry g{left, top, right, bottom, W, H, sx, sy, Lx, Ly, textHeight, labelTop, textHeight / 2};
  if (!f.logx)
    DrawLinearXSides(s, sf, p, f, g, timeAxis, NX);
  else
    DrawLogXSides(sf, p, f, g);

  // The left side (and the right one of a logarithmic axis); labelsLeft
  // follows the leftmost Y tick label.
  const int labelsLeft = logy ? DrawLogYSides(sf, p, f, g) : DrawLinearYLeft(sf, p, f, g, NY);

  // The Y-axis label runs upwards, centred on the panel.
  if (!f.YAxisLabel.empty()) {
    TextSize size = p.Extent(f.YAxisLabel, verticalFont);
    // Five text heights left of the axis, further out when wide tick labels would touch it.
    int x = std::min(left - 5 * size.cy, std::max(0, labelsLeft - size.cy - size.cy / 4));
    p.Text(x, top + H / 2 + size.cx / 2, f.YAxisLabel, verticalFont);
  }

  if (!logy) DrawLinearYRight(sf, f, g, NY);

  sf.SelectFont(oldFont);
  sf.SelectPen(oldPen);
  sf.DeletePen(pen);
  sf.DeleteFont(labelFont);
  sf.DeleteFont(verticalFont);
  sf.DeleteFont(exponentFont);
}
