#include "app/mouse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/commands.h"
#include "platform/platform.h"
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

double XAtPixel(const AppState& s, int x) {
  return s.XMin + static_cast<double>(x - s.PlotLeft) * (s.XMax - s.XMin) / s.PlotWidth;
}

int PixelOfX(const AppState& s, double x) {
  if (s.XMax == s.XMin) return s.PlotLeft;
  return s.PlotLeft + static_cast<int>(std::trunc((x - s.XMin) * s.PlotWidth / (s.XMax - s.XMin)));
}

// Y pixel of value y in a panel of top t with limits [lo, hi].
int PixelOfY(const AppState& s, int t, double lo, double hi, double y) {
  if (hi == lo || !std::isfinite(y)) return t + s.PanelHeight / 2;
  double offset = std::trunc((y - lo) * s.PanelHeight / (hi - lo));
  offset = std::clamp(offset, -1e9, 1e9);
  return t + s.PanelHeight - static_cast<int>(offset);
}

// The later sample of X: the first index i >= 1 (0 for a single point) whose X is not below it.
int SnapIndex(const AppState& s, double x) {
  if (s.PlotCount <= 1) return 0;
  auto begin = s.PlotX.begin() + 1;
  auto end = s.PlotX.begin() + s.PlotCount;
  auto it = std::lower_bound(begin, end, x);
  if (it == end) return s.PlotCount - 1;
  return static_cast<int>(it - s.PlotX.begin());
}

int ClampIndex(const AppState& s, int i) { return std::clamp(i, 0, std::max(0, s.PlotCount - 1)); }

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

const std::vector<double>* PanelSeries(const AppState& s, int ch) {
  if (ch < 0 || ch >= kChannels) return nullptr;
  if (s.AppResOn) {
    if (ch >= 4) return nullptr;
    return s.AmplPhaseOn ? &s.ZZPhase[ch] : &s.ZZ[ch];
  }
  return &s.yplotdata[ch];
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
  const double ymin = s.YMinChan[c], ymax = s.YMaxChan[c];

  x = std::clamp(x, left, left + W);
  y = std::clamp(y, T, T + H);
  const double X = XAtPixel(s, x);

  // A click shows the clicked time; an arrow key and a marker show their sample's own.
  int index = 0;
  bool sampleTime = true;
  if (kind == ReadoutKind::Marker && markerIndex >= 0) {
    index = ClampIndex(s, markerIndex);
  } else if (s.KeyHandled) {
    index = s.CursorIndex = ClampIndex(s, s.CursorIndex);
  } else {
    index = s.CursorIndex = SnapIndex(s, X);
    sampleTime = false;
  }
  const std::vector<double>* series = PanelSeries(s, c);
  const double Y = series && static_cast<size_t>(index) < series->size() ? (*series)[static_cast<size_t>(index)] : 0.0;
  const double Xs = sampleTime ? s.PlotX[static_cast<size_t>(index)] : X;

  const int px = PixelOfX(s, s.PlotX[static_cast<size_t>(index)]);
  const int py = std::clamp(PixelOfY(s, T, ymin, ymax, Y), T, T + H);
  PenId pen = window.CreatePen(kCrossColor, kCrossPenWidth);
  PenId previous = window.SelectPen(pen);
  DrawCross(window, px, py, H / 10);
  window.SelectPen(previous);
  window.DeletePen(pen);

  const RecordTime t = ShownTime(s, Xs);
  s.host->SetStatusText(2, s.PlotTimeKnown ? FormatDate(t) : "");
  s.host->SetStatusText(3, s.PlotTimeKnown ? FormatTime(t) : "");
  s.host->SetStatusText(4, Format("%8.3f secs", Xs));
  s.host->SetStatusText(5, Format("Y  %8.3f", Y));
  s.KeyHandled = 0;
}

void DrawMarkers(AppState& s, Surface& window) {
  if (!HasLayout(s) || s.MarkerCount <= 0) return;
  // Markers sit on the series of the first panel; the readout then snaps to the panel hit there.
  int first = 0;
  while (first < kChannels && !ChannelShown(s, first)) ++first;
  if (first == kChannels) return;
  const std::vector<double>* series = PanelSeries(s, first);
  const int count = std::min(s.MarkerCount, kMaxMarkers);
  for (int k = 0; k < count; ++k) {
    const int m = s.Markers[k];
    if (m < 0 || m >= s.PlotCount) continue;  // a marker of a longer page or another file
    const double ym = series && static_cast<size_t>(m) < series->size() ? (*series)[static_cast<size_t>(m)] : 0.0;
    const int x = PixelOfX(s, s.PlotX[static_cast<size_t>(m)]);
    const int y = PixelOfY(s, s.PlotTop, s.YMinChan[first], s.YMaxChan[first], ym);
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
  // The release point ends the rectangle, so a click without a drag is a zero-size rectangle.
  int x1 = std::min(s.ZoomRect[0], x), x2 = std::max(s.ZoomRect[0], x);
  int y1 = std::min(s.ZoomRect[1], y), y2 = std::max(s.ZoomRect[1], y);
  s.ZoomRect[0] = x1;
  s.ZoomRect[1] = y1;
  s.ZoomRect[2] = x2;
  s.ZoomRect[3] = y2;
  s.ZoomDragging = 0;
  if (x1 == x2 || y1 == y2 || s.PlotWidth <= 0 || s.PanelHeight <= 0) {
    // Nothing to zoom into: stay in zoom mode, take the rubber band away.
    s.host->InvalidatePlot(false);
    return;
  }
  const int c = std::clamp(s.ZoomChannel, 0, kChannels - 1);
  const int left = s.PlotLeft, W = s.PlotWidth, H = s.PanelHeight;
  const int T = s.PanelTop[PanelOfChannel(s, c)];
  const double ymin = s.YMinChan[c], ymax = s.YMaxChan[c];
  s.ZoomX1 = s.XMin + (x1 - left) * (s.XMax - s.XMin) / W;
  s.ZoomX2 = s.XMin + (x2 - left) * (s.XMax - s.XMin) / W;
  s.ZoomY1 = ymin + (H - y2 + T) * (ymax - ymin) / H;
  s.ZoomY2 = ymin + (H - y1 + T) * (ymax - ymin) / H;
  s.XMin = s.ZoomX1;
  s.XMax = s.ZoomX2;
  s.YMinManual[c] = s.ZoomY1;
  s.YMaxManual[c] = s.ZoomY2;
  s.ZoomMode = 0;
  s.Zoomed = 1;
  s.host->SetButtonPressed(kCmdZoom, false);
  s.RedrawAll = 1;
  s.host->InvalidatePlot(true);
}
