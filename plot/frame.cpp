#include "plot/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

int ClockDecimals(double xstep) {
  if (xstep < 0.01) return 3;
  if (xstep < 0.1) return 2;
  if (xstep < 1) return 1;
  return 0;
}

// The clock time rounded to the printed resolution, with carry, so that
// 59.9999 s never prints as "60".
RecordTime RoundedClock(RecordTime t, int decimals) {
  double q = std::pow(10.0, decimals);
  t.second = std::round(t.second * q) / q;
  AddSeconds(t, 0.0);
  return t;
}

std::string ClockText(const RecordTime& t, int decimals, bool withDate) {
  char sec[32];
  if (decimals == 0)
    std::snprintf(sec, sizeof sec, "%02d", static_cast<int>(std::lround(t.second)));
  else
    std::snprintf(sec, sizeof sec, "%0*.*f", decimals + 3, decimals, t.second);
  char buf[96];
  if (withDate)
    std::snprintf(buf, sizeof buf, "%02d/%02d/%2d %02d:%02d:%s", t.month, t.day, t.year - 2000, t.hour, t.minute,
                  sec);
  else
    std::snprintf(buf, sizeof buf, "%02d:%02d:%s", t.hour, t.minute, sec);
  return buf;
}

std::string IntText(long long v) { return std::to_string(v); }

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

void DrawXTickLabel(Painter& p, int px, int labelTop, int bottom, double x, double xstep) {
  double ax = std::fabs(x);
  int k = ax > xstep / 10 ? static_cast<int>(std::floor(std::log10(ax))) : 0;
  if (k >= 4 || (k < -3 && x > 0)) {
    long long mant = static_cast<long long>(std::trunc(x / std::pow(10.0, k) + 0.49999));
    p.BelowTick(px, labelTop, IntText(mant) + "x10", IntText(k), bottom);
    return;
  }
  TickLabel t = FormatTickLabel(x, xstep);
  bool expForm = t.display.size() > 3 && t.display.compare(t.display.size() - 3, 3, "x10") == 0;
  p.BelowTick(px, labelTop, t.display, expForm ? t.exponent : "", bottom);
}

std::string DecadeText(int k) {
  static const char* kFixed[] = {"0.001", "0.01", "0.1", "1", "10", "100", "1000"};
  if (k >= -3 && k <= 3) return kFixed[k + 3];
  return "";
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
  if (f.logy && !(f.ymin > 0 && f.ymax > 0)) return;

  double sx;
  if (!f.logx)
    sx = W / (f.xmax - f.xmin);
  else if (f.xmin <= 0)
    sx = W / std::log10(f.xmax);
  else
    sx = W / (std::log10(f.xmax) - std::log10(f.xmin));
  double sy;
  if (!f.logy)
    sy = f.ymax == f.ymin ? 0.0 : H / (f.ymax - f.ymin);
  else
    sy = f.ymax == f.ymin ? 0.0 : H / (std::log10(f.ymax) - std::log10(f.ymin));

  const int Lx = static_cast<int>(0.01 * W);
  const int Ly = static_cast<int>(std::ceil(static_cast<int>(0.02 * W) * static_cast<double>(H) / W));
  const int F = static_cast<int>(std::min(26.0, 0.16 * H));
  const int EF = static_cast<int>(std::min(18.0, 0.12 * H));
  // Without a readable GPS time the axis counts seconds rather than show a made-up clock.
  const bool timeAxis = !s.FourierOn && !s.AppResOn && s.PlotTimeKnown;
  const int NX = timeAxis ? MinorDivisionsTime(f.xstep) : MinorDivisionsLinear(f.xstep, true);
  const int NY = MinorDivisionsLinear(f.ystep, false);
  const bool xStepOk = f.xstep > 0 && std::isfinite(f.xstep);
  const bool yStepOk = f.ystep > 0 && std::isfinite(f.ystep);

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

  // Bottom and top sides.
  if (!f.logx) {
    std::vector<Tick> ticks;
    ClockTicks clock{};
    if (xStepOk) {
      double u = f.xstep / NX;
      double x0 = CeilCount(f.xmin * NX / f.xstep) * f.xstep / NX;
      int c = NX - static_cast<int>(FloorCount((CeilCount(f.xmin / f.xstep) * f.xstep - f.xmin) * NX / f.xstep));
      if (timeAxis) {
        RecordTime t = s.PlotFirstRecordTime;
        if (s.TimeFormatHST) AddSeconds(t, -36000.0);  // Hawaii: UTC - 10 h
        AddSeconds(t, f.xmin);
        clock = AlignToClock(t, f.xmin, f.xstep, NX);
        x0 = clock.x0;
        c = clock.c;
      }
      ticks = LinearTicks(x0, c, NX, u, f.xmax);
    }
    const int decimals = ClockDecimals(f.xstep);
    int majorIndex = 0;
    RecordTime previous{};
    sf.MoveTo(left, bottom);
    for (const Tick& t : ticks) {
      int px = left + TruncPx((t.v - f.xmin) * sx);
      sf.LineTo(px, bottom);
      sf.LineTo(px, bottom - (t.major ? Lx : Lx / 2));
      sf.MoveTo(px, bottom);
      if (!t.major || !f.XLabelsOn) continue;
      if (timeAxis) {
        RecordTime when = clock.firstMajor;
        AddSeconds(when, majorIndex * f.xstep);
        when = RoundedClock(when, decimals);
        bool withDate = majorIndex == 0 || !SameDate(when, previous);
        previous = when;
        ++majorIndex;
        std::string text = ClockText(when, decimals, withDate);
        TextSize size = p.Extent(text, labelFont);
        if (px >= right - 0.7 * size.cx) {
          text = ClockText(when, decimals, false);
          size = p.Extent(text, labelFont);
          if (px >= right - 0.7 * size.cx) continue;
        }
        p.Text(px - size.cx / 2, labelTop, text, labelFont);
      } else {
        DrawXTickLabel(p, px, labelTop, bottom, t.v, f.xstep);
      }
    }
    sf.LineTo(right, bottom);
    if (f.XLabelsOn) p.Text(right, labelTop, f.XAxisTitle, labelFont);

    // The top side repeats the ticks; a clock axis is aligned without the
    // time-zone shift there.
    if (xStepOk && timeAxis) {
      RecordTime t = s.PlotFirstRecordTime;
      AddSeconds(t, f.xmin);
      ClockTicks topClock = AlignToClock(t, f.xmin, f.xstep, NX);
      ticks = LinearTicks(topClock.x0, topClock.c, NX, f.xstep / NX, f.xmax);
    }
    sf.MoveTo(left, top);
    for (const Tick& t : ticks) {
      int px = t.v < f.xmin ? left : left + CeilPx((t.v - f.xmin) * sx);
      sf.LineTo(px, top);
      sf.LineTo(px, top + (t.major ? Lx : Lx / 2));
      sf.MoveTo(px, top);
    }
    sf.LineTo(right, top);
  } else {
    double p0;
    std::vector<LogTick> ticks = LogTicks(f.xmin, f.xmax, p0);
    sf.MoveTo(left, bottom);
    for (const LogTick& t : ticks) {
      int px = left + TruncPx((t.pos - p0) * sx);
      sf.LineTo(px, bottom);
      sf.LineTo(px, bottom - (t.m == 1 ? Lx : Lx / 2));
      sf.MoveTo(px, bottom);
      if (t.m != 1 || !f.XLabelsOn) continue;
      std::string text = DecadeText(t.k);
      if (!text.empty()) {
        TextSize size = p.Extent(text, labelFont);
        p.Text(px - size.cx / 2, labelTop, text, labelFont);
      } else {
        TextSize size = p.Extent("10", labelFont);
        p.Text(px - size.cx / 2, labelTop, "10", labelFont);
        p.Text(px - size.cx / 2 + size.cx, bottom + static_cast<int>(0.2 * F), IntText(t.k), exponentFont);
      }
    }
    sf.LineTo(right, bottom);
    if (f.XLabelsOn) {
      TextSize size = p.Extent(f.XAxisTitle, labelFont);
      p.Text(right + size.cx / 2, labelTop, f.XAxisTitle, labelFont);
    }
    sf.MoveTo(left, top);
    for (const LogTick& t : ticks) {
      int px = left + TruncPx((t.pos - p0) * sx);
      sf.LineTo(px, top);
      sf.LineTo(px, top + (t.m == 1 ? Lx : Lx / 2));
      sf.MoveTo(px, top);
    }
    sf.LineTo(right, top);
  }

  // Left and right sides; labelsLeft follows the leftmost Y tick label.
  int labelsLeft = left;
  if (!f.logy) {
    std::vector<Tick> ticks;
    if (yStepOk) {
      double y0 = CeilCount(f.ymin * NY / f.ystep) * f.ystep / NY;
      int c = NY - static_cast<int>(FloorCount((CeilCount(f.ymin / f.ystep) * f.ystep - f.ymin) * NY / f.ystep));
      ticks = LinearTicks(y0, c, NY, f.ystep / NY, f.ymax);
    }
    // Decimal exponent of the axis; limits of 0 do not count.
    int E = 0;
    {
      bool any = false;
      for (double v : {f.ymax, f.ymin})
        if (v != 0 && std::isfinite(v)) {
          int e = static_cast<int>(std::floor(std::log10(std::fabs(v))));
          E = any ? std::max(E, e) : e;
          any = true;
        }
    }
    const bool axisExponent = E >= 4 || E < -3;
    const double nearTop = f.ymax - kCountEps * f.ystep / NY;
    sf.MoveTo(left, bottom);
    for (const Tick& t : ticks) {
      int py = t.v < f.ymin ? bottom : bottom - CeilPx((t.v - f.ymin) * sy);
      sf.LineTo(left, py);
      sf.LineTo(left + (t.c == NY && t.v < nearTop ? 2 * Ly : Ly), py);
      sf.MoveTo(left, py);
      if (!t.major || py <= top + textHeight / 2) continue;
      std::string base, exp;
      int baseRight;
      if (axisExponent) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%6.2f", t.v / std::pow(10.0, E));
        base = std::string(buf) + "x10";
        exp = IntText(E);
        baseRight = left - static_cast<int>(0.9 * textHeight);
      } else {
        TickLabel label = FormatTickLabel(t.v, f.ystep);
        base = label.display;
        if (!label.exponent.empty() && label.exponent != "0") exp = label.exponent;
        baseRight = left - textHeight / 2 - (exp.empty() ? 0 : p.Extent(exp, exponentFont).cx);
      }
      TextSize size = p.Extent(base, labelFont);
      int y = py - size.cy / 2;
      if (!exp.empty()) {
        // The exponent follows the base and stays clear of the frame.
        int expWidth = p.Extent(exp, exponentFont).cx;
        if (baseRight + expWidth > left - 2) baseRight = left - 2 - expWidth;
        p.Text(baseRight, y - EF / 3, exp, exponentFont);
      }
      p.Text(baseRight - size.cx, y, base, labelFont);
      labelsLeft = std::min(labelsLeft, baseRight - size.cx);
    }
    sf.LineTo(left, top);
  } else {
    double p0;
    std::vector<LogTick> ticks = LogTicks(f.ymin, f.ymax, p0);
    double R = std::log10(f.ymax) - p0;
    int every = std::max(1, static_cast<int>(std::ceil(R / 5)));
    // An axis spanning less than about a decade has at most one decade to
    // label: its m x 10^k ticks carry plain numbers instead, as far as they
    // do not crowd each other.
    const bool decadeLabelled = std::count_if(ticks.begin(), ticks.end(), [&](const LogTick& t) {
                                  return t.m == 1 && t.k % every == 0;
                                }) >= 2;
    int lastLabelY = bottom + 2 * textHeight;
    sf.MoveTo(left, bottom);
    for (const LogTick& t : ticks) {
      int py = bottom - TruncPx((t.pos - p0) * sy);
      sf.LineTo(left, py);
      sf.LineTo(left + (t.m == 1 ? 2 * Ly : Ly), py);
      sf.MoveTo(left, py);
      if (!decadeLabelled) {
        if (py <= top + textHeight / 2 || lastLabelY - py < textHeight) continue;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", t.m * std::pow(10.0, t.k));
        TextSize size = p.Extent(buf, labelFont);
        int x = left - textHeight / 2 - size.cx;
        p.Text(x, py - size.cy / 2, buf, labelFont);
        labelsLeft = std::min(labelsLeft, x);
        lastLabelY = py;
        continue;
      }
      if (t.m != 1 || t.k % every != 0) continue;
      int w = p.Extent("10", labelFont).cx;
      p.Text(left - static_cast<int>(1.4 * w) - w, py - F / 2, "10", labelFont);
      labelsLeft = std::min(labelsLeft, left - static_cast<int>(1.4 * w) - w);
      std::string exp = IntText(t.k);
      int expRight = left - static_cast<int>((t.k < -9 ? 0.004 : 0.007) * W);
      p.Text(expRight - p.Extent(exp, exponentFont).cx, py - static_cast<int>(0.7 * F), exp, exponentFont);
    }
    sf.LineTo(left, top);
  }

  // The Y-axis label runs upwards, centred on the panel.
  if (!f.YAxisLabel.empty()) {
    TextSize size = p.Extent(f.YAxisLabel, verticalFont);
    // Five text heights left of the axis, further out when wide tick labels would touch it.
    int x = std::min(left - 5 * size.cy, std::max(0, labelsLeft - size.cy - size.cy / 4));
    p.Text(x, top + H / 2 + size.cx / 2, f.YAxisLabel, verticalFont);
  }

  if (!f.logy) {
    std::vector<Tick> ticks;
    if (yStepOk) {
      double start = f.ymin == 0 ? 0.0 : std::copysign(FloorCount(std::fabs(f.ymin) / f.ystep) * f.ystep, f.ymin);
      ticks = LinearTicks(start, 0, NY, f.ystep / NY, f.ymax);
    }
    const double nearTop = f.ymax - kCountEps * f.ystep / NY;
    sf.MoveTo(right, bottom);
    for (const Tick& t : ticks) {
      int py = t.v < f.ymin ? bottom : bottom - CeilPx((t.v - f.ymin) * sy);
      sf.LineTo(right, py);
      sf.LineTo(right - (t.c == NY && t.v < nearTop ? 2 * Ly : Ly), py);
      sf.MoveTo(right, py);
    }
    sf.LineTo(right, top);
  } else {
    double p0;
    std::vector<LogTick> ticks = LogTicks(f.ymin, f.ymax, p0);
    sf.MoveTo(right, bottom);
    for (const LogTick& t : ticks) {
      int py = bottom - TruncPx((t.pos - p0) * sy);
      sf.LineTo(right, py);
      sf.LineTo(right - (t.m == 1 ? 2 * Ly : Ly), py);
      sf.MoveTo(right, py);
    }
    sf.LineTo(right, top);
  }

  sf.SelectFont(oldFont);
  sf.SelectPen(oldPen);
  sf.DeletePen(pen);
  sf.DeleteFont(labelFont);
  sf.DeleteFont(verticalFont);
  sf.DeleteFont(exponentFont);
}
