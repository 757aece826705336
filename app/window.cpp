#include "app/window.h"

#include <algorithm>

#include "app/commands.h"
#include "app/mouse.h"
#include "platform/platform.h"
#include "plot/paint.h"
#include "plot/surface.h"

bool RedrawImage(AppState& s, Surface& image) {
  const bool full = s.FileLoaded && s.RedrawAll && !s.ZoomDragging;
  if (s.FileLoaded && !full) return false;
  if (full) s.host->SetCursor(CursorShape::Wait);
  bool drawn = PaintPlotWindow(s, image);
  // The redraw falls back to time series when the MT channels are missing.
  ShowToggleStates(s);
  if (full) s.host->SetCursor(s.ZoomMode ? CursorShape::Zoom : CursorShape::Arrow);
  return drawn;
}

void PaintWindow(AppState& s, Surface& window) {
  if (s.ZoomMode) {
    if (s.FileLoaded && s.ZoomDragging) DrawZoomRectangle(s, window);
    return;
  }
  // No cross before the user has placed one.
  if (s.FileLoaded && s.CursorShown && !s.CtrlDown)
    CursorReadout(s, window, s.LastClick[0], s.LastClick[1], ReadoutKind::Redraw);
  DrawMarkers(s, window);
  s.KeyHandled = 0;
}

void WindowResized(AppState& s, int width, int height) {
  s.ClientWidth = width;
  s.ClientHeight = height;
  s.RedrawAll = 1;
  s.host->InvalidatePlot(true);
}

void KeyDown(AppState& s, int key) {
  if (key == kKeyControl) {
    s.CtrlDown = 1;
    return;
  }
  if (key == kKeyEscape) {
    if (s.FileLoaded) CmdReset(s);
    return;
  }
  if ((key != kKeyLeft && key != kKeyRight) || s.KeyHandled) return;
  const int step = key == kKeyRight ? 1 : -1;
  const int last = std::max(0, s.PlotCount - 1);
  s.CursorIndex = std::clamp(s.CursorIndex + step, 0, last);
  if (s.MarkerCount > 0) {
    int& marker = s.Markers[std::min(s.MarkerCount, kMaxMarkers) - 1];
    marker = std::clamp(marker + step, 0, last);
  }
  s.KeyHandled = 1;
  s.CursorShown = 1;
  s.host->InvalidatePlot(false);
}

void KeyUp(AppState& s, int key) {
  if (key == kKeyControl) s.CtrlDown = 0;
}
