#include "plot/paint.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "app/analysis.h"
#include "plot/frame.h"
#include "plot/series.h"
#include "plot/surface.h"
#include "spectral/polyfit.h"
#include "util/parallel.h"

namespace {

// The MT display has four panels, for channel indices 0..3.
bool ChannelShown(const AppState& s, int ch) { return s.AppResOn ? ch < 4 : s.OutHeader.ChannelEnabled[ch] != 0; }

// Panels of the mode that draw a logarithmic Y axis when their limits allow.
bool WantsLogY(const AppState& s) { return s.LogY && !s.AmplPhaseOn && !s.CoherOn; }

// A range that holds a single value gets room around it, so the value is drawn
// inside a frame: 0 in [-1, 1], v in [v/2, 2v] on a logarithmic axis and
// v +- |v|/2 on a linear one.
void OpenUpRange(double& lo, double& hi, bool logarithmic) {
  if (lo != hi) return;
  const double v = lo;
  if (logarithmic && v > 0) {
    lo = v / 2;
    hi = v * 2;
  } else {
    const double half = v == 0 ? 1.0 : std::fabs(v) / 2;
    lo = v - half;
    hi = v + half;
  }
}

// Polynomial trend of every enabled channel against the time of each point,
// subtracted from the plotted values.
void SubtractTrends(AppState& s) {
  const int n = s.NumPlotPoints;
  if (n <= 0) return;
  if (s.FitX.size() < static_cast<size_t>(n)) s.FitX.resize(static_cast<size_t>(n));
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!s.OutHeader.ChannelEnabled[ch]) continue;
    auto& poly = s.ypoly[ch];
    if (poly.size() < static_cast<size_t>(n)) poly.resize(static_cast<size_t>(n));
    PolyFit(s.xplotdata.data(), s.yplotdata[ch].data(), s.FitX.data(), poly.data(), s.FitCoeffs, s.FitOrder, n, n,
            &s.FitRms);
    double* y = s.yplotdata[ch].data();
    for (int i = 0; i < n; ++i) y[i] -= poly[static_cast<size_t>(i)];
  }
  s.FitValid = 1;
}

void DrawPeaks(AppState& s, Surface& surface, int ch, int top, PenId pen) {
  if (s.XMax == s.XMin || s.YMaxChan[ch] == s.YMinChan[ch]) return;
  PenId old = surface.SelectPen(pen);
  const auto& px = s.PeakX[ch];
  const auto& py = s.PeakY[ch];
  for (int i = 0; i < s.PeakCount[ch] && static_cast<size_t>(i) < px.size() && static_cast<size_t>(i) < py.size();
       ++i) {
    int x = s.PlotLeft +
            static_cast<int>(std::trunc((px[static_cast<size_t>(i)] - s.XMin) * s.PlotWidth / (s.XMax - s.XMin)));
    int y = top + s.PanelHeight + 5 -
            static_cast<int>(std::trunc((py[static_cast<size_t>(i)] - s.YMinChan[ch]) * s.PanelHeight /
                                        (s.YMaxChan[ch] - s.YMinChan[ch])));
    surface.MoveTo(x, y);
    surface.LineTo(x, y - 5);
  }
  surface.SelectPen(old);
}

// The least and greatest finite value of y[first … end − 1], and the least
// positive one, taken into lo, hi and lowestPositive as a scan in order with
// std::min and std::max would: four interleaved scans keep the processor busy,
// and a zero extreme is the first zero in order, so its sign is the scan's.
void FiniteExtent(const double* y, int first, int end, double& lo, double& hi, double& lowestPositive) {
  constexpr double kMax = std::numeric_limits<double>::max();
  double l[4] = {lo, lo, lo, lo}, h[4] = {hi, hi, hi, hi},
         p[4] = {lowestPositive, lowestPositive, lowestPositive, lowestPositive};
  int i = first;
  for (; i + 4 <= end; i += 4)
    for (int j = 0; j < 4; ++j) {
      const double v = y[i + j];
      const bool finite = std::fabs(v) <= kMax;
      l[j] = finite && v < l[j] ? v : l[j];
      h[j] = finite && h[j] < v ? v : h[j];
      p[j] = finite && v > 0 && v < p[j] ? v : p[j];
    }
  for (; i < end; ++i) {
    const double v = y[i];
    const bool finite = std::fabs(v) <= kMax;
    l[0] = finite && v < l[0] ? v : l[0];
    h[0] = finite && h[0] < v ? v : h[0];
    p[0] = finite && v > 0 && v < p[0] ? v : p[0];
  }
  const double least = std::min({l[0], l[1], l[2], l[3]}), greatest = std::max({h[0], h[1], h[2], h[3]});
  lowestPositive = std::min({p[0], p[1], p[2], p[3]});
  auto firstZero = [&] {
    for (int k = first; k < end; ++k)
      if (y[k] == 0) return y[k];
    return 0.0;
  };
  if (least < lo) lo = least == 0 ? firstZero() : least;
  if (hi < greatest) hi = greatest == 0 ? firstZero() : greatest;
}

// The series axes of channel ch's panel at top. Without positive limits a
// logarithmic panel is drawn on a linear axis.
SeriesAxes PanelAxes(const AppState& s, int ch, int top) {
  const int logy = WantsLogY(s) && s.YMinChan[ch] > 0 && s.YMaxChan[ch] > 0;
  return SeriesAxes{s.PlotLeft,     top,    s.PlotWidth, s.PanelHeight, s.XMin, s.XMax, s.YMinChan[ch],
                    s.YMaxChan[ch], s.LogX, logy};
}

void FullRedraw(AppState& s, Surface& surface) {
  s.NumEnabledChans = CountEnabled(s.OutHeader);
  if (s.NumEnabledChans == 0) {
    // Nothing to lay out: an empty grey page.
    surface.FillRect(0, 0, surface.Width(), surface.Height(), kGrey);
    return;
  }
  if (s.AutoscaleAll) {
    double lo = 1e32, hi = -1e32;
    for (int i = 0; i < s.NumPlotPoints; ++i) {
      lo = std::min(lo, s.xplotdata[static_cast<size_t>(i)]);
      hi = std::max(hi, s.xplotdata[static_cast<size_t>(i)]);
    }
    s.XMin = lo <= hi ? lo : 0;
    s.XMax = lo <= hi ? hi : 1;
  }
  AnalysePage(s);
  // After the computations: the MT display's four panels fill the plot area.
  LayoutPanels(s);
  if (s.SubtractPolyOn && !s.FourierOn) SubtractTrends(s);
  SetupPlotAxes(s);
  if (!(std::isfinite(s.XMin) && std::isfinite(s.XMax) && s.XMin < s.XMax)) {
    // No point to scale the axis from (an empty page): an empty frame, never one
    // spanning the search's start values.
    s.XMin = 0;
    s.XMax = 1;
  }
  s.XTickStep = (s.AppResOn || s.FourierOn) ? NiceStep(s.XMax - s.XMin) : TimeStep(s.XMax - s.XMin);

  const int standard = s.StandardLineWidth;
  PenId series = surface.CreatePen(kBlack, 0);
  PenId red = surface.CreatePen(kRed, standard);
  PenId peak = surface.CreatePen(kRed, 2 * standard);
  PenId previous = surface.SelectPen(series);

  // The X labels and title go under the lowest panel; the file's path above the top one.
  const int bottomPanel = s.AppResOn ? 3 : s.NumEnabledChans - 1;
  // The channels' series are worked out on both cores, then drawn panel by panel.
  SeriesSteps planned[kChannels];
  if (!s.AppResOn) {
    std::vector<int> chans;
    std::vector<SeriesAxes> axes;
    int top = s.PlotTop;
    for (int ch = 0; ch < kChannels && static_cast<int>(chans.size()) <= bottomPanel; ++ch) {
      if (!ChannelShown(s, ch)) continue;
      chans.push_back(ch);
      axes.push_back(PanelAxes(s, ch, top));
      top += s.PanelHeight + s.PanelGap;
    }
    ParallelFor(static_cast<int>(chans.size()), [&](int i) {
      const int ch = chans[static_cast<size_t>(i)];
      PlanSeries(axes[static_cast<size_t>(i)], s.PlotCount, s.yplotdata[ch].data(), s.PlotX.data(), planned[ch]);
    });
  }
  int top = s.PlotTop;
  int p = 0;
  for (int ch = 0; ch < kChannels && p <= bottomPanel; ++ch) {
    if (!ChannelShown(s, ch)) continue;
    SetPanelLabels(s, ch, p);
    const SeriesAxes axes = PanelAxes(s, ch, top);
    FrameSpec f;
    f.left = s.PlotLeft;
    f.top = top;
    f.width = s.PlotWidth;
    f.height = s.PanelHeight;
    f.xmin = s.XMin;
    f.xmax = s.XMax;
    f.ymin = s.YMinChan[ch];
    f.ymax = s.YMaxChan[ch];
    f.xstep = s.XTickStep;
    f.ystep = s.YTickStep;
    f.XAxisTitle = s.XAxisTitle;
    f.YAxisLabel = s.YAxisLabel;
    f.logx = s.LogX;
    f.logy = axes.logy;
    f.XLabelsOn = p == bottomPanel;
    if (p == 0) f.PanelTitle = s.CurrentFilePath;
    DrawPlotFrame(s, surface, f);

    surface.SelectPen(series);
    if (s.AppResOn) {
      const auto& y = s.AmplPhaseOn ? s.ZZPhase[p] : s.ZZ[p];
      const auto& e = s.AmplPhaseOn ? s.ZZPhaseStd[p] : s.ZZStd[p];
      int count = std::min<int>(s.PlotCount, static_cast<int>(std::min(y.size(), s.PlotX.size())));
      int bars = s.MisfitErrorsOn && !s.CoherOn && e.size() >= static_cast<size_t>(count);
      DrawSeries(s, surface, axes, count, y.data(), s.PlotX.data(), bars ? e.data() : nullptr, bars);
      surface.SelectPen(series);
      if (p == 3) {
        s.PanelTop[p] = top;
        break;
      }
    } else {
      DrawSteps(surface, planned[ch]);  // the one-pixel series pen: what DrawSeries would draw
    }
    if (s.PolyOverlayOn && !s.FourierOn) {
      surface.SelectPen(red);
      int count = std::min<int>(s.PolyOverlayCount, static_cast<int>(std::min(s.ypoly[ch].size(), s.PlotX.size())));
      DrawSeries(s, surface, axes, count, s.ypoly[ch].data(), s.PlotX.data());
    }
    if (s.NotchFitPending && s.FourierOn && s.NotchFitCount > 0) {
      surface.SelectPen(red);
      int count =
          std::min<int>(s.NotchFitCount, static_cast<int>(std::min(s.NotchFitX[ch].size(), s.NotchFitY[ch].size())));
      DrawSeries(s, surface, axes, count, s.NotchFitY[ch].data(), s.NotchFitX[ch].data());
    }
    if (s.FindPeaksOn) DrawPeaks(s, surface, ch, top, peak);
    surface.SelectPen(series);
    s.PanelTop[p] = top;
    top += s.PanelHeight + s.PanelGap;
    ++p;
  }
  surface.SelectPen(previous);
  surface.DeletePen(series);
  surface.DeletePen(red);
  surface.DeletePen(peak);
}

}  // namespace

void LayoutPanels(AppState& s) {
  const int h = s.ClientHeight;
  const int w = s.ClientWidth;
  const int top = static_cast<int>(0.11 * h);
  const int bottom = static_cast<int>(0.07 * h);
  s.PanelGap = static_cast<int>(0.02 * static_cast<int>(0.85 * h));
  const int left = static_cast<int>(0.2 * h);
  const int right = static_cast<int>(0.1 * h);
  const int n = std::max(1, s.NumEnabledChans);
  s.PanelHeight = (h - top - n * s.PanelGap - bottom) / n;
  s.PlotLeft = left;
  s.PlotTop = top;
  s.PlotWidth = w - left - right;
}

bool PaintPlotWindow(AppState& s, Surface& image) {
  s.ClientWidth = image.Width();
  s.ClientHeight = image.Height();
  s.ZoomHitWidth = static_cast<int>(1.06 * s.ClientWidth);
  if (!s.FileLoaded) {
    image.FillRect(0, 0, image.Width(), image.Height(), kGrey);
    return true;
  }
  if (!s.RedrawAll || s.ZoomDragging) return false;
  if (!s.KeyHandled) image.FillRect(0, 0, image.Width(), image.Height(), kWhite);
  FullRedraw(s, image);
  return true;
}

void DrawZoomRectangle(AppState& s, Surface& window) {
  int p = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!ChannelShown(s, ch)) continue;
    int top = s.PanelTop[std::min(p, kChannels - 1)];
    if (s.ZoomRect[0] >= s.PlotLeft && s.ZoomRect[0] <= s.PlotLeft + s.ZoomHitWidth && s.ZoomRect[1] >= top &&
        s.ZoomRect[1] <= top + s.PanelHeight)
      s.ZoomChannel = ch;
    ++p;
  }
  int panel = 0;
  for (int ch = 0; ch < s.ZoomChannel; ++ch)
    if (ChannelShown(s, ch)) ++panel;
  int top = s.PanelTop[std::min(panel, kChannels - 1)];
  PenId pen = window.CreatePen(kBlack, 2);
  DrawClippedRect(window, pen, s.ZoomRect[0], s.ZoomRect[1], s.ZoomRect[2], s.ZoomRect[3], s.PlotLeft,
                  s.PlotLeft + s.PlotWidth, top, top + s.PanelHeight);
  window.DeletePen(pen);
}

void SetupPlotAxes(AppState& s) {
  int first = 0, end = 0;
  if (s.AppResOn) {
    end = s.PlotCount;  // every band from band 0: each lies at a positive frequency
  } else if (s.FourierOn) {
    s.PlotCount = s.FftLength / 2;
    end = s.PlotCount;
    first = s.LogX ? 1 : 0;
  } else {
    s.PlotCount = s.NumPlotPoints;
    end = s.NumPlotPoints;
  }
  if (s.PlotX.size() < static_cast<size_t>(std::max(s.PlotCount, 0))) s.PlotX.resize(static_cast<size_t>(s.PlotCount));
  for (int i = 0; i < s.PlotCount; ++i) {
    double& x = s.PlotX[static_cast<size_t>(i)];
    // MT points lie at their band's mean frequency, as in the impedance tables.
    if (s.AppResOn)
      x = static_cast<size_t>(i) < s.BandFreq.size() ? s.BandFreq[static_cast<size_t>(i)] : 0.0;
    else if (s.FourierOn)
      x = 2 * s.FreqStep * i;
    else
      x = s.xplotdata[static_cast<size_t>(i)];
  }
  if (s.AutoscaleAll) {
    double hi = -1e32, lo = 1e32;
    for (int i = first; i < end; ++i) {
      double x = s.PlotX[static_cast<size_t>(i)];
      hi = std::max(hi, x);
      if (x > 0) lo = std::min(lo, x);
    }
    // A time axis that starts at 0 s keeps its first point.
    if (!s.FourierOn && !s.AppResOn && end > 0) lo = std::min(lo, s.PlotX[0]);
    if (lo > hi) {  // no point: nothing to scale from
      lo = s.LogX ? 1 : 0;
      hi = s.LogX ? 10 : 1;
    }
    s.XMax = hi;
    s.XMin = lo;
  }
  if (!s.PanDragging && !s.PanDone) {
    // The panels' channels in order; the autoscaled ones' extents found on both cores.
    struct Extent {
      int ch = 0;
      std::span<const double> y;
      double lo = 1e32, hi = -1e32, lowestPositive = 1e32;
    };
    std::vector<Extent> panels;
    for (int ch = 0, k = 0; ch < kChannels; ++ch) {
      if (!(s.AppResOn ? k < 4 : s.OutHeader.ChannelEnabled[ch] != 0)) continue;
      Extent e;
      e.ch = ch;
      if (s.AutoscaleChan[ch])
        e.y = s.AppResOn ? std::span<const double>(s.AmplPhaseOn ? s.ZZPhase[k] : s.ZZ[k]) : s.yplotdata[ch];
      panels.push_back(e);
      ++k;
    }
    ParallelFor(static_cast<int>(panels.size()), [&](int p) {
      Extent& e = panels[static_cast<size_t>(p)];
      const int stop = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(end, 0)), e.y.size()));
      FiniteExtent(e.y.data(), first, stop, e.lo, e.hi, e.lowestPositive);
    });
    for (Extent& e : panels) {
      const int ch = e.ch;
      if (s.AutoscaleChan[ch]) {
        // A logarithmic panel starts at its smallest positive value; one
        // without any is drawn linear around its values.
        double lo = e.lo, hi = e.hi;
        if (lo > hi) lo = hi = 0;
        if (WantsLogY(s) && hi > 0) lo = e.lowestPositive;
        if (s.AppResOn && s.CoherOn) {
          lo = 0;
          hi = 1.0;
        }
        s.YMinChan[ch] = lo;
        s.YMaxChan[ch] = hi;
      } else {
        s.YMinChan[ch] = s.YMinManual[ch];
        s.YMaxChan[ch] = s.YMaxManual[ch];
      }
      OpenUpRange(s.YMinChan[ch], s.YMaxChan[ch], WantsLogY(s));
    }
    if (s.CaptureLimits && s.NumEnabledChans >= 1) {
      for (int ch = 0; ch < kChannels; ++ch) {
        s.YMinManual[ch] = s.YMinChan[ch];
        s.YMaxManual[ch] = s.YMaxChan[ch];
      }
      s.CaptureLimits = 0;
    }
  }
  // A zoom has set XMin, XMax and the fixed limits of its panel when it ended
  // (and switched their autoscaling off); nothing to redo here.

  // No point to place (an MT page without a band) or a single one: the panels
  // still get frames.
  if (s.XMin > s.XMax && s.XMin == 1e32) {
    s.XMin = s.LogX ? 1 : 0;
    s.XMax = s.LogX ? 10 : 1;
  }
  OpenUpRange(s.XMin, s.XMax, s.LogX);
}

void SetPanelLabels(AppState& s, int channel, int panel) {
  s.XAxisTitle = s.TimeFormatHST ? "HST" : "UTC";
  s.YAxisLabel = "mV";
  if (s.FourierOn || s.AppResOn) s.XAxisTitle = "Hz";  // both draw a frequency axis
  s.YTickStep = NiceStep(s.YMaxChan[channel] - s.YMinChan[channel]);
  static const char* const kUnits[6] = {"Hx, pT", "Hy, pT", "Hz, pT", "Ex, mV/km", "Ey, mV/km", "NC"};
  static const char* const kPhases[6] = {"HxPhase,deg", "HyPhase,deg", "HzPhase,deg",
                                         "ExPhase,deg", "EyPhase,deg", "NC"};
  // Spectra are power spectral densities, in squared units per Hz.
  static const char* const kDensities[6] = {"Hx, pT²/Hz",      "Hy, pT²/Hz",      "Hz, pT²/Hz",
                                            "Ex, (mV/km)²/Hz", "Ey, (mV/km)²/Hz", "NC"};
  int code = s.OutHeader.ChannelLabel[channel];
  if (code >= 0 && code < 6)
    s.YAxisLabel = s.AmplPhaseOn ? kPhases[code] : (s.FourierOn && !s.AppResOn ? kDensities[code] : kUnits[code]);
  if (!s.AppResOn || panel < 0 || panel > 3) return;
  if (s.LeastSquaresOn) {
    static const char* const kPhase[4] = {"Phasexx,deg", "Phasexy,deg", "Phaseyx,deg", "Phaseyy,deg"};
    static const char* const kRho[4] = {"rhoxx,ohm-m", "rhoxy, ohm-m", "rhoyx,ohm-m", "rhoyy,ohm-m"};
    static const char* const kZ[4] = {"Zxx", "Zxy", "Zyx", "Zyy"};
    static const char* const kCoher[4] = {"Hx Coherence", "Hy Coherence", "Ex Coherence", "Ey Coherence"};
    if (s.CoherOn)
      s.YAxisLabel = kCoher[panel];
    else if (s.AmplPhaseOn)
      s.YAxisLabel = kPhase[panel];
    else if (s.ResistivityOn)
      s.YAxisLabel = kRho[panel];
    else
      s.YAxisLabel = kZ[panel];
  } else {
    if (s.SimsZxxOn) s.YAxisLabel = "Zxx, eqn. 10";
    if (s.SimsZxyOn) s.YAxisLabel = "Zxy, eqn. 11";
    if (s.SimsZyyOn) s.YAxisLabel = "Zyy, eqn. 14";
    if (s.SimsZyxOn) s.YAxisLabel = "Zyx, eqn. 15";
  }
}
