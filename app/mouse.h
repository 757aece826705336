#pragma once
// The left mouse button and the cursor readout over the plot: in normal mode a
// click puts a cross on the data point under it and shows its time and value;
// in zoom mode a drag makes a rectangle of one panel the new axis limits, and
// a Control-click adds a marker. The cross and the markers are drawn over the
// window's copy of the off-screen image after every paint.

#include <span>

#include "app/state.h"

class Surface;

enum class ReadoutKind {
  Redraw = 0,  // again at LastClick after a paint
  Marker = 1,
  Click = 2,
};

/// Pixel coordinates are those of the plot area (the off-screen image).
void MouseButtonDown(AppState& s, Surface& window, int x, int y);
void MouseMove(AppState& s, int x, int y);
void MouseButtonUp(AppState& s, int x, int y);

/// Picks the panel under (x, y), snaps to its data, draws the cross on window
/// and shows date, time, X and Y in status parts 2 to 5. A marker passes its
/// own point index in markerIndex; the others pass -1.
void CursorReadout(AppState& s, Surface& window, int x, int y, ReadoutKind kind, int markerIndex = -1);

/// A cross of two lines through (x, y), each arm long, with the selected pen.
void DrawCross(Surface& window, int x, int y, int arm);

/// Draws every marker with its readout, in the order added; each becomes LastClick.
void DrawMarkers(AppState& s, Surface& window);

/// Panel hit test: sets ZoomChannel to the channel of the panel that holds
/// (x, y) and returns true, or leaves it and returns false.
bool HitPanel(AppState& s, int x, int y);

/// The panel index of channel ch (counting the panels shown above it).
int PanelOfChannel(const AppState& s, int ch);

/// The series drawn in the panel of channel ch: its plotted values, or the MT
/// estimate of that panel in apparent-resistivity mode. Empty when none.
std::span<const double> PanelSeries(const AppState& s, int ch);
