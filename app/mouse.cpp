#include "app/mouse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/commands.h"
#include "platform/platform.h"
#include "plot/series.h"
#include "plot/surface.h"

namespace {

constexpr Rgb kCrossColor = kBlue;
constexpr int kCrossPenWidth = 2;

bool ChannelShown(const AppState& s, int ch) { return s.AppResOn ? ch < 4 : s.OutHeader.ChannelEnabled[ch] != 0; }

// A full redraw has laid out panels and set the X values that the mouse maps onto.
bool HasLayout(const AppState& s) {
  return s.FileLoaded && s.PlotWidth > 0 && s.PanelHeight > 0 && s.PlotCount > 0 &&
         s.PlotX.size() >= static_cast<size_t>(s.PlotCount);
}

// Spectra and MT estimates: X is a frequency, read through the axis as drawn.
bool SpectralMode(const AppState& s) { return s.FourierOn || s.AppResOn; }

bool PanelLogY(const AppState& s) { return s.LogY && !s.AmplPhaseOn && !s.CoherOn; }

// The mapping the panel of channel c (top T) is drawn with; false when it
// leaves nothing to place.
bool PanelMapping(const AppState& s, int c, int T, SeriesMapping& m) {
  SeriesAxes a{s.PlotLeft,    T,      s.PlotWidth,         s.PanelHeight, s.XMin, s.XMax, s.YMinChan[c],
               s.YMaxChan[c], s.LogX, PanelLogY(s) ? 1 : 0};
  return m.Setup(a);
}

// The X value under pixel column x, through the log axis when X is logarithmic.
double XAtPixel(const AppState& s, int x) {
  const double f = static_cast<double>(x - s.PlotLeft) / s.PlotWidth;
  if (!s.LogX) return s.XMin + f * (s.XMax - s.XMin);
  if (s.XMin > 0 && s.XMax > 0)
    return std::pow(10.0, std::log10(s.XMin) + f * (std::log10(s.XMax) - std::log10(s.XMin)));
  return s.XMax > 0 ? std::pow(10.0, f * std::log10(s.XMax)) : 0.0;
}

// The Y value under pixel row y of the panel of channel c (top T).
double YAtPixel(const AppState& s, int c, int T, int y) {
  const double lo = s.YMinChan[c], hi = s.YMaxChan[c];
  const double f = static_cast<double>(T + s.PanelHeight - y) / s.PanelHeight;
  if (!PanelLogY(s) || lo == hi) return lo + f * (hi - lo);
  const double a = std::log10(std::fabs(lo)), b = std::log10(std::fabs(hi));
  return std::pow(10.0, a + f * (b - a));
}

int PixelOfX(const AppState& s, double x) {
  SeriesMapping m;
  SeriesAxes a{s.PlotLeft, s.PlotTop, s.PlotWidth, s.PanelHeight, s.XMin, s.XMax, 0.0, 1.0, s.LogX, 0};
  int px = s.PlotLeft;
  if (m.Setup(a)) m.Column(x, px);
  return px;
}

// Y pixel of value y in the panel of channel c (top T), inside the panel.
int PixelOfY(const AppState& s, int c, int T, double y) {
  SeriesMapping m;
  int py = T + s.PanelHeight / 2;
  if (PanelMapping(s, c, T, m) && std::isfinite(y)) m.Row(y, py);
  return std::clamp(py, T, T + s.PanelHeight);
}

// Bin 0 of a spectrum lies at 0 Hz, off a log axis; MT bands all lie on it.
int FirstDrawnIndex(const AppState& s) { return s.LogX && s.PlotCount > 1 && !s.AppResOn ? 1 : 0; }

// Time series: the later sample of X, the first index i >= 1 (0 for a single
// point) whose X is not below it. Spectra and MT estimates: the point
// nearest to X as the axis draws them.
int SnapIndex(const AppState& s, double x) {
  if (s.PlotCount <= 1) return 0;
  if (!SpectralMode(s)) {
    auto begin = s.PlotX.begin() + 1;
    auto end = s.PlotX.begin() + s.PlotCount;
    auto it = std::lower_bound(begin, end, x);
    if (it == end) return s.PlotCount - 1;
    return static_cast<int>(it - s.PlotX.begin());
  }
  auto place = [&](double v) { return s.LogX ? (v > 0 ? std::log10(v) : -1e300) : v; };
  const double target = place(x);
  int best = FirstDrawnIndex(s);
  double bestDistance = std::numeric_limits<double>::infinity();
  auto consider = [&](int i) {
    const double v = s.PlotX[static_cast<size_t>(i)];
    if (!std::isfinite(v) || (s.LogX && v <= 0)) return;
    const double d = std::fabs(place(v) - target);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  };
  if (s.AppResOn) {
    // A few bands, in the order the estimate left them.
    for (int i = FirstDrawnIndex(s); i < s.PlotCount; ++i) consider(i);
    return best;
  }
  // Spectral bins rise with their index.
  auto begin = s.PlotX.begin() + FirstDrawnIndex(s);
  auto end = s.PlotX.begin() + s.PlotCount;
  const int i = static_cast<int>(std::lower_bound(begin, end, x) - s.PlotX.begin());
  if (i < s.PlotCount) consider(i);
  if (i - 1 >= FirstDrawnIndex(s)) consider(i - 1);
  return best;
}

int ClampIndex(const AppState& s, int i) {
  return std::clamp(i, FirstDrawnIndex(s), std::max(FirstDrawnIndex(s), s.PlotCount - 1));
}

std::string Format(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

}  // namespace

int PanelOfChannel(const AppState& s, int ch) {
  int panel = 0;
  for (int c = 0; c < ch && c < kChannels; ++c)
    if (ChannelShown(s, c)) ++panel;
  return std::min(panel, kChannels - 1);
}

std::span<const double> PanelSeries(const AppState& s, int ch) {
  if (ch < 0 || ch >= kChannels) return {};
  if (s.AppResOn) {
    if (ch >= 4) return {};
    return s.AmplPhaseOn ? s.ZZPhase[ch] : s.ZZ[ch];
  }
  return s.yplotdata[ch];
}

bool HitPanel(AppState& s, int x, int y) {
  bool hit = false;
  int panel = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!ChannelShown(s, ch)) continue;
    const int top = s.PanelTop[std::min(panel, kChannels - 1)];
    if (x >= s.PlotLeft && x <= s.PlotLeft + s.ZoomHitWidth && y >= top && y <= top + s.PanelHeight) {
      s.ZoomChannel = ch;
      hit = true;
    }
    ++panel;
  }
  return hit;
}

void DrawCross(Surface& window, int x, int y, int arm) {
  window.MoveTo(x, y - arm);
  window.LineTo(x, y + arm);
  window.MoveTo(x - arm, y);
  window.LineTo(x + arm, y);
}

void CursorReadout(AppState& s, Surface& window, int x, int y, ReadoutKind kind, int markerIndex) {
  if (!HasLayout(s)) return;
  HitPanel(s, x, y);
  const int c = std::clamp(s.ZoomChannel, 0, kChannels - 1);
  const int left = s.PlotLeft, W = s.PlotWidth, H = s.PanelHeight;
  const int T = s.PanelTop[PanelOfChannel(s, c)];

  x = std::clamp(x, left, left + W);
  y = std::clamp(y, T, T + H);
  const double X = XAtPixel(s, x);

  // A click shows the clicked time; an arrow key and a marker show their
  // sample's own, and so does every readout of a spectrum.
  int index = 0;
  bool sampleX = true;
  if (kind == ReadoutKind::Marker && markerIndex >= 0) {
    index = ClampIndex(s, markerIndex);
  } else if (s.KeyHandled) {
    index = s.CursorIndex = ClampIndex(s, s.CursorIndex);
  } else {
    index = s.CursorIndex = ClampIndex(s, SnapIndex(s, X));
    sampleX = SpectralMode(s);
  }
  const std::span<const double> series = PanelSeries(s, c);
  const double Y = static_cast<size_t>(index) < series.size() ? series[static_cast<size_t>(index)] : 0.0;
  const double Xs = sampleX ? s.PlotX[static_cast<size_t>(index)] : X;

  const int px = PixelOfX(s, s.PlotX[static_cast<size_t>(index)]);
  const int py = PixelOfY(s, c, T, Y);
  PenId pen = window.CreatePen(kCrossColor, kCrossPenWidth);
  PenId previous = window.SelectPen(pen);
  DrawCross(window, px, py, H / 10);
  window.SelectPen(previous);
  window.DeletePen(pen);

  if (SpectralMode(s)) {
    // A frequency has no date or clock time.
    s.host->SetStatusText(2, "");
    s.host->SetStatusText(3, "");
    s.host->SetStatusText(4, Format("%.5g Hz", Xs));
    s.host->SetStatusText(5, Format("Y  %.5g", Y));
  } else {
    const RecordTime t = ShownTime(s, Xs);
    s.host->SetStatusText(2, s.PlotTimeKnown ? FormatDate(t) : "");
    s.host->SetStatusText(3, s.PlotTimeKnown ? FormatTime(t) : "");
    s.host->SetStatusText(4, Format("%8.3f secs", Xs));
    s.host->SetStatusText(5, Format("Y  %8.3f", Y));
  }
  s.KeyHandled = 0;
}

void DrawMarkers(AppState& s, Surface& window) {
  if (!HasLayout(s) || s.MarkerCount <= 0) return;
  // Markers sit on the series of the first panel; the readout then snaps to the panel hit there.
  int first = 0;
  while (first < kChannels && !ChannelShown(s, first)) ++first;
  if (first == kChannels) return;
  const std::span<const double> series = PanelSeries(s, first);
  const int count = std::min(s.MarkerCount, kMaxMarkers);
  for (int k = 0; k < count; ++k) {
    const int m = s.Markers[k];
    if (m < 0 || m >= s.PlotCount) continue;  // a marker of a longer page or another file
    const double ym = static_cast<size_t>(m) < series.size() ? series[static_cast<size_t>(m)] : 0.0;
    const int x = PixelOfX(s, s.PlotX[static_cast<size_t>(m)]);
    const int y = PixelOfY(s, first, s.PlotTop, ym);
    s.LastClick[0] = x;
    s.LastClick[1] = y;
    CursorReadout(s, window, x, y, ReadoutKind::Marker, m);
  }
}

void MouseButtonDown(AppState& s, Surface& window, int x, int y) {
  if (!s.FileLoaded) return;  // no limits to map onto yet
  if (!s.ZoomMode && !s.PanMode && !s.PanDragging && !s.PanDone) {
    s.LastClick[0] = x;
    s.LastClick[1] = y;
    s.CursorShown = 1;
    s.RedrawAll = 0;
    s.host->InvalidatePlot(false);
    CursorReadout(s, window, x, y, ReadoutKind::Click);
    return;
  }
  if (s.CtrlDown && s.MarkerCount < kMaxMarkers && HasLayout(s)) {
    s.Markers[s.MarkerCount++] = SnapIndex(s, XAtPixel(s, x));
  }
  if (s.ZoomMode && !s.ZoomDragging) {
    HitPanel(s, x, y);
    s.ZoomRect[0] = x;
    s.ZoomRect[1] = y;
    s.ZoomRect[2] = 0;
    s.ZoomRect[3] = 0;
    s.ZoomDragging = 1;
    s.Zoomed = 0;
    s.RedrawAll = 0;
  }
}

void MouseMove(AppState& s, int x, int y) {
  if (s.ZoomMode) s.host->SetCursor(CursorShape::Zoom);
  if (s.ZoomDragging) {
    s.ZoomRect[2] = x;
    s.ZoomRect[3] = y;
    s.host->InvalidatePlot(false);
  }
}

void MouseButtonUp(AppState& s, int x, int y) {
  if (!s.ZoomMode || !s.ZoomDragging) return;
  s.ZoomDragging = 0;
  // The rectangle belongs to the panel it started in, and counts as far as it is drawn there.
  if (s.PlotWidth <= 0 || s.PanelHeight <= 0 || !HitPanel(s, s.ZoomRect[0], s.ZoomRect[1])) {
    s.host->InvalidatePlot(false);
    return;
  }
  const int c = std::clamp(s.ZoomChannel, 0, kChannels - 1);
  const int left = s.PlotLeft, W = s.PlotWidth, H = s.PanelHeight;
  const int T = s.PanelTop[PanelOfChannel(s, c)];
  int x1 = std::clamp(std::min(s.ZoomRect[0], x), left, left + W),
      x2 = std::clamp(std::max(s.ZoomRect[0], x), left, left + W);
  int y1 = std::clamp(std::min(s.ZoomRect[1], y), T, T + H), y2 = std::clamp(std::max(s.ZoomRect[1], y), T, T + H);
  s.ZoomRect[0] = x1;
  s.ZoomRect[1] = y1;
  s.ZoomRect[2] = x2;
  s.ZoomRect[3] = y2;
  if (x1 == x2 || y1 == y2) {
    // Nothing to zoom into: stay in zoom mode, take the rubber band away.
    s.host->InvalidatePlot(false);
    return;
  }
  s.ZoomX1 = XAtPixel(s, x1);
  s.ZoomX2 = XAtPixel(s, x2);
  s.ZoomY1 = YAtPixel(s, c, T, y2);
  s.ZoomY2 = YAtPixel(s, c, T, y1);
  // Every panel takes the X range, the panel of the drag its Y range; the
  // autoscaling that would undo them is off until Reset, Escape or Autoscale.
  s.XMin = s.ZoomX1;
  s.XMax = s.ZoomX2;
  s.AutoscaleAll = 0;
  s.YMinManual[c] = s.ZoomY1;
  s.YMaxManual[c] = s.ZoomY2;
  s.AutoscaleChan[c] = 0;
  s.ZoomMode = 0;
  s.Zoomed = 1;
  ShowToggleStates(s);
  s.RedrawAll = 1;
  s.host->InvalidatePlot(true);
}
